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
#include "study/study_document.h"
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
// case into the tally, the chart and the report where they are asked for. False, with the error
// printed, when the rows could not be written.
bool RunCases(const StudyCommand& study, const StudySettings& settings, StudyTally& tally,
              SweepChartPoints* chartPoints, StudyDocument* document) {
  const std::int64_t total =
      ShardCaseCount(study.plan.CaseCount(), study.shardIndex, study.shardCount);
  StudyProgress progress(total, ::isatty(STDERR_FILENO) == 1);
  // Rows go out as they come: at once to standard output, in large blocks to
  // a file (which is renamed into place only when complete).
  const std::size_t flushAt = study.csv == "-" ? 1 : std::size_t{1} << 16;
  auto run = [&](const ByteWriter* write) {
    std::string rows =
        write ? StudyCsvHeader(study.plan, study.limits, StudyChecks(study.plan, settings)) : "";
    std::int64_t done = 0;
    RunStudy(study.plan, settings, [&](const CaseResult& result) {
      tally.Add(result);
      if (chartPoints) chartPoints->Add(result);
      if (document) document->Add(result);
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
  settings.extras = ReadModelExtras(options.events);
  settings.limits = study.limits;
  settings.jobs = study.jobs > 0 ? study.jobs : UsableCores();
  settings.shardIndex = study.shardIndex;
  settings.shardCount = study.shardCount;

  StudyTally tally(study.plan);
  const bool chart = !study.plot.empty() || !options.report.empty();
  SweepChartPoints chartPoints;
  StudyDocument document(study.plan, settings);
  if (!RunCases(study, settings, tally, chart ? &chartPoints : nullptr,
                options.report.empty() ? nullptr : &document)) {
    return 1;
  }

  int status = 0;
  if (!study.plot.empty()) {
    try {
      const ChartData data = chartPoints.Chart(study.plan, study.limits);
      if (IsSvgPath(study.plot)) {
        SaveChartSvg(data, study.plot);  // without the windows
      } else {
        images.Get().chart(data, study.plot);
      }
    } catch (...) {
      PrintError(CurrentExceptionAsRunError(Stage::Chart));
      status = 1;
    }
  }
  if (!options.report.empty()) {
    try {
      const StudyDocumentCase about{
          .title = options.caseTitle, .notes = options.caseNotes, .date = ""};
      images.Get().document(
          document.Document(tally, chartPoints.Chart(study.plan, study.limits), about),
          options.report);
    } catch (...) {
      PrintError(CurrentExceptionAsRunError(Stage::Report));
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
