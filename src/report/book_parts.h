// The pieces the calculation book's two halves share (calculation_document.cpp
// writes the front matter, data and method; calculation_results.cpp each
// case's results, the checks and the conclusions). Internal to the report
// library.
#pragma once

#include <string>
#include <vector>

#include "evaluation/design_checks.h"
#include "report/book_input.h"
#include "report/report_document.h"

namespace kelvane::book {

// What the book reads of one case, gathered once.
struct CaseFacts {
  const BookCase& c;
  const Case& typed;  // the case as it ran
  const SurgeRun& run;
  const RunSummary& s;
  const RunParameters& p;
  const DesignData& design;  // the case's design data as read
  DesignCheckReport checks;
  RunGeometry geometry;
};

// The book as it is written: the document and its figure numbers.
struct Book {
  const BookInput& in;
  std::vector<CaseFacts> cases;
  ReportDocument d;
  int figures = 0;

  // Adds a chart with "图 n  caption" beneath it.
  void Figure(ChartData chart, const std::string& caption) {
    d.Chart(std::move(chart), "图 " + std::to_string(++figures) + "  " + caption);
  }
};

// A value as the run holds it, in its own precision: the shortest text that
// reads back to the same single, double or integer.
std::string HeldValue(const RunParameters& p, InputId id);
// A level or head as the summary prints it: "-2.531".
inline std::string Level(double value) { return FixedText(value, 3); }

// A table with its heading row; `numeric` columns are set right, `oneLine`
// columns kept on one line.
ReportTable Table(std::vector<std::string> head, std::vector<bool> numeric,
                  std::vector<bool> oneLine = {}, std::vector<int> widths = {});

// The event as engineers name it: 事故停泵, 正常停机, 开机, 机组依次停机 ...
std::string EventName(const RunOutcome& outcome);

// The pump's change as the book says it: "水泵流量由 20 m³/s 变为 0 m³/s" for
// the sudden change; for any other event its line of the summary's 工况
// section and the discharge it ends at: "水泵流量由 20 m³/s 起按机组启闭序列
// （2 台依次启动，…）变为 40 m³/s".
std::string PumpChangeClause(const CaseFacts& c);

void Results(Book& book);      // 6 计算成果
void Checks(Book& book);       // 7 校核
void Conclusions(Book& book);  // 8 结论与建议

}  // namespace kelvane::book
