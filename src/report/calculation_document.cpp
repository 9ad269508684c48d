#include "report/calculation_document.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "charts/design_lines.h"
#include "charts/event_chart.h"
#include "evaluation/design_checks.h"
#include "format/number_format.h"
#include "model/stability.h"
#include "report/book_parts.h"
#include "texts/event_texts.h"

namespace kelvane {
namespace book {
namespace {

template <class T>
std::string Shortest(T value) {
  if constexpr (std::is_integral_v<T>) {
    return std::to_string(value);
  } else {
    return ShortestText(value);
  }
}

}  // namespace

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

ReportTable Table(std::vector<std::string> head, std::vector<bool> numeric,
                  std::vector<bool> oneLine, std::vector<int> widths) {
  ReportTable table;
  table.head = std::move(head);
  table.numeric = std::move(numeric);
  table.oneLine = std::move(oneLine);
  table.widths = std::move(widths);
  return table;
}

std::string EventName(const RunOutcome& outcome) {
  const PumpEvent& pump = outcome.extras.pump;
  const double steady = outcome.parameters.SteadyDischarge;
  if (pump.units) return pump.units->discharge < 0 ? "机组依次停机" : "机组依次开机";
  if (!pump.schedule.empty()) {
    return pump.schedule.back().discharge < steady ? "机组依次停机" : "机组依次开机";
  }
  const double final = outcome.parameters.FinalPumpDischarge;
  if (final > steady) return "开机";
  if (final == steady) return "流量不变";
  return pump.rampTime == 0 ? "事故停泵" : "正常停机";
}

namespace {

// The inputs of output control, listed apart from the data of the station.
bool OutputControl(InputId id) {
  return id == InputId::FirstOutputStep || id == InputId::LastOutputStep ||
         id == InputId::OutputInterval;
}

// "前池水位–面积表所用面积 600.000 至 2000.000 m²": the least and largest
// area the march used.
std::string AreaUsedText(const ForebayAreaUse& use) {
  return "前池水位–面积表所用面积 " + FixedText(use.smallestArea, 3) + " 至 " +
         FixedText(use.largestArea, 3) + " m²";
}

std::string Or(const std::string& text, const char* otherwise) {
  return text.empty() ? otherwise : text;
}

void Front(Book& b) {
  const ProjectInfo& project = b.in.project;
  ReportCover cover;
  cover.lines = {
      {"工程名称", b.d.title}, {"设计阶段", project.stage}, {"计算书编号", project.number}};
  cover.signers = {{"计算", project.calculatedBy},
                   {"校核", project.checkedBy},
                   {"审核", project.reviewedBy},
                   {"审定", project.approvedBy}};
  b.d.cover = std::move(cover);
}

void Purpose(Book& b) {
  b.d.Heading("1  计算目的");
  b.d.Paragraph(
      "计算水泵事故停泵、正常停机或开机时进水箱涵与前池的水力过渡过程，求出各计算工况的前池最高、"
      "最低水位和箱涵沿程测压管水头的包络，校核前池墙顶高程、水泵最低运行水位和箱涵顶板处的压力，"
      "为设计提供依据。");
  // The cases inherit the base case's notes: notes all cases share are said once.
  const std::string& notes = b.cases.front().typed.notes;
  const bool shared =
      b.cases.size() > 1 && std::all_of(b.cases.begin(), b.cases.end(),
                                        [&](const CaseFacts& c) { return c.typed.notes == notes; });
  if (shared) {
    if (!notes.empty()) b.d.Paragraph("说明：" + notes);
    return;
  }
  for (const CaseFacts& c : b.cases) {
    if (!c.typed.notes.empty()) b.d.Paragraph(c.c.name + "说明：" + c.typed.notes);
  }
}

void Basis(Book& b) {
  b.d.Heading("2  计算依据");
  std::vector<std::string> basis = b.in.project.basis;
  if (basis.empty()) basis.push_back("《泵站设计标准》GB 50265-2022");
  basis.push_back(b.cases.front().typed.design.Any()
                      ? "本工程设计资料（见 4.4，按输入原样列出）"
                      : "本工程输入资料（见第 4 节，按输入原样列出）");
  int number = 0;
  for (const std::string& line : basis) {
    b.d.Paragraph("（" + std::to_string(++number) + "）" + line);
  }
}

void Cases(Book& b) {
  b.d.Heading("3  计算工况");
  b.d.Paragraph("共 " + std::to_string(b.cases.size()) +
                " 个计算工况。第一个为基本工况，其余各工况只列出与基本工况不同的输入。");
  ReportTable table = Table({"序号", "工况", "类别", "水库水位", "与基本工况的区别"},
                            {true, false, false, true}, {}, {8, 22, 16, 14, 40});
  int number = 0;
  for (const CaseFacts& c : b.cases) {
    table.rows.push_back({std::to_string(++number), c.c.name, EventName(c.c.input.outcome),
                          HeldValue(c.p, InputId::ReservoirLevel) + " m",
                          Or(c.c.differences, number == 1 ? "基本工况" : "无")});
  }
  b.d.Table(std::move(table));
}

// The pump discharge of every case whose event differs from those before it,
// one line each.
ChartData PumpChart(const Book& b) {
  ChartData chart;
  for (const CaseFacts& c : b.cases) {
    ChartData one = PumpDischargeChart(c.c.input.outcome.extras.pump, c.p.SteadyDischarge,
                                       c.p.FinalPumpDischarge, c.s.simulatedTime);
    if (chart.lines.empty()) {
      chart = one;
      chart.lines.clear();
    }
    for (ChartLine& line : one.lines) {
      const bool known =
          std::any_of(chart.lines.begin(), chart.lines.end(),
                      [&](const ChartLine& l) { return l.x == line.x && l.y == line.y; });
      if (known) continue;
      line.name = c.c.name;
      line.colour = -1;
      chart.lines.push_back(std::move(line));
    }
  }
  return chart;
}

void StationData(Book& b, const CaseFacts& base) {
  b.d.Subheading("4.2  箱涵断面、局部损失与摩阻");
  const std::optional<double>& height = base.design[DesignId::CulvertHeight];
  std::string section = "箱涵断面面积 " + HeldValue(base.p, InputId::CulvertArea) +
                        " m²，水力半径 " + HeldValue(base.p, InputId::HydraulicRadius) + " m";
  if (height && *height > 0) {
    section += "，净高 " + ShortestText(*height) + " m，折合净宽 " +
               SignificantText(base.p.CulvertArea / *height, 4) + " m（断面面积除以净高）";
  } else {
    section += "（净宽、净高未给出）";
  }
  b.d.Paragraph(section + "；箱涵长 " + HeldValue(base.p, InputId::CulvertLength) + " m，坡度 " +
                HeldValue(base.p, InputId::CulvertSlope) + "。");
  ReportTable losses = Table({"位置", "计入方式", "数值"}, {false, false, true}, {}, {30, 50, 20});
  losses.rows = {
      {"取水头部", "水头损失（输入）", HeldValue(base.p, InputId::IntakeHeadLoss) + " m"},
      {"箱涵进口与出口", "局部损失系数 ξ（乘流速水头）",
       ShortestText(base.c.input.outcome.coefficients.LocalLossCoefficientA)},
      {"前池端前", "局部损失系数 ξ（乘流速水头）",
       ShortestText(base.c.input.outcome.coefficients.LocalLossCoefficientB)},
  };
  losses.title = "局部损失（只计入初始恒定流水面线）";
  b.d.Table(std::move(losses));
  b.d.Paragraph("摩阻系数 f = " + HeldValue(base.p, InputId::FrictionFactor) + "。依据：" +
                Or(b.in.project.frictionBasis, "为使用者给定的数值，本计算书未注明其来源。"));
  b.d.Paragraph("弹性波速 a = " + HeldValue(base.p, InputId::WaveSpeed) + " m/s。依据：" +
                Or(b.in.project.waveSpeedBasis, "为使用者给定的数值，本计算书未注明其来源。"));
  b.d.Paragraph(
      "高程基准：水库水位、前池水位、箱涵底高程、顶板高程和墙顶高程均取同一高程基准（m），"
      "与输入一致；水头为测压管水头，即以该基准计的高程。");
}

void EventData(Book& b, const CaseFacts& base) {
  b.d.Subheading("4.3  泵流量过程与前池面积");
  for (const CaseFacts& c : b.cases) {
    const std::string who = b.cases.size() > 1 ? c.c.name + "：" : "";
    if (c.s.eventLines.empty()) {
      b.d.Paragraph(who + "水泵流量由 " + HeldValue(c.p, InputId::SteadyDischarge) +
                    " m³/s 突然变为 " + HeldValue(c.p, InputId::FinalPumpDischarge) +
                    " m³/s；前池水面面积 " + HeldValue(c.p, InputId::ForebayArea) + " m²。");
      continue;
    }
    // The summary's lines of the event, then the forebay's area unless a
    // table gives it (its line is among the summary's).
    std::string text;
    for (const std::string& line : c.s.eventLines) text += (text.empty() ? "" : "；") + line;
    if (c.c.input.outcome.extras.forebay.areaTable.empty()) {
      text += "；前池水面面积 " + HeldValue(c.p, InputId::ForebayArea) + " m²";
    }
    b.d.Paragraph(who + text + "。");
  }
  b.Figure(PumpChart(b), "水泵流量过程 Q(t)");
  const std::vector<ForebayPoint>& table = base.c.input.outcome.extras.forebay.areaTable;
  if (table.empty()) return;
  ReportTable areas = Table({"前池水位 m", "水面面积 m²"}, {true, true}, {}, {50, 50});
  areas.title = "前池水位–面积表（" + base.c.name + "）";
  for (const ForebayPoint& point : table) {
    areas.rows.push_back({ShortestText(point.level), ShortestText(point.area)});
  }
  b.d.Table(std::move(areas));
  const double limit = ForebayStabilityLimit(base.p, base.c.input.outcome.coefficients);
  b.Figure(ForebayAreaChart(
               table, std::isfinite(limit) && limit > 0 ? std::optional(limit) : std::nullopt),
           "前池水位–面积关系");
}

void DesignTable(Book& b, const CaseFacts& base) {
  b.d.Subheading("4.4  设计资料");
  const DesignTexts& texts = base.typed.design;
  if (!texts.Any()) {
    b.d.Paragraph("未给出设计资料。");
    return;
  }
  ReportTable design = Table({"名称", "单位", "输入文字", "读入值"}, {false, false, false, true});
  for (const DesignField& field : DesignFields()) {
    if (!texts[field.id]) continue;
    const std::optional<double>& value = base.design[field.id];
    design.rows.push_back({field.caption, field.unit, "“" + *texts[field.id] + "”",
                           value ? ShortestText(*value) : "空，不计"});
  }
  if (!base.checks.vapourHeadText.empty()) {
    design.rows.push_back(
        {"真空限值（大气压水头减汽化压力水头）", "m", "", base.checks.vapourHeadText});
  }
  b.d.Table(std::move(design));
}

void Data(Book& b) {
  const CaseFacts& base = b.cases.front();
  b.d.Heading("4  基本资料");
  b.d.Subheading("4.1  输入数据");
  b.d.Paragraph("下表列出" + std::string(b.cases.size() > 1 ? "基本工况" : "") +
                "每项输入的文字（按输入原样）和程序读入的数值（按其保存精度）。");
  const std::vector<bool> numeric = {true, false, false, false, true};
  ReportTable inputs = Table({"序号", "名称", "单位", "输入文字", "读入值"}, numeric);
  ReportTable output = Table({"序号", "名称", "单位", "输入文字", "读入值"}, numeric);
  output.title = "输出控制";
  for (const InputField& field : InputFields()) {
    // Under a level–area table the forebay box is not read.
    const bool unused = field.id == InputId::ForebayArea && base.s.forebayAreaUse;
    (OutputControl(field.id) ? output : inputs)
        .rows.push_back({std::to_string(BoxNumber(field.id)), field.caption, field.unit,
                         "“" + base.typed.texts[field.id] + "”",
                         unused ? "不用（按水位–面积表）" : HeldValue(base.p, field.id)});
  }
  b.d.Table(std::move(inputs));
  StationData(b, base);
  EventData(b, base);
  DesignTable(b, base);
  b.d.Subheading("4.5  输出控制");
  b.d.Paragraph("以下三项只决定结果文件输出哪些时段，不影响计算。");
  b.d.Table(std::move(output));
}

std::string StabilityText(const CaseFacts& f) {
  const double limit = ForebayStabilityLimit(f.p, f.c.input.outcome.coefficients);
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
    stability += " = " + SignificantText(limit, 4) + " m²；本次" +
                 (use ? AreaUsedText(*use) + "，最小者"
                      : "前池水面面积 " + HeldValue(f.p, InputId::ForebayArea) + " m²，") +
                 "为稳定限的 " + FixedText(ratio, ratio >= 100 ? 0 : 2) + " 倍。";
    stability += ratio <= 1
                     ? "低于稳定限，计算发散，结果不可用。"
                     : "稳定限以上计算有界，但边界更新每一时段给振荡注入少许能量，只靠摩阻消耗；"
                       "前池面积越小，虚假振荡越大，面积仅数平方米或更小时结果应存疑。";
  }
  return stability;
}

// A text's clauses, each with its closing "；" or "。".
std::vector<std::string> Clauses(const std::string& text) {
  std::vector<std::string> out;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.size();
    for (const std::string_view stop : {std::string_view("；"), std::string_view("。")}) {
      const std::size_t at = text.find(stop, from);
      if (at != std::string::npos) end = std::min(end, at + stop.size());
    }
    out.push_back(text.substr(from, end - from));
    from = end;
  }
  return out;
}

// Each case's text (beside b.cases) with what every case says written once:
// the clauses all share that open the first case's text, `lead` before them
// when there are several cases; then each case's own clauses after its name;
// then the rest of the shared clauses. One case: its text as it is.
void SharedOnce(Book& b, const std::vector<std::string>& texts, const std::string& lead) {
  std::vector<std::vector<std::string>> clauses;
  clauses.reserve(texts.size());
  for (const std::string& text : texts) clauses.push_back(Clauses(text));
  const auto shared = [&](const std::string& clause) {
    return std::all_of(clauses.begin(), clauses.end(), [&](const std::vector<std::string>& c) {
      return std::find(c.begin(), c.end(), clause) != c.end();
    });
  };
  const auto paragraph = [&](std::string text, const std::string& name) {
    if (text.empty()) return;
    constexpr std::string_view kSemicolon = "；";
    if (text.ends_with(kSemicolon))
      text.replace(text.size() - kSemicolon.size(), kSemicolon.size(), "。");
    b.d.Paragraph(name + text);
  };
  const bool several = texts.size() > 1;
  std::string opening, closing;
  bool opened = true;
  for (const std::string& clause : clauses.front()) {
    const bool common = shared(clause);
    opened = opened && common;
    if (common) (opened ? opening : closing) += clause;
  }
  paragraph(opening, several ? lead : "");
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::string own;
    for (const std::string& clause : clauses[i])
      if (!shared(clause)) own += clause;
    paragraph(own, b.cases[i].c.name + "：");
  }
  paragraph(closing, "");
}

