// Hooks for driving the windowed program from a script, switched on by
// environment variables and otherwise inert:
//   KELVANE_REPORT_SHOWN=1      prints "shown <unix time in ns>" to stderr
//                               when the main window is first painted;
//   KELVANE_SCREENSHOT_DIR=DIR  runs a Calculate on the defaults (answering
//                               the save dialog with a file in a temporary
//                               folder), draws the plot, opens the results
//                               window, saves the three windows as PNGs in
//                               DIR and ends the program.
#pragma once

namespace kelvane::ui {

class Form1;

void InstallAutomation(Form1& form);

}  // namespace kelvane::ui
