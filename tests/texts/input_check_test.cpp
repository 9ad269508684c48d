// The input check: which texts are flagged, what they read as and why.
#include "texts/input_check.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/texts.h"
#include "texts/event_texts.h"

namespace kelvane {
namespace {

using R = InputFlagReason;

std::string Describe(const std::vector<InputFlag>& flags) {
  std::string text;
  for (const InputFlag& flag : flags)
    text += std::string(Field(flag.input).option) + ": " + InputFlagText(flag) + "\n";
  return text;
}

// Default texts with some boxes changed: at most `flagged` is flagged, with
// exactly these reasons.
TEST(InputCheck, FlagsTextsNotReadWholeAndImpossibleValues) {
  struct Row {
    std::vector<std::pair<InputId, const char*>> boxes;
    InputId flagged;
    std::vector<R> reasons;  // empty: nothing flagged
    double value = 0;
    const char* unread = "";
    double bound = 0;
  };
  const Row rows[] = {
      // How the text is read.
      {{}, InputId::ReservoirLevel, {}},
      {{{InputId::SteadyDischarge, "41.6m3/s"}},
       InputId::SteadyDischarge,
       {R::TextNotReadWhole},
       41.6,
       "m3/s"},
      {{{InputId::SteadyDischarge, "1,5"}},
       InputId::SteadyDischarge,
       {R::TextNotReadWhole},
       1,
       ",5"},
      {{{InputId::StepCount, " 1 500"}}, InputId::StepCount, {}},
      {{{InputId::ReservoirLevel, " -4.34 \t"}}, InputId::ReservoirLevel, {}},
      {{{InputId::ReservoirLevel, "5."}}, InputId::ReservoirLevel, {}},
      {{{InputId::ReservoirLevel, "1e-3"}}, InputId::ReservoirLevel, {}},
      {{{InputId::ReservoirLevel, ""}}, InputId::ReservoirLevel, {}},
      {{{InputId::ReservoirLevel, "1e"}}, InputId::ReservoirLevel, {R::TextNotReadWhole}, 1, "e"},
      {{{InputId::ReservoirLevel, "abc"}}, InputId::ReservoirLevel, {R::NoDigitRead}, 0, "abc"},
      {{{InputId::ReservoirLevel, " . "}}, InputId::ReservoirLevel, {R::NoDigitRead}, 0, "."},
      {{{InputId::ReservoirLevel, "−4.34"}},
       InputId::ReservoirLevel,
       {R::NonAsciiNumber},
       0,
       "−4.34"},
      {{{InputId::ReservoirLevel, "－４.３４"}},
       InputId::ReservoirLevel,
       {R::NonAsciiNumber},
       0,
       "－４.３４"},
      {{{InputId::ReservoirLevel, "-4.3４"}},
       InputId::ReservoirLevel,
       {R::NonAsciiNumber},
       -4.3,
       "４"},
      {{{InputId::CulvertLength, "596　662"}},
       InputId::CulvertLength,
       {R::NonAsciiNumber},
       596,
       "　662"},
      // Values no culvert can have.
      {{{InputId::WaveSpeed, "0"}}, InputId::WaveSpeed, {R::NotPositive}, 0},
      {{{InputId::WaveSpeed, "-1000m/s"}},
       InputId::WaveSpeed,
       {R::TextNotReadWhole, R::NotPositive},
       -1000,
       "m/s"},
      {{{InputId::CulvertLength, ""}}, InputId::CulvertLength, {R::NotPositive}, 0},
      {{{InputId::HydraulicRadius, "-0.75"}}, InputId::HydraulicRadius, {R::NotPositive}, -0.75},
      {{{InputId::CulvertArea, "0"}}, InputId::CulvertArea, {R::NotPositive}, 0},
      {{{InputId::ForebayArea, "abc"}},
       InputId::ForebayArea,
       {R::NoDigitRead, R::NotPositive},
       0,
       "abc"},
      {{{InputId::FrictionFactor, "0"}}, InputId::FrictionFactor, {}},
      {{{InputId::FrictionFactor, "-0.01"}}, InputId::FrictionFactor, {R::Negative}, -0.01},
      {{{InputId::OutputInterval, "-5"}}, InputId::OutputInterval, {R::Negative}, -5},
      // A final pump discharge below 0 runs the pumps backwards.
      {{{InputId::FinalPumpDischarge, "-10.4"}},
       InputId::FinalPumpDischarge,
       {R::ReverseFlow},
       -10.4},
      {{{InputId::FinalPumpDischarge, "-0"}}, InputId::FinalPumpDischarge, {}},
      // Output steps against the run's steps; none without a run to size.
      {{{InputId::StepCount, "50"}}, InputId::LastOutputStep, {R::StepOutsideRun}, 100, "", 50},
      {{{InputId::FirstOutputStep, "0.5"}},
       InputId::FirstOutputStep,
       {R::StepOutsideRun},
       0.5,
       "",
       1500},
      {{{InputId::LastOutputStep, "1500.4"}}, InputId::LastOutputStep, {}},
      {{{InputId::LastOutputStep, "1501"}},
       InputId::LastOutputStep,
       {R::StepOutsideRun},
       1501,
       "",
       1500},
      {{{InputId::LastOutputStep, "1e9"}},
       InputId::LastOutputStep,
       {R::StepOutsideRun},
       1e9,
       "",
       1500},
      {{{InputId::StepCount, "0"}}, InputId::StepCount, {R::StepCountOutOfRange}},
      {{{InputId::StepCount, "40000"}}, InputId::StepCount, {R::StepCountOutOfRange}, 40000},
      // A range that lists no row.
      {{{InputId::FirstOutputStep, "200"}},
       InputId::FirstOutputStep,
       {R::FirstAfterLastOutputStep},
       200,
       "",
       100},
      {{{InputId::FirstOutputStep, "100"}}, InputId::FirstOutputStep, {}},
      // The forebay stability limit of the run the texts give (0.0105 m² by
      // default, halved by ten reaches), none when they give no run.
      {{{InputId::ForebayArea, "0.01"}},
       InputId::ForebayArea,
       {R::BelowForebayStabilityLimit},
       0.01,
       "",
       0.0105251},
      {{{InputId::ForebayArea, "0.011"}}, InputId::ForebayArea, {}},
      {{{InputId::ForebayArea, "0.01"}, {InputId::SegmentCount, "10"}}, InputId::ForebayArea, {}},
      {{{InputId::ForebayArea, "0.01"}, {InputId::SegmentCount, "abc"}},
       InputId::SegmentCount,
       {R::NoDigitRead},
       0,
       "abc"},
      {{{InputId::ForebayArea, "0.01"}, {InputId::CulvertArea, "-18"}},
       InputId::CulvertArea,
       {R::NotPositive},
       -18},
  };
  for (const Row& row : rows) {
    InputTexts texts = DefaultInputTexts();
    std::string trace;
    for (const auto& [id, text] : row.boxes) {
      texts[id] = text;
      trace += std::string(Field(id).option) + "=\"" + text + "\" ";
    }
    SCOPED_TRACE(trace);
    const std::vector<InputFlag> flags = CheckInputs(texts);
    if (row.reasons.empty()) {
      EXPECT_TRUE(flags.empty()) << Describe(flags);
      continue;
    }
    ASSERT_EQ(flags.size(), 1u) << Describe(flags);
    const InputFlag& flag = flags.front();
    EXPECT_EQ(flag.input, row.flagged);
    EXPECT_EQ(flag.reasons, row.reasons);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(flag.value), std::bit_cast<std::uint64_t>(row.value))
        << flag.value;
    EXPECT_EQ(flag.unread, row.unread);
    EXPECT_NEAR(flag.bound, row.bound, 1e-7);
  }
}

// Output steps do not matter to a batch run without a results table.
TEST(InputCheck, OutputStepsOnlyWhenInUse) {
  InputTexts texts = DefaultInputTexts();
  texts[InputId::StepCount] = "50";
  EXPECT_EQ(CheckInputs(texts).size(), 1u);
  EXPECT_TRUE(CheckInputs(texts, {.outputSteps = false}).empty());
}

TEST(InputCheck, Wording) {
  InputTexts texts = DefaultInputTexts();
  texts[InputId::ReservoirLevel] = "−4.34";
  texts[InputId::ForebayArea] = "0.01";
  texts[InputId::LastOutputStep] = "１００００";
  const std::vector<InputFlag> flags = CheckInputs(texts);
  // The last output step reads as 0, so the first comes after it.
  ASSERT_EQ(flags.size(), 4u);
  EXPECT_EQ(InputFlagText(flags[0]), "看起来是全角数字或非 ASCII 减号（从 “−4.34” 起未读入）");
  EXPECT_EQ(InputFlagText(flags[1]), "低于稳定下限 0.01053 m²，前池水位计算会发散");
  EXPECT_EQ(InputFlagText(flags[2]), "晚于终端输出时段 0，结果查询表将没有任何一行");
  EXPECT_EQ(
      InputFlagText(flags[3]),
      "看起来是全角数字或非 ASCII 减号（从 “１００００” 起未读入）；不在计算时段 1 至 1500 之内");
  EXPECT_EQ(InputValueText(flags[0].value), "0");
  EXPECT_EQ(InputValueText(-4.34), "-4.34");
  EXPECT_EQ(InputValueText(1500), "1500");
}

// The design data is read by the boxes' rule: a text read only in part is
// flagged as a box would be, an item left empty or blank is not given and
// never flagged, a clear height must be above 0 and a freeboard not negative.
TEST(InputCheck, DesignTextsAreFlaggedAsTheBoxesAre) {
  struct Row {
    DesignId item;
    const char* text;        // nullptr: not given
    std::vector<R> reasons;  // empty: not flagged
    double value = 0;
    const char* unread = "";
    const char* words = "";
  };
  using enum DesignId;
  const Row rows[] = {
      {CulvertHeight, nullptr, {}},
      {CulvertHeight, "", {}},
      {CulvertHeight, "  ", {}},
      {CulvertHeight, "3.5", {}},
      {CulvertHeight, " 3 .5 ", {}},
      {CulvertHeight, "12.5abc", {R::TextNotReadWhole}, 12.5, "abc", "从 “abc” 起未读入"},
      {CulvertInvertUpstream, "-8m", {R::TextNotReadWhole}, -8, "m", "从 “m” 起未读入"},
      {CulvertInvertUpstream,
       "−8",
       {R::NonAsciiNumber},
       0,
       "−8",
       "看起来是全角数字或非 ASCII 减号（从 “−8” 起未读入）"},
      {ForebayWallTop, "abc", {R::NoDigitRead}, 0, "abc", "没有读到数字"},
      {PumpMinLevel, "-5", {}},
      {CulvertHeight, "0", {R::NotPositive}, 0, "", "应大于 0"},
      {CulvertHeight, "x", {R::NoDigitRead, R::NotPositive}, 0, "x", "没有读到数字；应大于 0"},
      {ForebayFreeboard, "-0.5", {R::Negative}, -0.5, "", "不应为负"},
      {CulvertDesignPressureHead, "-1", {R::Negative}, -1, "", "不应为负"},
      {CulvertDesignPressureHead, "0", {}},
      // The vacuum limit's site: the table's temperatures and the elevations
      // the altitude correction is meant for, ends included.
      {WaterTemperature, "0", {}},
      {WaterTemperature, "40", {}},
      {WaterTemperature,
       "-0.5",
       {R::TemperatureOutsideTable},
       -0.5,
       "",
       "不在 0 至 40 °C 之内，汽化压力水头按 0 °C 计"},
      {WaterTemperature,
       "45",
       {R::TemperatureOutsideTable},
       45,
       "",
       "不在 0 至 40 °C 之内，汽化压力水头按 40 °C 计"},
      {SiteElevation, "-100", {}},
      {SiteElevation, "5000", {}},
      {SiteElevation,
       "5001",
       {R::ElevationOutsideRange},
       5001,
       "",
       "不在 -100 至 5000 m 之内，大气压水头按 10.33 - 站址高程/900 外推"},
      {SiteElevation,
       "-150",
       {R::ElevationOutsideRange},
       -150,
       "",
       "不在 -100 至 5000 m 之内，大气压水头按 10.33 - 站址高程/900 外推"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text ? row.text : "(not given)");
    DesignTexts texts;
    if (row.text) texts[row.item] = row.text;
    const std::vector<DesignFlag> flags = CheckDesignTexts(texts, DefaultInputTexts());
    if (row.reasons.empty()) {
      EXPECT_TRUE(flags.empty());
      continue;
    }
    ASSERT_EQ(flags.size(), 1u);
    EXPECT_EQ(flags[0].item, row.item);
    EXPECT_EQ(flags[0].reasons, row.reasons);
    EXPECT_EQ(flags[0].value, row.value);
    // The value flagged is the value the checks read.
    EXPECT_EQ(ReadDesignData(texts)[row.item], row.value);
    EXPECT_EQ(flags[0].unread, row.unread);
    EXPECT_EQ(DesignFlagText(flags[0]), row.words);
  }
}

// The two inverts against the culvert's slope and length: a drop that
// differs from |slope| x length by more than a tenth of it is flagged on the
// downstream invert, with the drop the slope gives.
TEST(InputCheck, InvertsAreHeldAgainstTheSlope) {
  struct Row {
    const char* upstream;
    const char* downstream;
    const char* slope;  // over the default 596.662 m
    bool flagged;
  };
  const Row rows[] = {
      {"-8", "-8.85", "-0.0074", true},     // 0.85 m against 4.415 m
      {"-8", "-12.415", "-0.0074", false},  // the slope's own drop
      {"-8", "-12.8", "-0.0074", false},    // 4.8 m: within a tenth
      {"-8", "-12.9", "-0.0074", true},     // 4.9 m: beyond it
      {"-12.415", "-8", "-0.0074", false},  // the sign is not compared
      {"-8", "-8", "0", false},             // level, no slope
      {"-8", "-8.1", "0", true},            // any drop against no slope
      {"-8", nullptr, "-0.0074", false},    // one invert alone
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.upstream) + " " + (row.downstream ? row.downstream : "-"));
    DesignTexts design;
    design[DesignId::CulvertInvertUpstream] = row.upstream;
    if (row.downstream) design[DesignId::CulvertInvertDownstream] = row.downstream;
    InputTexts inputs = DefaultInputTexts();
    inputs[InputId::CulvertSlope] = row.slope;
    const std::vector<DesignFlag> flags = CheckDesignTexts(design, inputs);
    ASSERT_EQ(flags.size(), row.flagged ? 1u : 0u);
    if (!row.flagged) continue;
    EXPECT_EQ(flags[0].item, DesignId::CulvertInvertDownstream);
    EXPECT_EQ(flags[0].reasons, std::vector<R>{R::InvertsDisagreeWithSlope});
    EXPECT_NEAR(flags[0].bound, 0.0074 * 596.662 * (row.slope[0] == '0' ? 0 : 1), 1e-9);
  }
  DesignTexts design;
  design[DesignId::CulvertInvertUpstream] = "-8";
  design[DesignId::CulvertInvertDownstream] = "-8.85";
  EXPECT_EQ(DesignFlagText(CheckDesignTexts(design, DefaultInputTexts()).at(0)),
            "两端底高程之差与箱涵坡降不符：坡降乘箱涵总长为 4.415 m，相差超过其 10%");
}

