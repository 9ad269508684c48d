// The design checks read the run's envelope: each check passes and fails on
// design data placed against the default pump stop, the culvert checks name
// the nodes that break their limit, a limit equal to a level's own single
// passes, and without design data the summary is unchanged.
#include "evaluation/design_checks.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "charts/chart_data.h"
#include "support/design_runs.h"

namespace kelvane {
namespace {

using test::Data;
using test::Default;
using test::DefaultRun;

const CheckRow* Find(const DesignCheckReport& report, CheckKind kind) {
  for (const CheckRow& row : report.rows)
    if (row.kind == kind) return &row;
  return nullptr;
}

using enum DesignId;

// The default run's lowest heads, node 1 to 6, are -4.340 -4.652 -4.765
// -4.944 -5.130 -5.248 m; its highest -4.340 -3.925 -3.567 -3.205 -2.796
// -2.531 m; the forebay (node 6) reaches -2.531 at step 1065 and stays at or
// above -5.248 (step 1).
// The registries: each row found by its own id, names and keys used once.
TEST(DesignChecks, EachItemAndCheckHasOneRow) {
  std::set<std::string> options, captions, items, keys;
  for (int k = 0; k < kDesignCount; ++k) {
    const DesignField& field = Field(DesignId(k));
    EXPECT_EQ(field.id, DesignId(k)) << k;
    EXPECT_EQ(&DesignFields()[std::size_t(k)], &field) << k;
    EXPECT_TRUE(options.insert(field.option).second) << field.option;
    EXPECT_TRUE(captions.insert(field.caption).second) << field.caption;
  }
  for (int k = 0; k < kCheckCount; ++k) {
    const CheckField& field = Field(CheckKind(k));
    EXPECT_EQ(field.kind, CheckKind(k)) << k;
    EXPECT_EQ(CheckItemName(field.kind), std::string(field.item));
    EXPECT_TRUE(items.insert(field.item).second) << field.item;
    EXPECT_TRUE(keys.insert(field.key).second) << field.key;
  }
  EXPECT_EQ(kDesignCount, 15);
  EXPECT_EQ(kCheckCount, 7);
}

TEST(DesignChecks, EachCheckPassesAndFailsWhereTheEnvelopeSays) {
  struct Row {
    const char* name;
    std::map<DesignId, std::string> data;
    CheckKind kind;
    bool pass;
    int node;                       // the governing node
    std::vector<int> failingNodes;  // ascending
    bool withinModel;
  };
  const Row rows[] = {
      {"forebay below wall top less freeboard",
       {{ForebayWallTop, "-1.0"}, {ForebayFreeboard, "1.0"}},
       CheckKind::ForebayHighest,
       true,
       6,
       {},
       true},
      {"forebay over wall top less freeboard",
       {{ForebayWallTop, "-2.0"}, {ForebayFreeboard, "1.0"}},
       CheckKind::ForebayHighest,
       false,
       6,
       {6},
       true},
      {"wall top alone: no freeboard",
       {{ForebayWallTop, "-2.6"}},
       CheckKind::ForebayHighest,
       false,
       6,
       {6},
       true},
      {"forebay above the pumps' minimum",
       {{PumpMinLevel, "-6"}},
       CheckKind::ForebayLowest,
       true,
       6,
       {},
       true},
      {"forebay below the pumps' minimum",
       {{PumpMinLevel, "-5"}},
       CheckKind::ForebayLowest,
       false,
       6,
       {6},
       true},
      {"culvert deep enough runs full",
       {{CulvertInvertUpstream, "-9"}, {CulvertInvertDownstream, "-9"}, {CulvertHeight, "3"}},
       CheckKind::CulvertFull,
       true,
       6,
       {},
       true},
      {"culvert soffit at -4.7 drains from node 3 on",
       {{CulvertInvertUpstream, "-7.7"}, {CulvertInvertDownstream, "-7.7"}, {CulvertHeight, "3"}},
       CheckKind::CulvertFull,
       false,
       6,
       {3, 4, 5, 6},
       false},
      {"sloping soffit -4.2 to -5.3 drains at nodes 1 to 5, most at node 2",
       {{CulvertInvertUpstream, "-7.2"}, {CulvertInvertDownstream, "-8.3"}, {CulvertHeight, "3"}},
       CheckKind::CulvertFull,
       false,
       2,
       {1, 2, 3, 4, 5},
       false},
      {"soffit at -4.7 stays clear of vapour",
       {{CulvertInvertUpstream, "-7.7"}, {CulvertInvertDownstream, "-7.7"}, {CulvertHeight, "3"}},
       CheckKind::Vacuum,
       true,
       6,
       {},
       false},
      {"culvert 10.8 m above the water reaches vapour pressure",
       {{CulvertInvertUpstream, "3"}, {CulvertInvertDownstream, "3"}, {CulvertHeight, "3"}},
       CheckKind::Vacuum,
       false,
       6,
       {1, 2, 3, 4, 5, 6},
       false},
      {"design pressure head 5 m holds",
       {{CulvertInvertUpstream, "-9"},
        {CulvertInvertDownstream, "-9"},
        {CulvertHeight, "3"},
        {CulvertDesignPressureHead, "5"}},
       CheckKind::DesignPressure,
       true,
       6,
       {},
       true},
      {"design pressure head 3.3 m is passed at the forebay end",
       {{CulvertInvertUpstream, "-9"},
        {CulvertInvertDownstream, "-9"},
        {CulvertHeight, "3"},
        {CulvertDesignPressureHead, "3.3"}},
       CheckKind::DesignPressure,
       false,
       6,
       {6},
       true},
      {"banks at -2 keep a freeboard of 0.5 m",
       {{ChannelBankTopUpstream, "-2"},
        {ChannelBankTopDownstream, "-2"},
        {ChannelFreeboard, "0.5"}},
       CheckKind::ChannelFreeboard,
       true,
       6,
       {},
       true},
      {"banks from -3.5 to -3 with 0.3 m freeboard are overtopped from node 3 on",
       {{ChannelBankTopUpstream, "-3.5"},
        {ChannelBankTopDownstream, "-3"},
        {ChannelFreeboard, "0.3"}},
       CheckKind::ChannelFreeboard,
       false,
       6,
       {3, 4, 5, 6},
       true},
      {"a surge of 2.717 m within the 2.748 m below the end's bank less freeboard",
       {{ChannelBankTopDownstream, "-2"}, {ChannelFreeboard, "0.5"}},
       CheckKind::SurgeHeight,
       true,
       6,
       {},
       true},
      {"a surge of 2.717 m beyond the 2.548 m left",
       {{ChannelBankTopDownstream, "-2.2"}, {ChannelFreeboard, "0.5"}},
       CheckKind::SurgeHeight,
       false,
       6,
       {6},
       true},
  };
  const DefaultRun& d = Default();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const DesignCheckReport report = CheckDesign(Data(row.data), d.summary, d.run, d.outcome);
    const CheckRow* check = Find(report, row.kind);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->pass, row.pass);
    // A broken limit fails in any run; a kept one is decided by the run's
    // length (RunLengthDecidesWhetherAKeptLimitPasses).
    EXPECT_EQ(check->verdict == CheckVerdict::Fail, !row.pass);
    EXPECT_EQ(check->node, row.node);
    EXPECT_EQ(check->failingNodes, row.failingNodes);
    EXPECT_EQ(report.withinModel, row.withinModel);
    // The place and time are those of the envelope's extreme at that node.
    const NodeEnvelope& e = d.summary.envelope[check->node - 1];
    const ExtremeAt& extreme = Field(row.kind).atMost ? e.highestHead : e.lowestHead;
    // The surge is the rise over the initial level.
    EXPECT_EQ(check->value, row.kind == CheckKind::SurgeHeight
                                ? float(double{extreme.value} - d.summary.forebayInitial)
                                : extreme.value);
    EXPECT_EQ(check->step, extreme.step);
    EXPECT_EQ(check->time, d.run.StepTime(extreme.step));
    EXPECT_EQ(check->whenText, StepTimeText(d.run, extreme.step));
    // The statement that the results leave the model (all of them when the
    // culvert is part full at step 1) comes with a failed culvert check only.
    bool statement = false;
    for (const std::string& s : report.conclusions) {
      statement |= s.starts_with(report.modelEndStep == 1 ? "箱涵自计算开始（时段 1）即未满流"
                                                          : "本次计算的部分结果超出");
    }
    EXPECT_EQ(statement, !row.withinModel);
  }
}

