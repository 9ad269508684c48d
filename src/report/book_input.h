// What the calculation book is made from: each case's run with its texts,
// and the project's information. Qt-free.
#pragma once

#include <string>
#include <vector>

#include "evaluation/report.h"
#include "model/model.h"
#include "report/project_info.h"
#include "texts/design_data.h"

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

}  // namespace kelvane
