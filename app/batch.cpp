#include "batch.h"

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch_options.h"
#include "cases/case_file.h"
#include "charts/chart_scene.h"
#include "charts/design_lines.h"
#include "evaluation/design_checks.h"
#include "evaluation/report.h"
#include "files/output.h"
#include "files/write_output.h"
#include "format/user_text.h"
#include "gui_handover.h"
#include "model/model.h"
#include "run/mixed_case.h"
#include "run/run_case.h"
#include "study_command.h"
#include "terminal_progress.h"
#include "texts/event_texts.h"
#include "texts/input_check.h"
#include "texts/prepared_case.h"
#include "usage_error.h"

namespace kelvane {
namespace {

constexpr int kExitRunError = 1;

// Runs one output; a fault is printed (after wiping the progress line) and
// counted, and the next output still runs.
class OutputRunner {
 public:
  explicit OutputRunner(TerminalProgress& terminal) : terminal_(terminal) {}
  // `output`: the option whose file `write` writes, named in its fault.
  template <class Write>
  void Run(Stage stage, std::string_view output, Write&& write) {
    try {
      write();
    } catch (const CaseFileError& error) {
      ReportText(error.what() + std::string("\n"));
    } catch (...) {
      Report(CurrentExceptionAsRunError(stage, output));
    }
  }
  // An output that its stage names alone (the result file, the table).
  template <class Write>
  void Run(Stage stage, Write&& write) {
    Run(stage, {}, std::forward<Write>(write));
  }
  void Report(const RunError& error) {
    ReportText(RunErrorText(error, ErrorTextLayout::CommandLine));
  }
  void ReportText(const std::string& text) {
    terminal_.Clear();
    std::fputs(text.c_str(), stderr);
    ++failures_;
  }
  int Failures() const { return failures_; }

