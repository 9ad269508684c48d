#include "study_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <utility>

#include "output/file_writer.h"
#include "usage_error.h"

namespace kelvane {
namespace {

std::string Quoted(std::string_view text) { return "“" + std::string(text) + "”"; }

[[noreturn]] void Bad(std::string_view option, const std::string& why) {
  throw UsageError("选项 --" + std::string(option) + " " + why);
}

// The whole text as one number of type T, nothing before or after it.
template <typename T>
bool ReadWhole(std::string_view text, T& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

double ReadLevel(std::string_view option, std::string_view text) {
  double level = 0;
  if (!ReadWhole(text, level) || !std::isfinite(level))
    Bad(option, "的值 " + Quoted(text) + " 不是数");
  return level;
}

std::string ReadWholeFile(const std::string& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(OpenFileForReading(path), std::fclose);
  if (!in) throw UsageError("无法读取案例文件 " + Quoted(path));
  std::string bytes;
  char buffer[1 << 16];
  while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, in.get()))
    bytes.append(buffer, got);
  if (std::ferror(in.get())) throw UsageError("无法读取案例文件 " + Quoted(path));
  return bytes;
}

void TakeCaseTable(const std::string& path, StudyPlan& plan) {
  try {
    StudyFactor table = ReadCaseTable(ReadWholeFile(path));
    table.source = path;
    plan.Add(std::move(table));
  } catch (const StudyInputError& error) {
    if (error.line() == 0) throw;
    throw UsageError("案例文件 " + Quoted(path) + " 第 " + std::to_string(error.line()) + " 行：" +
                     error.what());
  }
}

void TakeShard(std::string_view name, std::string_view value, StudyCommand& study) {
  const std::size_t slash = value.find('/');
  if (slash == std::string_view::npos || !ReadWhole(value.substr(0, slash), study.shardIndex) ||
      !ReadWhole(value.substr(slash + 1), study.shardCount) || study.shardCount < 1 ||
      study.shardCount > StudyPlan::kMaxCases || study.shardIndex < 0 ||
      study.shardIndex >= study.shardCount) {
    Bad(name, "须写作 K/N，0 ≤ K < N，而不是 " + Quoted(value));
  }
}

void TakeValue(std::string_view name, std::string_view value, StudyCommand& study) {
  if (name == "sweep") {
    study.plan.Add(ParseSweep(value));
  } else if (name == "cases") {
    TakeCaseTable(std::string(value), study.plan);
  } else if (name == "sweep-csv") {
    if (value.empty()) Bad(name, "缺少文件名");
    study.csv = value;
  } else if (name == "sweep-plot") {
    if (!IsPngOrSvgName(value)) Bad(name, "的文件名应以 .png 或 .svg 结尾");
    study.plot = value;
  } else if (name == "forebay-max-level") {
    study.limits.forebayMaxLevel = ReadLevel(name, value);
  } else if (name == "forebay-min-level") {
    study.limits.forebayMinLevel = ReadLevel(name, value);
  } else if (name == "jobs") {
    if (!ReadWhole(value, study.jobs) || study.jobs < 1 || study.jobs > 4096) {
      Bad(name, "须是 1 至 4096 的整数，而不是 " + Quoted(value));
    }
  } else if (name == "shard") {
    TakeShard(name, value, study);
  }
}

}  // namespace

void TakeStudyOption(const Option& option, std::string_view value, StudyCommand& study) {
  try {
    TakeValue(option.name, value, study);
  } catch (const StudyInputError& error) {
    throw UsageError(error.what());
  }
}

}  // namespace kelvane
