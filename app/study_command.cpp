#include "study_command.h"

#ifndef _WIN32
#include <sched.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <thread>

#include "batch.h"
#include "batch_options.h"
#include "image_outputs.h"
#include "report/chart_data.h"
#include "terminal_progress.h"

namespace kelvane {
namespace {

struct StudyOption {
  const char* name;
  const char* placeholder;
  const char* meaning;
  bool repeatable;
};

constexpr StudyOption kStudyOptions[] = {
    {"sweep", "选项=值,起:止:步",
     "扫描一个输入（含终点，十进制精确计算）；可重复，案例为各扫描的乘积，先给的变化最慢", true},
    {"cases", "文件.csv", "案例表：表头为输入选项名，每行一个案例，单元格为输入框文本", true},
    {"sweep-csv", "文件|-", "每个案例一行（CSV），按案例号顺序", false},
    {"sweep-plot", "文件.png|.svg",
     "前池最高、最低水位对第一个扫描选项的图，第二个扫描选项每个值一条线，限值为水平线", false},
    {"forebay-max-level", "X", "限值：前池最高水位 ≤ X (m) 为通过", false},
    {"forebay-min-level", "Y", "限值：前池最低水位 ≥ Y (m) 为通过", false},
    {"jobs", "N", "同时计算的线程数（默认每个处理器核一个）；输出与 N 无关", false},
    {"shard", "K/N", "只算案例号除以 N 余 K 的案例（0 ≤ K < N），供作业阵列分片", false},
};

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

// The processors this process may run on.
int UsableCores() {
#ifndef _WIN32
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

bool Given(const StudyCommand& study, std::string_view name) {
  return std::find(study.given.begin(), study.given.end(), name) != study.given.end();
}

void PrintError(const RunError& error) {
  std::fputs(RunErrorText(error, ErrorTextLayout::CommandLine).c_str(), stderr);
}

}  // namespace

bool IsStudyOption(std::string_view name) {
  return std::any_of(std::begin(kStudyOptions), std::end(kStudyOptions),
                     [&](const StudyOption& option) { return name == option.name; });
}

void TakeStudyOption(std::string_view name, std::string_view value, StudyCommand& study) {
  const StudyOption& option = *std::find_if(std::begin(kStudyOptions), std::end(kStudyOptions),
                                            [&](const StudyOption& o) { return name == o.name; });
  if (!option.repeatable && Given(study, name)) Bad(name, "给了两次");
  study.given.emplace_back(name);
  try {
    if (name == "sweep") {
      study.plan.Add(ParseSweep(value));
    } else if (name == "cases") {
      const std::string path(value);
      try {
        study.plan.Add(ReadCaseTable(ReadWholeFile(path)));
      } catch (const StudyInputError& error) {
        if (error.line() == 0) throw;
        throw UsageError("案例文件 " + Quoted(path) + " 第 " + std::to_string(error.line()) +
                         " 行：" + error.what());
      }
    } else if (name == "sweep-csv") {
      if (value.empty()) Bad(name, "缺少文件名");
      study.csv = value;
    } else if (name == "sweep-plot") {
      const std::string file(value);
      auto endsWith = [&file](std::string_view end) {
        if (file.size() < end.size()) return false;
        for (std::size_t i = 0; i < end.size(); ++i) {
          const char c = file[file.size() - end.size() + i];
          if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != end[i]) return false;
        }
        return true;
      };
      if (!endsWith(".png") && !endsWith(".svg")) Bad(name, "的文件名应以 .png 或 .svg 结尾");
      study.plot = file;
    } else if (name == "forebay-max-level") {
      study.limits.forebayMaxLevel = ReadLevel(name, value);
    } else if (name == "forebay-min-level") {
      study.limits.forebayMinLevel = ReadLevel(name, value);
    } else if (name == "jobs") {
      if (!ReadWhole(value, study.jobs) || study.jobs < 1 || study.jobs > 4096) {
        Bad(name, "须是 1 至 4096 的整数，而不是 " + Quoted(value));
      }
    } else if (name == "shard") {
      const std::size_t slash = value.find('/');
      if (slash == std::string_view::npos || !ReadWhole(value.substr(0, slash), study.shardIndex) ||
          !ReadWhole(value.substr(slash + 1), study.shardCount) || study.shardCount < 1 ||
          study.shardCount > StudyPlan::kMaxCases || study.shardIndex < 0 ||
          study.shardIndex >= study.shardCount) {
        Bad(name, "须写作 K/N，0 ≤ K < N，而不是 " + Quoted(value));
      }
    }
  } catch (const StudyInputError& error) {
    throw UsageError(error.what());
  }
}

void CheckStudyOptions(const BatchOptions& options,
                       const std::array<bool, kInputCount>& inputGiven) {
  const StudyCommand& study = options.study;
  if (!study.Active()) {
    if (!study.given.empty()) {
      throw UsageError("选项 --" + study.given.front() + " 只用于设计研究（--sweep 或 --cases）");
    }
    return;
  }
  for (auto [single, name] : {std::pair{&options.output, "output"},
                              {&options.table, "table"},
                              {&options.plot, "plot"},
                              {&options.historyPlot, "history-plot"},
                              {&options.envelopePlot, "envelope-plot"},
                              {&options.csv, "csv"},
                              {&options.saveCase, "save-case"}}) {
    if (!single->empty()) {
      throw UsageError(std::string("设计研究不写单次运行的输出 --") + name +
                       "（每个案例一行见 --sweep-csv）");
    }
  }
  for (InputId input : study.plan.Columns()) {
    if (inputGiven[static_cast<std::size_t>(input)]) {
      throw UsageError(std::string("输入选项 --") + Field(input).option + " 既给出又扫描");
    }
  }
  const std::string& summary = options.summary;
  if (!study.csv.empty() && !summary.empty() &&
      (study.csv == summary ||
       (summary != "-" && study.csv != "-" && SameOutputFile(study.csv, summary)))) {
    throw UsageError("--sweep-csv 与 --summary 指向同一处 " + Quoted(study.csv));
  }
  if (!study.plot.empty() && !BatchCanPlot()) {
    throw UsageError("此版本不含窗口，不能画图（--sweep-plot）");
  }
  for (const std::string* other : {&study.csv, &summary}) {
    if (!study.plot.empty() && !other->empty() && *other != "-" &&
        (*other == study.plot || SameOutputFile(*other, study.plot))) {
      throw UsageError("--sweep-plot 与其他输出指向同一个文件 " + Quoted(study.plot));
    }
  }
}

// The study's chart: for each value of the second swept column, the forebay's
// highest and lowest level against the first column's value. Where more
// columns are swept, the cases that share those two values are drawn by
// their extremes (the highest of the highest, the lowest of the lowest).
class SweepChartPoints {
 public:
  void Add(const CaseResult& result) {
    const std::optional<ForebayExtremesPoint> point = ChartPoint(result);
    if (!point) return;
    auto [at, fresh] = points_.try_emplace({point->secondValue, point->firstValue},
                                           Extremes{point->highest, point->lowest});
    if (!fresh) {
      at->second.highest = std::max(at->second.highest, point->highest);
      at->second.lowest = std::min(at->second.lowest, point->lowest);
    }
  }

