// The calculation book's results: each case's charts, extremes and envelope,
// its checks, the governing case of every check and the conclusions with the
// measures a failing check implies.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "charts/design_lines.h"
#include "evaluation/governing_case.h"
#include "format/number_format.h"
#include "model/pump_event.h"
#include "report/book_parts.h"
#include "report/calculation_document.h"
#include "texts/event_texts.h"

namespace kelvane::book {
namespace {

std::string Numbered(std::size_t section, std::size_t sub, const std::string& text) {
  return std::to_string(section) + "." + std::to_string(sub) + "  " + text;
}

// The largest velocity over every node and step, and the largest against
// the first direction as a magnitude (none when the flow never turns).
struct VelocityExtremes {
  ExtremeAt highest;
  int highestNode = 0;
  std::optional<ExtremeAt> reverse;
  int reverseNode = 0;
};

// A reverse velocity as its magnitude at the printed digits, "无" when it
// rounds to zero there (or the flow never turns).
std::string ReverseText(double velocity) {
  const std::string text = FixedText(std::fabs(velocity), 3);
  return velocity < 0 && text != FixedText(0, 3) ? text : "无";
}

VelocityExtremes Velocities(const RunSummary& s) {
  VelocityExtremes v;
  for (int node = 1; node <= s.nodes; ++node) {
    const NodeEnvelope& e = s.envelope[node - 1];
    if (node == 1 || e.highestVelocity.value > v.highest.value) {
      v.highest = e.highestVelocity;
      v.highestNode = node;
    }
    if (e.lowestVelocity.value < 0 && (!v.reverse || e.lowestVelocity.value < -v.reverse->value)) {
      v.reverse = ExtremeAt{-e.lowestVelocity.value, e.lowestVelocity.step};
      v.reverseNode = node;
    }
  }
  return v;
}

void Extremes(Book& b, const CaseFacts& c) {
  ReportTable table =
      Table({"项目", "数值", "位置", "出现时刻"}, {false, true}, {}, {26, 18, 26, 30});
  table.title = "极值（" + c.c.name + "）";
  const std::string forebay = NodeLabel(c.geometry, c.s.nodes);
  table.rows.push_back({"初始前池水位", Level(c.s.forebayInitial) + " m", forebay, ""});
  table.rows.push_back({"最高前池水位", Level(c.s.forebayHighest.value) + " m", forebay,
                        StepTimeText(c.run, c.s.forebayHighest.step)});
  table.rows.push_back({"最低前池水位", Level(c.s.forebayLowest.value) + " m", forebay,
                        StepTimeText(c.run, c.s.forebayLowest.step)});
  if (c.s.forebayReversalStep) {
    // The velocity as the flow turns, a magnitude as the reverse velocities
    // are; one too small for the printed digits is the flow passing zero.
    const std::string turning = ReverseText(c.run.Velocity(c.s.nodes, c.s.forebayReversalStep));
    table.rows.push_back({"末端流速反向", turning == "无" ? "流速过零" : turning + " m/s", forebay,
                          StepTimeText(c.run, c.s.forebayReversalStep)});
  } else {
    table.rows.push_back({"末端流速反向", "无", "", ""});
  }
  const VelocityExtremes v = Velocities(c.s);
  table.rows.push_back({"最大流速", FixedText(v.highest.value, 3) + " m/s",
                        NodeLabel(c.geometry, v.highestNode), StepTimeText(c.run, v.highest.step)});
  if (v.reverse && ReverseText(-v.reverse->value) != "无") {
    table.rows.push_back({"最大倒流流速", ReverseText(-v.reverse->value) + " m/s",
                          NodeLabel(c.geometry, v.reverseNode),
                          StepTimeText(c.run, v.reverse->step)});
  } else {
    table.rows.push_back({"最大倒流流速", "无", "", ""});
  }
  b.d.Table(std::move(table));
}

void Envelope(Book& b, const CaseFacts& c) {
  const std::vector<double> soffits = KnownSoffits(c.design, c.s);
  const bool soffit = !soffits.empty();
  // An open channel's heads are its water levels.
  const bool surface = HeadIsWaterSurface(c.s);
  std::vector<std::string> head = {"节点", "距离 m", surface ? "最高水位 m" : "最高水头 m",
                                   surface ? "最低水位 m" : "最低水头 m"};
  if (soffit) {
    head.push_back("内水压力水头 m");
    head.push_back("顶板以上最低压力水头 m");
  }
  head.push_back("最大流速 m/s");
  head.push_back("最大倒流流速 m/s");
  ReportTable table = Table(head, std::vector<bool>(head.size(), true));
  table.title = "沿程包络（" + c.c.name + "，时段 1 至 " + std::to_string(c.s.steps) + "）";
  table.compact = true;
  for (int node = 1; node <= c.s.nodes; ++node) {
    const NodeEnvelope& e = c.s.envelope[node - 1];
    std::vector<std::string> row = {
        std::to_string(node), FixedText(NodeDistance(c.geometry, node), 3),
        FixedText(e.highestHead.value, 3), FixedText(e.lowestHead.value, 3)};
    if (soffit) {
      const double top = soffits[std::size_t(node - 1)];
      row.push_back(FixedText(InternalPressureHead(e, top), 3));
      row.push_back(FixedText(double(e.lowestHead.value) - top, 3));
    }
    row.push_back(FixedText(e.highestVelocity.value, 3));
    row.push_back(ReverseText(e.lowestVelocity.value));
    table.rows.push_back(std::move(row));
  }
  b.d.Table(std::move(table));
}

// Lines of several cases in one chart, one colour per case: `pick` names the
// lines of a case's chart to take.
ChartData Comparison(const Book& b, ReportChart which, const std::vector<std::string>& pick,
                     const std::string& title) {
  std::vector<CaseChart> charts;
  charts.reserve(b.cases.size());
  for (const CaseFacts& c : b.cases)
    charts.push_back({c.c.name, ReportChartData(c.c.input, which)});
  return ComparisonChart(charts, pick, title);
}

// A chart whose vertical range keeps to its computed curves: a limit, or a
// line of the design data (`design`, CulvertDesignLines: the bed, a limit
// along the culvert), lying wholly more than half the curves' own span (and
// 1 m) away from them is taken out and named in the caption instead, so that
// it does not squeeze the curves.
struct FiguredChart {
  ChartData chart;
  std::string outside;  // "（图外：…）" for the caption; "" when none left out
};

FiguredChart FitLimits(ChartData chart, const std::vector<ChartLine>& design = {}) {
  const auto isDesign = [&](const ChartLine& line) {
    return std::any_of(design.begin(), design.end(),
                       [&](const ChartLine& d) { return d.name == line.name; });
  };
  FiguredChart out;
  double low = INFINITY, high = -INFINITY;
  for (const ChartLine& line : chart.lines) {
    if (isDesign(line)) continue;
    for (double y : line.y) {
      if (std::isnan(y)) continue;
      low = std::min(low, y);
      high = std::max(high, y);
    }
  }
  if (!(low <= high)) {
    out.chart = std::move(chart);
    return out;
  }
  const double span = std::max(0.5 * (high - low), 1.0);
  const auto far = [&](double y) { return y < low - span || y > high + span; };
  std::vector<std::string> named;
  std::erase_if(chart.limits, [&](const ChartLimit& limit) {
    if (!far(limit.value)) return false;
    named.push_back(limit.name + " " + FixedText(limit.value, 3) + " m");
    return true;
  });
  std::erase_if(chart.lines, [&](const ChartLine& line) {
    if (!isDesign(line) || line.y.empty()) return false;
    if (!std::all_of(line.y.begin(), line.y.end(), far)) return false;
    const auto [lo, hi] = std::minmax_element(line.y.begin(), line.y.end());
    named.push_back(line.name + " " + FixedText(*lo, 3) +
                    (*lo == *hi ? "" : " 至 " + FixedText(*hi, 3)) + " m");
    return true;
  });
  for (const std::string& name : named) {
    out.outside += (out.outside.empty() ? "（图外：" : "；") + name;
  }
  if (!out.outside.empty()) out.outside += "）";
  out.chart = std::move(chart);
  return out;
}

}  // namespace

void Results(Book& b) {
  b.d.Heading("6  计算成果");
  std::size_t sub = 0;
  for (const CaseFacts& c : b.cases) {
    b.d.Subheading(Numbered(6, ++sub, c.c.name));
    FiguredChart forebay = FitLimits(ReportChartData(c.c.input, ReportChart::ForebayLevel));
    b.Figure(std::move(forebay.chart), c.c.name + " 前池水位过程线（节点 " +
                                           std::to_string(c.s.nodes) + "）" + forebay.outside);
    FiguredChart envelope = FitLimits(ReportChartData(c.c.input, ReportChart::HeadEnvelope),
                                      CulvertDesignLines(c.design, c.s.reaches, c.geometry));
    const char* envelopeName =
        HeadIsWaterSurface(c.s) ? " 沿程水面线包络线" : " 沿程测压管水头包络线";
    b.Figure(std::move(envelope.chart), c.c.name + envelopeName + envelope.outside);
    Extremes(b, c);
    Envelope(b, c);
  }
  if (b.cases.size() < 2) return;
  b.d.Subheading(Numbered(6, ++sub, "各工况比较"));
  const std::string forebay = "各工况前池水位过程线";
  b.Figure(Comparison(b, ReportChart::ForebayLevel, {""}, forebay), forebay);
  const auto surfaces = std::size_t(std::count_if(
      b.cases.begin(), b.cases.end(), [](const CaseFacts& c) { return HeadIsWaterSurface(c.s); }));
  const std::string envelope = ComparedHeadsTitle(surfaces, b.cases.size());
  b.Figure(Comparison(b, ReportChart::HeadEnvelope,
                      {std::begin(kEnvelopeHeadLines), std::end(kEnvelopeHeadLines)}, envelope),
           envelope);
}

namespace {

const char* VerdictText(CheckVerdict verdict) {
  switch (verdict) {
    case CheckVerdict::Invalid:
      return "无效";
    case CheckVerdict::Fail:
      return "不满足";
    case CheckVerdict::Undetermined:
      return "未定";
    case CheckVerdict::Pass:
      return "满足";
  }
  return "";
}

// Every check some case makes, in CheckKind order, each with the cases that
// make it.
struct CheckOverCases {
  CheckKind kind;
  std::vector<CaseCheck> results;
  std::vector<const CheckRow*> rows;  // beside `results`
  std::size_t governing = 0;          // index into both
};

std::vector<CheckOverCases> OverCases(const Book& b) {
  std::map<CheckKind, CheckOverCases> checks;
  for (std::size_t i = 0; i < b.cases.size(); ++i) {
    for (const CheckRow& row : b.cases[i].checks.rows) {
      CheckOverCases& check =
          checks.try_emplace(row.kind, CheckOverCases{row.kind, {}, {}, 0}).first->second;
      check.results.push_back(CaseCheckOf(i, row));
      check.rows.push_back(&row);
    }
  }
  std::vector<CheckOverCases> out;
  for (auto& [kind, check] : checks) {
    check.governing = GoverningCheck(check.results);
    out.push_back(std::move(check));
  }
  return out;
}

void CaseChecks(Book& b, const CaseFacts& c) {
  if (c.checks.rows.empty()) {
    b.d.Paragraph(c.checks.data.Any() ? "设计资料不全，未作校核。" : "未给出设计资料，未作校核。");
  } else {
    ReportTable table =
        Table({"项目", "判据", "限值 m", "计算值 m", "位置", "出现时刻", "结论"},
              {false, false, true, true}, {false, false, false, false, true, true, true},
              {14, 14, 9, 10, 22, 23, 8});
    for (const CheckRow& row : c.checks.rows) {
      table.rows.push_back({row.item, row.rule, row.limitText, row.valueText, row.whereText,
                            row.whenText, row.verdictText});
    }
    b.d.Table(std::move(table));
  }
  if (!c.checks.missing.empty()) {
    std::string names;
    for (DesignId id : c.checks.missing) {
      names += (names.empty() ? "" : "、") + std::string(Field(id).caption);
    }
    b.d.Paragraph("未校核：缺少" + names + "。");
  }
  int number = 0;
  for (const std::string& sentence : c.checks.conclusions) {
    b.d.Paragraph("（" + std::to_string(++number) + "）" + sentence);
  }
}

std::string MarginText(const CaseCheck& check) { return FixedText(check.margin, 3); }

}  // namespace

void Checks(Book& b) {
  b.d.Heading("7  校核");
  std::size_t sub = 0;
  for (const CaseFacts& c : b.cases) {
    b.d.Subheading(Numbered(7, ++sub, c.c.name));
    CaseChecks(b, c);
  }
  b.d.Subheading(Numbered(7, ++sub, "控制工况"));
  const std::vector<CheckOverCases> checks = OverCases(b);
  if (checks.empty()) {
    b.d.Paragraph("未作校核，无控制工况。");
    return;
  }
  b.d.Paragraph(
      "每项校核取最不利的工况为控制工况：无效最先，其次不满足（差值最大者），再次未定，"
      "最后满足（裕度最小者）。裕度为计算值距限值的余量，负值为不足。");
  ReportTable table = Table({"校核项目", "控制工况", "计算值 m", "限值 m", "裕度 m", "结论"},
                            {false, false, true, true, true}, {}, {22, 24, 14, 14, 14, 12});
  for (const CheckOverCases& check : checks) {
    const CaseCheck& g = check.results[check.governing];
    const CheckRow& row = *check.rows[check.governing];
    table.rows.push_back({row.item, b.cases[g.caseIndex].c.name, row.valueText, row.limitText,
                          MarginText(g), VerdictText(g.verdict)});
  }
  b.d.Table(std::move(table));
}

namespace {

// "；各工况中与控制工况只差停机（开机）历时者，满足本项的最小停机（开机）历时为
// 120 s（工况 3）": the least value of an item among the cases that pass the
// check and differ from the governing case in that item alone; "" when no
// such case passes (the other cases' inputs would mix in their own effects).
std::string LeastPassing(const Book& b, const CheckOverCases& check, const char* what,
                         const char* unit, VariedItem item) {
  std::vector<CaseGiven> given;
  given.reserve(b.cases.size());
  for (const CaseFacts& c : b.cases) given.push_back({&c.c.input.outcome, &c.design});
  const std::optional<std::size_t> least =
      LeastPassingAlone(check.results, check.governing, given, item);
  if (!least) return "";
  return "；各工况中与控制工况只差" + std::string(what) + "者，满足本项的最小" + what + "为 " +
         ShortestText(VariedValue(*given[*least].outcome, item)) + " " + unit + "（" +
         b.cases[*least].c.name + "）";
}

// The measure a failing check implies, computed from its governing case.
std::string Measure(const Book& b, const CheckOverCases& check) {
  const CaseCheck& g = check.results[check.governing];
  const CheckRow& row = *check.rows[check.governing];
  const CaseFacts& c = b.cases[g.caseIndex];
  const std::string shortfall = FixedText(-g.margin, 3);
  std::string measure;
  switch (check.kind) {
    case CheckKind::ForebayHighest: {
      const double freeboard = c.design[DesignId::ForebayFreeboard].value_or(0);
      const double wall = *c.design[DesignId::ForebayWallTop];
      const double needed = double(row.value) + freeboard;
      measure = "前池墙顶高程应不低于最高水位加安全超高：" + Level(row.value) + " + " +
                ShortestText(freeboard) + " = " + Level(needed) + " m（现为 " + ShortestText(wall) +
                " m，需加高 " + Level(needed - wall) + " m）";
      break;
    }
    case CheckKind::ForebayLowest:
      measure = "前池最低水位 " + Level(row.value) + " m 低于水泵最低运行水位 " + row.limitText +
                " m，差 " + shortfall + " m：应降低水泵最低运行水位（安装高程）至少 " + shortfall +
                " m，或加大前池面积、延长停机或开机历时";
      break;
    case CheckKind::CulvertFull:
    case CheckKind::Vacuum:
      measure = "箱涵最低水头低于限值 " + shortfall + " m（" + row.whereText +
                "）：应将箱涵降低至少 " + shortfall + " m，或减缓流量变化";
      break;
    case CheckKind::DesignPressure:
      measure = "箱涵最高水头超出顶板加设计内水压力水头 " + shortfall + " m（" + row.whereText +
                "）：设计内水压力水头应至少提高 " + shortfall + " m，或减缓流量变化";
      break;
    case CheckKind::ChannelFreeboard:
      measure = "引渠最高水位超出堤顶高程减安全超高 " + shortfall + " m（" + row.whereText +
                "）：堤顶应至少加高 " + shortfall + " m，或减缓流量变化";
      break;
    case CheckKind::SurgeHeight:
      measure = "渠末涌波高度超出允许值 " + shortfall + " m：渠末堤顶应至少加高 " + shortfall +
                " m，或减缓流量变化";
      break;
  }
  measure += LeastPassing(b, check, "停机（开机）历时", "s", VariedItem::RampTime);
  measure += LeastPassing(b, check, "前池水面面积", "m²", VariedItem::ForebayArea);
  return measure + "。";
}

}  // namespace

std::string PumpChangeClause(const CaseFacts& c) {
  const PumpEvent& pump = c.c.input.outcome.extras.pump;
  if (!pump.Given()) {
    return "水泵流量由 " + HeldValue(c.p, InputId::SteadyDischarge) + " m³/s 变为 " +
           HeldValue(c.p, InputId::FinalPumpDischarge) + " m³/s";
  }
  const std::string line = ModelExtrasLines(ModelExtras{pump, {}}).front();
  const std::size_t colon = line.find("：");
  const std::string how =
      colon == std::string::npos
          ? line
          : line.substr(0, colon) + "（" + line.substr(colon + std::string("：").size()) + "）";
  const double end = PumpDischarge(pump, c.p.SteadyDischarge, c.p.FinalPumpDischarge).At(HUGE_VAL);
  return "水泵流量由 " + HeldValue(c.p, InputId::SteadyDischarge) + " m³/s 起按" + how + "变为 " +
         ShortestText(end) + " m³/s";
}

void Conclusions(Book& b) {
  b.d.Heading("8  结论与建议");
  b.d.Subheading("8.1  结论");
  int number = 0;
  for (const CaseFacts& c : b.cases) {
    b.d.Paragraph("（" + std::to_string(++number) + "）" + c.c.name + "（" +
                  EventName(c.c.input.outcome) + "）：" + PumpChangeClause(c) + " 后" +
                  "，前池水位由初始 " + Level(c.s.forebayInitial) + " m 变化，最高 " +
                  Level(c.s.forebayHighest.value) + " m（" +
                  StepTimeText(c.run, c.s.forebayHighest.step) + "），最低 " +
                  Level(c.s.forebayLowest.value) + " m（" +
                  StepTimeText(c.run, c.s.forebayLowest.step) + "）。");
  }
  const std::vector<CheckOverCases> checks = OverCases(b);
  if (checks.empty()) b.d.Paragraph("未作校核。");
  for (const CheckOverCases& check : checks) {
    const CaseCheck& g = check.results[check.governing];
    b.d.Paragraph("（" + std::to_string(++number) + "）" + CheckItemName(check.kind) +
                  "：控制工况为" + b.cases[g.caseIndex].c.name + "，计算值 " +
                  check.rows[check.governing]->valueText + " m，限值 " +
                  check.rows[check.governing]->limitText + " m，" +
                  (g.margin < 0 ? "差 " + FixedText(-g.margin, 3) : "裕度 " + MarginText(g)) +
                  " m，" + VerdictText(g.verdict) + "。");
  }
  b.d.Subheading("8.2  建议");
  number = 0;
  for (const CheckOverCases& check : checks) {
    const CaseCheck& g = check.results[check.governing];
    std::string advice;
    if (g.verdict == CheckVerdict::Fail) {
      advice = Measure(b, check);
    } else if (g.verdict == CheckVerdict::Undetermined) {
      advice = "结论未定：应补全设计资料或延长计算时长后重新计算。";
    } else if (g.verdict == CheckVerdict::Invalid) {
      advice = "计算结果超出模型适用范围，本项结论无效：应先消除箱涵脱空或水柱分离后重新计算。";
    } else {
      continue;
    }
    b.d.Paragraph("（" + std::to_string(++number) + "）" + CheckItemName(check.kind) + "：" +
                  advice);
  }
  if (number == 0) {
    b.d.Paragraph(checks.empty() ? "未给出设计资料，未作校核；给出设计资料后可据校核结果提出措施。"
                                 : "各项校核均满足要求，无需采取工程措施。");
  }
}

}  // namespace kelvane::book
