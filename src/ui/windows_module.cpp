#include "ui/windows_module.h"

#include "ui/ui.h"

namespace {

// Runs an image output; a fault comes back as the plot stage's error number
// and location, never as an exception.
template <class Draw>
bool Attempt(Draw&& draw, kelvane::ErrorCode& code, kelvane::ErrorLocation& where,
             kelvane::Stage stage = kelvane::Stage::Chart) {
  try {
    draw();
    return true;
  } catch (...) {
    const kelvane::RunError error = kelvane::CurrentExceptionAsRunError(stage);
    code = error.code();
    where = error.location();
    return false;
  }
}

bool SavePlotPng(const kelvane::SurgeRun& run, const std::string& path, kelvane::ErrorCode& code,
                 kelvane::ErrorLocation& where) {
  return Attempt([&] { kelvane::ui::SavePlotPng(run, path); }, code, where, kelvane::Stage::Plot);
}

bool SaveHistoryImage(const kelvane::SurgeRun& run, const kelvane::RunOutcome& outcome,
                      const std::vector<int>& nodes, kelvane::ChartQuantity quantity,
                      const std::string& path, kelvane::ErrorCode& code,
                      kelvane::ErrorLocation& where) {
  return Attempt([&] { kelvane::ui::SaveHistoryImage(run, outcome, nodes, quantity, path); }, code,
                 where);
}

bool SaveEnvelopeImage(const kelvane::SurgeRun& run, const kelvane::RunOutcome& outcome,
                       const std::string& path, kelvane::ErrorCode& code,
                       kelvane::ErrorLocation& where) {
  return Attempt([&] { kelvane::ui::SaveEnvelopeImage(run, outcome, path); }, code, where);
}

bool SaveChartImage(const kelvane::ChartData& chart, const std::string& path,
                    kelvane::ErrorCode& code, kelvane::ErrorLocation& where) {
  return Attempt([&] { kelvane::ui::SaveDataImage(chart, path); }, code, where);
}

}  // namespace

extern "C" const kelvane::ui::WindowsModule* KelvaneWindowsModule() {
  static const kelvane::ui::WindowsModule module{kelvane::ui::kWindowsModuleVersion,
                                                 &kelvane::ui::RunMainWindow,
                                                 &SavePlotPng,
                                                 &SaveHistoryImage,
                                                 &SaveEnvelopeImage,
                                                 &SaveChartImage};
  return &module;
}
