#include "ui/windows_module.h"

#include "ui/ui.h"

namespace {

bool SavePlotPng(const kelvane::SurgeRun& run, const std::string& path, kelvane::ErrorCode& code,
                 kelvane::ErrorLocation& where) {
  try {
    kelvane::ui::SavePlotPng(run, path);
    return true;
  } catch (...) {
    const kelvane::RunError error = kelvane::CurrentExceptionAsRunError(kelvane::Stage::Plot);
    code = error.code();
    where = error.location();
    return false;
  }
}

}  // namespace

extern "C" const kelvane::ui::WindowsModule* KelvaneWindowsModule() {
  static const kelvane::ui::WindowsModule module{kelvane::ui::kWindowsModuleVersion,
                                                 &kelvane::ui::RunMainWindow, &SavePlotPng};
  return &module;
}
