#include "study_command.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <optional>

#include "charts/chart_scene.h"
#include "files/write_output.h"
#include "interrupt.h"
#include "study/case_warnings.h"
#include "study/study_session.h"
#include "terminal_progress.h"
#include "usage_error.h"

namespace kelvane {
namespace {

void PrintError(const RunError& error) {
  std::fputs(RunErrorText(error, ErrorTextLayout::CommandLine).c_str(), stderr);
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
void NoteLargeStudy(const StudyPlan& plan, const StudySession& session) {
  const std::optional<StudyEstimate> estimate = session.Estimate(kLargeStudy);
  if (!estimate) return;
  const StudySettings& settings = session.Settings();
  std::string text = "kelvane: 注意: 本研究要算 " + std::to_string(estimate->left) + " 个案例";
  if (settings.shardCount > 1) {
    text += "（分片 " + std::to_string(settings.shardIndex) + "/" +
            std::to_string(settings.shardCount) + "，全研究 " + std::to_string(plan.CaseCount()) +
            " 个）";
  }
  text += "，按 " + std::to_string(estimate->timed) + " 个案例试算，" +
          std::to_string(settings.jobs) + " 个线程约需 " +
          DurationText(estimate->perCase * static_cast<double>(estimate->left) / settings.jobs) +
          "（--max-cases 可拒绝过大的研究；中断后可用 --resume 继续）\n";
  std::fputs(text.c_str(), stderr);
}

// An interrupted study says how far it came and where its rows are kept,
// then ends by the signal that stopped it.
[[noreturn]] void EndInterrupted(const StudySession& session, const StudyOutcome& rows) {
  std::string text = std::string("kelvane: 已中断（") + SignalName(rows.signal) + "）：" +
                     std::to_string(session.Total()) + " 个案例已算完前 " +
                     std::to_string(rows.rows) + " 个";
  if (!rows.kept.empty()) {
    text += "，保存在 “" + rows.kept + "”；以同样的命令加 --resume " + rows.kept + " 继续";
  }
  std::fputs((text + "\n").c_str(), stderr);
  EndBySignal(rows.signal);
}

int Refused(const StudyRefusal& refusal) {
  std::fprintf(stderr, "kelvane: %s\n（kelvane --batch --help 列出全部选项）\n",
               refusal.message.c_str());
  return 2;
}

// The study's settings: the command's with the case's texts, and the stop
// a signal sets (a join is quick and keeps nothing: a signal ends it as it
// comes).
StudySettings SettingsOf(const BatchOptions& options) {
  StudySettings settings = options.study.settings;
  settings.base = options.typed;
  static const std::atomic<int> never{0};
  settings.stop = options.study.joinShards.empty() ? &CatchInterrupts() : &never;
  return settings;
}

StudyFiles FilesOf(const BatchOptions& options) {
  const StudyCommand& study = options.study;
  return StudyFiles{.csv = study.csv,
                    .resume = study.resume,
                    .joinShards = study.joinShards,
                    .manifest = study.sharded,
                    .chart = !study.plot.empty(),
                    .document = !options.report.empty()};
}

// The chart and the report, each on its own; 1 when one could not be
// written.
int WriteImages(const BatchOptions& options, const Images& images, const StudySession& session) {
  const StudyCommand& study = options.study;
  // A swept event is named by the chart's axis or legend instead.
  const auto studyChart = [&] {
    const PreparedCase& base = session.Base();
    // A base event that cannot be read has been refused before the study ran.
    if (base.eventError && !study.plan.SweepsEvent()) throw *base.eventError;
    const std::string event = study.plan.SweepsEvent() ? "" : ModelExtrasTitle(base.extras);
    return session.ChartPoints().Chart(study.plan, session.Settings().limits, event);
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
          .title = options.typed.title, .notes = options.typed.notes, .date = ""};
      images.Get().document(session.Document().Document(session.Tally(), studyChart(), about),
                            options.report);
    } catch (...) {
      PrintError(CurrentExceptionAsRunError(Stage::Report, "report"));
      status = 1;
    }
  }
  return status;
}

// The closing report to --summary or standard error; 1 when it could not
// be written.
int WriteSummary(const BatchOptions& options, const StudySession& session) {
  const std::string report =
      StudyReportText(options.study.plan, session.Settings(), session.Tally(), session.Checks());
  if (options.summary.empty()) {
    std::fputs(report.c_str(), stderr);
    return 0;
  }
  try {
    WriteOutput(options.summary, report);
  } catch (...) {
    PrintError(CurrentExceptionAsRunError(Stage::Report, "summary"));
    return 1;
  }
  return 0;
}

}  // namespace

int RunStudyCommand(const BatchOptions& options, const Images& images) {
  const StudyCommand& study = options.study;
  StudySession session(study.plan, SettingsOf(options), FilesOf(options));
  // --strict: a warning on any case's text refuses the study before it runs.
  if (options.strict) {
    if (const std::optional<FlaggedCase> flagged =
            FirstFlaggedCase(study.plan, session.Settings(), session.Base())) {
      std::fputs(("kelvane: --strict: " + FlaggedCaseText(*flagged) + "；不运行研究\n").c_str(),
                 stderr);
      return kExitUsage;
    }
  }
  if (const std::optional<StudyRefusal> refusal = session.Open()) return Refused(*refusal);
  NoteLargeStudy(study.plan, session);
  StudyProgress progress(session.Total(), ::isatty(STDERR_FILENO) == 1);
  const StudyOutcome rows = session.Run([&](std::int64_t done) { progress.Done(done); });
  progress.Clear();
  if (rows.refusal) return Refused(*rows.refusal);
  if (rows.csvError) PrintError(PlacedRunError(*rows.csvError, Stage::Report, "sweep-csv"));
  if (study.joinShards.empty()) std::fputs(session.Warnings().Text().c_str(), stderr);
  if (rows.signal != 0) EndInterrupted(session, rows);
  // Each output stands alone: one that fails leaves the others written.
  int status = rows.csvError ? 1 : 0;
  status |= WriteImages(options, images, session);
  status |= WriteSummary(options, session);
  // A signal after the last row: the outputs are whole, the status says it.
  if (const int signal = session.Settings().stop->load(); signal != 0) EndBySignal(signal);
  return status;
}

}  // namespace kelvane
