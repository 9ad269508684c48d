#include "batch.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "batch_options.h"
#include "output/output.h"
#include "report.h"
#include "solver/solver.h"
#include "terminal_progress.h"

#ifdef KELVANE_WITH_UI
#include "ui/ui.h"
#endif

namespace kelvane {
namespace {

constexpr int kExitRunError = 1;
constexpr int kExitUsage = 2;

// Standard output as a byte sink; a failed write (a full disk behind a
// redirection, a closed stream) is a run-time error like a file's.
void WriteStandardOutput(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw RunError(FileErrorCode(errno), "写标准输出");
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

// A report goes to standard output for "-", otherwise through a temporary
// file renamed over `target` once complete.
void WriteReport(const std::string& target,
                 const std::function<void(const ByteWriter& write)>& body) {
  if (target == "-") {
    body(WriteStandardOutput);
  } else {
    WriteFileAtomically(target, body);
  }
}

void WriteReportText(const std::string& target, const std::string& text) {
  WriteReport(target, [&](const ByteWriter& write) { write(text); });
}

// The same order as at the window: the run and its result file, then the
// results table, then the plot; the reports of the full grids last.
void RunAndWrite(const BatchOptions& options, ProgressSink& progress) {
  SurgeRun run;
  // The summary's envelope is gathered as the march finishes each block of
  // steps, while the block is still in the caches.
  RunSummarizer summarizer;
  const bool summarize = !options.summary.empty();
  RunOutcome outcome = summarize ? Calculate(options.texts, run, summarizer.Observer(run))
                                 : Calculate(options.texts, run);
  // The save dialog's part: the file named on the command line, or the
  // empty name (no file) as when the dialog is cancelled.
  WriteResultFile(
      run, outcome.parameters.OutputInterval,
      [&](const SaveDialogRequest&) { return options.output; }, progress);
  if (!options.table.empty()) {
    // The step range and interval of Text13, Text14 and Text15, read afresh.
    const InputTexts& t = options.texts;
    WriteReportText(options.table, ResultsTableText(run, t[12], t[13], t[14], progress));
  }
#ifdef KELVANE_WITH_UI
  if (!options.plot.empty()) ui::SavePlotPng(run, options.plot);
#endif
  if (summarize) {
    WriteReportText(options.summary, SummaryText(summarizer.Summary(run, outcome), run));
  }
  if (!options.csv.empty()) {
    WriteReport(options.csv, [&](const ByteWriter& write) { WriteCsv(run, write); });
  }
}

void PrintRunError(int number, std::string_view description, std::string_view where) {
  std::string text = "运行时错误 '" + std::to_string(number) + "': " + std::string(description);
  text += '\n';
  if (!where.empty()) {
    text += where;
    text += '\n';
  }
  std::fputs(text.c_str(), stderr);
}

}  // namespace

bool IsBatchCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--batch") == 0) return true;
  }
  return false;
}

int RunBatch(int argc, char** argv) {
  BatchOptions options;
  try {
    options = ParseBatchOptions(argc, argv);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "kelvane: %s\n（kelvane --batch --help 列出全部选项）\n", error.what());
    return kExitUsage;
  }

  TerminalProgress terminal;
  ProgressSink& progress = ::isatty(STDERR_FILENO) ? terminal : NoProgress();
  try {
    if (options.help) {
      WriteStandardOutput(BatchHelpText());
    } else {
      RunAndWrite(options, progress);
    }
  } catch (const RunError& error) {
    terminal.Clear();
    PrintRunError(error.number(), error.description(), error.where());
    return kExitRunError;
  } catch (const std::bad_alloc&) {
    terminal.Clear();
    PrintRunError(static_cast<int>(ErrorCode::OutOfMemory),
                  ErrorDescription(ErrorCode::OutOfMemory), "");
    return kExitRunError;
  }
  terminal.Clear();
  return 0;
}

}  // namespace kelvane
