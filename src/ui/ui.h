// The windows: the main window with its menu bar, the plot, results,
// time-history and envelope windows, and the charts they draw as images.
// They only call the solver, output and report libraries.
#pragma once

#include <string>
#include <vector>

#include "charts/chart_data.h"
#include "charts/chart_scene.h"
#include "model/model.h"
#include "report/book_input.h"
#include "report/report_document.h"

namespace kelvane::ui {

// Shows the main window and runs the event loop until the program ends.
int RunMainWindow(int argc, char** argv);

// Draws what the plot command draws after `run` on a fresh picture and saves
// it as a PNG of the picture's size. Throws RunError.
void SavePlotPng(const SurgeRun& run, const std::string& path);

// The size of the charts the batch mode draws, in pixels.
constexpr int kImageWidth = kChartImageWidth;
constexpr int kImageHeight = kChartImageHeight;

// The time-history chart of `nodes` as the 过程线 window draws it, saved as a
// PNG or (by the name's ending ".svg") an SVG. Needs no display: without an
// application object one is made on the offscreen platform. Throws RunError.
void SaveHistoryImage(const SurgeRun& run, const RunOutcome& outcome, const std::vector<int>& nodes,
                      ChartQuantity quantity, const std::string& path);
// Any chart given as plain data (the head envelope, the sweep chart).
// Throws RunError.
void SaveDataImage(const ChartData& chart, const std::string& path);
// The calculation book of the cases' runs (each complete, with its
// summary), written atomically as a PDF or, under a name ending in ".odt",
// as OpenDocument text. Needs no display. Throws RunError.
void SaveCalculationBook(const BookInput& book, const std::string& path);
// A report given as plain content (the study's), written atomically as a
// PDF. Needs no display. Throws RunError.
void SaveReportDocument(const ReportDocument& document, const std::string& path);

}  // namespace kelvane::ui