// The models the book's cases ran.
struct BookModels {
  bool classic = false;
  bool balanced = false;
  bool mixed = false;
  bool ClassicOnly() const { return classic && !balanced && !mixed; }
  // "经典模型（仅沿程损失）、平衡模型（…）", in that order.
  std::string Captions() const {
    std::string text;
    const auto add = [&](bool used, MarchModel model) {
      if (used) text += (text.empty() ? "" : "、") + std::string(MarchModelCaption(model));
    };
    add(classic, MarchModel::Classic);
    add(balanced, MarchModel::Balanced);
    add(mixed, MarchModel::Mixed);
    return text;
  }
};

BookModels ModelsOf(const Book& b) {
  BookModels models;
  for (const CaseFacts& c : b.cases) {
    switch (c.c.input.outcome.extras.model) {
      case MarchModel::Classic:
        models.classic = true;
        break;
      case MarchModel::Balanced:
        models.balanced = true;
        break;
      case MarchModel::Mixed:
        models.mixed = true;
        break;
    }
  }
  return models;
}

// The method of the two models beside the classic one, and the drift they
// do not have.
constexpr const char* kBalancedMethodText =
    "平衡模型在上列方程中另计初始水面线所含的其余损失：取水头部水头损失、进口段 31 m 摩阻的扣除与"
    "局部损失（系数 0.1825、0.0304、0.58），各在其所在位置作为与 V·|V| 成正比的损失项计入（随流向"
    "反向），系数由恒定流资料求得，因此初始水面线是非恒定计算的精确恒定状态。";
