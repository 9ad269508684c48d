#include "study_command.h"

#ifndef _WIN32
#include <sched.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "output/write_output.h"
#include "report/chart_scene.h"
#include "study/sweep_chart_points.h"
#include "terminal_progress.h"

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

// Runs every case of the study: the rows to --sweep-csv as they come, each
// case into the tally and the chart. False, with the error printed, when the
// rows could not be written.
bool RunCases(const StudyCommand& study, const StudySettings& settings, StudyTally& tally,
              SweepChartPoints& chartPoints) {
  const std::int64_t total =
      ShardCaseCount(study.plan.CaseCount(), study.shardIndex, study.shardCount);
  StudyProgress progress(total, ::isatty(STDERR_FILENO) == 1);
  // Rows go out as they come: at once to standard output, in large blocks to
  // a file (which is renamed into place only when complete).
  const std::size_t flushAt = study.csv == "-" ? 1 : std::size_t{1} << 16;
  auto run = [&](const ByteWriter* write) {
    std::string rows =
        write ? StudyCsvHeader(study.plan, study.limits, StudyChecks(study.plan, settings),
                               StudyNamesEvent(study.plan, settings))
              : "";
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
      WriteOutput(study.csv, [&](const ByteWriter& write) { run(&write); });
    }
  } catch (...) {
    progress.Clear();
    PrintError(CurrentExceptionAsRunError(Stage::Report));
    return false;
  }
  progress.Clear();
  return true;
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

  StudyTally tally(study.plan);
  SweepChartPoints chartPoints;
  if (!RunCases(study, settings, tally, chartPoints)) return 1;

  int status = 0;
  if (!study.plot.empty()) {
    try {
      // A swept event is named by the chart's axis or legend instead.
      const std::string event =
          study.plan.SweepsEvent() ? "" : ModelExtrasTitle(ReadModelExtras(options.events));
      const ChartData chart = chartPoints.Chart(study.plan, study.limits, event);
      if (IsSvgPath(study.plot)) {
        SaveChartSvg(chart, study.plot);  // without the windows
      } else {
        images.Get().chart(chart, study.plot);
      }
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
    WriteOutput(options.summary, report);
  } catch (...) {
    PrintError(CurrentExceptionAsRunError(Stage::Report));
    return 1;
  }
  return status;
}

}  // namespace kelvane
