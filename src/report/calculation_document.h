// The calculation book (计算书) of a station's operating cases as a
// ReportDocument, Qt-free: cover, sign-off page and 目录, then purpose,
// basis, the cases, the data, the method, each case's results and checks,
// the governing case of every check and the conclusions with the measures
// they imply, in Chinese, as an engineer hands them in. Every number the
// summary also shows is the summary's own text (FixedText, StepTimeText, the
// design checks' rows and sentences). The windows library lays the document
// out on A4 pages (ui/report_pdf.h).
#pragma once

#include <string>
#include <vector>

#include "charts/chart_data.h"
#include "report/book_input.h"
#include "report/report_document.h"

namespace kelvane {

// What a chart of the report shows: the forebay level (the last node) with
// the forebay's design limits; the head envelope with the culvert's invert,
// soffit and limit lines when the design data gives them.
ChartData ReportChartData(const ReportInput& input, ReportChart chart);
// The head envelope as the book and the envelope window show it: EnvelopeChart
// of the heads titled 测压管水头包络线, with AddCulvertDesign's lines.
ChartData PiezometricEnvelopeChart(const RunSummary& summary, const SurgeRun& run,
                                   const RunGeometry& geometry, const DesignData& data);

ReportDocument CalculationBook(const BookInput& book);

// The book of one case, named by its title: what the window and a single
// batch run export.
ReportDocument CalculationDocument(const ReportInput& input, const ProjectInfo& project = {});

}  // namespace kelvane