constexpr const char* kMixedMethodText =
    "自由水面与混合流模型按设计资料的断面（箱涵或梯形明渠）以有限体积法求解明流方程（HLL 通量，"
    "底坡项按静水重构，静水保持静止）；箱涵满流段在顶板以上接一条窄缝，使满流段的波速为给定的"
    "弹性波速，允许低至真空限值的负压。每个计算时段内按最快波的库朗数 0.9 分为若干子步，按双精度"
    "计算，在上述时段与节点上输出；边界的损失与平衡模型相同。"
    "该模型不用上列特征线方程。";
constexpr const char* kNoDriftBesideClassicText = "平衡模型与混合流模型计入这些损失，无此漂移。";
constexpr const char* kNoDriftText =
    "（1）非恒定计算计入初始水面线所含的全部损失，水泵流量不变时水流保持恒定，"
    "不发生经典模型那样的前池水位漂移。";

// What each case's run covers of its oscillation, and the classic model's
// drift where it is noted: the summary's own lines. With several cases the
// drift's explanation is written once after them, each case giving its
// amount alone.
void RunLengths(Book& b) {
  const bool several = b.cases.size() > 1;
  std::vector<std::string> lengths;
  lengths.reserve(b.cases.size());
  bool drifts = false;
  for (const CaseFacts& c : b.cases) {
    std::string text;
    for (const std::string& line : RunLengthLines(c.s)) text += (text.empty() ? "" : "；") + line;
    const std::string amount = DriftAmountText(c.s);
    drifts = drifts || !amount.empty();
    if (!amount.empty()) {
      text +=
          (text.empty() ? "" : "。") + (several ? "经典模型前池水位漂移" + amount : DriftNote(c.s));
    }
    lengths.push_back(text.empty() ? text : text + "。");
  }
  SharedOnce(b, lengths, "各工况：");
  if (several && drifts) {
    b.d.Paragraph(std::string(kDriftNoteLead) + "（各工况的漂移量如上）；" + kDriftNoteClose +
                  "。");
  }
}

