#include "study_options.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "files/file_reader.h"
#include "format/user_text.h"
#include "usage_error.h"

namespace kelvane {
namespace {

std::string Quoted(std::string_view text) { return QuotedText(text); }

[[noreturn]] void Bad(std::string_view option, const std::string& why) {
  throw UsageError("选项 --" + std::string(option) + " " + why);
}

// The whole text as one number of type T, nothing before or after it.
template <typename T>
bool ReadWhole(std::string_view text, T& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// A level, signed or not ("+2" as a range's bounds may be written).
double ReadLevel(std::string_view option, std::string_view text) {
  const std::string_view number =
      text.starts_with('+') && !text.starts_with("+-") ? text.substr(1) : text;
  double level = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), level);
  const bool whole = end == number.data() + number.size();
  if (whole && error == std::errc::result_out_of_range)
    Bad(option, "的值 " + Quoted(text) + " 超出数的范围（绝对值应小于 1.8e308）");
  if (!whole || error != std::errc() || !std::isfinite(level))
    Bad(option, "的值 " + Quoted(text) + " 不是数");
  return level;
}

// The case table read as a stream, a line at a time.
void TakeCaseTable(const std::string& path, StudyCommand& study) {
  if (path.empty()) Bad("cases", "缺少文件名");
  const std::string file = "案例文件 " + QuotedFileName(path);
  try {
    InputFile in(path);
    StudyFactor table =
        ReadCaseTable([&in](char* buffer, std::size_t size) { return in.Read(buffer, size); });
    table.source = path;
    study.plan.Add(std::move(table));
    study.caseTables.push_back(path);
  } catch (const FileReadError& error) {
    throw UsageError(file + "：" + error.Reason());
  } catch (const StudyInputError& error) {
    if (error.line() == 0) throw;
    std::string where = " 第 " + std::to_string(error.line()) + " 行";
    if (error.column() > 0) where += "第 " + std::to_string(error.column()) + " 列";
    throw UsageError(file + where + "：" + error.what());
  }
}

void TakeShard(std::string_view name, std::string_view value, StudyCommand& study) {
  std::int64_t& index = study.settings.shardIndex;
  std::int64_t& count = study.settings.shardCount;
  const std::size_t slash = value.find('/');
  if (slash == std::string_view::npos || !ReadWhole(value.substr(0, slash), index) ||
      !ReadWhole(value.substr(slash + 1), count) || count < 1 || count > StudyPlan::kMaxCases ||
      index < 0 || index >= count) {
    Bad(name, "须写作 K/N，0 ≤ K < N，而不是 " + Quoted(value));
  }
  study.sharded = true;
}

void TakeValue(const Option& option, std::string_view value, StudyCommand& study) {
  const std::string_view name = option.name;
  switch (option.id) {
    case OptionId::Sweep:
      study.plan.Add(ParseSweep(value));
      break;
    case OptionId::Cases:
      TakeCaseTable(std::string(value), study);
      break;
    case OptionId::SweepCsv:
      if (value.empty()) Bad(name, "缺少文件名");
      study.csv = value;
      break;
    case OptionId::SweepPlot:
      if (!IsPngOrSvgName(value)) Bad(name, "的文件名应以 .png 或 .svg 结尾：" + Quoted(value));
      study.plot = value;
      break;
    case OptionId::ForebayMaxLevel:
      study.settings.limits.forebayMaxLevel = ReadLevel(name, value);
      break;
    case OptionId::ForebayMinLevel:
      study.settings.limits.forebayMinLevel = ReadLevel(name, value);
      break;
    case OptionId::Jobs: {
      int& jobs = study.settings.jobs;
      if (!ReadWhole(value, jobs) || jobs < 1 || jobs > 4096) {
        Bad(name, "须是 1 至 4096 的整数，而不是 " + Quoted(value));
      }
      break;
    }
    case OptionId::Shard:
      TakeShard(name, value, study);
      break;
    case OptionId::MaxCases:
      if (!ReadWhole(value, study.maxCases) || study.maxCases < 1) {
        Bad(name, "须是正整数，而不是 " + Quoted(value));
      }
      break;
    case OptionId::Resume:
    case OptionId::JoinShards:
      if (value.empty() || value == "-") Bad(name, "须是文件名");
      if (option.id == OptionId::Resume) study.resume = value;
      if (option.id == OptionId::JoinShards) study.joinShards.emplace_back(value);
      break;
    default:
      break;
  }
}

}  // namespace

void TakeStudyOption(const Option& option, std::string_view value, StudyCommand& study) {
  try {
    TakeValue(option, value, study);
  } catch (const StudyInputError& error) {
    throw UsageError(error.what());
  }
}

}  // namespace kelvane