  ChartData Chart(const StudyPlan& plan, const StudyLimits& limits) const {
    SweepChartInput input;
    const InputField& first = Field(plan.Columns()[0]);
    input.xTitle = first.caption;
    if (*first.unit) input.xTitle += std::string(" (") + first.unit + ")";
    std::map<std::uint32_t, SweepCurve> curves;
    for (const auto& [key, extremes] : points_) {
      SweepCurve& curve = curves[key.first];
      if (curve.x.empty() && plan.Columns().size() > 1) {
        // The legend names the value; the title names the option.
        const InputField& second = Field(plan.Columns()[1]);
        curve.label = plan.ValueText(1, key.first);
        if (*second.unit) curve.label += std::string(" ") + second.unit;
        input.title = std::string("前池最高与最低水位（各线为") + second.caption + "的取值）";
      }
      curve.x.push_back(ReadLeadingNumber(plan.ValueText(0, key.second)));
      curve.highest.push_back(extremes.highest);
      curve.lowest.push_back(extremes.lowest);
    }
    for (auto& [value, curve] : curves) {
      // By the first column's value as a box reads it, ascending.
      std::vector<std::size_t> order(curve.x.size());
      for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
      std::stable_sort(order.begin(), order.end(),
                       [&](std::size_t a, std::size_t b) { return curve.x[a] < curve.x[b]; });
      SweepCurve sorted;
      sorted.label = curve.label;
      for (std::size_t i : order) {
        sorted.x.push_back(curve.x[i]);
        sorted.highest.push_back(curve.highest[i]);
        sorted.lowest.push_back(curve.lowest[i]);
      }
      input.curves.push_back(std::move(sorted));
    }
    if (limits.forebayMaxLevel) {
      input.limits.push_back({"前池最高水位限值", *limits.forebayMaxLevel});
    }
    if (limits.forebayMinLevel) {
      input.limits.push_back({"前池最低水位限值", *limits.forebayMinLevel});
    }
    return SweepChart(input);
  }