// A limit typed as the shortest text of the level itself is rounded to that
// very single and passes "at or below" and "at or above"; one unit in the
// last place further fails.
TEST(DesignChecks, LimitsCompareAtTheLevelsPrecision) {
  const DefaultRun& d = Default();
  auto text = [](float value) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
  };
  const float highest = d.summary.forebayHighest.value;
  const float lowest = d.summary.forebayLowest.value;
  struct Row {
    float wallTop, pumpMin;
    bool passHigh, passLow;
  };
  const Row rows[] = {
      {highest, lowest, true, true},
      {std::nextafter(highest, -10.0f), std::nextafter(lowest, 10.0f), false, false},
  };
  for (const Row& row : rows) {
    const DesignData data =
        Data({{ForebayWallTop, text(row.wallTop)}, {PumpMinLevel, text(row.pumpMin)}});
    const DesignCheckReport report = CheckDesign(data, d.summary, d.run, d.outcome);
    EXPECT_EQ(Find(report, CheckKind::ForebayHighest)->pass, row.passHigh) << text(row.wallTop);
    EXPECT_EQ(Find(report, CheckKind::ForebayLowest)->pass, row.passLow) << text(row.pumpMin);
  }
}

// A value and a limit that differ are printed with the digits that tell them
// apart (the default run's highest forebay level is -2.5314095 m); equal ones,
// and ones three decimals tell apart, keep three.
TEST(DesignChecks, VerdictValuesShowTheDigitsTheVerdictNeeds) {
  const DefaultRun& d = Default();
  struct Row {
    const char* wallTop;
    const char* freeboard;
    const char* limit;
    const char* value;
    const char* verdict;
  };
  const Row rows[] = {
      {"-2.03141", "0.5", "-2.5314100", "-2.5314095", "不满足"},
      {"-2.0314095", "0.5", "-2.531", "-2.531", "满足"},
      {"-2.0313", "0.5", "-2.5313", "-2.5314", "满足"},
      {"-1.5", "0.5", "-2.000", "-2.531", "满足"},
      {"-2.032", "0.5", "-2.532", "-2.531", "不满足"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.wallTop);
    const DesignCheckReport report =
        CheckDesign(Data({{ForebayWallTop, row.wallTop}, {ForebayFreeboard, row.freeboard}}),
                    d.summary, d.run, d.outcome);
    const CheckRow& check = *Find(report, CheckKind::ForebayHighest);
    EXPECT_EQ(check.limitText, row.limit);
    EXPECT_EQ(check.valueText, row.value);
    EXPECT_EQ(check.verdictText, row.verdict);
    // The summary's table keeps a blank between the two numbers.
    EXPECT_NE(CheckSectionText(report).find(check.limitText + " "), std::string::npos);
  }
}

