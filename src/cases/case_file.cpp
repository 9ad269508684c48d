// Reading and writing case files (see case_file.h for the format).
#include "cases/case_file.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "output/file_writer.h"

// The parser is compiled into this file alone (header-only mode), so that
// the fuzz and sanitizer builds instrument it too and the program needs no
// run-time library for it.
#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 1
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

namespace kelvane {
namespace {

constexpr std::string_view kVersionKey = "format-version";
constexpr std::string_view kInputsKey = "inputs";

std::string Quoted(std::string_view text) { return "“" + std::string(text) + "”"; }

[[noreturn]] void Fail(CaseFileProblem problem) { throw CaseFileError(std::move(problem)); }

CaseFileProblem At(CaseProblem kind, const std::string& file, const toml::source_region& where,
                   std::string key = "") {
  CaseFileProblem problem;
  problem.problem = kind;
  problem.file = file;
  problem.line = static_cast<int>(where.begin.line);
  problem.column = static_cast<int>(where.begin.column);
  problem.key = std::move(key);
  return problem;
}

// The line of a key, or of its value when the key carries none.
const toml::source_region& Where(const toml::key& key, const toml::node& value) {
  return key.source().begin.line != 0 ? key.source() : value.source();
}

[[noreturn]] void FailType(const std::string& file, const toml::key& key, const toml::node& value,
                           std::string dotted, CaseValueType expected) {
  CaseFileProblem problem = At(CaseProblem::WrongType, file, Where(key, value), std::move(dotted));
  problem.expected = expected;
  Fail(std::move(problem));
}

// A TOML number as the text it stands for (see case_file.h).
std::optional<std::string> NumberText(const toml::node& value) {
  char buffer[64];
  std::to_chars_result end{};
  if (const auto* integer = value.as_integer()) {
    end = std::to_chars(buffer, buffer + sizeof buffer, integer->get());
  } else if (const auto* real = value.as_floating_point()) {
    if (!std::isfinite(real->get())) return std::nullopt;
    end = std::to_chars(buffer, buffer + sizeof buffer, real->get());
  } else {
    return std::nullopt;
  }
  return std::string(buffer, end.ptr);
}

void ReadInputs(const toml::table& inputs, const std::string& file, CaseFile& caseFile) {
  for (auto&& [key, value] : inputs) {
    const std::string dotted = std::string(kInputsKey) + "." + std::string(key.str());
    const InputField* field = nullptr;
    for (const InputField& candidate : InputFields()) {
      if (key.str() == candidate.option) field = &candidate;
    }
    if (field == nullptr) Fail(At(CaseProblem::UnknownKey, file, Where(key, value), dotted));
    if (const auto* text = value.as_string()) {
      caseFile.texts[field->id] = text->get();
    } else if (value.is_integer() || value.is_floating_point()) {
      std::optional<std::string> number = NumberText(value);
      if (!number) Fail(At(CaseProblem::NotFinite, file, Where(key, value), dotted));
      caseFile.texts[field->id] = *number;
    } else {
      FailType(file, key, value, dotted, CaseValueType::TextOrNumber);
    }
  }
}

CaseFile ReadDocument(const toml::table& document, const std::string& file) {
  CaseFile caseFile;
  // The version first: a newer file is reported as newer, not for the keys
  // this program does not know.
  if (const toml::node* version = document.get(kVersionKey)) {
    const auto* number = version->as_integer();
    if (number == nullptr) {
      CaseFileProblem problem =
          At(CaseProblem::WrongType, file, version->source(), std::string(kVersionKey));
      problem.expected = CaseValueType::Integer;
      Fail(std::move(problem));
    }
    if (number->get() < 1 || number->get() > kCaseFormatVersion) {
      CaseFileProblem problem =
          At(number->get() < 1 ? CaseProblem::BadVersion : CaseProblem::NewerVersion, file,
             version->source(), std::string(kVersionKey));
      problem.version = number->get();
      Fail(std::move(problem));
    }
  }
  for (auto&& [key, value] : document) {
    const std::string name(key.str());
    if (name == kVersionKey) continue;
    if (name == "title" || name == "notes") {
      const auto* text = value.as_string();
      if (text == nullptr) FailType(file, key, value, name, CaseValueType::Text);
      (name == "title" ? caseFile.title : caseFile.notes) = text->get();
    } else if (name == kInputsKey) {
      const auto* inputs = value.as_table();
      if (inputs == nullptr) FailType(file, key, value, name, CaseValueType::Table);
      ReadInputs(*inputs, file, caseFile);
    } else {
      Fail(At(CaseProblem::UnknownKey, file, Where(key, value), name));
    }
  }
  return caseFile;
}

// The length of the UTF-8 sequence at the start of `text`, 0 when invalid
// (overlong forms, surrogates and values beyond U+10FFFF are invalid).
std::size_t Utf8Length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, value = lead & 0x1F;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3, value = lead & 0x0F;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4, value = lead & 0x07;
  if (length == 0 || text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

// `text` as a TOML basic string: quotation mark, backslash and the control
// characters escaped, everything else as it is.
std::optional<std::string> TomlString(std::string_view text) {
  std::string out = "\"";
  while (!text.empty()) {
    const std::size_t length = Utf8Length(text);
    if (length == 0) return std::nullopt;
    const char c = text[0];
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
          out += escape;
        } else {
          out.append(text.substr(0, length));
        }
    }
    text.remove_prefix(length);
  }
  return out + "\"";
}

}  // namespace

CaseFileError::CaseFileError(CaseFileProblem problem)
    : std::runtime_error(CaseFileErrorText(problem)), problem_(std::move(problem)) {}