void Method(Book& b) {
  const CaseFacts& base = b.cases.front();
  b.d.Heading("5  计算方法");
  b.d.Subheading("5.1  基本方程");
  b.d.Paragraph(ModelMethodText(std::to_string(base.s.reaches)));
  const BookModels models = ModelsOf(b);
  constexpr const char* kSymbols =
      "记 B = a/g，F = f·Δt/(2D)，G = F·B，D = 4R，J 为箱涵坡度，A、B 两点为上一时段相邻节点：";
  if (models.ClassicOnly()) {
    b.d.Paragraph(std::string("本次计算采用经典模型。") + kSymbols);
  } else {
    b.d.Paragraph("本次计算采用" + models.Captions() + "。" +
                  (models.classic || models.balanced ? kSymbols : ""));
  }
  if (models.classic || models.balanced) {
    b.d.Paragraph(
        "内部节点（顺、逆特征线相交）：\n"
        "V_P = [(V_A + V_B) + (H_A − H_B)/B − F·(V_A|V_A| + V_B|V_B|) − Δt·J·(V_A − V_B)/B] / 2\n"
        "H_P = [(H_A + H_B) + B·(V_A − V_B) − G·(V_A|V_A| − V_B|V_B|) − Δt·J·(V_A + V_B)] / 2");
    b.d.Paragraph(
        "上游端（水库，节点 1）：H_1 = Z，V_1 = (Z − C_M)/B，C_M = H_2 − V_2·(B − G·|V_2| + Δt·J)");
    b.d.Paragraph(
        "下游端（前池）蓄水量平衡：H_f = H + (V·A_c − Q_p)·Δt/A_f，V_f = (C_P − H_f)/B，"
        "C_P = H_n + V_n·(B − G·|V_n| − Δt·J)；Q_p 为该时段的水泵平均流量，A_f 为前池水面面积"
        "（给出水位–面积表时取上一时段水位下的面积）。");
  }
  if (models.balanced) b.d.Paragraph(kBalancedMethodText);
  if (models.mixed) b.d.Paragraph(kMixedMethodText);
  b.d.Subheading("5.2  计算网格");
  ReportTable grid = Table({"计算网格", "数值"}, {false, true});
  grid.rows = {
      {"管段数 n", std::to_string(base.s.reaches)},
      {"节点数", std::to_string(base.s.nodes)},
      {"管段长度 Δx", FixedText(base.s.reachLength, 3) + " m"},
      {"时间步长 Δt", FixedText(base.s.timeStep, 6) + " s"},
      {"弹性波速 a", FixedText(base.s.waveSpeed, 1) + " m/s"},
      {"相长 2L/a", FixedText(base.s.waveRoundTrip, 3) + " s"},
      {"计算时段数", std::to_string(base.s.steps)},
      {"模拟时长",
       FixedText(base.s.simulatedTime, 3) + " s（时段 1 至 " + std::to_string(base.s.steps) + "）"},
  };
  if (const std::optional<OscillationForecast>& f = base.s.oscillation) {
    grid.rows.push_back({"振荡周期 T（刚性水柱估计）", FixedText(f->period, 3) + " s"});
    grid.rows.push_back({"模拟时长 / T", FixedText(base.s.simulatedTime / f->period, 3)});
  }
  b.d.Table(std::move(grid));
  RunLengths(b);
  b.d.Subheading("5.3  模型的适用范围");
  b.d.Paragraph(models.classic ? std::string(kModelDriftText) +
                                     (models.ClassicOnly() ? "" : kNoDriftBesideClassicText)
                               : std::string(kNoDriftText));
  std::vector<std::string> stability;
  stability.reserve(b.cases.size());
  for (const CaseFacts& c : b.cases) stability.push_back(StabilityText(c));
  SharedOnce(b, stability, "");
  // The culvert's checks are section 7 of the book.
  std::string full = kCulvertFullText;
  constexpr std::string_view kOld = "第 5 节";
  if (const std::size_t at = full.find(kOld); at != std::string::npos)
    full.replace(at, kOld.size(), "第 7 节");
  // Only the pressurized models assume a full culvert.
  if (models.mixed) {
    constexpr std::string_view kWho = "（3）模型";
    if (models.classic || models.balanced) {
      full.replace(0, kWho.size(), "（3）经典模型与平衡模型");
      full += kMixedCulvertText;
    } else {
      full = "（3）" + std::string(kMixedCulvertText);
    }
  }
  b.d.Paragraph(full);
}

}  // namespace
}  // namespace book

