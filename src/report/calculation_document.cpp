#include "report/calculation_document.h"

#include <cmath>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "report/design_checks.h"
#include "solver/number_format.h"
#include "solver/stability.h"

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

std::string Level(float value) { return FixedText(value, 3); }

// A table with its heading row; `numeric` columns are set right, `oneLine`
// columns kept on one line.
ReportTable Table(std::vector<std::string> head, std::vector<bool> numeric,
                  std::vector<bool> oneLine = {}, std::vector<int> widths = {}) {
  ReportTable table;
  table.head = std::move(head);
  table.numeric = std::move(numeric);
  table.oneLine = std::move(oneLine);
  table.widths = std::move(widths);
  return table;
}

struct Facts {
  const ReportInput& in;
  const SurgeRun& run;
  const RunSummary& s;
  const RunParameters& p;
  DesignCheckReport checks;
  RunGeometry geometry;
};

void Overview(const Facts& f, ReportDocument& d) {
  d.Heading("1  工程概况");
  d.Paragraph("算例：" + d.title);
  if (!f.in.notes.empty()) d.Paragraph("说明：" + f.in.notes);
  d.Paragraph("水库水位 " + HeldValue(f.p, InputId::ReservoirLevel) + " m，水流经取水头部（水头损失 " +
              HeldValue(f.p, InputId::IntakeHeadLoss) + " m）进入长 " +
              HeldValue(f.p, InputId::CulvertLength) + " m、断面面积 " +
              HeldValue(f.p, InputId::CulvertArea) + " m² 的箱涵，再进入水面面积 " +
              HeldValue(f.p, InputId::ForebayArea) + " m² 的前池，由水泵抽水。");
  if (f.s.eventLines.empty()) {
    d.Paragraph("计算工况：水泵流量由 " + HeldValue(f.p, InputId::SteadyDischarge) +
                " m³/s 突然变为 " + HeldValue(f.p, InputId::FinalPumpDischarge) +
                " m³/s（泵突启闭）。");
  } else {
    // The pump event and area table in force, in the summary's own words.
    std::string lines;
    for (const std::string& line : f.s.eventLines) lines += (lines.empty() ? "" : "；") + line;
    d.Paragraph("计算工况：" + lines + "。");
  }
}

std::string StabilityText(const Facts& f) {
  const double limit = ForebayStabilityLimit(f.p, f.in.outcome.coefficients);
  std::string stability = kForebayStabilityRule;
  if (std::isinf(limit)) {
    stability += "，本次计算的系数下不存在稳定的前池面积，结果不可用。";
  } else if (limit <= 0) {
    stability += "；本次计算箱涵面积为零，前池水位不反馈，无此限制。";
  } else {
    const double ratio = f.p.ForebayArea / limit;
    stability += " = " + Significant(limit) + " m²；本次前池水面面积 " +
                 HeldValue(f.p, InputId::ForebayArea) + " m²，为稳定限的 " +
                 FixedText(ratio, ratio >= 100 ? 0 : 2) + " 倍。";
    stability += ratio <= 1
                     ? "低于稳定限，计算发散，结果不可用。"
                     : "稳定限以上计算有界，但边界更新每一时段给振荡注入少许能量，只靠摩阻消耗；"
                       "前池面积越小，虚假振荡越大，面积仅数平方米或更小时结果应存疑。";
  }
  return stability;
}

void Method(const Facts& f, ReportDocument& d) {
  d.Heading("2  计算依据与方法");
  d.Paragraph(ModelMethodText(std::to_string(f.s.reaches)));
  ReportTable grid = Table({"计算网格", "数值"}, {false, true});
  grid.rows = {
      {"管段数 n", std::to_string(f.s.reaches)},
      {"节点数", std::to_string(f.s.nodes)},
      {"管段长度 Δx", FixedText(f.s.reachLength, 3) + " m"},
      {"时间步长 Δt", FixedText(f.s.timeStep, 6) + " s"},
      {"弹性波速 a", FixedText(f.s.waveSpeed, 1) + " m/s"},
      {"相长 2L/a", FixedText(f.s.waveRoundTrip, 3) + " s"},
      {"计算时段数", std::to_string(f.s.steps)},
      {"模拟时长", FixedText(f.s.simulatedTime, 3) + " s（时段 1 至 " +
                       std::to_string(f.s.steps) + "）"},
  };
  d.Table(std::move(grid));
  d.Subheading("模型的适用范围");
  d.Paragraph(kModelDriftText);
  d.Paragraph(StabilityText(f));
  d.Paragraph(kCulvertFullText);
}

void Inputs(const Facts& f, ReportDocument& d) {
  d.Heading("3  基本资料");
  d.Paragraph("下表列出每项输入的文字（按输入原样）和程序读入的数值（按其保存精度）。");
  ReportTable inputs =
      Table({"序号", "名称", "单位", "输入文字", "读入值"}, {true, false, false, false, true});
  for (const InputField& field : InputFields()) {
    inputs.rows.push_back({std::to_string(BoxNumber(field.id)), field.caption, field.unit,
                           "“" + f.in.texts[field.id] + "”", HeldValue(f.p, field.id)});
  }
  d.Table(std::move(inputs));
  if (!f.s.eventLines.empty()) {
    d.Subheading("泵流量过程与前池面积");
    for (const std::string& line : f.s.eventLines) d.Paragraph(line);
  }
  d.Subheading("设计资料");
  if (!f.in.design.Any()) {
    d.Paragraph("未给出设计资料。");
    return;
  }
  ReportTable design = Table({"名称", "单位", "输入文字", "读入值"}, {false, false, false, true});
  for (const DesignField& field : DesignFields()) {
    if (!f.in.design[field.id]) continue;
    const std::optional<double>& value = f.checks.data[field.id];
    design.rows.push_back({field.caption, field.unit, "“" + *f.in.design[field.id] + "”",
                           value ? Shortest(*value) : "空，不计"});
  }
  if (!f.checks.vapourHeadText.empty()) {
    design.rows.push_back(
        {"汽化压力水头（大气压水头减饱和蒸汽压水头）", "m", "", f.checks.vapourHeadText});
  }
  d.Table(std::move(design));
}

