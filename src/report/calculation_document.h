// The calculation report (计算书) of one run as a ReportDocument, Qt-free:
// its inputs, method, results and design checks in Chinese, as an engineer
// hands them in. Every number the summary also shows is the summary's own
// text (FixedText, StepTimeText, the design checks' rows and sentences). The
// windows library lays the document out on A4 pages (ui/report_pdf.h).
#pragma once

#include <string>

#include "report/chart_data.h"
#include "report/report.h"
#include "report/report_document.h"
#include "solver/design_data.h"
#include "solver/solver.h"

namespace kelvane {

struct ReportInput {
  std::string title;                       // the case's title; "" prints 未命名算例
  std::string notes;                       // the case's notes; may hold line breaks
  InputTexts texts = DefaultInputTexts();  // the boxes as typed for this run
  DesignTexts design;                      // the design data given, as typed
  const SurgeRun* run = nullptr;           // the complete run of `texts`
  RunOutcome outcome;
  RunSummary summary;  // SummarizeRun of that run
  std::string date;    // the header's date; "" for today (yyyy-MM-dd)
};

// The report's two charts.
enum class ReportChart {
  ForebayLevel,  // the forebay level against time
  HeadEnvelope,  // highest, lowest and initial head along the culvert
};

// What a chart of the report shows: the forebay level (the last node) with
// the forebay's design limits; the head envelope with the culvert's invert,
// soffit and limit lines when the design data gives them.
ChartData ReportChartData(const ReportInput& input, ReportChart chart);

// The report of `input`, whose run must be given.
ReportDocument CalculationDocument(const ReportInput& input);

}  // namespace kelvane
