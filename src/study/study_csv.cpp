// The study's CSV: its header and one row per case.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "format/number_format.h"
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

// A limit's or check's pass cell and verdict cell.
template <class Row>
void Judged(Row& row, const std::optional<bool>& pass, const std::optional<CheckVerdict>& verdict) {
  std::string& cell = row.Cell();
  if (pass) cell += *pass ? '1' : '0';
  row.Cell() += VerdictCell(verdict);
}

// A design check's name in the study's CSV.
const char* CheckKey(CheckKind kind) { return Field(kind).key; }

// Whether a check reads every node of the culvert (and so has a first
// failing node).
bool AlongCulvert(CheckKind kind) { return Field(kind).alongCulvert; }

}  // namespace

std::string VerdictCell(const std::optional<CheckVerdict>& verdict) {
  if (!verdict) return {};
  const std::string word = CheckVerdictWord(*verdict);
  return word.substr(0, word.find("（"));
}

bool ReadVerdictCell(std::string_view cell, std::optional<CheckVerdict>& verdict) {
  verdict.reset();
  if (cell.empty()) return true;
  for (CheckVerdict v : {CheckVerdict::Invalid, CheckVerdict::Fail, CheckVerdict::Undetermined,
                         CheckVerdict::Pass}) {
    if (cell == VerdictCell(v)) {
      verdict = v;
      return true;
    }
  }
  return false;
}

std::optional<bool> PassOf(const std::optional<CheckVerdict>& verdict) {
  if (verdict == CheckVerdict::Pass || verdict == CheckVerdict::Fail)
    return verdict == CheckVerdict::Pass;
  return std::nullopt;
}

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
  for (const auto& [given, key] : {std::pair(bool(limits.forebayMaxLevel), "forebay_max_level"),
                                   std::pair(bool(limits.forebayMinLevel), "forebay_min_level")}) {
    if (!given) continue;
    columns.push_back(std::string("pass_") + key);
    columns.push_back(std::string("verdict_") + key);
  }
  for (CheckKind kind : checks) {
    columns.push_back(std::string("pass_") + CheckKey(kind));
    columns.push_back(std::string("verdict_") + CheckKey(kind));
    if (AlongCulvert(kind)) columns.push_back(std::string(CheckKey(kind)) + "_first_failing_node");
  }
  columns.emplace_back("warnings");
  // After the columns earlier studies wrote, so that a reader of them finds
  // its columns where they were.
  columns.emplace_back("period_s");
  columns.emplace_back("period_fraction");
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
  if (limits.forebayMaxLevel) Judged(row, r.passMax, r.verdictMax);
  if (limits.forebayMinLevel) Judged(row, r.passMin, r.verdictMin);
  for (const CaseResult::Check& check : r.checks) {
    Judged(row, check.pass, check.verdict);
    if (!AlongCulvert(check.kind)) continue;
    std::string& node = row.Cell();
    if (check.firstFailingNode > 0) node += std::to_string(check.firstFailingNode);
  }
  row.Cell() += std::to_string(r.WarningCount());
  for (const std::optional<float> CaseExtremes::*value :
       {&CaseExtremes::period, &CaseExtremes::periodFraction}) {
    if (r.extremes && (*r.extremes).*value) {
      Number(row, *((*r.extremes).*value));
    } else {
      row.Cell();
    }
  }
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
