// The calculation report (计算书): one run, its inputs, method, results and
// design checks as an A4 PDF in Chinese that an engineer hands in. Every
// number the summary also shows is the summary's own text (FixedText,
// StepTimeText, the design checks' rows and sentences).
#pragma once

#include <QByteArray>
#include <QRectF>
#include <string>

#include "report/chart_data.h"
#include "report/design_checks.h"
#include "report/report.h"
#include "solver/design_data.h"
#include "solver/solver.h"

class QPainter;

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

// The report as the bytes of a PDF file. Throws RunError (Stage::Report)
// when the PDF cannot be drawn.
QByteArray CalculationReportPdf(const ReportInput& input);

// Writes the report through WriteFileAtomically: a failure throws RunError
// with the file catalogue's number and leaves an existing file untouched.
void WriteCalculationReport(const ReportInput& input, const std::string& path);

// The report's two charts.
enum class ReportChart {
  ForebayLevel,  // the forebay level against time
  HeadEnvelope,  // highest, lowest and initial head along the culvert
};

// What a chart of the report shows: the forebay level (the last node) with
// the forebay's design limits; the head envelope with the culvert's invert,
// soffit and limit lines when the design data gives them.
ChartData ReportChartData(const ReportInput& input, ReportChart chart);

// Draws one chart of the report into `area` (the PDF's device units) as
// vector graphics: ReportChartData laid out by the chart scene and drawn by
// the painter renderer, as the windows draw their charts.
void DrawReportChart(QPainter& painter, const QRectF& area, ReportChart chart,
                     const ReportInput& input);

}  // namespace kelvane