 private:
  struct Extremes {
    float highest, lowest;  // m
  };
  std::map<std::pair<std::uint32_t, std::uint32_t>, Extremes> points_;  // (second, first)
};

std::string StudyHelpText() {
  std::string text =
      "\n"
      "设计研究（给出 --sweep 或 --cases 时；每个案例是一次完整的计算，与单独运行相同）:\n";
  for (const StudyOption& option : kStudyOptions) {
    text += "  " + PadRight(std::string("--") + option.name + " " + option.placeholder, 28) +
            option.meaning + "\n";
  }
  text += "  " + PadRight("--summary 文件|-", 28) +
          "研究概要：案例数、失败数、全部限值通过数、各扫描选项全部通过的取值（默认写到标准错误）\n"
          "出错的案例也是一行（status 为错误号，error 为错误说明），研究照常进行。\n";
  return text;
}

int RunStudyCommand(const BatchOptions& options, const Images& images) {
  const StudyCommand& study = options.study;
  StudySettings settings;
  settings.base = options.texts;
  settings.limits = study.limits;
  settings.jobs = study.jobs > 0 ? study.jobs : UsableCores();
  settings.shardIndex = study.shardIndex;
  settings.shardCount = study.shardCount;

  const std::int64_t total =
      ShardCaseCount(study.plan.CaseCount(), study.shardIndex, study.shardCount);
  StudyProgress progress(total, ::isatty(STDERR_FILENO) == 1);
  StudyTally tally(study.plan);
  SweepChartPoints chartPoints;
  // Rows go out as they come: at once to standard output, in large blocks to
  // a file (which is renamed into place only when complete).
  const std::size_t flushAt = study.csv == "-" ? 1 : std::size_t{1} << 16;
  auto run = [&](const ByteWriter* write) {
    std::string rows = write ? StudyCsvHeader(study.plan, study.limits) : "";
    std::int64_t done = 0;
    RunStudy(study.plan, settings, [&](const CaseResult& result) {
      tally.Add(result);
      if (!study.plot.empty()) chartPoints.Add(result);
      if (write) {
        AppendStudyCsvRow(study.plan, study.limits, result, rows);
        if (rows.size() >= flushAt) {
          (*write)(rows);
          rows.clear();
        }
      }
      progress.Done(++done);
    });
    if (write && !rows.empty()) (*write)(rows);
  };
  try {
    if (study.csv.empty()) {
      run(nullptr);
    } else {
      WriteReport(study.csv, [&](const ByteWriter& write) { run(&write); });
    }
  } catch (...) {
    progress.Clear();
    PrintError(CurrentExceptionAsRunError(Stage::Report));
    return 1;
  }
  progress.Clear();

  int status = 0;
  if (!study.plot.empty()) {
    try {
      images.Get().chart(chartPoints.Chart(study.plan, study.limits), study.plot);
    } catch (...) {
      PrintError(CurrentExceptionAsRunError(Stage::Chart));
      status = 1;
    }
  }

  const std::string report = StudyReportText(study.plan, settings, tally);
  if (options.summary.empty()) {
    std::fputs(report.c_str(), stderr);
    return status;
  }
  try {
    WriteReport(options.summary, [&](const ByteWriter& write) { write(report); });
  } catch (...) {
    PrintError(CurrentExceptionAsRunError(Stage::Report));
    return 1;
  }
  return status;
}

}  // namespace kelvane
