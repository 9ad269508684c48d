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

#include "report/chart_data.h"
#include "report/project_info.h"
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

// One operating case of the book: its name, what sets it apart from the
// base case (empty for the base case itself), and its complete run.
struct BookCase {
  std::string name;
  std::string differences;
  ReportInput input;
};

struct BookInput {
  ProjectInfo project;
  std::vector<BookCase> cases;  // at least one, each with its run
  std::string date;             // "" for today (yyyy-MM-dd)
};

ReportDocument CalculationBook(const BookInput& book);

// The book of one case, named by its title: what the window and a single
// batch run export.
ReportDocument CalculationDocument(const ReportInput& input, const ProjectInfo& project = {});

}  // namespace kelvane