TEST(DesignChecks, OnlyTheChecksWhoseDataIsGivenRun) {
  struct Row {
    const char* name;
    std::map<DesignId, std::string> data;
    std::vector<CheckKind> kinds;
    std::vector<DesignId> missing;
  };
  const Row rows[] = {
      {"nothing", {}, {}, {}},
      {"texts left empty are no data", {{PumpMinLevel, ""}, {ForebayWallTop, " \t"}}, {}, {}},
      {"a text that reads as 0 is data", {{PumpMinLevel, "x"}}, {CheckKind::ForebayLowest}, {}},
      {"freeboard without wall top", {{ForebayFreeboard, "0.5"}}, {}, {ForebayWallTop}},
      {"height alone",
       {{CulvertHeight, "3"}},
       {},
       {CulvertInvertUpstream, CulvertInvertDownstream}},
      {"pressure head without the culvert",
       {{CulvertDesignPressureHead, "10"}, {PumpMinLevel, "-6"}},
       {CheckKind::ForebayLowest},
       {CulvertInvertUpstream, CulvertInvertDownstream, CulvertHeight}},
      {"everything",
       {{CulvertInvertUpstream, "-9"},
        {CulvertInvertDownstream, "-9"},
        {CulvertHeight, "3"},
        {CulvertDesignPressureHead, "10"},
        {ForebayWallTop, "0"},
        {ForebayFreeboard, "0.5"},
        {PumpMinLevel, "-6"}},
       {CheckKind::ForebayHighest, CheckKind::ForebayLowest, CheckKind::CulvertFull,
        CheckKind::Vacuum, CheckKind::DesignPressure},
       {}},
  };
  const DefaultRun& d = Default();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const DesignCheckReport report = CheckDesign(Data(row.data), d.summary, d.run, d.outcome);
    std::vector<CheckKind> kinds;
    for (const CheckRow& check : report.rows) kinds.push_back(check.kind);
    EXPECT_EQ(kinds, row.kinds);
    EXPECT_EQ(ChecksGiven(Data(row.data)), row.kinds);
    EXPECT_EQ(report.missing, row.missing);
  }
}

