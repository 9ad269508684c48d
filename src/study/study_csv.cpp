// The study's CSV: its header and one row per case.
#include <string>
#include <string_view>

#include "solver/number_format.h"
#include "study/study.h"

namespace kelvane {
namespace {

void AppendCell(std::string& out, std::string_view text) {
  out += ',';
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AppendNumber(std::string& out, float value) {
  out += ',';
  AppendShortest(out, value);
}

void AppendExtreme(std::string& out, const GridExtreme& e) {
  AppendNumber(out, e.value);
  out += ',' + std::to_string(e.node);
  AppendNumber(out, e.time);
}

// A design check's name in the study's CSV.
const char* CheckKey(CheckKind kind) {
  switch (kind) {
    case CheckKind::ForebayHighest:
      return "forebay_highest";
    case CheckKind::ForebayLowest:
      return "forebay_lowest";
    case CheckKind::CulvertFull:
      return "culvert_full";
    case CheckKind::Vacuum:
      return "vacuum";
    case CheckKind::DesignPressure:
      return "design_pressure";
  }
  return "";
}

// Whether a check reads every node of the culvert (and so has a first
// failing node).
bool AlongCulvert(CheckKind kind) {
  return kind != CheckKind::ForebayHighest && kind != CheckKind::ForebayLowest;
}

}  // namespace

std::string StudyCsvHeader(const StudyPlan& plan, const StudyLimits& limits,
                           const std::vector<CheckKind>& checks, bool namesEvent) {
  std::string out = "case";
  for (const StudyItem& item : plan.Columns()) out += std::string(",") + item.Option();
  if (namesEvent) out += ",pump_event,forebay_area_table";
  out +=
      ",status,error,forebay_initial_m,forebay_highest_m,forebay_highest_time_s,"
      "forebay_lowest_m,forebay_lowest_time_s,forebay_reversal_time_s,"
      "head_max_m,head_max_node,head_max_time_s,head_min_m,head_min_node,head_min_time_s,"
      "velocity_max_m_per_s,velocity_max_node,velocity_max_time_s,"
      "velocity_min_m_per_s,velocity_min_node,velocity_min_time_s";
  if (limits.forebayMaxLevel) out += ",pass_forebay_max_level";
  if (limits.forebayMinLevel) out += ",pass_forebay_min_level";
  for (CheckKind kind : checks) {
    out += std::string(",pass_") + CheckKey(kind);
    if (AlongCulvert(kind)) out += std::string(",") + CheckKey(kind) + "_first_failing_node";
  }
  out += ",warnings\n";
  return out;
}

void AppendStudyCsvRow(const StudyPlan& plan, const StudyLimits& limits, const CaseResult& r,
                       std::string& out) {
  out += std::to_string(r.number);
  for (std::size_t c = 0; c < r.values.size(); ++c) AppendCell(out, plan.ValueText(c, r.values[c]));
  for (const std::string& cell : r.eventCells) AppendCell(out, cell);
  out += ',' + std::to_string(r.status);
  AppendCell(out, r.error);
  if (r.extremes) {
    const CaseExtremes& x = *r.extremes;
    AppendNumber(out, x.forebayInitial);
    for (const GridExtreme* e : {&x.forebayHighest, &x.forebayLowest}) {
      AppendNumber(out, e->value);
      AppendNumber(out, e->time);
    }
    if (x.forebayReversalTime) {
      AppendNumber(out, *x.forebayReversalTime);
    } else {
      out += ',';
    }
    for (const GridExtreme* e : {&x.headMax, &x.headMin, &x.velocityMax, &x.velocityMin}) {
      AppendExtreme(out, *e);
    }
  } else {
    out.append(18, ',');
  }
  for (const std::optional<bool>* pass : {&r.passMax, &r.passMin}) {
    if (pass == &r.passMax ? !limits.forebayMaxLevel : !limits.forebayMinLevel) continue;
    out += ',';
    if (pass->has_value()) out += **pass ? '1' : '0';
  }
  for (const CaseResult::Check& check : r.checks) {
    out += ',';
    if (check.pass) out += *check.pass ? '1' : '0';
    if (!AlongCulvert(check.kind)) continue;
    out += ',';
    if (check.firstFailingNode > 0) out += std::to_string(check.firstFailingNode);
  }
  out += ',' + std::to_string(r.flags.size()) + '\n';
}

}  // namespace kelvane
