// `kelvane-gui`: the same commands as `kelvane`, with the main window
// and the image outputs linked in.
#include <string>

#include "display.h"
#include "program.h"
#include "ui/ui.h"

namespace {

int OpenMainWindow(int argc, char** argv) {
  std::string why;
  if (!kelvane::DisplayAvailable(why)) {
    return kelvane::ProgramUsageError(
        why + "\n不开窗口的计算请用 kelvane --batch（kelvane --batch --help 列出全部选项）。");
  }
  return kelvane::ui::RunMainWindow(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  static const kelvane::ImageOutputs images{
      &kelvane::ui::SavePlotPng, &kelvane::ui::SaveHistoryImage, &kelvane::ui::SaveDataImage,
      &kelvane::ui::SaveCalculationBook, &kelvane::ui::SaveReportDocument};
  return kelvane::RunProgram(argc, argv, &images, &OpenMainWindow);
}