 private:
  TerminalProgress& terminal_;
  int failures_ = 0;
};

// The time-history chart of --nodes, the forebay when none is named.
void DrawHistory(const BatchOptions& options, const Images& images, const SurgeRun& run,
                 const RunOutcome& outcome) {
  std::vector<int> nodes = options.nodes;
  if (nodes.empty()) nodes.push_back(run.GridNodes());
  for (int node : nodes) {
    // A node beyond this run's grid: a subscript out of range.
    if (node > run.GridNodes()) {
      ErrorLocation at;
      at.stage = Stage::Chart;
      at.node = node;
      at.detail = "网格只有 " + std::to_string(run.GridNodes()) + " 个节点（1 至 " +
                  std::to_string(run.GridNodes()) + "）";
      throw RunError(ErrorCode::SubscriptOutOfRange, at);
    }
  }
  if (IsSvgPath(options.historyPlot)) {  // written here, without the windows
    SaveChartSvg(HistoryChart(run, GeometryOf(outcome), nodes, options.quantity),
                 options.historyPlot);
  } else {
    images.Get().history(run, outcome, nodes, options.quantity, options.historyPlot);
  }
}

// A chart of the run as SVG here, without the windows, or as PNG by them.
void SaveChart(const ChartData& chart, const Images& images, const std::string& path) {
  if (IsSvgPath(path)) {
    SaveChartSvg(chart, path);
  } else {
    images.Get().chart(chart, path);
  }
}

// The results table of the step range and interval as the boxes hold them,
// read afresh.
void WriteTable(const BatchOptions& options, const SurgeRun& run, ProgressSink& progress) {
  const InputTexts& t = options.typed.texts;
  const TableRange range = ReadTableRange(t[InputId::FirstOutputStep], t[InputId::LastOutputStep],
                                          t[InputId::OutputInterval]);
  WriteOutput(options.table, ResultsTableText(run, range, progress));
}

// The summary, with its 校核 section when design data is given.
void WriteSummary(const BatchOptions& options, const CaseRun& done, OutputRunner& outputs) {
  if (done.checksError) return outputs.Report(*done.checksError);
  outputs.Run(Stage::Report, "summary", [&] {
    const DesignCheckReport* checks = done.checks ? &*done.checks : nullptr;
    WriteOutput(options.summary, SummaryText(*done.summary, done.run, checks));
  });
}

// The images of the run: the plot, the time history and the envelope.
void DrawImages(const BatchOptions& options, const Images& images, const PreparedCase& prepared,
                const CaseRun& done, OutputRunner& outputs) {
  const SurgeRun& run = done.run;
  if (!options.plot.empty()) {
    outputs.Run(Stage::ForebayLevelLine, [&] { images.Get().plot(run, options.plot); });
  }
  if (!options.historyPlot.empty()) {
    outputs.Run(Stage::Chart, "history-plot",
                [&] { DrawHistory(options, images, run, done.outcome); });
  }
  if (!options.dischargePlot.empty()) {
    outputs.Run(Stage::Chart, "discharge-plot", [&] {
      SaveChart(PumpDischargeChart(run, GeometryOf(done.outcome)), images, options.dischargePlot);
    });
  }
  if (!options.envelopePlot.empty()) {
    outputs.Run(Stage::Chart, "envelope-plot", [&] {
      // The head envelope as the 包络线 window draws it, with the design data.
      const RunSummary summary = SummarizeRun(run, done.outcome);
      const RunGeometry geometry = GeometryOf(done.outcome);
      ChartData chart = EnvelopeChart(summary, run, geometry, EnvelopeOf::Head);
      AddCulvertDesign(chart, prepared.design, summary, geometry);
      SaveChart(chart, images, options.envelopePlot);
    });
  }
}

// The calculation book: the case run, then each other operating case of
// the case file, run here on every processor. The first case that cannot run
// is named and leaves the book unwritten.
void WriteBook(const BatchOptions& options, const Images& images, const PreparedCase& prepared,
               const CaseRun& done, OutputRunner& outputs) {
  std::vector<PreparedCase> otherCases;
  for (const BookCaseTexts& other : options.otherCases)
    otherCases.push_back(PrepareCase(other.typed));
  const std::vector<CaseRun> others = RunEachCase(otherCases);
  for (std::size_t i = 0; i < others.size(); ++i) {
    const RunError* fault = others[i].error          ? &*others[i].error
                            : others[i].summaryError ? &*others[i].summaryError
                                                     : nullptr;
    if (fault != nullptr) {
      outputs.ReportText("kelvane: 工况 " + QuotedText(options.otherCases[i].name) +
                         " 不能计算，计算书未写出：\n");
      outputs.Report(*fault);
      return;
    }
  }
  BookInput book;
  book.project = options.project;
  const std::string& title = options.typed.title;
  book.cases.push_back({title.empty() ? "基本工况" : title, options.caseDifferences,
                        CaseReportInput(prepared, done)});
  for (std::size_t i = 0; i < others.size(); ++i) {
    const BookCaseTexts& other = options.otherCases[i];
    book.cases.push_back(
        {other.name, other.differences, CaseReportInput(otherCases[i], others[i])});
  }
  outputs.Run(Stage::Report, "report", [&] { images.Get().report(book, options.report); });
}

// The reports of the full grids: the summary, the CSV, and the calculation
// report at the very end. The run gathered the envelope as it marched when a
// summary or the calculation report was asked for.
void WriteReports(const BatchOptions& options, const Images& images, const PreparedCase& prepared,
                  const CaseRun& done, OutputRunner& outputs) {
  if (done.summaryError) outputs.Report(*done.summaryError);
  if (done.summary && !options.summary.empty()) WriteSummary(options, done, outputs);
  if (!options.csv.empty()) {
    outputs.Run(Stage::Report, "csv", [&] {
      WriteOutput(options.csv, [&](const ByteWriter& write) { WriteCsv(done.run, write); });
    });
  }
  if (done.summary && !options.report.empty()) WriteBook(options, images, prepared, done, outputs);
}

// The same order as at the window: the run and its result file, then the
// results table, then the plot; the reports of the full grids last, the
// calculation report at the very end. A run that fails writes nothing; an
// output that fails costs none of the others. The case file holds only the
// texts, the design data and the pump event and area table: it is written
// before the run, so that a run that fails can be repeated from it.
int RunAndWrite(const BatchOptions& options, const Images& images, ProgressSink& progress,
                OutputRunner& outputs) {
  if (!options.saveCase.empty()) {
    outputs.Run(Stage::Report, "save-case", [&] {
      const CaseFile saved{options.typed, options.project, options.fileCases};
      WriteOutput(options.saveCase, CaseFileBytes(saved, options.saveCase));
    });
  }
  const PreparedCase prepared = PrepareCase(options.typed);
  RunObservers observers;
  observers.after = [&progress](const SurgeRun& run) { return MarchProgress(run, progress); };
  observers.summarize = !options.summary.empty() || !options.report.empty();
  const CaseRun done = RunCase(prepared, observers);
  if (done.error) {
    outputs.Report(*done.error);
    return outputs.Failures();
  }
  // The file named on the command line, or none (as when the save dialog
  // is cancelled).
  outputs.Run(Stage::ResultFile, [&] {
    WriteResultFile(done.run, done.outcome.parameters.OutputInterval, options.output, progress);
  });
  if (!options.table.empty()) {
    outputs.Run(Stage::ResultsTable, [&] { WriteTable(options, done.run, progress); });
  }
  DrawImages(options, images, prepared, done, outputs);
  WriteReports(options, images, prepared, done, outputs);
  return outputs.Failures();
}

// One line on standard error per flagged option; the number of lines. The
// results-table steps count only when a table is written.
std::size_t WarnAboutInputs(const BatchOptions& options) {
  const PreparedCase prepared = PrepareCase(options.typed);
  // A study checks the texts of each of its cases (RunStudyCommand).
  const std::vector<InputFlag> flags =
      options.study.Active() ? std::vector<InputFlag>{}
                             : CheckCaseInputs(prepared, {.outputSteps = !options.table.empty()});
  for (const InputFlag& flag : flags) {
    const std::string line = std::string("kelvane: 警告: --") + Field(flag.input).option +
                             " 读作 " + InputValueText(flag.value) + "：" + InputFlagText(flag) +
                             "\n";
    std::fputs(line.c_str(), stderr);
  }
  // The design data, given as options or in the case's [design], read by
  // the same rule, and the pump event; a study checks each case's.
  const std::vector<DesignFlag> designFlags =
      options.study.Active() ? std::vector<DesignFlag>{} : prepared.designFlags;
  for (const DesignFlag& flag : designFlags) {
    const std::string line = "kelvane: 警告: " + DesignFlagLine(flag) + "\n";
    std::fputs(line.c_str(), stderr);
  }
  const std::vector<EventWarning> eventWarnings =
      options.study.Active() ? std::vector<EventWarning>{}
                             : CaseEventWarnings(options.typed.events, options.typed.texts);
  for (const EventWarning& warning : eventWarnings) {
    std::fputs(("kelvane: 警告: " + EventWarningText(warning) + "\n").c_str(), stderr);
  }
  // The section of the mixed model against the area and radius boxes it does not use.
  const std::vector<std::string> sectionWarnings =
      options.study.Active() || prepared.extras.model != MarchModel::Mixed
          ? std::vector<std::string>{}
          : MixedSectionWarnings(prepared);
  for (const std::string& warning : sectionWarnings) {
    std::fputs(("kelvane: 警告: " + warning + "\n").c_str(), stderr);
  }
  for (const std::string& note : options.fileNotes) {
    std::fputs(("kelvane: 注意: " + note + "\n").c_str(), stderr);
  }
  // A schedule replaces the ramp and FinalPumpDischarge, whether given or
  // set by a study's column.
  const EventTexts& events = options.typed.events;
  bool schedule = events.schedule || events.units, ramp = events.rampTime.has_value();
  for (const StudyItem& item : options.study.plan.Columns()) {
    schedule |= item.event == EventField::PumpSchedule || item.event == EventField::PumpUnits;
    ramp |= item.event == EventField::RampTime;
  }
  if (schedule) {
    std::fputs(ramp ? "kelvane: 注意: 泵流量过程取代 --final-pump-discharge 与流量斜坡\n"
                    : "kelvane: 注意: 泵流量过程取代 --final-pump-discharge\n",
               stderr);
  }
  return flags.size() + designFlags.size() + eventWarnings.size() + sectionWarnings.size();
}

}  // namespace

int RunBatch(const CommandLine& line, char** argv, const ImageOutputs* linkedImages) {
  // A command with an image runs whole in the GUI program, handed on
  // before any file is read (a case file may come through a pipe); where
  // that program cannot start, the images fail and the rest is written.
  Images images(linkedImages);
  if (linkedImages == nullptr && BuildHasGui() && CommandNeedsGuiProgram(line)) {
    images = Images(RunInGuiProgram(argv));
  }

  BatchOptions options;
  try {
    options = ParseBatchOptions(line);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "kelvane: %s\n（kelvane --batch --help 列出全部选项）\n", error.what());
    return kExitUsage;
  }

  if (!options.help && WarnAboutInputs(options) > 0 && options.strict) {
    std::fputs("kelvane: --strict: 输入有警告，不计算\n", stderr);
    return kExitUsage;
  }

  TerminalProgress terminal;
  ProgressSink& progress = ::isatty(STDERR_FILENO) ? terminal : NoProgress();
  OutputRunner outputs(terminal);
  if (options.help) {
    outputs.Run(Stage::Report, [] { WriteOutput("-", BatchHelpText()); });
  } else if (options.study.Active()) {
    return RunStudyCommand(options, images);
  } else {
    RunAndWrite(options, images, progress, outputs);
  }
  terminal.Clear();
  return outputs.Failures() == 0 ? 0 : kExitRunError;
}

}  // namespace kelvane
