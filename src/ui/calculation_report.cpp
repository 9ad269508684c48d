#include "ui/calculation_report.h"

#include <QPainter>
#include <cmath>
#include <string>
#include <type_traits>

#include "report/chart_data.h"
#include "report/report_document.h"
#include "solver/event_texts.h"
#include "solver/number_format.h"
#include "solver/pump_event.h"
#include "solver/stability.h"
#include "ui/report_pdf.h"

namespace kelvane {
namespace {

template <class T>
std::string Shortest(T value) {
  if constexpr (std::is_integral_v<T>) {
    return std::to_string(value);
  } else {
    return ShortestText(value);
  }
}

// A value as the run holds it, in its own precision: the shortest text that
// reads back to the same single, double or integer.
std::string HeldValue(const RunParameters& p, InputId id) {
  switch (id) {
    case InputId::SteadyDischarge:
      return Shortest(p.SteadyDischarge);
    case InputId::IntakeHeadLoss:
      return Shortest(p.IntakeHeadLoss);
    case InputId::ReservoirLevel:
      return Shortest(p.ReservoirLevel);
    case InputId::SegmentCount:
      return Shortest(int(p.SegmentCount));
    case InputId::StepCount:
      return Shortest(int(p.StepCount));
    case InputId::FrictionFactor:
      return Shortest(p.FrictionFactor);
    case InputId::CulvertSlope:
      return Shortest(p.CulvertSlope);
    case InputId::HydraulicRadius:
      return Shortest(p.HydraulicRadius);
    case InputId::ForebayArea:
      return Shortest(p.ForebayArea);
    case InputId::CulvertArea:
      return Shortest(p.CulvertArea);
    case InputId::WaveSpeed:
      return Shortest(p.WaveSpeed);
    case InputId::CulvertLength:
      return Shortest(p.CulvertLength);
    case InputId::FirstOutputStep:
      return Shortest(int(p.FirstOutputStep));
    case InputId::LastOutputStep:
      return Shortest(int(p.LastOutputStep));
    case InputId::OutputInterval:
      return Shortest(p.OutputInterval);
    case InputId::FinalPumpDischarge:
      return Shortest(p.FinalPumpDischarge);
  }
  return "";
}

// "0.0105": four significant digits, for a value whose size is not known.
std::string Significant(double value) { return SignificantText(value, 4); }

// ---------------------------------------------------------------- the text

std::string Paragraph(const std::string& text) { return "<p>" + ReportHtml(text) + "</p>"; }
std::string Heading(const std::string& text) { return "<h2>" + ReportHtml(text) + "</h2>"; }
std::string Right(const std::string& text) { return ">" + text; }
std::string OneLine(const std::string& text) { return "=" + text; }

struct Facts {
  const ReportInput& in;
  const SurgeRun& run;
  const RunSummary& s;
  const RunParameters& p;
  DesignCheckReport checks;
  RunGeometry geometry;
};

std::string Level(float value) { return FixedText(value, 3); }

// "前池水位–面积表所用面积 600.000 至 2000.000 m²": the least and largest
// area the march used.
std::string AreaUsedText(const ForebayAreaUse& use) {
  return "前池水位–面积表所用面积 " + FixedText(use.smallestArea, 3) + " 至 " +
         FixedText(use.largestArea, 3) + " m²";
}

std::string Overview(const Facts& f) {
  std::string out = Heading("1  工程概况");
  const std::string title = f.in.title.empty() ? "未命名算例" : f.in.title;
  out += Paragraph("算例：" + title);
  if (!f.in.notes.empty()) out += Paragraph("说明：" + f.in.notes);
  out += Paragraph("水库水位 " + HeldValue(f.p, InputId::ReservoirLevel) +
                   " m，水流经取水头部（水头损失 " + HeldValue(f.p, InputId::IntakeHeadLoss) +
                   " m）进入长 " + HeldValue(f.p, InputId::CulvertLength) + " m、断面面积 " +
                   HeldValue(f.p, InputId::CulvertArea) + " m² 的箱涵，再进入" +
                   (f.s.forebayAreaUse
                        ? "水面面积随水位变化（" + AreaUsedText(*f.s.forebayAreaUse) + "）"
                        : "水面面积 " + HeldValue(f.p, InputId::ForebayArea) + " m² ") +
                   "的前池，由水泵抽水。");
  if (f.s.eventLines.empty()) {
    out += Paragraph("计算工况：水泵流量由 " + HeldValue(f.p, InputId::SteadyDischarge) +
                     " m³/s 突然变为 " + HeldValue(f.p, InputId::FinalPumpDischarge) +
                     " m³/s（泵突启闭）。");
  } else {
    // The pump event and area table in force, in the summary's own words.
    std::string lines;
    for (const std::string& line : f.s.eventLines) lines += (lines.empty() ? "" : "；") + line;
    out += Paragraph("计算工况：" + lines + "。");
  }
  return out;
}

std::string Method(const Facts& f) {
  std::string out = Heading("2  计算依据与方法");
  out += Paragraph(ModelMethodText(std::to_string(f.s.reaches)));
  HtmlTable grid;
  grid.Head({"计算网格", "数值"});
  grid.Row({"管段数 n", Right(std::to_string(f.s.reaches))});
  grid.Row({"节点数", Right(std::to_string(f.s.nodes))});
  grid.Row({"管段长度 Δx", Right(FixedText(f.s.reachLength, 3) + " m")});
  grid.Row({"时间步长 Δt", Right(FixedText(f.s.timeStep, 6) + " s")});
  grid.Row({"弹性波速 a", Right(FixedText(f.s.waveSpeed, 1) + " m/s")});
  grid.Row({"相长 2L/a", Right(FixedText(f.s.waveRoundTrip, 3) + " s")});
  grid.Row({"计算时段数", Right(std::to_string(f.s.steps))});
  grid.Row({"模拟时长", Right(FixedText(f.s.simulatedTime, 3) + " s（时段 1 至 " +
                              std::to_string(f.s.steps) + "）")});
  out += grid.End();

  out += "<h3>模型的适用范围</h3>";
  out += Paragraph(kModelDriftText);
  const double limit = ForebayStabilityLimit(f.p, f.in.outcome.coefficients);
  std::string stability = kForebayStabilityRule;
  if (std::isinf(limit)) {
    stability += "，本次计算的系数下不存在稳定的前池面积，结果不可用。";
  } else if (limit <= 0) {
    stability += "；本次计算箱涵面积为零，前池水位不反馈，无此限制。";
  } else {
    // With a level–area table the box is not used: the least area the
    // march used stands against the limit.
    const auto& use = f.s.forebayAreaUse;
    const double ratio = (use ? use->smallestArea : f.p.ForebayArea) / limit;
    stability += " = " + Significant(limit) + " m²；本次" +
                 (use ? AreaUsedText(*use) + "，最小者"
                      : "前池水面面积 " + HeldValue(f.p, InputId::ForebayArea) + " m²") +
                 "为稳定限的 " + FixedText(ratio, ratio >= 100 ? 0 : 2) + " 倍。";
    stability += ratio <= 1
                     ? "低于稳定限，计算发散，结果不可用。"
                     : "稳定限以上计算有界，但边界更新每一时段给振荡注入少许能量，只靠摩阻消耗；"
                       "前池面积越小，虚假振荡越大，面积仅数平方米或更小时结果应存疑。";
  }
  out += Paragraph(stability);
  out += Paragraph(kCulvertFullText);
  return out;
}

std::string Inputs(const Facts& f) {
  std::string out = Heading("3  基本资料");
  out += Paragraph("下表列出每项输入的文字（按输入原样）和程序读入的数值（按其保存精度）。");
  HtmlTable inputs;
  inputs.Head({"序号", "名称", "单位", "输入文字", "读入值"});
  for (const InputField& field : InputFields()) {
    const bool unused = field.id == InputId::ForebayArea && f.s.forebayAreaUse;
    inputs.Row({Right(std::to_string(BoxNumber(field.id))), field.caption, field.unit,
                "“" + f.in.texts[field.id] + "”",
                unused ? std::string("不用（按水位–面积表）") : Right(HeldValue(f.p, field.id))});
  }
  out += inputs.End();
  if (!f.s.eventLines.empty()) {
    out += "<h3>泵流量过程与前池面积</h3>";
    for (const std::string& line : f.s.eventLines) out += Paragraph(line);
  }
  out += "<h3>设计资料</h3>";
  if (!f.in.design.Any()) {
    out += Paragraph("未给出设计资料。");
    return out;
  }
  HtmlTable design;
  design.Head({"名称", "单位", "输入文字", "读入值"});
  for (const DesignField& field : DesignFields()) {
    if (!f.in.design[field.id]) continue;
    const std::optional<double>& value = f.checks.data[field.id];
    design.Row({field.caption, field.unit, "“" + *f.in.design[field.id] + "”",
                Right(value ? Shortest(*value) : "空，不计")});
  }
  if (!f.checks.vapourHeadText.empty()) {
    design.Row(
        {"汽化压力水头（大气压水头减饱和蒸汽压水头）", "m", "", Right(f.checks.vapourHeadText)});
  }
  out += design.End();
  return out;
}

std::string Results(const Facts& f) {
  std::string out = Heading("4  计算结果");
  out += "<p align=\"center\">" + ChartPlaceholder(int(ReportChart::ForebayLevel)) + "</p>";
  out += "<p align=\"center\">图 1  前池水位过程线（节点 " + std::to_string(f.s.nodes) + "）</p>";
  out += "<p align=\"center\">" + ChartPlaceholder(int(ReportChart::HeadEnvelope)) + "</p>";
  out += "<p align=\"center\">图 2  沿程水头包络线</p>";

  out += "<h3>前池水位（节点 " + std::to_string(f.s.nodes) + "）</h3>";
  HtmlTable forebay;
  forebay.Head({"项目", "数值", "出现时刻"});
  forebay.Row({"初始", Right(Level(f.s.forebayInitial) + " m"), ""});
  forebay.Row({"最高", Right(Level(f.s.forebayHighest.value) + " m"),
               StepTimeText(f.run, f.s.forebayHighest.step)});
  forebay.Row({"最低", Right(Level(f.s.forebayLowest.value) + " m"),
               StepTimeText(f.run, f.s.forebayLowest.step)});
  if (f.s.forebayReversalStep) {
    forebay.Row({"末端流速反向",
                 Right(FixedText(f.run.Velocity(f.s.nodes, f.s.forebayReversalStep), 3) + " m/s"),
                 StepTimeText(f.run, f.s.forebayReversalStep)});
  } else {
    forebay.Row({"末端流速反向", Right("无"), ""});
  }
  out += forebay.End();

  out += "<h3>包络（时段 1 至 " + std::to_string(f.s.steps) + "；水头 m，流速 m/s）</h3>";
  HtmlTable envelope;
  envelope.Head({"节点", "距离 m", "最高水头", "时段", "最低水头", "时段", "最大流速", "时段",
                 "最小流速", "时段"});
  for (int node = 1; node <= f.s.nodes; ++node) {
    const NodeEnvelope& e = f.s.envelope[node - 1];
    envelope.Row(
        {Right(std::to_string(node)), Right(FixedText(NodeDistance(f.geometry, node), 3)),
         Right(FixedText(e.highestHead.value, 3)), Right(std::to_string(e.highestHead.step)),
         Right(FixedText(e.lowestHead.value, 3)), Right(std::to_string(e.lowestHead.step)),
         Right(FixedText(e.highestVelocity.value, 3)),
         Right(std::to_string(e.highestVelocity.step)), Right(FixedText(e.lowestVelocity.value, 3)),
         Right(std::to_string(e.lowestVelocity.step))});
  }
  out += envelope.End();
  return out;
}

std::string Checks(const Facts& f) {
  std::string out = Heading("5  校核");
  if (f.checks.rows.empty()) {
    out +=
        Paragraph(f.checks.data.Any() ? "设计资料不全，未作校核。" : "未给出设计资料，未作校核。");
  } else {
    HtmlTable table;
    table.Head({"项目", "判据", "限值 m", "计算值 m", "位置", "出现时刻", "结论"},
               {11, 17, 9, 9, 22, 24, 8});
    for (const CheckRow& row : f.checks.rows) {
      table.Row({row.item, row.rule, Right(row.limitText), Right(row.valueText),
                 OneLine(row.whereText), OneLine(row.whenText), OneLine(row.verdictText)});
    }
    out += table.End();
  }
  if (!f.checks.missing.empty()) {
    std::string names;
    for (DesignId id : f.checks.missing) {
      names += (names.empty() ? "" : "、") + std::string(Field(id).caption);
    }
    out += Paragraph("未校核：缺少" + names + "。");
  }
  return out;
}

// "水泵流量由 20 m³/s 变为 0 m³/s 后" for the sudden change; for any other
// event its line of the summary's 工况 section and the discharge it ends at:
// "水泵流量由 20 m³/s 起按机组启闭序列（2 台依次启动，…）变为 40 m³/s 后".
std::string PumpChangeClause(const Facts& f) {
  const PumpEvent& pump = f.in.outcome.extras.pump;
  if (!pump.Given()) {
    return "水泵流量由 " + HeldValue(f.p, InputId::SteadyDischarge) + " m³/s 变为 " +
           HeldValue(f.p, InputId::FinalPumpDischarge) + " m³/s 后";
  }
  const std::string line = ModelExtrasLines(ModelExtras{pump, {}}).front();
  const std::size_t colon = line.find("：");
  const std::string how =
      colon == std::string::npos
          ? line
          : line.substr(0, colon) + "（" + line.substr(colon + std::string("：").size()) + "）";
  const double end = PumpDischarge(pump, f.p.SteadyDischarge, f.p.FinalPumpDischarge).At(HUGE_VAL);
  return "水泵流量由 " + HeldValue(f.p, InputId::SteadyDischarge) + " m³/s 起按" + how + "变为 " +
         ShortestText(end) + " m³/s 后";
}

std::string Conclusions(const Facts& f) {
  std::string out = Heading("6  结论");
  out += Paragraph(PumpChangeClause(f) + "，前池水位由初始 " + Level(f.s.forebayInitial) +
                   " m 变化，最高 " + Level(f.s.forebayHighest.value) + " m（" +
                   StepTimeText(f.run, f.s.forebayHighest.step) + "），最低 " +
                   Level(f.s.forebayLowest.value) + " m（" +
                   StepTimeText(f.run, f.s.forebayLowest.step) + "）。");
  if (f.checks.conclusions.empty()) {
    out += Paragraph("未作校核。");
  }
  int number = 0;
  for (const std::string& sentence : f.checks.conclusions) {
    out += Paragraph("（" + std::to_string(++number) + "）" + sentence);
  }
  return out;
}

}  // namespace

ChartData ReportChartData(const ReportInput& input, ReportChart chart) {
  const RunGeometry geometry = GeometryOf(input.outcome);
  const DesignData design = ReadDesignData(input.design);
  if (chart == ReportChart::ForebayLevel) {
    const int forebay[] = {input.summary.nodes};
    ChartData data = HistoryChart(*input.run, geometry, forebay, ChartQuantity::Head);
    data.limits = ForebayDesignLimits(design);
    return data;
  }
  ChartData data = EnvelopeChart(input.summary, *input.run, geometry, EnvelopeOf::Head);
  AddCulvertDesign(data, design, input.summary, geometry);
  return data;
}

void DrawReportChart(QPainter& painter, const QRectF& area, ReportChart chart,
                     const ReportInput& input) {
  DrawChartData(painter, area, ReportChartData(input, chart));
}

QByteArray CalculationReportPdf(const ReportInput& input) {
  if (input.run == nullptr) ReportFail("no run");
  Facts f{
      input, *input.run, input.summary, input.outcome.parameters, {}, GeometryOf(input.outcome)};
  f.checks = CheckDesign(ReadDesignData(input.design), input.summary, *input.run, input.outcome);

  HtmlPages pages;
  pages.title = input.title.empty() ? "未命名算例" : input.title;
  pages.header = "计算书";
  pages.date = input.date;
  pages.html = "<html><body><h1 align=\"center\">" + ReportHtml(pages.title) +
               "<br/>箱涵水力过渡过程计算书</h1>";
  pages.html += Overview(f) + Method(f) + Inputs(f) + Results(f) + Checks(f) + Conclusions(f);
  pages.html += "</body></html>";
  pages.drawChart = [&](QPainter& painter, const QRectF& area, int chart) {
    DrawReportChart(painter, area, ReportChart(chart), input);
  };
  return HtmlPagesPdf(pages);
}

void WriteCalculationReport(const ReportInput& input, const std::string& path) {
  WritePdfFile(CalculationReportPdf(input), path);
}

}  // namespace kelvane
