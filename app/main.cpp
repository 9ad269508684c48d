// The entry of both programs: the batch mode when asked for, the main window
// otherwise. Built twice: as `kelvane`, which links no part of the window
// toolkit, so that `kelvane --batch` starts in a moment and works without a
// display, and passes a command that needs a window or an image on to the
// windows program; and as that program, `kelvane-windows`
// (KELVANE_WINDOWS_PROGRAM), which has the windows and the images linked in.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "batch.h"
#include "image_outputs.h"
#include "utf16_entry.h"
#include "windows_program.h"
#ifdef KELVANE_WINDOWS_PROGRAM
#include "display.h"
#include "ui/ui.h"
#endif

namespace {

constexpr int kExitUsage = 2;

constexpr const char* kHelp =
    "用法: kelvane             打开主窗口\n"
    "      kelvane --batch ... 不开窗口完成一次计算（kelvane --batch --help 列出全部选项）\n"
    "      kelvane --help      显示本说明\n"
    "      kelvane --version   显示版本\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "kelvane: %s\n%s", problem.c_str(), kHelp);
  return kExitUsage;
}

#ifdef KELVANE_WINDOWS_PROGRAM
const kelvane::ImageOutputs kImages{&kelvane::ui::SavePlotPng, &kelvane::ui::SaveHistoryImage,
                                    &kelvane::ui::SaveEnvelopeImage, &kelvane::ui::SaveDataImage};
const kelvane::ImageOutputs* const kLinkedImages = &kImages;
#else
const kelvane::ImageOutputs* const kLinkedImages = nullptr;
#endif

}  // namespace

int main(int argc, char** argv) {
  kelvane::TakeUtf16CommandLine(argc, argv);
  if (kelvane::IsBatchCommandLine(argc, argv)) return kelvane::RunBatch(argc, argv, kLinkedImages);

  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--help" || word == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (word == "--version") {
      std::printf("Kelvane %s\n", KELVANE_VERSION);
      return 0;
    }
  }
  if (argc > 1) {
    const std::string word = argv[1];
    if (word.rfind("--batch", 0) == 0) {
      return Usage("未知选项 “" + word + "”：批处理模式写作 --batch");
    }
    return Usage("未知选项 “" + word + "”");
  }

#if defined(KELVANE_WINDOWS_PROGRAM)
  std::string why;
  if (!kelvane::DisplayAvailable(why)) {
    return Usage(why +
                 "\n不开窗口的计算请用 kelvane --batch（kelvane --batch --help 列出全部选项）。");
  }
  return kelvane::ui::RunMainWindow(argc, argv);
#elif defined(KELVANE_WITH_UI)
  const kelvane::RunError error = kelvane::RunInWindowsProgram(argv);
  std::fputs(kelvane::RunErrorText(error, kelvane::ErrorTextLayout::CommandLine).c_str(), stderr);
  return 1;
#else
  return Usage("此版本不含窗口；请用 kelvane --batch（kelvane --batch --help 列出全部选项）。");
#endif
}