void Results(const Facts& f, ReportDocument& d) {
  d.Heading("4  计算结果");
  const std::string forebayNode = "节点 " + std::to_string(f.s.nodes);
  d.Chart(ReportChartData(f.in, ReportChart::ForebayLevel),
          "图 1  前池水位过程线（" + forebayNode + "）");
  d.Chart(ReportChartData(f.in, ReportChart::HeadEnvelope), "图 2  沿程水头包络线");

  d.Subheading("前池水位（" + forebayNode + "）");
  ReportTable forebay = Table({"项目", "数值", "出现时刻"}, {false, true, false});
  forebay.rows.push_back({"初始", Level(f.s.forebayInitial) + " m", ""});
  forebay.rows.push_back({"最高", Level(f.s.forebayHighest.value) + " m",
                          StepTimeText(f.run, f.s.forebayHighest.step)});
  forebay.rows.push_back({"最低", Level(f.s.forebayLowest.value) + " m",
                          StepTimeText(f.run, f.s.forebayLowest.step)});
  if (f.s.forebayReversalStep) {
    forebay.rows.push_back(
        {"末端流速反向", FixedText(f.run.Velocity(f.s.nodes, f.s.forebayReversalStep), 3) + " m/s",
         StepTimeText(f.run, f.s.forebayReversalStep)});
  } else {
    forebay.rows.push_back({"末端流速反向", "无", ""});
  }
  d.Table(std::move(forebay));

  d.Subheading("包络（时段 1 至 " + std::to_string(f.s.steps) + "；水头 m，流速 m/s）");
  ReportTable envelope = Table({"节点", "距离 m", "最高水头", "时段", "最低水头", "时段",
                                "最大流速", "时段", "最小流速", "时段"},
                               std::vector<bool>(10, true));
  for (int node = 1; node <= f.s.nodes; ++node) {
    const NodeEnvelope& e = f.s.envelope[node - 1];
    envelope.rows.push_back(
        {std::to_string(node), FixedText(NodeDistance(f.geometry, node), 3),
         FixedText(e.highestHead.value, 3), std::to_string(e.highestHead.step),
         FixedText(e.lowestHead.value, 3), std::to_string(e.lowestHead.step),
         FixedText(e.highestVelocity.value, 3), std::to_string(e.highestVelocity.step),
         FixedText(e.lowestVelocity.value, 3), std::to_string(e.lowestVelocity.step)});
  }
  d.Table(std::move(envelope));
}

void Checks(const Facts& f, ReportDocument& d) {
  d.Heading("5  校核");
  if (f.checks.rows.empty()) {
    d.Paragraph(f.checks.data.Any() ? "设计资料不全，未作校核。" : "未给出设计资料，未作校核。");
  } else {
    ReportTable table = Table({"项目", "判据", "限值 m", "计算值 m", "位置", "出现时刻", "结论"},
                              {false, false, true, true}, {false, false, false, false, true, true, true},
                              {11, 17, 9, 9, 22, 24, 8});
    for (const CheckRow& row : f.checks.rows) {
      table.rows.push_back({row.item, row.rule, row.limitText, row.valueText, row.whereText,
                            row.whenText, row.verdictText});
    }
    d.Table(std::move(table));
  }
  if (!f.checks.missing.empty()) {
    std::string names;
    for (DesignId id : f.checks.missing) {
      names += (names.empty() ? "" : "、") + std::string(Field(id).caption);
    }
    d.Paragraph("未校核：缺少" + names + "。");
  }
}

void Conclusions(const Facts& f, ReportDocument& d) {
  d.Heading("6  结论");
  d.Paragraph("水泵流量由 " + HeldValue(f.p, InputId::SteadyDischarge) + " m³/s 变为 " +
              HeldValue(f.p, InputId::FinalPumpDischarge) + " m³/s 后，前池水位由初始 " +
              Level(f.s.forebayInitial) + " m 变化，最高 " + Level(f.s.forebayHighest.value) +
              " m（" + StepTimeText(f.run, f.s.forebayHighest.step) + "），最低 " +
              Level(f.s.forebayLowest.value) + " m（" +
              StepTimeText(f.run, f.s.forebayLowest.step) + "）。");
  if (f.checks.conclusions.empty()) d.Paragraph("未作校核。");
  int number = 0;
  for (const std::string& sentence : f.checks.conclusions) {
    d.Paragraph("（" + std::to_string(++number) + "）" + sentence);
  }
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

ReportDocument CalculationDocument(const ReportInput& input) {
  Facts f{
      input, *input.run, input.summary, input.outcome.parameters, {}, GeometryOf(input.outcome)};
  f.checks = CheckDesign(ReadDesignData(input.design), input.summary, *input.run, input.outcome);
  ReportDocument d;
  d.title = input.title.empty() ? "未命名算例" : input.title;
  d.subtitle = "箱涵水力过渡过程计算书";
  d.header = "计算书";
  d.date = input.date;
  Overview(f, d);
  Method(f, d);
  Inputs(f, d);
  Results(f, d);
  Checks(f, d);
  Conclusions(f, d);
  return d;
}

}  // namespace kelvane
