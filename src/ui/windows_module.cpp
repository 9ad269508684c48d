#include "ui/windows_module.h"

#include "ui/ui.h"

namespace {

// Runs an image output; anything it throws becomes the plot stage's error.
template <class Draw>
std::optional<kelvane::RunError> Attempt(Draw&& draw) {
  try {
    draw();
    return std::nullopt;
  } catch (...) {
    return kelvane::CurrentExceptionAsRunError(kelvane::Stage::Plot);
  }
}

std::optional<kelvane::RunError> SavePlotPng(const kelvane::SurgeRun& run,
                                             const std::string& path) {
  return Attempt([&] { kelvane::ui::SavePlotPng(run, path); });
}

std::optional<kelvane::RunError> SaveHistoryImage(const kelvane::SurgeRun& run,
                                                  const kelvane::RunOutcome& outcome,
                                                  const std::vector<int>& nodes,
                                                  kelvane::ChartQuantity quantity,
                                                  const std::string& path) {
  return Attempt([&] { kelvane::ui::SaveHistoryImage(run, outcome, nodes, quantity, path); });
}

std::optional<kelvane::RunError> SaveEnvelopeImage(const kelvane::SurgeRun& run,
                                                   const kelvane::RunOutcome& outcome,
                                                   const std::string& path) {
  return Attempt([&] { kelvane::ui::SaveEnvelopeImage(run, outcome, path); });
}

std::optional<kelvane::RunError> SaveChartImage(const kelvane::ChartData& chart,
                                                const std::string& path) {
  return Attempt([&] { kelvane::ui::SaveDataImage(chart, path); });
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
