// The windows: the main window, the plot window and the results window.
// They only call the solver and output libraries.
#pragma once

#include <string>

#include "solver/solver.h"

namespace kelvane::ui {

// Shows the main window and runs the event loop until the program ends.
int RunMainWindow(int argc, char** argv);

// Draws what the plot command draws after `run` on a fresh picture and saves
// it as a PNG of the picture's size. Throws RunError.
void SavePlotPng(const SurgeRun& run, const std::string& path);

}  // namespace kelvane::ui
