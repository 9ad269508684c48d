#include "format/user_text.h"

#include <algorithm>
#include <cstdio>

namespace kelvane {
namespace {

// The code point of a valid sequence of `length` bytes.
char32_t CodePoint(std::string_view text, std::size_t length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (length == 1) return byte(0);
  char32_t value = byte(0) & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) value = (value << 6) | (byte(i) & 0x3F);
  return value;
}

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F; }

// One character (or stray byte) as printable text.
void AppendPrintable(std::string_view text, std::size_t length, std::string& out) {
  char escape[12];
  if (length == 0) {
    std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[0]));
    out += escape;
    return;
  }
  const char32_t c = CodePoint(text, length);
  switch (c) {
    case 0:
      out += "\\0";
      return;
    case '\t':
      out += "\\t";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    default:
      break;
  }
  if (IsControl(c)) {
    std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
    out += escape;
  } else if (c >= 0x80 && c <= 0x9F) {  // C1 controls
    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
    out += escape;
  } else {
    out.append(text.substr(0, length));
  }
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text) {
  if (text.empty()) return 0;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (length == 0 || text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  const char32_t value = CodePoint(text, length);
  const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

std::string PrintableText(std::string_view text, int limit) {
  std::string out;
  for (int n = 0; !text.empty(); ++n) {
    if (n == limit) return out + "…";
    const std::size_t length = Utf8SequenceLength(text);
    AppendPrintable(text, length, out);
    text.remove_prefix(std::max<std::size_t>(length, 1));
  }
  return out;
}

std::string QuotedText(std::string_view text, int limit) {
  return "“" + PrintableText(text, limit) + "”";
}

std::string QuotedFileName(std::string_view name) {
  return QuotedText(name, kEchoFileNameCharacters);
}

std::optional<TextFault> FindTextFault(std::string_view text, bool utf8) {
  for (int column = 1; !text.empty(); ++column) {
    const std::size_t length = Utf8SequenceLength(text);
    if ((length == 0 && utf8) || (length == 1 && IsControl(static_cast<unsigned char>(text[0])))) {
      TextFault fault;
      fault.kind = length == 0 ? TextFault::Kind::NotUtf8 : TextFault::Kind::ControlCharacter;
      fault.column = column;
      fault.character = PrintableText(text.substr(0, std::max<std::size_t>(length, 1)));
      return fault;
    }
    text.remove_prefix(std::max<std::size_t>(length, 1));
  }
  return std::nullopt;
}

bool LooksLikeUtf16(std::string_view start) {
  if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) return true;
  // ASCII text in UTF-16: a NUL before (big-endian) or after (little-endian)
  // every character.
  const std::size_t n = std::min<std::size_t>(start.size(), 64) & ~std::size_t{1};
  if (n < 4) return false;
  bool little = true, big = true;
  for (std::size_t i = 0; i < n; i += 2) {
    little = little && start[i] != 0 && start[i + 1] == 0;
    big = big && start[i] == 0 && start[i + 1] != 0;
  }
  return little || big;
}

TextEncoding GuessEncoding(std::string_view bytes) {
  if (LooksLikeUtf16(bytes)) return TextEncoding::Utf16;
  bool utf8 = true, gbk = true;
  for (std::string_view rest = bytes; !rest.empty() && utf8;) {
    const std::size_t length = Utf8SequenceLength(rest);
    utf8 = length != 0;
    rest.remove_prefix(std::max<std::size_t>(length, 1));
  }
  if (utf8) return TextEncoding::Utf8;
  // GBK: a lead byte 0x81..0xFE, then a trail byte 0x40..0x7E or 0x80..0xFE.
  for (std::size_t i = 0; i < bytes.size() && gbk; ++i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) continue;
    if (lead == 0x80 || lead == 0xFF) {
      gbk = false;
    } else if (++i < bytes.size()) {  // a lead cut off at the end still counts
      const auto trail = static_cast<unsigned char>(bytes[i]);
      gbk = trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
    }
  }
  return gbk ? TextEncoding::Gbk : TextEncoding::Unknown;
}

std::string EncodingAdvice(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Gbk:
      return "文件似乎是 GBK 编码，请另存为 UTF-8";
    case TextEncoding::Utf16:
      return "文件似乎是 UTF-16 编码，请另存为 UTF-8";
    case TextEncoding::Utf8:
    case TextEncoding::Unknown:
      break;
  }
  return "";
}

}  // namespace kelvane