ChartData PiezometricEnvelopeChart(const RunSummary& summary, const SurgeRun& run,
                                   const RunGeometry& geometry, const DesignData& data) {
  ChartData chart = EnvelopeChart(summary, run, geometry, EnvelopeOf::Head);
  AddCulvertDesign(chart, data, summary, geometry);
  // EnvelopeChart's "水头包络线…": the heads are piezometric.
  if (chart.title.starts_with("水头")) chart.title.insert(0, "测压管");
  return chart;
}

ChartData ReportChartData(const ReportInput& input, ReportChart chart) {
  const RunGeometry geometry = GeometryOf(input.outcome);
  const DesignData& design = input.prepared->design;
  if (chart == ReportChart::ForebayLevel) {
    const int forebay[] = {input.summary.nodes};
    ChartData data = HistoryChart(*input.run, geometry, forebay, ChartQuantity::Head);
    data.limits = ForebayDesignLimits(design);
    return data;
  }
  return PiezometricEnvelopeChart(input.summary, *input.run, geometry, design);
}

ReportDocument CalculationBook(const BookInput& in) {
  book::Book b{in, {}, {}, 0};
  for (const BookCase& c : in.cases) {
    const ReportInput& input = c.input;
    const DesignData& design = input.prepared->design;
    b.cases.push_back(
        {c, input.prepared->typed, *input.run, input.summary, input.outcome.parameters, design,
         CheckDesign(design, input.summary, *input.run, input.outcome), GeometryOf(input.outcome)});
  }
  const std::string& first = in.cases.front().input.prepared->typed.title;
  b.d.title = !in.project.name.empty() ? in.project.name : first.empty() ? "未命名算例" : first;
  b.d.subtitle = "箱涵水力过渡过程计算书";
  b.d.header = "计算书";
  b.d.date = in.date;
  book::Front(b);
  book::Purpose(b);
  book::Basis(b);
  book::Cases(b);
  book::Data(b);
  book::Method(b);
  book::Results(b);
  book::Checks(b);
  book::Conclusions(b);
  return std::move(b.d);
}

ReportDocument CalculationDocument(const ReportInput& input, const ProjectInfo& project) {
  BookInput in;
  in.project = project;
  in.date = input.date;
  const std::string& title = input.prepared->typed.title;
  in.cases.push_back({title.empty() ? "基本工况" : title, "", input});
  return CalculationBook(in);
}

}  // namespace kelvane