// The culvert's soffit against the head of step 1 of the run the texts give,
// with its model: a node below its soffit is flagged on the clear height
// before the run, naming the first such node with its head and soffit.
TEST(InputCheck, SoffitAboveTheStartingHeadIsFlagged) {
  EventTexts balanced;
  balanced.model = "balanced";
  struct Row {
    const char* name;
    const char* upstream;
    const char* downstream;  // nullptr: not given
    const char* height;
    test::BoxTexts boxes;
    EventTexts events;
    int node;  // 0: no flag
    double soffit;
    double head;
  };
  const Row rows[] = {
      {"below every head", "-10", "-14.415", "5", {}, {}, 0, 0, 0},
      {"above the reservoir end", "-10", "-14.415", "9", {}, {}, 1, -1, -4.34},
      // Level at -4.4; with no discharge the classic profile still takes
      // the intake loss off the reservoir level from node 2 on (-4.493),
      // the balanced one stands level at the reservoir's -4.34.
      {"no discharge, classic",
       "-8.4",
       "-8.4",
       "4",
       {{InputId::SteadyDischarge, "0"}, {InputId::CulvertSlope, "0"}},
       {},
       2,
       -4.4,
       -4.493},
      {"no discharge, balanced",
       "-8.4",
       "-8.4",
       "4",
       {{InputId::SteadyDischarge, "0"}, {InputId::CulvertSlope, "0"}},
       balanced,
       0,
       0,
       0},
      {"one invert alone", "-10", nullptr, "9", {}, {}, 0, 0, 0},
      {"no run sized", "-10", "-14.415", "9", {{InputId::StepCount, "0"}}, {}, 0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DesignTexts design;
    design[DesignId::CulvertInvertUpstream] = row.upstream;
    if (row.downstream) design[DesignId::CulvertInvertDownstream] = row.downstream;
    design[DesignId::CulvertHeight] = row.height;
    const std::vector<DesignFlag> flags =
        CheckDesignTexts(design, test::TextsWith(row.boxes), ReadModelExtras(row.events));
    ASSERT_EQ(flags.size(), row.node == 0 ? 0u : 1u);
    if (row.node == 0) continue;
    EXPECT_EQ(flags[0].item, DesignId::CulvertHeight);
    EXPECT_EQ(flags[0].reasons, std::vector<R>{R::CulvertNotFullAtStart});
    EXPECT_EQ(flags[0].node, row.node);
    EXPECT_EQ(flags[0].bound, double(float(row.soffit)));
    EXPECT_EQ(flags[0].head, double(float(row.head)));
  }
  DesignTexts design;
  design[DesignId::CulvertInvertUpstream] = "-10";
  design[DesignId::CulvertInvertDownstream] = "-14.415";
  design[DesignId::CulvertHeight] = "9";
  EXPECT_EQ(DesignFlagLine(CheckDesignTexts(design, DefaultInputTexts()).at(0)),
            "--culvert-height 读作 9：第 1 时段节点 1 的水头 -4.340 m 低于顶板高程 -1.000 m："
            "箱涵自计算开始即未满流，有压满流模型不适用");
}

// Cases checked against a base read once: every case gets CheckInputs'
// flags whichever boxes it shares with the base, the boxes whose check
// reads other boxes (the output steps, the forebay area) included; and the
// boxes read against the base's numbers give the numbers read alone.
TEST(InputCheck, CasesCheckedAgainstABaseAsAlone) {
  using test::BoxTexts;
  const BoxTexts variants[] = {
      {},
      {{InputId::ForebayArea, "1,287.4"}},
      {{InputId::ForebayArea, "10"}},
      {{InputId::ForebayArea, "-5"}, {InputId::SteadyDischarge, "abc"}},
      {{InputId::StepCount, "50"}},
      {{InputId::StepCount, "40000"}},
      {{InputId::StepCount, "x"}, {InputId::LastOutputStep, "3000"}},
      {{InputId::OutputInterval, "-1"}, {InputId::FirstOutputStep, "900"}},
      {{InputId::LastOutputStep, "10"}},
      {{InputId::FinalPumpDischarge, "-3"}, {InputId::ReservoirLevel, "−4.34"}},
      {{InputId::WaveSpeed, "0"}, {InputId::CulvertArea, "1e400"}},
  };
  const InputCheckOptions options[] = {
      {},
      {.outputSteps = false},
      {.forebayTableInForce = true},
      {.outputSteps = false, .forebayStabilityLimit = 5000},
  };
  for (const BoxTexts& baseBoxes : variants) {
    const InputTexts base = test::TextsWith(baseBoxes);
    const InputCheckBase checker(base);
    const InputNumbers baseNumbers = ReadInputNumbers(base);
    for (const BoxTexts& caseBoxes : variants) {
      const InputTexts texts = test::TextsWith(caseBoxes);
      const InputNumbers numbers = ReadInputNumbers(texts, base, baseNumbers);
      const InputNumbers alone = ReadInputNumbers(texts);
      for (InputId id : AllInputs()) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(numbers[id]),
                  std::bit_cast<std::uint64_t>(alone[id]))
            << Field(id).option;
      }
      for (const InputCheckOptions& option : options) {
        EXPECT_EQ(checker.Check(texts, numbers, option), CheckInputs(texts, option))
            << "base:\n"
            << Describe(CheckInputs(base, option)) << "case:\n"
            << Describe(CheckInputs(texts, option));
      }
    }
  }
}

}  // namespace
}  // namespace kelvane