std::string CaseFileErrorText(const CaseFileProblem& p) {
  std::string text = "算例文件 " + Quoted(p.file);
  if (p.line > 0) text += " 第 " + std::to_string(p.line) + " 行";
  text += "：";
  switch (p.problem) {
    case CaseProblem::CannotRead:
      if (p.systemError == ENOENT) return text + "文件不存在";
      if (p.systemError == EACCES || p.systemError == EPERM) return text + "没有读取权限";
      if (p.systemError == EISDIR) return text + "这是一个文件夹";
      return text + "无法读取（" + std::strerror(p.systemError) + "）";
    case CaseProblem::TooLarge:
      return text + "文件太大（超过 " + std::to_string(kMaxCaseFileBytes / 1024) +
             " KiB），不是算例文件";
    case CaseProblem::NotToml:
      text += "不是有效的 TOML 文件";
      if (p.column > 0) text += "（第 " + std::to_string(p.column) + " 列）";
      return p.detail.empty() ? text : text + "：" + p.detail;
    case CaseProblem::UnknownKey:
      if (p.key.starts_with("inputs.")) {
        return text + "未知的键 " + Quoted(p.key) +
               "（[inputs] 的键为批处理选项名，如 forebay-area）";
      }
      return text + "未知的键 " + Quoted(p.key) + "（可用 format-version、title、notes、[inputs]）";
    case CaseProblem::WrongType: {
      const char* type = "";
      switch (p.expected) {
        case CaseValueType::Text:
          type = "字符串";
          break;
        case CaseValueType::TextOrNumber:
          type = "字符串或数";
          break;
        case CaseValueType::Integer:
          type = "整数";
          break;
        case CaseValueType::Table:
          type = "表（[inputs]）";
          break;
        case CaseValueType::None:
          break;
      }
      return text + Quoted(p.key) + " 的值应为" + type;
    }
    case CaseProblem::NotFinite:
      return text + Quoted(p.key) + " 的值不是有限数（若要这段文字，请写成字符串）";
    case CaseProblem::NewerVersion:
      return text + "格式版本 " + std::to_string(p.version) + " 比本程序能读的 " +
             std::to_string(kCaseFormatVersion) + " 新，请用新版程序打开";
    case CaseProblem::BadVersion:
      return text + "格式版本 " + std::to_string(p.version) + " 无效（应为 1 至 " +
             std::to_string(kCaseFormatVersion) + "）";
    case CaseProblem::TextNotUtf8:
      return text + Quoted(p.key) + " 的文字不是有效的 UTF-8，不能写入算例文件";
  }
  return text;
}

CaseFile ParseCaseFile(std::string_view bytes, const std::string& file) {
  if (bytes.size() > kMaxCaseFileBytes) {
    CaseFileProblem problem;
    problem.problem = CaseProblem::TooLarge;
    problem.file = file;
    Fail(std::move(problem));
  }
  try {
    return ReadDocument(toml::parse(bytes, file), file);
  } catch (const CaseFileError&) {
    throw;
  } catch (const toml::parse_error& error) {
    CaseFileProblem problem = At(CaseProblem::NotToml, file, error.source());
    problem.detail = std::string(error.description());
    Fail(std::move(problem));
  } catch (const std::exception& error) {
    // Out of memory in the parser: reported as an unreadable document.
    CaseFileProblem problem;
    problem.file = file;
    problem.detail = error.what();
    Fail(std::move(problem));
  }
}

CaseFile ReadCaseFile(const std::string& path) {
  CaseFileProblem problem;
  problem.problem = CaseProblem::CannotRead;
  problem.file = path;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!in) {
    problem.systemError = errno;
    Fail(std::move(problem));
  }
  std::string bytes;
  char buffer[16384];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) {
    bytes.append(buffer, got);
    if (bytes.size() > kMaxCaseFileBytes) break;  // ParseCaseFile reports it
  }
  if (std::ferror(in.get())) {
    problem.systemError = errno;  // EISDIR for a folder
    Fail(std::move(problem));
  }
  return ParseCaseFile(bytes, path);
}

std::string CaseFileBytes(const CaseFile& caseFile, const std::string& file) {
  const auto string = [&](std::string_view text, std::string key) {
    std::optional<std::string> quoted = TomlString(text);
    if (!quoted) {
      CaseFileProblem problem;
      problem.problem = CaseProblem::TextNotUtf8;
      problem.file = file;
      problem.key = std::move(key);
      Fail(std::move(problem));
    }
    return *quoted;
  };
  std::string bytes = "# Kelvane 算例\n" + std::string(kVersionKey) + " = " +
                      std::to_string(kCaseFormatVersion) + "\n";
  if (!caseFile.title.empty()) bytes += "title = " + string(caseFile.title, "title") + "\n";
  if (!caseFile.notes.empty()) bytes += "notes = " + string(caseFile.notes, "notes") + "\n";
  bytes += "\n[" + std::string(kInputsKey) + "]\n";
  for (const InputField& field : InputFields()) {
    const std::string key = std::string(kInputsKey) + "." + field.option;
    // The box's caption and unit as a comment, for reading the file by eye.
    std::string comment = field.caption;
    if (*field.unit) comment += std::string(" (") + field.unit + ")";
    bytes += std::string(field.option) + " = " + string(caseFile.texts[field.id], key) + "  # " +
             comment + "\n";
  }
  return bytes;
}

void WriteCaseFile(const std::string& path, const CaseFile& caseFile) {
  const std::string bytes = CaseFileBytes(caseFile, path);
  WriteFileAtomically(path, [&](const ByteWriter& write) { write(bytes); });
}

}  // namespace kelvane
