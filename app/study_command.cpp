#include "study_command.h"

#ifndef _WIN32
#include <sched.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "interrupt.h"
#include "output/file_reader.h"
#include "output/write_output.h"
#include "report/chart_scene.h"
#include "study/case_warnings.h"
#include "study/study_document.h"
#include "study/study_parts.h"
#include "study/sweep_chart_points.h"
#include "terminal_progress.h"
#include "usage_error.h"

namespace kelvane {
namespace {

// The processors this process may run on.
int UsableCores() {
#ifndef _WIN32
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

void PrintError(const RunError& error) {
  std::fputs(RunErrorText(error, ErrorTextLayout::CommandLine).c_str(), stderr);
}

// A fault of a file the study reads (a partial file, a shard), as the batch
// mode prints a usage error.
struct PartError {
  std::string message;
};

[[noreturn]] void BadPart(const std::string& file, const std::string& why, int line = 0) {
  throw PartError{"“" + file + "”" + (line > 0 ? " 第 " + std::to_string(line) + " 行" : "") +
                  "：" + why};
}

// A study this large states its size and a time first.
constexpr std::int64_t kLargeStudy = 1'000'000;

std::string DurationText(double seconds) {
  const auto whole = static_cast<std::int64_t>(std::ceil(seconds));
  if (whole < 120) return std::to_string(whole) + " 秒";
  if (whole < 7200) return std::to_string((whole + 59) / 60) + " 分";
  if (whole < 3 * 86400) {
    return std::to_string(whole / 3600) + " 小时 " + std::to_string(whole % 3600 / 60) + " 分";
  }
  return std::to_string((whole + 43200) / 86400) + " 天";
}

// The number of cases and the time they should take, from a few cases
// timed on this thread, on standard error; the study goes on.
void NoteLargeStudy(const StudyCommand& study, const StudySettings& settings, std::int64_t total) {
  const std::int64_t left = total - settings.skip;
  if (left <= kLargeStudy) return;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  int timed = 0;
  constexpr int kMostTimed = 4096;
  while (timed < kMostTimed && Clock::now() - start < std::chrono::milliseconds(200)) {
    // Cases spread over the study: its first ones may all fail at once.
    const std::int64_t position = settings.skip + (left / kMostTimed) * timed;
    RunCase(study.plan, settings,
            ShardCaseNumber(position, settings.shardIndex, settings.shardCount));
    ++timed;
  }
  const double perCase = std::chrono::duration<double>(Clock::now() - start).count() / timed;
  const int jobs = settings.jobs;
  std::string text = "kelvane: 注意: 本研究要算 " + std::to_string(left) + " 个案例";
  if (study.shardCount > 1) {
    text += "（分片 " + std::to_string(study.shardIndex) + "/" + std::to_string(study.shardCount) +
            "，全研究 " + std::to_string(study.plan.CaseCount()) + " 个）";
  }
  text += "，按 " + std::to_string(timed) + " 个案例试算，" + std::to_string(jobs) +
          " 个线程约需 " + DurationText(perCase * static_cast<double>(left) / jobs) +
          "（--max-cases 可拒绝过大的研究；中断后可用 --resume 继续）\n";
  std::fputs(text.c_str(), stderr);
}

// A part file (a partial file, a shard) opened and its part line read.
struct OpenPart {
  std::string name;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{nullptr, std::fclose};
  StudyPart part;
};

OpenPart OpenStudyPart(const std::string& name, const std::string& fingerprint, bool shard) {
  OpenPart open;
  open.name = name;
  open.file.reset(OpenFileForReading(name));
  if (!open.file) BadPart(name, FileReadError(name, errno).Reason());
  // A folder opens, and fails only when read.
  std::error_code ignored;
  if (std::filesystem::is_directory(std::u8string(name.begin(), name.end()), ignored)) {
    BadPart(name, FileReadError(name, EISDIR).Reason());
  }
  const std::optional<StudyPart> part = ReadStudyPart(open.file.get());
  if (!part) {
    BadPart(name, shard ? "不是分片的 CSV（末行应为 --shard 写的 #kelvane-study 行）"
                        : "不是中断留下的部分文件（末行应为 #kelvane-study 行）");
  }
  if (part->plan != fingerprint) {
    BadPart(name, "属于另一个研究（扫描、输入、设计资料、限值或列与本命令的不同）");
  }
  open.part = *part;
  return open;
}

// The rows read from a part file go out, into the tally and the chart, as
// computed ones do.
class RowOut {
 public:
  RowOut(const StudyCommand& study, StudyTally& tally, SweepChartPoints& chartPoints,
         StudyProgress& progress, const ByteWriter* write, StudyWarnings* warnings = nullptr,
         StudyDocument* document = nullptr)
      : study_(study),
        tally_(tally),
        chart_(chartPoints),
        progress_(progress),
        write_(write),
        warnings_(warnings),
        document_(document) {
    flushAt_ = study.csv == "-" ? 1 : std::size_t{1} << 16;
  }
  void Computed(const CaseResult& result) {
    if (write_) AppendStudyCsvRow(study_.plan, study_.limits, result, rows_);
    if (warnings_) warnings_->Add(result);
    if (document_) document_->Add(result);
    Count(result);
  }
  void Stored(const StoredRow& row) {
    if (write_) rows_ += row.bytes;
    if (document_) {
      document_->AddCells(
          StudyCsvRecordCells(std::string_view(row.bytes).substr(0, row.bytes.size() - 1)));
    }
    Count(StoredCaseResult(study_.plan, row));
  }
  void Text(std::string_view text) {
    if (write_) rows_ += text;
  }
  void Flush() {
    if (write_ && !rows_.empty()) (*write_)(rows_);
    rows_.clear();
  }

 private:
  void Count(const CaseResult& result) {
    tally_.Add(result);
    if (!study_.plot.empty() || document_) chart_.Add(result);
    if (rows_.size() >= flushAt_) Flush();
    progress_.Done(++done_);
  }
  const StudyCommand& study_;
  StudyTally& tally_;
  SweepChartPoints& chart_;
  StudyProgress& progress_;
  const ByteWriter* write_;
  StudyWarnings* warnings_;  // the computed cases' warnings; none for stored rows
  StudyDocument* document_;  // the report's rows, computed and stored
  std::string rows_;
  std::size_t flushAt_;
  std::int64_t done_ = 0;
};

// The rows of the partial file being resumed, checked and passed on.
void CopyPartialRows(OpenPart& open, const StudyCommand& study, const std::string& header,
                     RowOut& out) {
  try {
    StudyCsvReader reader(open.file.get(), header);
    StoredRow row;
    for (std::int64_t position = 0; position < open.part.rows; ++position) {
      if (!reader.Next(row)) BadPart(open.name, "行数少于末行所记", reader.Line() + 1);
      if (row.number != ShardCaseNumber(position, study.shardIndex, study.shardCount)) {
        BadPart(open.name, "案例号不是依次的", reader.Line());
      }
      out.Stored(row);
    }
    if (reader.Next(row)) BadPart(open.name, "行数多于末行所记", reader.Line());
  } catch (const StudyInputError& error) {
    BadPart(open.name, error.what(), error.line());
  }
  // Closed before the study may keep a new partial file under its name.
  open.file.reset();
}

// The rows to --sweep-csv (nowhere when it is not given). False, with the
// fault printed, when they could not be written; a fault of a file read
// (PartError) and a stop (KeepPartial) go on to the caller.
bool WriteRows(const StudyCommand& study, StudyProgress& progress,
               const std::function<void(const ByteWriter*)>& rows) {
  try {
    if (study.csv.empty()) {
      rows(nullptr);
    } else {
      WriteOutput(study.csv, [&](const ByteWriter& write) { rows(&write); });
    }
  } catch (const KeepPartial&) {
    progress.Clear();
    throw;
  } catch (const PartError&) {
    progress.Clear();
    throw;
  } catch (...) {
    progress.Clear();
    PrintError(CurrentExceptionAsRunError(Stage::Report, "sweep-csv"));
    return false;
  }
  progress.Clear();
  return true;
}

// How a study's rows ended: all written, or stopped by a signal with what
// was kept.
struct RowsOutcome {
  bool written = true;  // false: an output fault, printed
  int signal = 0;       // the signal that stopped the study; 0 when complete
  std::string kept;     // the partial file, if one was kept
  std::int64_t rows = 0;
};

// Runs every case of the study (after those of a resumed partial file): the
// rows to --sweep-csv as they come, each case into the tally and the chart.
// A shard's rows, and rows stopped by a signal, end in their part line.
RowsOutcome RunCases(const StudyCommand& study, StudySettings& settings,
                     const std::string& fingerprint, StudyTally& tally,
                     SweepChartPoints& chartPoints, StudyWarnings& warnings,
                     StudyDocument* document) {
  const std::int64_t total =
      ShardCaseCount(study.plan.CaseCount(), study.shardIndex, study.shardCount);
  std::optional<OpenPart> resumed;
  if (!study.resume.empty()) {
    resumed = OpenStudyPart(study.resume, fingerprint, false);
    const StudyPart& part = resumed->part;
    if (part.shardIndex != study.shardIndex || part.shardCount != study.shardCount) {
      BadPart(study.resume, "是分片 " + std::to_string(part.shardIndex) + "/" +
                                std::to_string(part.shardCount) + " 的部分文件，与本命令的不同");
    }
    if (part.total != total || part.Complete())
      BadPart(study.resume, "不是本研究中断留下的部分文件");
    settings.skip = part.rows;
  }
  NoteLargeStudy(study, settings, total);
  StudyProgress progress(total, ::isatty(STDERR_FILENO) == 1);
  RowsOutcome outcome;
  const std::string header =
      StudyCsvHeader(study.plan, study.limits, StudyChecks(study.plan, settings),
                     StudyNamesEvent(study.plan, settings));
  auto run = [&](const ByteWriter* write) {
    RowOut out(study, tally, chartPoints, progress, write, &warnings, document);
    out.Text(header);
    if (resumed) CopyPartialRows(*resumed, study, header, out);
    outcome.rows =
        RunStudy(study.plan, settings, [&](const CaseResult& result) { out.Computed(result); });
    StudyPart part{fingerprint, study.shardIndex, study.shardCount, outcome.rows, total};
    if (!part.Complete() || study.shardCount > 1) out.Text(StudyPartLine(part));
    out.Flush();
    if (!part.Complete()) throw KeepPartial{};
  };
  try {
    outcome.written = WriteRows(study, progress, run);
  } catch (const KeepPartial& stop) {
    outcome.signal = settings.stop->load();
    outcome.kept = stop.kept;
  }
  if (!outcome.written) return outcome;
  // The finished file replaces the partial one it was resumed from.
  if (resumed && outcome.signal == 0) {
    resumed->file.reset();
    if (resumed->name != outcome.kept) std::remove(resumed->name.c_str());
  }
  return outcome;
}

// The shards given to --join-shards: one plan, each shard once, none
// missing; read side by side, the rows go out in case order.
bool JoinShards(const StudyCommand& study, const StudySettings& settings,
                const std::string& fingerprint, StudyTally& tally, SweepChartPoints& chartPoints,
                StudyDocument* document) {
  std::vector<OpenPart> parts;
  for (const std::string& name : study.joinShards) {
    OpenPart open = OpenStudyPart(name, fingerprint, true);
    const StudyPart& part = open.part;
    if (part.shardCount == 1) BadPart(name, "不是分片，是整个研究中断留下的部分文件");
    if (!part.Complete()) {
      BadPart(name, "是中断的分片（" + std::to_string(part.rows) + "/" +
                        std::to_string(part.total) + " 行）：先用 --resume 完成它");
    }
    if (!parts.empty() && part.shardCount != parts.front().part.shardCount) {
      BadPart(name, "分自 " + std::to_string(part.shardCount) + " 片，而 “" + parts.front().name +
                        "” 分自 " + std::to_string(parts.front().part.shardCount) + " 片");
    }
    for (const OpenPart& other : parts) {
      if (other.part.shardIndex == part.shardIndex) {
        BadPart(name, "与 “" + other.name + "” 是同一个分片 " + std::to_string(part.shardIndex) +
                          "/" + std::to_string(part.shardCount));
      }
    }
    parts.push_back(std::move(open));
  }
  const std::int64_t count = parts.front().part.shardCount;
  if (static_cast<std::int64_t>(parts.size()) < count) {
    std::string missing;
    int listed = 0;
    for (std::int64_t k = 0; k < count && listed < 8; ++k) {
      if (std::none_of(parts.begin(), parts.end(),
                       [&](const OpenPart& p) { return p.part.shardIndex == k; })) {
        missing += (listed++ ? "、" : "") + std::to_string(k) + "/" + std::to_string(count);
      }
    }
    throw PartError{"--join-shards 缺少分片 " + missing + (listed == 8 ? " 等" : "") + "（共 " +
                    std::to_string(count) + " 片，给了 " + std::to_string(parts.size()) + " 片）"};
  }
  std::sort(parts.begin(), parts.end(), [](const OpenPart& a, const OpenPart& b) {
    return a.part.shardIndex < b.part.shardIndex;
  });
  StudyProgress progress(study.plan.CaseCount(), ::isatty(STDERR_FILENO) == 1);
  const std::string header =
      StudyCsvHeader(study.plan, study.limits, StudyChecks(study.plan, settings),
                     StudyNamesEvent(study.plan, settings));
  auto join = [&](const ByteWriter* write) {
    RowOut out(study, tally, chartPoints, progress, write, nullptr, document);
    out.Text(header);
    std::vector<std::unique_ptr<StudyCsvReader>> readers;
    for (OpenPart& part : parts) {
      try {
        readers.push_back(std::make_unique<StudyCsvReader>(part.file.get(), header));
      } catch (const StudyInputError& error) {
        BadPart(part.name, error.what(), error.line());
      }
    }
    StoredRow row;
    for (std::int64_t n = 1; n <= study.plan.CaseCount() + count; ++n) {
      const std::size_t k = static_cast<std::size_t>(n % count);
      StudyCsvReader& reader = *readers[k];
      try {
        const bool more = reader.Next(row);
        if (n > study.plan.CaseCount()) {
          if (more) BadPart(parts[k].name, "行数多于本分片的案例", reader.Line());
          continue;
        }
        if (!more) BadPart(parts[k].name, "缺少案例 " + std::to_string(n), reader.Line() + 1);
        if (row.number != n)
          BadPart(parts[k].name, "案例号应为 " + std::to_string(n), reader.Line());
      } catch (const StudyInputError& error) {
        BadPart(parts[k].name, error.what(), error.line());
      }
      out.Stored(row);
    }
    out.Flush();
  };
  return WriteRows(study, progress, join);
}

}  // namespace

namespace {

// An interrupted study says how far it came and where its rows are kept,
// then ends by the signal that stopped it.
[[noreturn]] void EndInterrupted(const StudyCommand& study, const RowsOutcome& rows) {
  const std::int64_t total =
      ShardCaseCount(study.plan.CaseCount(), study.shardIndex, study.shardCount);
  std::string text = std::string("kelvane: 已中断（") + SignalName(rows.signal) + "）：" +
                     std::to_string(total) + " 个案例已算完前 " + std::to_string(rows.rows) + " 个";
  if (!rows.kept.empty()) {
    text += "，保存在 “" + rows.kept + "”；以同样的命令加 --resume " + rows.kept + " 继续";
  }
  std::fputs((text + "\n").c_str(), stderr);
  EndBySignal(rows.signal);
}

}  // namespace

int RunStudyCommand(const BatchOptions& options, const Images& images) {
  const StudyCommand& study = options.study;
  StudySettings settings;
  settings.base = options.texts;
  settings.design = options.design;
  settings.events = options.events;
  settings.limits = study.limits;
  settings.jobs = study.jobs > 0 ? study.jobs : UsableCores();
  settings.shardIndex = study.shardIndex;
  settings.shardCount = study.shardCount;
  // A join is quick and keeps nothing: a signal ends it as it comes.
  const std::atomic<int> never{0};
  settings.stop = study.joinShards.empty() ? &CatchInterrupts() : &never;

  // --strict: a warning on any case's text refuses the study before it runs.
  if (options.strict) {
    if (const std::optional<FlaggedCase> flagged = FirstFlaggedCase(study.plan, settings)) {
      std::fputs(("kelvane: --strict: " + FlaggedCaseText(*flagged) + "；不运行研究\n").c_str(),
                 stderr);
      return kExitUsage;
    }
  }

  StudyTally tally(study.plan);
  StudyWarnings warnings(study.plan, settings);
  SweepChartPoints chartPoints(study.plan);
  StudyDocument document(study.plan, settings);
  const std::string fingerprint = StudyFingerprint(study.plan, settings);
  try {
    if (!study.joinShards.empty()) {
      if (!JoinShards(study, settings, fingerprint, tally, chartPoints,
                      options.report.empty() ? nullptr : &document)) {
        return 1;
      }
    } else {
      const RowsOutcome rows = RunCases(study, settings, fingerprint, tally, chartPoints, warnings,
                                        options.report.empty() ? nullptr : &document);
      std::fputs(warnings.Text().c_str(), stderr);
      if (!rows.written) return 1;
      if (rows.signal != 0) EndInterrupted(study, rows);
    }
  } catch (const PartError& error) {
    std::fprintf(stderr, "kelvane: %s\n（kelvane --batch --help 列出全部选项）\n",
                 error.message.c_str());
    return 2;
  }
  settings.shardIndex = study.joinShards.empty() ? study.shardIndex : 0;
  settings.shardCount = study.joinShards.empty() ? study.shardCount : 1;

  // A swept event is named by the chart's axis or legend instead.
  const auto studyChart = [&] {
    const std::string event =
        study.plan.SweepsEvent() ? "" : ModelExtrasTitle(ReadModelExtras(options.events));
    return chartPoints.Chart(study.plan, study.limits, event);
  };
  int status = 0;
  if (!study.plot.empty()) {
    try {
      const ChartData chart = studyChart();
      if (IsSvgPath(study.plot)) {
        SaveChartSvg(chart, study.plot);  // without the windows
      } else {
        images.Get().chart(chart, study.plot);
      }
    } catch (...) {
      PrintError(CurrentExceptionAsRunError(Stage::Chart, "sweep-plot"));
      status = 1;
    }
  }
  if (!options.report.empty()) {
    try {
      const StudyDocumentCase about{
          .title = options.caseTitle, .notes = options.caseNotes, .date = ""};
      images.Get().document(document.Document(tally, studyChart(), about), options.report);
    } catch (...) {
      PrintError(CurrentExceptionAsRunError(Stage::Report, "report"));
      status = 1;
    }
  }

  const std::string report = StudyReportText(study.plan, settings, tally);
  if (options.summary.empty()) {
    std::fputs(report.c_str(), stderr);
  } else {
    try {
      WriteOutput(options.summary, report);
    } catch (...) {
      PrintError(CurrentExceptionAsRunError(Stage::Report, "summary"));
      status = 1;
    }
  }
  // A signal after the last row: the outputs are whole, the status says it.
  if (const int signal = settings.stop->load(); signal != 0) EndBySignal(signal);
  return status;
}

}  // namespace kelvane
