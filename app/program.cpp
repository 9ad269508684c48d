#include "program.h"

#include <cstdio>

#include "batch.h"
#include "format/user_text.h"
#include "gui_handover.h"
#include "options.h"
#include "utf16_entry.h"

namespace kelvane {

int ProgramUsageError(const std::string& problem) {
  std::fprintf(stderr, "kelvane: %s\n%s", problem.c_str(), ProgramHelpText().c_str());
  return 2;
}

namespace {

int RunCommand(int argc, char** argv, const ImageOutputs* images, MainWindowEntry mainWindow) {
  TakeUtf16CommandLine(argc, argv);
  const CommandLine line = SplitCommandLine(argc, argv);
  if (line.Has(OptionId::Batch)) return RunBatch(line, argv, images);

  for (const CommandWord& word : line.words) {
    if (word.option != nullptr && word.option->id == OptionId::Help) {
      std::fputs(ProgramHelpText().c_str(), stdout);
      return 0;
    }
    if (word.option != nullptr && word.option->id == OptionId::Version) {
      std::printf("Kelvane %s\n", KELVANE_VERSION);
      return 0;
    }
  }
  if (!line.words.empty()) {
    const std::string& word = line.words.front().text;
    if (word.starts_with("--batch")) {
      return ProgramUsageError("未知选项 " + QuotedText(word) + "：批处理模式写作 --batch");
    }
    return ProgramUsageError("未知选项 " + QuotedText(word));
  }

  if (mainWindow != nullptr) return mainWindow(argc, argv);
  if (!BuildHasGui()) {
    return ProgramUsageError(
        "此版本不含窗口；请用 kelvane --batch（kelvane --batch --help 列出全部选项）。");
  }
  const RunError error = RunInGuiProgram(argv);
  std::fputs(RunErrorText(error, ErrorTextLayout::CommandLine).c_str(), stderr);
  return 1;
}

}  // namespace

int RunProgram(int argc, char** argv, const ImageOutputs* images, MainWindowEntry mainWindow) {
  // The last resort: whatever escapes a command is reported as an error of
  // the program, with its catalogue number, and never ends it abnormally.
  try {
    return RunCommand(argc, argv, images, mainWindow);
  } catch (...) {
    const RunError error = CurrentExceptionAsRunError(Stage::Program);
    std::fputs(("kelvane: " + RunErrorText(error, ErrorTextLayout::CommandLine)).c_str(), stderr);
    return 1;
  }
}

}  // namespace kelvane
