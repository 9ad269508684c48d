// What the calculation book is made from: each case's run with the case it
// ran, and the project's information. Qt-free.
#pragma once

#include <string>
#include <vector>

#include "evaluation/report.h"
#include "model/model.h"
#include "report/project_info.h"
#include "texts/prepared_case.h"

namespace kelvane {

struct ReportInput {
  // The case as it ran: its title ("" prints 未命名算例), its notes, the boxes
  // as typed for this run and the design data, as typed and as read.
  const PreparedCase* prepared = nullptr;
  const SurgeRun* run = nullptr;  // the complete run of that case
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
