// The images and the calculation report of the batch mode, drawn by the
// windows library. The batch code
// is free of the window toolkit: the GUI program, which links both,
// hands it this table; the command-line program has none and passes a
// command that asks for an image on to the GUI program.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "charts/chart_data.h"
#include "evaluation/report.h"
#include "model/calculate.h"
#include "model/errors.h"
#include "model/run_state.h"
#include "report/book_input.h"
#include "report/report_document.h"
#include "run/run_case.h"
#include "texts/case.h"

namespace kelvane {

// Each draws a chart and saves it at `path`, as PNG, or as SVG where the
// name ends in ".svg" (the forebay plot is always PNG). Throws RunError.
struct ImageOutputs {
  void (*plot)(const SurgeRun& run, const std::string& path);
  void (*history)(const SurgeRun& run, const RunOutcome& outcome, const std::vector<int>& nodes,
                  ChartQuantity quantity, const std::string& path);
  // Any chart given as data: the head envelope, the sweep chart.
  void (*chart)(const ChartData& chart, const std::string& path);
  // The calculation book of the cases' runs as a PDF or ODT.
  void (*report)(const BookInput& book, const std::string& path);
  // A report given as plain content, as a PDF: the study's calculation report.
  void (*document)(const ReportDocument& document, const std::string& path);
};

// The image outputs a command may draw: those linked in, or the reason there
// are none, which each image output then reports (the other outputs are
// written all the same).
class Images {
 public:
  explicit Images(const ImageOutputs* linked) : linked_(linked) {}
  explicit Images(RunError missing) : missing_(std::move(missing)) {}
  const ImageOutputs& Get() const {
    if (linked_ == nullptr) throw missing_.value();
    return *linked_;
  }

 private:
  const ImageOutputs* linked_ = nullptr;
  std::optional<RunError> missing_;
};

}  // namespace kelvane
