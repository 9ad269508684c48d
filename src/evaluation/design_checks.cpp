#include "evaluation/design_checks.h"

#include <algorithm>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

namespace kelvane {

const CheckField& Field(CheckKind kind) {
  static constexpr CheckField kFields[] = {
#define KELVANE_CHECK(id, item, key, along, atMost) {CheckKind::id, item, key, along, atMost},
#include "evaluation/design_checks.def"
  };
  return kFields[static_cast<std::size_t>(kind)];
}

const char* CheckItemName(CheckKind kind) { return Field(kind).item; }

namespace {

// "节点 3、5 至 6": nodes ascending, consecutive ones as a span.
std::string NodeList(const std::vector<int>& nodes) {
  std::string text = "节点 ";
  for (std::size_t i = 0; i < nodes.size();) {
    std::size_t j = i;
    while (j + 1 < nodes.size() && nodes[j + 1] == nodes[j] + 1) ++j;
    if (i > 0) text += "、";
    text += std::to_string(nodes[i]);
    if (j > i) text += " 至 " + std::to_string(nodes[j]);
    i = j + 1;
  }
  return text;
}

bool Given(const DesignData& data, DesignId id) { return bool(data[id]); }

// A number padded to `width` columns, and at least one blank after it when
// its digits fill the column.
std::string Column(const std::string& text, int width) {
  return PadRight(text, std::max(width, DisplayWidth(text) + 1));
}

// The items of `needed` not given, when at least one of `needed` or of
// `alsoGiven` is given (so the user meant the check).
void NoteMissing(const DesignData& data, std::initializer_list<DesignId> needed,
                 std::initializer_list<DesignId> alsoGiven, std::vector<DesignId>& missing) {
  bool meant = false;
  for (DesignId id : needed) meant = meant || Given(data, id);
  for (DesignId id : alsoGiven) meant = meant || Given(data, id);
  if (!meant) return;
  for (DesignId id : needed) {
    if (!Given(data, id)) {
      bool listed = false;
      for (DesignId m : missing) listed = listed || m == id;
      if (!listed) missing.push_back(id);
    }
  }
}

struct Context {
  const RunSummary& summary;
  const SurgeRun& run;
  RunGeometry geometry;
};

// Fills the row's place, time and texts once its numbers stand.
void Describe(CheckRow& row, const Context& c) {
  row.distance = NodeDistance(c.geometry, row.node);
  row.time = c.run.StepTime(row.step);
  const int decimals = VerdictDecimals(row.value, row.limit);
  row.limitText = FixedText(row.limit, decimals);
  row.valueText = FixedText(row.value, decimals);
  row.whereText = NodeLabel(c.geometry, row.node);
  row.whenText = StepTimeText(c.run, row.step);
}

// The verdict of a row whose numbers stand: a broken limit fails; a kept one
// passes only when the run reaches the time that decides the forebay extreme
// of its kind (the highest level for the highest heads, the lowest for the
// lowest; ExtremeVerdictTime), and is undetermined where none can be given.
void Judge(CheckRow& row, const RunSummary& s) {
  row.verdict = row.pass ? CheckVerdict::Pass : CheckVerdict::Fail;
  if (row.pass) {
    if (const std::optional<VerdictTime> t = ExtremeVerdictTime(s, Field(row.kind).atMost)) {
      row.neededTime = t->time.value_or(0);
      if (!t->time) {
        row.verdict = CheckVerdict::Undetermined;
      } else if (double{s.simulatedTime} < row.neededTime) {
        row.verdict = CheckVerdict::Undetermined;
        row.neededSteps = StepsToReach(s, row.neededTime);
      }
    }
  }
  row.verdictText = CheckVerdictWord(row.verdict);
}

// What the run had to reach to decide the row, as the sentence names it.
std::string NeededText(const CheckRow& row, const VerdictTime& t, bool highest) {
  const char* extreme = highest ? "首个最高水位" : "首个最低水位";
  if (!t.BySurge())
    return std::string("预计") + extreme + "时刻后十分之一振荡周期（" +
           FixedText(row.neededTime, 3) + " s）";
  std::string text = "涌波往返一次的时刻（" + FixedText(t.surgeTime, 3) + " s";
  if (t.extremeTime)
    text += std::string("，晚于预计") + extreme + "时刻 " + FixedText(*t.extremeTime, 3) + " s";
  return text + "）后十分之一振荡周期（" + FixedText(row.neededTime, 3) + " s）";
}

// Why a row is undetermined and what would decide it, one sentence.
std::string UndeterminedSentence(const CheckRow& row, const RunSummary& s) {
  const bool highest = Field(row.kind).atMost;
  std::string text = std::string(CheckItemName(row.kind)) + "在已算的 " +
                     FixedText(s.simulatedTime, 3) + " s 内为 " + row.valueText + " m（" +
                     row.whenText + "），限值 " + row.limitText + " m，但";
  const std::optional<VerdictTime> t = ExtremeVerdictTime(s, highest);
  if (!t || !t->time) {
    return text + (t ? t->why : std::string()) + "，无法估计判定" +
           (highest ? "最高水位" : "最低水位") + "所需的计算时长，结论未定。";
  }
  text += "计算未达" + NeededText(row, *t, highest) + "，结论未定：需计算时段数 " +
          std::to_string(row.neededSteps);
  if (row.neededSteps > kMostSteps) {
    const long long reaches = std::max<long long>(1, s.reaches * kMostSteps / row.neededSteps);
    text += "，超过 " + std::to_string(kMostSteps) + "，请减少划分管段数（如 " +
            std::to_string(reaches) + " 段）后重新计算。";
  } else {
    text += "，请按此重新计算。";
  }
  return text;
}

// A check of the forebay's highest (ForebayHighest) or lowest level against
// a fixed limit, its numbers only.
CheckRow ForebayRow(CheckKind kind, double limit, const RunSummary& summary) {
  const bool atMost = Field(kind).atMost;
  const ExtremeAt& extreme = atMost ? summary.forebayHighest : summary.forebayLowest;
  CheckRow row;
  row.kind = kind;
  row.limit = float(limit);
  row.value = extreme.value;
  row.pass = LevelWithin(row.value, limit, atMost);
  row.node = summary.nodes;
  row.step = extreme.step;
  if (!row.pass) row.failingNodes = {row.node};
  return row;
}

CheckRow ForebayRow(CheckKind kind, double limit, const Context& c) {
  CheckRow row = ForebayRow(kind, limit, c.summary);
  Describe(row, c);
  return row;
}

// The surge at the channel's end: the rise of its highest level over the
// initial one against the room the bank top (less the freeboard) leaves.
CheckRow SurgeRow(const DesignData& data, const Context& c) {
  CheckRow row;
  row.kind = CheckKind::SurgeHeight;
  const double initial = c.summary.forebayInitial;
  const double room = *data[DesignId::ChannelBankTopDownstream] -
                      data[DesignId::ChannelFreeboard].value_or(0) - initial;
  row.limit = float(room);
  row.value = float(double{c.summary.forebayHighest.value} - initial);
  row.pass = row.value <= row.limit;
  row.node = c.summary.nodes;
  row.step = c.summary.forebayHighest.step;
  if (!row.pass) row.failingNodes = {row.node};
  Describe(row, c);
  return row;
}

// A check along the culvert: at every node the extreme `of` against
// `limitAt(node)`, at most (highest heads) or at least (lowest heads).
template <class LimitAt>
CheckRow CulvertRow(CheckKind kind, ExtremeAt NodeEnvelope::*of, LimitAt limitAt, bool atMost,
                    const Context& c) {
  CheckRow row;
  row.kind = kind;
  double leastMargin = 0;
  for (int node = 1; node <= c.summary.nodes; ++node) {
    const ExtremeAt& extreme = c.summary.envelope[node - 1].*of;
    const float limit = float(limitAt(node));
    const bool pass = LevelWithin(extreme.value, limit, atMost);
    if (!pass) row.failingNodes.push_back(node);
    const double margin =
        atMost ? double(limit) - double(extreme.value) : double(extreme.value) - double(limit);
    if (node == 1 || margin < leastMargin) {
      leastMargin = margin;
      row.node = node;
      row.limit = limit;
      row.value = extreme.value;
      row.step = extreme.step;
    }
  }
  row.pass = row.failingNodes.empty();
  Describe(row, c);
  return row;
}

std::string Worst(const CheckRow& row, const char* quantity, const char* limitName) {
  return "最不利为" + row.whereText + "，" + quantity + " " + row.valueText + " m（" +
         row.whenText + "），" + limitName + " " + row.limitText + " m";
}

// Whether some failing node of the row ran part full in the mixed model's
// run (`free`; none for the pressurized models).
bool FailsPartFull(const CheckRow& row, const FreeSurfaceRecord* free) {
  if (free == nullptr) return false;
  for (int node : row.failingNodes) {
    const auto k = static_cast<std::size_t>(node - 1);
    if (k < free->nodes.size() && free->nodes[k].everFree) return true;
  }
  return false;
}

// What a head below the soffit means for the run's model: the pressurized
// models (no `free` record) leave their model there; the mixed model
// computes the culvert as it runs, part full or still full below the soffit.
const char* BelowSoffitText(const CheckRow& row, const FreeSurfaceRecord* free) {
  if (free == nullptr) return "：箱涵在此脱空进气，有压流模型不再成立，不满足要求。";
  if (FailsPartFull(row, free))
    return "：箱涵在此未满流、进气，混合流模型按明流计算，不满足箱涵满流的设计要求。";
  return "：混合流模型中箱涵在此仍为满流（水头低于顶板，空气未进入），不满足箱涵满流的设计要求。";
}

void Word(CheckRow& row, const std::string& vapourHead, const FreeSurfaceRecord* free) {
  const std::string at = row.valueText + " m（" + row.whenText + "），";
  switch (row.kind) {
    case CheckKind::ForebayHighest:
      row.item = CheckItemName(row.kind);
      row.rule = "≤ 墙顶高程 - 安全超高";
      row.sentence = "前池最高水位 " + at + (row.pass ? "不高于" : "高于") + "墙顶高程减安全超高 " +
                     row.limitText + " m，" + (row.pass ? "满足要求。" : "不满足要求。");
      break;
    case CheckKind::ForebayLowest:
      row.item = CheckItemName(row.kind);
      row.rule = "≥ 水泵最低运行水位";
      row.sentence = "前池最低水位 " + at + (row.pass ? "不低于" : "低于") + "水泵最低运行水位 " +
                     row.limitText + " m，" + (row.pass ? "满足要求。" : "不满足要求。");
      break;
    case CheckKind::CulvertFull:
      row.item = CheckItemName(row.kind);
      row.rule = "最低水头 ≥ 顶板高程";
      row.sentence = row.pass
                         ? "箱涵各节点最低水头均不低于顶板高程，" +
                               Worst(row, "最低水头", "顶板高程") + "，箱涵保持满流，满足要求。"
                         : "箱涵" + NodeList(row.failingNodes) + " 的最低水头低于顶板高程，" +
                               Worst(row, "最低水头", "顶板高程") + BelowSoffitText(row, free);
      break;
    case CheckKind::Vacuum:
      row.item = CheckItemName(row.kind);
      row.rule = "最低水头 ≥ 顶板高程 - 真空限值";
      row.sentence =
          row.pass ? "箱涵各节点最低水头均不低于顶板高程减真空限值（" + vapourHead + "），" +
                         Worst(row, "最低水头", "限值") + "，不发生水柱分离，满足要求。"
                   : "箱涵" + NodeList(row.failingNodes) + " 的最低水头低于顶板高程减真空限值（" +
                         vapourHead + "），" + Worst(row, "最低水头", "限值") +
                         "：水在此汽化、水柱分离，计算结果无效，不满足要求。";
      break;
    case CheckKind::DesignPressure:
      row.item = CheckItemName(row.kind);
      row.rule = "最高水头 ≤ 顶板高程 + 设计内水压力水头";
      row.sentence =
          (row.pass ? std::string("箱涵各节点最高水头均不高于顶板高程加设计内水压力水头，")
                    : "箱涵" + NodeList(row.failingNodes) +
                          " 的最高水头高于顶板高程加设计内水压力水头，") +
          Worst(row, "最高水头", "限值") + (row.pass ? "，满足要求。" : "，不满足要求。");
      break;
    case CheckKind::ChannelFreeboard:
      row.item = CheckItemName(row.kind);
      row.rule = "最高水位 ≤ 堤顶高程 - 引渠安全超高";
      row.sentence =
          (row.pass ? std::string("引渠各节点最高水位均不高于堤顶高程减安全超高，")
                    : "引渠" + NodeList(row.failingNodes) + " 的最高水位高于堤顶高程减安全超高，") +
          Worst(row, "最高水位", "限值") + (row.pass ? "，满足要求。" : "，不满足要求。");
      break;
    case CheckKind::SurgeHeight:
      row.item = CheckItemName(row.kind);
      row.rule = "水位升高 ≤ 末端堤顶 - 安全超高 - 初始水位";
      row.sentence = "渠末涌波高度（水位高出初始水位）" + at + (row.pass ? "不大于" : "大于") +
                     "末端堤顶高程减安全超高与初始水位之差 " + row.limitText + " m，" +
                     (row.pass ? "满足要求。" : "不满足要求。");
      break;
  }
}

// The first step at which some node's head lies below its soffit, with the
// node; {0, 0} when none does.
std::pair<int, int> FirstPartFull(const DesignData& data, const SurgeRun& run) {
  const int reaches = run.SegmentCount();
  std::vector<float> soffits;
  for (int node = 1; node <= run.GridNodes(); ++node)
    soffits.push_back(float(SoffitAt(data, node, reaches)));
  for (int step = 1; step <= run.StepCount(); ++step) {
    const std::span<const float> heads = run.HeadsAt(step);
    for (std::size_t k = 0; k < heads.size(); ++k)
      if (heads[k] < soffits[k]) return {step, static_cast<int>(k) + 1};
  }
  return {0, 0};
}

// The first step at which the row's limit is broken at some node (the
// forebay's for the forebay checks), from steps 1..last.
int FirstBreak(const CheckRow& row, const DesignData& data, const SurgeRun& run, int last) {
  const bool forebay = !Field(row.kind).alongCulvert;
  const bool atMost = Field(row.kind).atMost;
  // The surge's limit is a rise over the initial level at the channel's end.
  const double over =
      row.kind == CheckKind::SurgeHeight ? double{run.Head(run.GridNodes(), 1)} : 0.0;
  for (int step = 1; step <= last; ++step) {
    for (int node = forebay ? run.GridNodes() : 1; node <= run.GridNodes(); ++node) {
      const double limit = forebay ? over + double{row.limit}
                                   : CulvertLimitAt(row.kind, data, node, run.SegmentCount());
      if (!LevelWithin(run.Head(node, step), limit, atMost)) return step;
    }
  }
  return 0;
}

// A verdict that rests on steps after the model's end is invalid: a kept
// limit (its run goes on past the end) and a broken one first broken after
// it. The culvert-full check's own failure is the finding itself.
void JudgeWithinModel(CheckRow& row, const DesignCheckReport& report, const SurgeRun& run) {
  if (report.modelEndStep == 0 || row.kind == CheckKind::CulvertFull) return;
  const bool after = row.verdict == CheckVerdict::Fail
                         ? FirstBreak(row, report.data, run, report.modelEndStep) == 0
                         : run.StepCount() > report.modelEndStep;
  if (!after) return;
  row.verdict = CheckVerdict::Invalid;
  row.verdictText = CheckVerdictWord(row.verdict);
  if (report.freeSurfaceModel) {
    row.sentence = std::string(CheckItemName(row.kind)) + "：箱涵自" +
                   StepTimeText(run, report.modelEndStep) + " 起于节点 " +
                   std::to_string(report.modelEndNode) +
                   " 在满流与明流之间转换，混合流模型对移动的压力前锋与箱涵泄空的计算尚未验证，"
                   "此后的结论无效（超出模型适用范围）。";
    return;
  }
  row.sentence =
      std::string(CheckItemName(row.kind)) + "：箱涵自" + StepTimeText(run, report.modelEndStep) +
      " 起于节点 " + std::to_string(report.modelEndNode) +
      " 脱空（水头低于顶板），此后超出有压满流模型的适用范围，结论无效（超出模型适用范围）。";
}

}  // namespace

const char* CheckVerdictWord(CheckVerdict verdict) {
  switch (verdict) {
    case CheckVerdict::Pass:
      return "满足";
    case CheckVerdict::Fail:
      return "不满足";
    case CheckVerdict::Undetermined:
      return "未定";
    case CheckVerdict::Invalid:
      return "无效（超出模型适用范围）";
  }
  return "";
}

bool LevelWithin(float level, double limit, bool atMost) {
  const float rounded = float(limit);
  return atMost ? level <= rounded : level >= rounded;
}

double CulvertLimitAt(CheckKind kind, const DesignData& data, int node, int reaches) {
  const double soffit = SoffitAt(data, node, reaches);
  switch (kind) {
    case CheckKind::Vacuum:
      return soffit - VacuumLimitOf(data).Head();
    case CheckKind::DesignPressure:
      return soffit + data[DesignId::CulvertDesignPressureHead].value_or(0);
    case CheckKind::ChannelFreeboard:
      return BankTopAt(data, node, reaches) - data[DesignId::ChannelFreeboard].value_or(0);
    default:
      return soffit;
  }
}

double BankTopAt(const DesignData& data, int node, int reaches) {
  const double upstream = data[DesignId::ChannelBankTopUpstream].value_or(0);
  const double downstream = data[DesignId::ChannelBankTopDownstream].value_or(0);
  const double fraction = reaches > 0 ? double(node - 1) / reaches : 0;
  return upstream + (downstream - upstream) * fraction;
}

std::optional<double> ForebayHighestAllowed(const DesignData& data) {
  if (!data[DesignId::ForebayWallTop]) return std::nullopt;
  return *data[DesignId::ForebayWallTop] - data[DesignId::ForebayFreeboard].value_or(0);
}

std::vector<CheckKind> ChecksGiven(const DesignData& data) {
  using enum DesignId;
  std::vector<CheckKind> kinds;
  if (Given(data, ForebayWallTop)) kinds.push_back(CheckKind::ForebayHighest);
  if (Given(data, PumpMinLevel)) kinds.push_back(CheckKind::ForebayLowest);
  if (CulvertGiven(data)) {
    kinds.insert(kinds.end(), {CheckKind::CulvertFull, CheckKind::Vacuum});
    if (Given(data, CulvertDesignPressureHead)) kinds.push_back(CheckKind::DesignPressure);
  }
  if (Given(data, ChannelBankTopUpstream) && Given(data, ChannelBankTopDownstream))
    kinds.push_back(CheckKind::ChannelFreeboard);
  if (Given(data, ChannelBankTopDownstream)) kinds.push_back(CheckKind::SurgeHeight);
  return kinds;
}

namespace {

// The rows of every check the data allows, not yet judged.
void AddCheckRows(const DesignData& data, const Context& c, bool channel,
                  DesignCheckReport& report) {
  using enum DesignId;
  const RunSummary& summary = c.summary;
  NoteMissing(data, {ForebayWallTop}, {ForebayFreeboard}, report.missing);
  if (Given(data, ForebayWallTop)) {
    report.rows.push_back(ForebayRow(CheckKind::ForebayHighest, *ForebayHighestAllowed(data), c));
  }
  if (Given(data, PumpMinLevel)) {
    report.rows.push_back(ForebayRow(CheckKind::ForebayLowest, *data[PumpMinLevel], c));
  }

  // The mixed model's open channel has no soffit: the culvert's checks are
  // not its own.
  if (!channel) {
    NoteMissing(data, {CulvertInvertUpstream, CulvertInvertDownstream, CulvertHeight},
                {CulvertDesignPressureHead, SiteElevation, WaterTemperature}, report.missing);
  }
  if (CulvertGiven(data) && !channel) {
    const int reaches = summary.reaches;
    report.vapourHeadText = VacuumLimitText(data);
    for (CheckKind kind : {CheckKind::CulvertFull, CheckKind::Vacuum, CheckKind::DesignPressure}) {
      if (kind == CheckKind::DesignPressure && !Given(data, CulvertDesignPressureHead)) continue;
      const bool highest = kind == CheckKind::DesignPressure;
      report.rows.push_back(CulvertRow(
          kind, highest ? &NodeEnvelope::highestHead : &NodeEnvelope::lowestHead,
          [&](int node) { return CulvertLimitAt(kind, data, node, reaches); }, highest, c));
    }
  }
  NoteMissing(data, {ChannelBankTopUpstream, ChannelBankTopDownstream}, {ChannelFreeboard},
              report.missing);
  if (Given(data, ChannelBankTopUpstream) && Given(data, ChannelBankTopDownstream)) {
    report.rows.push_back(CulvertRow(
        CheckKind::ChannelFreeboard, &NodeEnvelope::highestHead,
        [&](int node) {
          return CulvertLimitAt(CheckKind::ChannelFreeboard, data, node, summary.reaches);
        },
        true, c));
  }
  if (Given(data, ChannelBankTopDownstream)) report.rows.push_back(SurgeRow(data, c));
}

// What the model's reach means for the conclusions: from where its results
// no longer hold, and what must change before they can.
void AddModelConclusions(const SurgeRun& run, bool freeSurface, DesignCheckReport& report) {
  // A culvert part full at step 1 leaves no result within the model: the
  // steady profile the run starts from already lies below the soffit.
  const bool fromStart = report.modelEndStep == 1;
  if (freeSurface) {
    if (report.modelEndStep != 0) {
      report.withinModel = false;
      report.conclusions.push_back(
          "本次计算的部分结果超出混合流模型已验证的范围：箱涵自" +
          StepTimeText(run, report.modelEndStep) +
          " 起在满流与明流之间转换（压力前锋移动、箱涵泄空），此类计算尚未验证，其后的水位、水头"
          "和流速不能作为设计依据；须调整顶板高程或工况使箱涵保持满流或保持明流后重新计算，方可"
          "对其后的结果作出结论。");
    }
    return;
  }
  if (fromStart) {
    report.conclusions.push_back(
        "箱涵自计算开始（时段 1）即未满流：起始恒定流水头在节点 " +
        std::to_string(report.modelEndNode) +
        " 已低于顶板，模型假定箱涵始终满流、有压，本次计算的全部结果超出模型的适用范围，不能作为"
        "设计依据。");
  } else if (!report.withinModel) {
    report.conclusions.push_back(
        "本次计算的部分结果超出模型的适用范围：模型假定箱涵始终满流、有压，箱涵一旦脱空进气或"
        "水柱分离，其后的水位、水头和流速不能作为设计依据。");
  }
  if (fromStart) {
    report.conclusions.push_back(
        "须使箱涵保持满流（调整顶板高程或工况）后重新计算，方可作出结论。");
  } else if (report.modelEndStep != 0) {
    report.conclusions.push_back("须使箱涵保持满流（调整顶板高程或工况）后重新计算，方可对" +
                                 StepTimeText(run, report.modelEndStep) + " 以后的结果作出结论。");
  }
}

// The closing count of the checks by verdict.
void AddCountConclusion(int failed, int undetermined, int invalid, DesignCheckReport& report) {
  if (report.rows.empty()) return;
  const std::string all = std::to_string(report.rows.size());
  if (invalid != 0) {
    report.conclusions.push_back(
        "共 " + all + " 项校核，其中 " + std::to_string(failed) + " 项不满足要求，" +
        std::to_string(invalid) + " 项无效（超出模型适用范围）" +
        (undetermined == 0 ? std::string() : "，" + std::to_string(undetermined) + " 项未定") +
        "。");
  } else if (failed == 0 && undetermined == 0) {
    report.conclusions.push_back("全部 " + all + " 项校核均满足要求。");
  } else if (undetermined == 0) {
    report.conclusions.push_back("共 " + all + " 项校核，其中 " + std::to_string(failed) +
                                 " 项不满足要求。");
  } else {
    report.conclusions.push_back(
        "共 " + all + " 项校核，其中 " +
        (failed == 0 ? std::string() : std::to_string(failed) + " 项不满足要求，") +
        std::to_string(undetermined) + " 项未定（计算时长不足，见上）。");
  }
}

}  // namespace

DesignCheckReport CheckDesign(const DesignData& data, const RunSummary& summary,
                              const SurgeRun& run, const RunOutcome& outcome) {
  DesignCheckReport report;
  report.data = data;
  const Context c{summary, run, GeometryOf(outcome)};
  const std::optional<FreeSurfaceRecord>& free = outcome.freeSurface;
  const bool channel = free && free->section == CulvertSection::Channel;
  AddCheckRows(data, c, channel, report);

  const bool culvert = CulvertGiven(data) && !channel;
  if (free) {
    // Full or part full, the mixed model holds; a change between them is
    // what its validation does not yet cover.
    report.freeSurfaceModel = true;
    report.modelEndStep = free->firstChangeStep;
    report.modelEndNode = free->firstChangeNode;
  } else if (culvert) {
    std::tie(report.modelEndStep, report.modelEndNode) = FirstPartFull(data, run);
  }
  int failed = 0;
  int undetermined = 0;
  int invalid = 0;
  for (CheckRow& row : report.rows) {
    Judge(row, summary);
    Word(row, report.vapourHeadText, free ? &*free : nullptr);
    if (row.verdict == CheckVerdict::Undetermined)
      row.sentence = UndeterminedSentence(row, summary);
    JudgeWithinModel(row, report, run);
    if (row.verdict == CheckVerdict::Undetermined) ++undetermined;
    if (row.verdict == CheckVerdict::Invalid) ++invalid;
    report.conclusions.push_back(row.sentence);
    if (row.verdict == CheckVerdict::Fail) ++failed;
    if (!free && !row.pass &&
        (row.kind == CheckKind::CulvertFull || row.kind == CheckKind::Vacuum)) {
      report.withinModel = false;
    }
  }
  AddModelConclusions(run, free.has_value(), report);
  AddCountConclusion(failed, undetermined, invalid, report);
  return report;
}

namespace {
// A given elevation or temperature as typed would show it: at most three
// decimals, no trailing zeros ("100", "12.5").
std::string ItemText(double value) {
  std::string text = FixedText(value, 3);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}
}  // namespace

std::string VacuumLimitText(const DesignData& data) {
  const VacuumLimit limit = VacuumLimitOf(data);
  const std::optional<double>& elevation = data[DesignId::SiteElevation];
  const std::optional<double>& temperature = data[DesignId::WaterTemperature];
  if (!elevation && !temperature) {
    return FixedText(limit.atmosphericHead, 2) + " - " + FixedText(limit.vapourHead, 2) + " = " +
           FixedText(limit.Head(), 2) + " m，水温 " + FixedText(kWaterTemperature, 0) + " °C";
  }
  std::string text = FixedText(limit.atmosphericHead, 3) + " - " + FixedText(limit.vapourHead, 3) +
                     " = " + FixedText(limit.Head(), 3) + " m，站址高程 " +
                     ItemText(elevation.value_or(0)) + " m，水温 " +
                     ItemText(temperature.value_or(kWaterTemperature)) + " °C";
  if (temperature) {
    // Beyond the table its end value stands: say which.
    const double tabled =
        std::clamp(*temperature, kLowestTabledTemperature, kHighestTabledTemperature);
    if (tabled != *temperature) text += "（按 " + ItemText(tabled) + " °C 计）";
  }
  return text;
}

CheckVerdict ForebayLimitVerdict(CheckKind kind, double limit, const RunSummary& summary,
                                 const SurgeRun& run, const DesignCheckReport& report) {
  CheckRow row = ForebayRow(kind, limit, summary);
  Judge(row, summary);
  JudgeWithinModel(row, report, run);
  return row.verdict;
}

std::vector<double> KnownSoffits(const DesignData& data, const RunSummary& summary) {
  const std::optional<FreeSurfaceRecord>& free = summary.freeSurface;
  if (!CulvertGiven(data) || (free && free->section == CulvertSection::Channel)) return {};
  std::vector<double> soffits;
  soffits.reserve(std::size_t(summary.nodes));
  for (int node = 1; node <= summary.nodes; ++node)
    soffits.push_back(SoffitAt(data, node, summary.reaches));
  return soffits;
}

std::string SummaryText(const RunSummary& summary, const SurgeRun& run,
                        const DesignCheckReport* checks) {
  std::string text = checks != nullptr
                         ? SummaryText(summary, run, KnownSoffits(checks->data, summary))
                         : SummaryText(summary, run);
  if (checks != nullptr && checks->data.Any()) text += CheckSectionText(*checks);
  return text;
}

std::string CheckSectionText(const DesignCheckReport& report) {
  std::string out = "\n校核\n";
  for (const DesignField& field : DesignFields()) {
    if (!report.data[field.id]) continue;
    out += "  " + PadRight(field.caption, 22) + FixedText(*report.data[field.id], 3) + " " +
           field.unit + "\n";
  }
  if (!report.vapourHeadText.empty()) {
    out += "  " + PadRight("真空限值", 22) + report.vapourHeadText + "\n";
  }
  if (!report.missing.empty()) {
    std::string names;
    for (DesignId id : report.missing) {
      names += (names.empty() ? "" : "、") + std::string(Field(id).caption);
    }
    out += "  " + PadRight("未校核", 22) + "缺少" + names + "\n";
  }
  if (!report.rows.empty()) {
    out += '\n';
    out += "  " + PadRight("项目", 14) + PadRight("限值 m", 10) + PadRight("计算值 m", 10) +
           PadRight("位置", 22) + PadRight("时刻", 24) + "结论\n";
    for (const CheckRow& row : report.rows) {
      out += "  " + PadRight(row.item, 14) + Column(row.limitText, 10) + Column(row.valueText, 10) +
             PadRight(row.whereText, 22) + PadRight(row.whenText, 24) + row.verdictText + "\n";
    }
    out += "\n结论\n";
    for (const std::string& sentence : report.conclusions) out += "  " + sentence + "\n";
  }
  return out;
}

}  // namespace kelvane