TEST(DesignChecks, SoffitRunsLinearlyFromEndToEnd) {
  const DesignData data = Data(
      {{CulvertInvertUpstream, "-8"}, {CulvertInvertDownstream, "-10"}, {CulvertHeight, "3.5"}});
  EXPECT_EQ(SoffitAt(data, 1, 4), -4.5);
  EXPECT_EQ(SoffitAt(data, 3, 4), -5.5);
  EXPECT_EQ(SoffitAt(data, 5, 4), -6.5);
}

// The words of the summary: the sentences the calculation report repeats,
// and no section at all without design data.
TEST(DesignChecks, SummaryShowsTheSectionOnlyWithDesignData) {
  const DefaultRun& d = Default();
  const std::string plain = SummaryText(d.summary, d.run);
  const DesignCheckReport none = CheckDesign({}, d.summary, d.run, d.outcome);
  EXPECT_EQ(SummaryText(d.summary, d.run, &none), plain);

  const DesignCheckReport report =
      CheckDesign(Data({{ForebayWallTop, "-1.0"}, {ForebayFreeboard, "1.0"}, {PumpMinLevel, "-5"}}),
                  d.summary, d.run, d.outcome);
  const std::string text = SummaryText(d.summary, d.run, &report);
  ASSERT_TRUE(text.starts_with(plain));
  const std::vector<std::string> expected = {
      "前池最高水位 -2.531 m（时段 1065，126.970 s），不高于墙顶高程减安全超高 -2.000 "
      "m，满足要求。",
      "前池最低水位 -5.248 m（时段 1，0.000 s），低于水泵最低运行水位 -5.000 m，不满足要求。",
      "共 2 项校核，其中 1 项不满足要求。",
  };
  EXPECT_EQ(report.conclusions, expected);
  for (const std::string& sentence : expected) {
    EXPECT_NE(text.find("  " + sentence + "\n"), std::string::npos) << sentence;
  }
  EXPECT_NE(text.find("前池墙顶高程"), std::string::npos);

  // A culvert above the water: the sentence names the nodes, the worst one,
  // the vapour head used and that the results no longer hold.
  const DesignCheckReport high = CheckDesign(
      Data({{CulvertInvertUpstream, "3"}, {CulvertInvertDownstream, "3"}, {CulvertHeight, "3"}}),
      d.summary, d.run, d.outcome);
  EXPECT_EQ(Find(high, CheckKind::Vacuum)->sentence,
            "箱涵节点 1 至 6 的最低水头低于顶板高程减真空限值（10.33 - 0.24 = 10.09 m，水温 20 "
            "°C），最不利为节点 6（596.662 m），最低水头 -5.248 m（时段 1，0.000 s），限值 -4.090 "
            "m：水在此汽化、水柱分离，计算结果无效，不满足要求。");
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

// A kept limit passes only once the run reaches the forebay extreme of its
// kind plus a tenth of the period; a broken limit fails however short the
// run. The default pump stop's first low is predicted at 335.7 s, reached
// with 3162 steps; its first high at 125.9 s, within the default 1500.
TEST(DesignChecks, RunLengthDecidesWhetherAKeptLimitPasses) {
  struct Row {
    const char* name;
    const char* steps;
    std::map<DesignId, std::string> data;
    CheckKind kind;
    CheckVerdict verdict;
    long long neededSteps;
  };
  const std::map<DesignId, std::string> deep = {
      {CulvertInvertUpstream, "-9"}, {CulvertInvertDownstream, "-9"}, {CulvertHeight, "3"}};
  const Row rows[] = {
      {"lowest level kept, run too short",
       "1500",
       {{PumpMinLevel, "-5.6"}},
       CheckKind::ForebayLowest,
       CheckVerdict::Undetermined,
       3162},
      {"lowest level with the steps that reach it",
       "3162",
       {{PumpMinLevel, "-5.6"}},
       CheckKind::ForebayLowest,
       CheckVerdict::Fail,
       0},
      {"lowest level broken within a short run",
       "1500",
       {{PumpMinLevel, "-5"}},
       CheckKind::ForebayLowest,
       CheckVerdict::Fail,
       0},
      {"highest level reached within the run",
       "1500",
       {{ForebayWallTop, "-1"}},
       CheckKind::ForebayHighest,
       CheckVerdict::Pass,
       0},
      {"lowest heads follow the lowest level", "1500", deep, CheckKind::CulvertFull,
       CheckVerdict::Undetermined, 3162},
      {"lowest heads with the steps", "3162", deep, CheckKind::CulvertFull, CheckVerdict::Pass, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    InputTexts texts = DefaultInputTexts();
    texts[InputId::StepCount] = row.steps;
    SurgeRun run;
    const RunOutcome outcome = Calculate(texts, run);
    const RunSummary summary = SummarizeRun(run, outcome);
    const DesignCheckReport report = CheckDesign(Data(row.data), summary, run, outcome);
    const CheckRow* check = Find(report, row.kind);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->verdict, row.verdict);
    EXPECT_EQ(check->verdictText, CheckVerdictWord(row.verdict));
    EXPECT_EQ(check->neededSteps, row.neededSteps);
  }
}

// A soffit falling from -4.42 to -5.42 m lies below every head at step 1 and
// below every lowest head but node 2's (-4.652 m against -4.62 m): the
// culvert drains there within the first second. Every verdict that rests on
// later steps is invalid, the drained check itself fails, and the conclusion
// asks for a culvert kept full.
TEST(DesignChecks, NoVerdictRestsOnStepsAfterTheCulvertDrains) {
  const DefaultRun& d = Default();
  const DesignCheckReport report = CheckDesign(Data({{ForebayWallTop, "-1"},
                                                     {PumpMinLevel, "-5"},
                                                     {CulvertInvertUpstream, "-7.42"},
                                                     {CulvertInvertDownstream, "-8.42"},
                                                     {CulvertHeight, "3"}}),
                                               d.summary, d.run, d.outcome);
  EXPECT_GT(report.modelEndStep, 1);
  EXPECT_LE(report.modelEndStep, 6);
  EXPECT_EQ(report.modelEndNode, 2);
  const std::pair<CheckKind, CheckVerdict> expected[] = {
      {CheckKind::ForebayHighest, CheckVerdict::Invalid},  // kept, but the run goes on
      {CheckKind::ForebayLowest, CheckVerdict::Fail},      // broken at step 1
      {CheckKind::CulvertFull, CheckVerdict::Fail},        // the finding itself
      {CheckKind::Vacuum, CheckVerdict::Invalid},
  };
  for (const auto& [kind, verdict] : expected) {
    ASSERT_NE(Find(report, kind), nullptr);
    EXPECT_EQ(Find(report, kind)->verdict, verdict) << CheckItemName(kind);
  }
  EXPECT_NE(Find(report, CheckKind::ForebayHighest)
                ->sentence.find(StepTimeText(d.run, report.modelEndStep) + " 起于节点 2"),
            std::string::npos);
  EXPECT_NE(report.conclusions.back().find("2 项无效"), std::string::npos);

  // A soffit above the reservoir end's head at step 1 leaves no result
  // within the model: the conclusion says the whole, not a part.
  const DesignCheckReport start = CheckDesign(Data({{PumpMinLevel, "-6"},
                                                    {CulvertInvertUpstream, "-10"},
                                                    {CulvertInvertDownstream, "-14.415"},
                                                    {CulvertHeight, "9"}}),
                                              d.summary, d.run, d.outcome);
  EXPECT_EQ(start.modelEndStep, 1);
  std::string conclusions;
  for (const std::string& sentence : start.conclusions) conclusions += sentence + "\n";
  EXPECT_NE(conclusions.find("箱涵自计算开始（时段 1）即未满流：起始恒定流水头在节点 1 已低于顶板"),
            std::string::npos)
      << conclusions;
  EXPECT_EQ(conclusions.find("部分结果"), std::string::npos) << conclusions;
  EXPECT_EQ(Find(start, CheckKind::ForebayLowest)->verdict, CheckVerdict::Invalid);
}

// The culvert-full check's failing sentence says what the run's model makes
// of a head below the soffit: the pressurized models (classic, balanced)
// leave their model there; the mixed model computes the culvert as it runs
// there, part full or still full below the soffit, and the check fails as
// the design's requirement of a full culvert.
TEST(DesignChecks, CulvertFullFailureIsWordedForTheRunsModel) {
  // A soffit from -4 to -5 m lies above the reservoir and every node's
  // head at step 1, whichever march.
  const DesignData data =
      Data({{CulvertInvertUpstream, "-7"}, {CulvertInvertDownstream, "-8"}, {CulvertHeight, "3"}});
  const std::string pressurized = "：箱涵在此脱空进气，有压流模型不再成立，不满足要求。";
  const std::string partFull =
      "：箱涵在此未满流、进气，混合流模型按明流计算，不满足箱涵满流的设计要求。";
  const std::string stillFull =
      "：混合流模型中箱涵在此仍为满流（水头低于顶板，空气未进入），不满足箱涵满流的设计要求。";
  CalculateOptions balancedOptions;
  balancedOptions.extras.model = MarchModel::Balanced;
  SurgeRun balancedRun;
  const RunOutcome balanced = Calculate(DefaultInputTexts(), balancedRun, balancedOptions);
  const DefaultRun& d = Default();
  // The mixed model's record on the default run's grids: every node full,
  // or the outlet node part full at some step.
  RunOutcome full = d.outcome;
  full.freeSurface = FreeSurfaceRecord{};
  full.freeSurface->section = CulvertSection::Box;
  full.freeSurface->nodes.assign(6, NodeRegime{});
  RunOutcome open = full;
  open.freeSurface->nodes[5].everFree = true;
  struct Row {
    const char* name;
    const SurgeRun& run;
    const RunOutcome& outcome;
    const std::string& ending;
  };
  const Row rows[] = {
      {"classic", d.run, d.outcome, pressurized},
      {"balanced", balancedRun, balanced, pressurized},
      {"mixed, the outlet node part full", d.run, open, partFull},
      {"mixed, full throughout", d.run, full, stillFull},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const DesignCheckReport report =
        CheckDesign(data, SummarizeRun(row.run, row.outcome), row.run, row.outcome);
    const CheckRow* check = Find(report, CheckKind::CulvertFull);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->verdict, CheckVerdict::Fail);
    EXPECT_TRUE(check->sentence.starts_with("箱涵节点 1 至 6 的最低水头低于顶板高程"))
        << check->sentence;
    EXPECT_TRUE(check->sentence.ends_with(row.ending)) << check->sentence;
  }
}

