// The study's CSV: its header and one row per case.
#include <string>
#include <string_view>
#include <vector>

#include "solver/number_format.h"
#include "study/study.h"

namespace kelvane {
namespace {

// The CSV's row: cells separated by commas, a text cell quoted where it
// holds a comma, quote or line break.
struct CsvRow {
  std::string& out;
  bool first = true;
  // A new cell, written onto the returned string.
  std::string& Cell() {
    if (!first) out += ',';
    first = false;
    return out;
  }
  void Text(std::string_view text) {
    std::string& cell = Cell();
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
      cell += text;
      return;
    }
    cell += '"';
    for (char c : text) {
      if (c == '"') cell += '"';
      cell += c;
    }
    cell += '"';
  }
};

// The same row as separate cells, as written, unquoted.
struct CellList {
  std::vector<std::string>& cells;
  std::string& Cell() { return cells.emplace_back(); }
  void Text(std::string_view text) { Cell() = text; }
};

template <class Row>
void Number(Row& row, float value) {
  AppendShortest(row.Cell(), value);
}

template <class Row>
void Extreme(Row& row, const GridExtreme& e) {
  Number(row, e.value);
  row.Cell() += std::to_string(e.node);
  Number(row, e.time);
}

// A design check's name in the study's CSV.
const char* CheckKey(CheckKind kind) { return Field(kind).key; }

// Whether a check reads every node of the culvert (and so has a first
// failing node).
bool AlongCulvert(CheckKind kind) { return Field(kind).alongCulvert; }

}  // namespace

std::vector<std::string> StudyCsvColumns(const StudyPlan& plan, const StudyLimits& limits,
                                         const std::vector<CheckKind>& checks, bool namesEvent) {
  std::vector<std::string> columns{"case"};
  if (plan.NamesCases()) columns.emplace_back("name");
  for (const StudyItem& item : plan.Columns()) columns.emplace_back(item.Option());
  if (namesEvent) {
    columns.emplace_back("pump_event");
    columns.emplace_back("forebay_area_table");
  }
  for (const char* name : {"status",
                           "error",
                           "forebay_initial_m",
                           "forebay_highest_m",
                           "forebay_highest_time_s",
                           "forebay_lowest_m",
                           "forebay_lowest_time_s",
                           "forebay_reversal_time_s",
                           "head_max_m",
                           "head_max_node",
                           "head_max_time_s",
                           "head_min_m",
                           "head_min_node",
                           "head_min_time_s",
                           "velocity_max_m_per_s",
                           "velocity_max_node",
                           "velocity_max_time_s",
                           "velocity_min_m_per_s",
                           "velocity_min_node",
                           "velocity_min_time_s"}) {
    columns.emplace_back(name);
  }
  if (limits.forebayMaxLevel) columns.emplace_back("pass_forebay_max_level");
  if (limits.forebayMinLevel) columns.emplace_back("pass_forebay_min_level");
  for (CheckKind kind : checks) {
    columns.push_back(std::string("pass_") + CheckKey(kind));
    columns.push_back(std::string("verdict_") + CheckKey(kind));
    if (AlongCulvert(kind)) columns.push_back(std::string(CheckKey(kind)) + "_first_failing_node");
  }
  columns.emplace_back("warnings");
  return columns;
}

std::string StudyCsvHeader(const StudyPlan& plan, const StudyLimits& limits,
                           const std::vector<CheckKind>& checks, bool namesEvent) {
  std::string out;
  for (const std::string& column : StudyCsvColumns(plan, limits, checks, namesEvent)) {
    out += (out.empty() ? "" : ",") + column;
  }
  out += '\n';
  return out;
}

namespace {

// Every cell of the case's row, in the header's order.
template <class Row>
void WriteRow(const StudyPlan& plan, const StudyLimits& limits, const CaseResult& r, Row& row) {
  row.Cell() += std::to_string(r.number);
  if (plan.NamesCases()) row.Text(plan.CaseName(r.number));
  for (std::size_t c = 0; c < r.values.size(); ++c) row.Text(plan.ValueText(c, r.values[c]));
  for (const std::string& cell : r.eventCells) row.Text(cell);
  row.Cell() += std::to_string(r.status);
  row.Text(r.error);
  if (r.extremes) {
    const CaseExtremes& x = *r.extremes;
    Number(row, x.forebayInitial);
    for (const GridExtreme* e : {&x.forebayHighest, &x.forebayLowest}) {
      Number(row, e->value);
      Number(row, e->time);
    }
    if (x.forebayReversalTime) {
      Number(row, *x.forebayReversalTime);
    } else {
      row.Cell();
    }
    for (const GridExtreme* e : {&x.headMax, &x.headMin, &x.velocityMax, &x.velocityMin}) {
      Extreme(row, *e);
    }
  } else {
    for (int i = 0; i < 18; ++i) row.Cell();
  }
  for (const std::optional<bool>* pass : {&r.passMax, &r.passMin}) {
    if (pass == &r.passMax ? !limits.forebayMaxLevel : !limits.forebayMinLevel) continue;
    std::string& cell = row.Cell();
    if (pass->has_value()) cell += **pass ? '1' : '0';
  }
  for (const CaseResult::Check& check : r.checks) {
    std::string& cell = row.Cell();
    if (check.pass) cell += *check.pass ? '1' : '0';
    // The verdict word without its explanation: 满足, 不满足, 未定, 无效.
    std::string& verdict = row.Cell();
    if (check.verdict) {
      const std::string word = CheckVerdictWord(*check.verdict);
      verdict += word.substr(0, word.find("（"));
    }
    if (!AlongCulvert(check.kind)) continue;
    std::string& node = row.Cell();
    if (check.firstFailingNode > 0) node += std::to_string(check.firstFailingNode);
  }
  row.Cell() += std::to_string(r.WarningCount());
}

}  // namespace

void AppendStudyCsvRow(const StudyPlan& plan, const StudyLimits& limits, const CaseResult& r,
                       std::string& out) {
  CsvRow row{out};
  WriteRow(plan, limits, r, row);
  out += '\n';
}

std::vector<std::string> StudyCsvCells(const StudyPlan& plan, const StudyLimits& limits,
                                       const CaseResult& result) {
  std::vector<std::string> cells;
  CellList row{cells};
  WriteRow(plan, limits, result, row);
  return cells;
}

}  // namespace kelvane
