// The windows as a module the program loads at run time, so that the batch
// mode never loads the window toolkit unless it draws an image. The program
// and the module are built together from one tree with one compiler, so the
// table passes plain C++ data (no exception crosses it); its version guards
// against a stale module.
#pragma once

#include <string>
#include <vector>

#include "report/chart_data.h"
#include "solver/calculate.h"
#include "solver/errors.h"
#include "solver/run_state.h"

namespace kelvane::ui {

constexpr int kWindowsModuleVersion = 3;

struct WindowsModule {
  int version = kWindowsModuleVersion;
  // Shows the main window and runs the event loop until the program ends;
  // the program's exit status.
  int (*runMainWindow)(int argc, char** argv) = nullptr;
  // Draws the forebay level plot of `run` and saves it as a PNG at `path`.
  // False on a fault, with its number and location filled in (plain data:
  // the program and the module may each carry their own C++ runtime).
  bool (*savePlotPng)(const SurgeRun& run, const std::string& path, ErrorCode& code,
                      ErrorLocation& where) = nullptr;
  // The charts of the windows as images, PNG or SVG by the name's ending
  // ".svg"; they need no display. False on a fault, as above.
  bool (*saveHistoryImage)(const SurgeRun& run, const RunOutcome& outcome,
                           const std::vector<int>& nodes, ChartQuantity quantity,
                           const std::string& path, ErrorCode& code,
                           ErrorLocation& where) = nullptr;
  bool (*saveEnvelopeImage)(const SurgeRun& run, const RunOutcome& outcome, const std::string& path,
                            ErrorCode& code, ErrorLocation& where) = nullptr;
  // A chart of plain data, such as SweepChart's.
  bool (*saveChartImage)(const ChartData& chart, const std::string& path, ErrorCode& code,
                         ErrorLocation& where) = nullptr;
};

}  // namespace kelvane::ui

// The one symbol the module exports.
extern "C" const kelvane::ui::WindowsModule* KelvaneWindowsModule();
