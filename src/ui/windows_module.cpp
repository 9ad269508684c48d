#include "ui/windows_module.h"

#include "ui/ui.h"

namespace {

std::optional<kelvane::RunError> SavePlotPng(const kelvane::SurgeRun& run,
                                             const std::string& path) {
  try {
    kelvane::ui::SavePlotPng(run, path);
    return std::nullopt;
  } catch (...) {
    return kelvane::CurrentExceptionAsRunError(kelvane::Stage::Plot);
  }
}

}  // namespace

extern "C" const kelvane::ui::WindowsModule* KelvaneWindowsModule() {
  static const kelvane::ui::WindowsModule module{kelvane::ui::kWindowsModuleVersion,
                                                 &kelvane::ui::RunMainWindow, &SavePlotPng};
  return &module;
}