TEST(DesignChecks, AnUndeterminedCheckSaysWhatWouldDecideIt) {
  struct Row {
    const char* reaches;
    const char* steps;
    const char* advice;
  };
  const Row rows[] = {
      {"5", "1500", "需计算时段数 3162，请按此重新计算。"},
      // 60 reaches need 37939 steps, beyond the 32766 a run can have.
      {"60", "18000", "超过 32766，请减少划分管段数（如 51 段）后重新计算。"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reaches);
    InputTexts texts = DefaultInputTexts();
    texts[InputId::SegmentCount] = row.reaches;
    texts[InputId::StepCount] = row.steps;
    SurgeRun run;
    const RunOutcome outcome = Calculate(texts, run);
    const DesignCheckReport report =
        CheckDesign(Data({{PumpMinLevel, "-5.6"}}), SummarizeRun(run, outcome), run, outcome);
    ASSERT_EQ(report.rows.size(), 1u);
    EXPECT_NE(report.rows[0].sentence.find(row.advice), std::string::npos)
        << report.rows[0].sentence;
    EXPECT_NE(report.conclusions.back().find("1 项未定"), std::string::npos);
  }
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

// The 内水压力水头 column: in the summary's envelope and the envelope CSV,
// each node's highest head less its own soffit, only where the soffit is
// known; every other byte as without it. The default run's forebay (node 6)
// peaks at -2.531 m; a soffit sloping from -4.2 to -5.3 m puts it 2.769 m
// above the soffit there, and 1.669 m were the slope read backwards.
TEST(DesignChecks, InternalPressureHeadOnlyWhereTheSoffitIsKnown) {
  using enum DesignId;
  const DefaultRun& d = Default();
  const RunGeometry geometry = GeometryOf(d.outcome);
  const std::map<DesignId, std::string> sloping = {
      {CulvertInvertUpstream, "-7.2"}, {CulvertInvertDownstream, "-8.3"}, {CulvertHeight, "3"}};
  struct Row {
    const char* name;
    std::map<DesignId, std::string> data;
    CulvertSection section;  // None: the classic run
    const char* forebay;     // node 6's value; nullptr: no column
  };
  const Row rows[] = {
      {"box culvert", sloping, CulvertSection::None, "2.769"},
      {"mixed model's box", sloping, CulvertSection::Box, "2.769"},
      {"open channel: no soffit", sloping, CulvertSection::Channel, nullptr},
      {"no clear height",
       {{CulvertInvertUpstream, "-7.2"}, {CulvertInvertDownstream, "-8.3"}},
       CulvertSection::None,
       nullptr},
      {"forebay data only", {{ForebayWallTop, "-1"}}, CulvertSection::None, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RunSummary summary = d.summary;
    if (row.section != CulvertSection::None) {
      summary.freeSurface = FreeSurfaceRecord{};
      summary.freeSurface->section = row.section;
    }
    const DesignData data = Data(row.data);
    const std::vector<double> soffits = KnownSoffits(data, summary);
    const DesignCheckReport report = CheckDesign(data, summary, d.run, d.outcome);
    const std::string text = SummaryText(summary, d.run, &report);
    const std::string csv = EnvelopeCsv(summary, d.run, geometry, soffits);
    if (row.forebay == nullptr) {
      EXPECT_TRUE(soffits.empty());
      EXPECT_TRUE(text.starts_with(SummaryText(summary, d.run)));
      EXPECT_EQ(csv, EnvelopeCsv(summary, d.run, geometry));
      EXPECT_EQ(text.find("内水压力水头"), std::string::npos);
      continue;
    }
    ASSERT_EQ(soffits.size(), std::size_t(summary.nodes));
    // The summary: a last column, node by node.
    EXPECT_NE(text.find("；内水压力水头 = 最高水头 - 顶板高程，m）\n"), std::string::npos);
    std::istringstream lines(text.substr(text.find("内水压力水头\n")));
    std::string line;
    std::getline(lines, line);
    for (int node = 1; node <= summary.nodes; ++node) {
      ASSERT_TRUE(std::getline(lines, line));
      const double expected = double{summary.envelope[std::size_t(node - 1)].highestHead.value} -
                              SoffitAt(data, node, summary.reaches);
      EXPECT_TRUE(line.ends_with(" " + FixedText(expected, 3))) << line;
      if (node == summary.nodes) {
        EXPECT_TRUE(line.ends_with(std::string(" ") + row.forebay));
      }
    }
    // The CSV: a last column in the heads' single precision.
    const std::string header = csv.substr(0, csv.find('\n'));
    EXPECT_TRUE(header.ends_with(",max_pressure_head_m")) << header;
    const std::string last = csv.substr(csv.rfind('\n', csv.size() - 2) + 1);
    const std::string cell = last.substr(last.rfind(',') + 1);
    EXPECT_EQ(FixedText(std::stod(cell), 3), row.forebay) << last;
  }
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

// The vacuum limit from the site's elevation (10.33 - elevation / 900) and
// the water's temperature (the saturation pressure over 9.79 kN/m³, linear
// between whole degrees, the table's end beyond it); neither given keeps
// 10.33 and 0.24 m to the bit. Values worked by hand.
TEST(DesignChecks, VacuumLimitFollowsTheSiteAndTheWater) {
  using enum DesignId;
  struct Row {
    std::map<DesignId, std::string> data;
    double atmospheric;  // m
    double vapour;       // m
    const char* text;
  };
  const Row rows[] = {
      {{}, 10.33, 0.24, "10.33 - 0.24 = 10.09 m，水温 20 °C"},
      {{{SiteElevation, "0"}}, 10.33, 0.24, "10.330 - 0.240 = 10.090 m，站址高程 0 m，水温 20 °C"},
      {{{SiteElevation, "900"}}, 9.33, 0.24, "9.330 - 0.240 = 9.090 m，站址高程 900 m，水温 20 °C"},
      {{{SiteElevation, "450"}, {WaterTemperature, "20"}},
       10.33 - 0.5,
       2.3392 / 9.79,
       "9.830 - 0.239 = 9.591 m，站址高程 450 m，水温 20 °C"},
      {{{WaterTemperature, "10"}},
       10.33,
       1.2282 / 9.79,
       "10.330 - 0.125 = 10.205 m，站址高程 0 m，水温 10 °C"},
      // Halfway between 25 and 26 °C.
      {{{WaterTemperature, "25.5"}},
       10.33,
       (3.1697 + 3.3637) / 2 / 9.79,
       "10.330 - 0.334 = 9.996 m，站址高程 0 m，水温 25.5 °C"},
      {{{WaterTemperature, "45"}},
       10.33,
       7.3844 / 9.79,
       "10.330 - 0.754 = 9.576 m，站址高程 0 m，水温 45 °C（按 40 °C 计）"},
      {{{SiteElevation, "-100"}, {WaterTemperature, "0"}},
       10.33 + 100.0 / 900,
       0.6112 / 9.79,
       "10.441 - 0.062 = 10.379 m，站址高程 -100 m，水温 0 °C"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const DesignData data = Data(row.data);
    const VacuumLimit limit = VacuumLimitOf(data);
    EXPECT_NEAR(limit.atmosphericHead, row.atmospheric, 1e-12);
    EXPECT_NEAR(limit.vapourHead, row.vapour, 1e-12);
    EXPECT_EQ(VacuumLimitText(data), row.text);
  }
  // Neither given: the limit is today's to the bit, along the culvert.
  const DesignData culvert =
      Data({{CulvertInvertUpstream, "-9"}, {CulvertInvertDownstream, "-9"}, {CulvertHeight, "3"}});
  EXPECT_EQ(CulvertLimitAt(CheckKind::Vacuum, culvert, 3, 5),
            SoffitAt(culvert, 3, 5) - (kAtmosphericHead - kVapourPressureHead));
}

// The vacuum check's verdict moves with the site and the water. A soffit at
// +4 m lies above every head of the default run (lowest -4.340 -4.652 -4.765
// -4.944 -5.130 -5.248 m, nodes 1 to 6), so the culvert drains from step 1;
// at sea level the heads stay above 4 - 10.09 = -6.09 m, at 800 m above
// 4 - 9.201 = -5.201 m but node 6, and with water at 40 °C as well above
// 4 - 8.687 = -4.687 m only at nodes 1 and 2.
TEST(DesignChecks, VacuumVerdictMovesWithTheSite) {
  using enum DesignId;
  const DefaultRun& d = Default();
  struct Row {
    const char* elevation;    // nullptr: not given
    const char* temperature;  // nullptr: not given
    bool pass;
    std::vector<int> failingNodes;
    const char* verdict;
  };
  const Row rows[] = {
      {nullptr, nullptr, true, {}, "无效（超出模型适用范围）"},
      {nullptr, "40", true, {}, "无效（超出模型适用范围）"},
      {"800", nullptr, false, {6}, "不满足"},
      {"800", "40", false, {3, 4, 5, 6}, "不满足"},
  };
  for (const Row& row : rows) {
    std::map<DesignId, std::string> texts = {
        {CulvertInvertUpstream, "0"}, {CulvertInvertDownstream, "0"}, {CulvertHeight, "4"}};
    if (row.elevation) texts[SiteElevation] = row.elevation;
    if (row.temperature) texts[WaterTemperature] = row.temperature;
    SCOPED_TRACE(std::string(row.elevation ? row.elevation : "-") + " m, " +
                 (row.temperature ? row.temperature : "-") + " °C");
    const DesignCheckReport report = CheckDesign(Data(texts), d.summary, d.run, d.outcome);
    const CheckRow* vacuum = Find(report, CheckKind::Vacuum);
    ASSERT_NE(vacuum, nullptr);
    EXPECT_EQ(vacuum->pass, row.pass);
    EXPECT_EQ(vacuum->failingNodes, row.failingNodes);
    EXPECT_EQ(vacuum->verdictText, row.verdict);
    // A broken limit's sentence names the limit it used.
    if (!row.pass) {
      EXPECT_NE(vacuum->sentence.find(report.vapourHeadText), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace kelvane
