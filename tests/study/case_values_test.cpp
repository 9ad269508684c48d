// The values of a study's cases: each case's texts get the single run's input
// check, the study's warnings are told per option and kind with a count, and
// --strict finds the first flagged case without running any. The limits
// compare at the precision of the levels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "format/number_format.h"
#include "study/case_warnings.h"
#include "study/study.h"

namespace kelvane {
namespace {

StudyPlan PlanOfTable(const char* csv) {
  StudyPlan plan;
  plan.Add(ReadCaseTable(csv));
  return plan;
}

// Per case: the study's flags are those CheckInputs gives the case's texts as
// a single run without a results table checks them, whether the case ran
// (the stability limit taken from its run) or failed (computed anew); the
// CSV's last cell counts them.
TEST(CaseValues, EachCaseGetsTheSingleRunsCheck) {
  const StudyPlan plan = PlanOfTable(
      "forebay-area,segment-count,step-count\n"
      "\"1,287.414\",5,20\n"    // read as 1 m²: "1,287.414" is not a number
      "1287.414,5,20\n"         // clean
      "0.008,5,20\n"            // below the stability limit, and runs its 20 steps
      "0.004,5,20\n"            // below it, and overflows
      "1287.414,x,20\n"         // no reach count: the run fails
      "−600,5,20\n"             // a typographic minus
      "1287.414 m2,5.0,20\n");  // text after the number
  const std::vector<std::vector<InputFlagReason>> expected{
      {InputFlagReason::TextNotReadWhole},
      {},
      {InputFlagReason::BelowForebayStabilityLimit},
      {InputFlagReason::BelowForebayStabilityLimit},
      {},
      {InputFlagReason::NonAsciiNumber, InputFlagReason::NotPositive},
      {InputFlagReason::TextNotReadWhole}};
  const StudySettings settings;
  std::vector<CaseResult> results;
  RunStudy(plan, settings, PrepareCase(settings.base),
           [&](const CaseResult& r) { results.push_back(r); });
  ASSERT_EQ(results.size(), expected.size());
  for (const CaseResult& r : results) {
    SCOPED_TRACE(r.number);
    const InputTexts texts = plan.CaseTexts(settings.base.texts, r.number);
    EXPECT_EQ(r.flags, CheckInputs(texts, {.outputSteps = false}));
    std::vector<InputFlagReason> forebay;
    for (const InputFlag& flag : r.flags) {
      if (flag.input == InputId::ForebayArea) forebay = flag.reasons;
    }
    EXPECT_EQ(forebay, expected[r.number - 1]);
    const std::vector<std::string> columns = StudyCsvColumns(plan, settings.limits);
    const std::vector<std::string> cells = StudyCsvCells(plan, settings.limits, r);
    const auto warnings = std::find(columns.begin(), columns.end(), "warnings") - columns.begin();
    EXPECT_EQ(cells.at(std::size_t(warnings)), std::to_string(r.flags.size()));
  }
  EXPECT_EQ(results[1].status, 0);
  EXPECT_EQ(results[2].status, 0);
  EXPECT_NE(results[3].status, 0);
  EXPECT_NE(results[4].status, 0);
  EXPECT_TRUE(
      StudyCsvHeader(plan, settings.limits).ends_with(",warnings,period_s,period_fraction\n"));
}

// One line per option and kind however many cases: the first case's warning
// and, when more have it, their count and first numbers.
TEST(CaseValues, WarningsAreToldPerOptionAndKindWithTheirFirstCasesAndACount) {
  StudyPlan plan;
  plan.Add(ParseSweep("forebay-area=abc,600m2,1000,x,y"));
  plan.Add(ParseSweep("final-pump-discharge=0,1"));
  const StudySettings settings;
  StudyWarnings warnings(plan, settings);
  RunStudy(plan, settings, PrepareCase(settings.base),
           [&](const CaseResult& r) { warnings.Add(r); });
  EXPECT_EQ(warnings.FlaggedCases(), 8);
  EXPECT_EQ(warnings.Text(),
            "kelvane: 警告: 案例 3 的 --forebay-area “600m2” 读作 600：从 “m2” 起未读入"
            "（此类警告共 2 个案例：案例 3、4）\n"
            "kelvane: 警告: 案例 1 的 --forebay-area “abc” 读作 0：没有读到数字"
            "（此类警告共 6 个案例：案例 1、2、7 等）\n"
            "kelvane: 警告: 案例 1 的 --forebay-area “abc” 读作 0：应大于 0"
            "（此类警告共 6 个案例：案例 1、2、7 等）\n");

  StudyWarnings one(plan, settings);
  one.Add(RunCase(plan, settings, PrepareCase(settings.base), 4));
  EXPECT_EQ(one.Text(),
            "kelvane: 警告: 案例 4 的 --forebay-area “600m2” 读作 600：从 “m2” 起未读入\n");
}

// A stability warning read from a level–area table is told per table: the
// cases of another table (another smallest area) are not grouped under it.
TEST(CaseValues, StabilityWarningsOfTablesAreToldPerTable) {
  StudyPlan plan;
  plan.Add(ParseSweep("forebay-area=1000,1100,1200"));
  const StudySettings settings;
  const auto flagged = [&](std::int64_t number, double smallest, const char* table) {
    CaseResult result;
    result.number = number;
    plan.CaseValues(number, result.values);
    result.eventCells = {"定值", table};
    result.flags = {InputFlag{
        InputId::ForebayArea, smallest, {InputFlagReason::BelowForebayStabilityLimit}, "", 400}};
    return result;
  };
  StudyWarnings warnings(plan, settings);
  warnings.Add(flagged(1, 300, "水位–面积表 5 点，-10 至 0 m"));
  warnings.Add(flagged(2, 200, "水位–面积表 4 点，-9 至 0 m"));
  warnings.Add(flagged(3, 300, "水位–面积表 5 点，-10 至 0 m"));
  EXPECT_EQ(warnings.Text(),
            "kelvane: 警告: 案例 1 的 --forebay-area “1000” 读作 300：低于稳定下限 400 m²，"
            "前池水位计算会发散（此类警告共 2 个案例：案例 1、3）\n"
            "kelvane: 警告: 案例 2 的 --forebay-area “1100” 读作 200：低于稳定下限 400 m²，"
            "前池水位计算会发散\n");
}

// --strict's search: the shard's first case with a flag, none when every case
// of the shard is clean.
TEST(CaseValues, TheFirstFlaggedCaseOfTheShard) {
  StudyPlan plan;
  plan.Add(ParseSweep("forebay-area=600,700,abc,800,1e-9"));
  struct Row {
    std::int64_t shardIndex, shardCount;
    std::int64_t first;  // 0: none
  };
  for (const Row row : {Row{0, 1, 3}, Row{1, 2, 3}, Row{0, 2, 0}, Row{2, 3, 5}}) {
    SCOPED_TRACE(std::to_string(row.shardIndex) + "/" + std::to_string(row.shardCount));
    StudySettings settings;
    settings.shardIndex = row.shardIndex;
    settings.shardCount = row.shardCount;
    const std::optional<FlaggedCase> flagged =
        FirstFlaggedCase(plan, settings, PrepareCase(settings.base));
    EXPECT_EQ(flagged ? flagged->number : 0, row.first);
  }
}

// A case that keeps the base's text is checked with the base's text, not
// with the one an earlier case of the shard set: --strict finds what the
// case's own row flags.
TEST(CaseValues, AKeptBaseTextIsCheckedAsTheBases) {
  StudySettings settings;
  settings.base.texts[InputId::ForebayArea] = "1,287.414";  // read as 1 m²
  settings.shardIndex = 0;
  settings.shardCount = 2;  // cases 2 and 4
  const std::vector<OperatingCase> cases = {
      {"A", {{"forebay-area", "1287.414"}}},
      {"B", {{"reservoir-level", "-3.5"}}},
      {"C", {{"reservoir-level", "-3"}}},
  };
  StudyPlan plan;
  plan.Add(OperatingCasesFactor(
      "基本工况", cases, [](const StudyItem&) { return true; }, ""));
  const std::optional<FlaggedCase> flagged =
      FirstFlaggedCase(plan, settings, PrepareCase(settings.base));
  ASSERT_TRUE(flagged);
  EXPECT_EQ(flagged->number, 4);
  EXPECT_EQ(flagged->flag.input, InputId::ForebayArea);
  EXPECT_EQ(flagged->text, "1,287.414");
  EXPECT_FALSE(RunCase(plan, settings, PrepareCase(settings.base), 4).flags.empty());
}

// Levels are singles: a limit is met by a level that the CSV prints as the
// limit, and by any double that rounds to that level, but not by the next
// single beyond it.
TEST(Limits, ALevelThatPrintsAsTheLimitMeetsIt) {
  StudyPlan plan;
  plan.Add(ParseSweep("forebay-area=800"));
  plan.Add(ParseSweep("final-pump-discharge=0"));
  StudySettings settings;
  // Long enough to reach both extremes: a kept limit is then met (满足).
  settings.base.texts[InputId::StepCount] = "8000";
  const CaseResult bare = RunCase(plan, settings, PrepareCase(settings.base), 1);
  ASSERT_TRUE(bare.extremes);
  const float high = bare.extremes->forebayHighest.value;
  const float low = bare.extremes->forebayLowest.value;
  auto printed = [](float level) {
    std::string text;
    AppendShortest(text, level);
    return std::strtod(text.c_str(), nullptr);
  };
  // The printed highest level lies below the single itself: a comparison of
  // doubles fails it.
  ASSERT_LT(printed(high), double(high));
  struct Row {
    double max, min;
    bool passes;
  };
  const Row rows[] = {
      {printed(high), printed(low), true},
      {double(high), double(low), true},
      {std::nextafter(double(high), -10.0), std::nextafter(double(low), 10.0), true},
      {double(std::nextafter(high, -10.0f)), double(std::nextafter(low, 10.0f)), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(ShortestText(row.max) + " " + ShortestText(row.min));
    settings.limits = {row.max, row.min};
    const CaseResult r = RunCase(plan, settings, PrepareCase(settings.base), 1);
    EXPECT_EQ(r.passMax, row.passes);
    EXPECT_EQ(r.passMin, row.passes);
    EXPECT_EQ(r.verdictMin, row.passes ? CheckVerdict::Pass : CheckVerdict::Fail);
  }
}

}  // namespace
}  // namespace kelvane
