// A study's cases marched side by side: every row is the row of its case run
// alone, whatever the threads, with failing cases anywhere among them.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "study/study.h"

namespace kelvane {
namespace {

// A case table of `rows` random cases on the given grids: the forebay area,
// slope, wave speed and friction varied, and about one case in six given a
// text that fails it before or inside the march (or a single step, which no
// batch takes).
std::string RandomCaseTable(std::uint32_t seed, int rows, const std::vector<const char*>& reaches,
                            const std::vector<const char*>& steps) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto number = [&](double lo, double hi) { return std::to_string(lo + (hi - lo) * unit(random)); };
  std::string table =
      "segment-count,step-count,forebay-area,culvert-slope,wave-speed,"
      "friction-factor\n";
  for (int row = 0; row < rows; ++row) {
    std::string cells[6] = {reaches[random() % reaches.size()],
                            steps[random() % steps.size()],
                            number(300, 3000),
                            number(-0.01, 0.01),
                            number(300, 1400),
                            number(0.002, 0.03)};
    // Column and text of each failure.
    static const std::pair<int, const char*> kFailures[] = {
        {2, "1e-30"},  // the forebay level explodes in the march
        {3, "1e38"},   // the slope term beyond the single range
        {5, "3e30"},   // the friction products
        {1, "x"},      // no grid before any step
        {1, "1"},      // the steady state alone
        {2, "0"},      // a zero divisor
    };
    if (unit(random) < 0.17) {
      const auto& [column, text] = kFailures[random() % std::size(kFailures)];
      cells[column] = std::string(text);
    }
    for (int c = 0; c < 6; ++c) table += cells[c] + (c < 5 ? "," : "\n");
  }
  return table;
}

// The CSV of the rows a sink is handed.
std::string RowsCsv(const StudyPlan& plan, const StudySettings& settings,
                    const std::vector<CaseResult>& rows) {
  std::string csv =
      StudyCsvHeader(plan, settings.limits, StudyChecks(plan, PrepareCase(settings.base)),
                     StudyNamesEvent(plan, settings));
  for (const CaseResult& row : rows) AppendStudyCsvRow(plan, settings.limits, row, csv);
  return csv;
}

TEST(StudyBatch, RowsAreThoseOfEachCaseRunAlone) {
  struct Row {
    const char* what;
    std::vector<const char*> reaches, steps;
    bool eventsAndDesign;
  };
  const Row rows[] = {
      {"default grid", {"5"}, {"1500"}, false},
      {"two grids mixed", {"5", "8"}, {"300", "301"}, false},
      {"area table, ramp, design data", {"5"}, {"600"}, true},
      {"one reach, long rows", {"1", "60"}, {"200"}, true},
  };
  std::uint32_t seed = 20261209;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    StudyPlan plan;
    plan.Add(ReadCaseTable(RandomCaseTable(seed++, 70, row.reaches, row.steps)));
    StudySettings settings;
    settings.limits.forebayMaxLevel = -2.5;
    settings.limits.forebayMinLevel = -6;
    if (row.eventsAndDesign) {
      settings.base.events.rampTime = "20";
      settings.base.events.areaTable = SplitPairsText("-10:450,0:2700");
      settings.base.design[DesignId::ForebayFreeboard] = "0.5";
      settings.base.design[DesignId::PumpMinLevel] = "-6";
    }
    std::vector<CaseResult> alone;
    const PreparedCase base = PrepareCase(settings.base);
    for (std::int64_t number = 1; number <= plan.CaseCount(); ++number)
      alone.push_back(RunCase(plan, settings, base, number));
    const std::string expected = RowsCsv(plan, settings, alone);
    int failed = 0;
    for (const CaseResult& result : alone) failed += result.status != 0;
    EXPECT_GT(failed, 3);  // the failing cases are there

    for (int jobs : {1, 2, 7}) {
      settings.jobs = jobs;
      std::vector<CaseResult> studied;
      RunStudy(plan, settings, base, [&](const CaseResult& r) { studied.push_back(r); });
      EXPECT_EQ(RowsCsv(plan, settings, studied), expected) << jobs << " threads";
    }
  }
}

// Each case's input and design flags are those of its own case read alone,
// where the design data reads the boxes a factor sweeps (the inverts against
// the slope, the soffit against the starting heads) and where it does not.
TEST(StudyBatch, FlagsAreThoseOfEachCaseReadAlone) {
  for (bool readsBoxes : {true, false}) {
    SCOPED_TRACE(readsBoxes ? "inverts and soffit" : "forebay items only");
    StudyPlan plan;
    plan.Add(ParseSweep("reservoir-level=-4.34,-6"));
    plan.Add(ParseSweep("culvert-slope=-0.0074,-0.002"));
    plan.Add(ParseSweep("forebay-area=1287.414,1287.4m2"));
    StudySettings settings;
    settings.base.design[DesignId::ForebayFreeboard] = "0.5";
    if (readsBoxes) {
      settings.base.design[DesignId::CulvertInvertUpstream] = "-8";
      settings.base.design[DesignId::CulvertInvertDownstream] = "-12.4";
      settings.base.design[DesignId::CulvertHeight] = "3";
      settings.base.design[DesignId::CulvertWidth] = "4";
    }
    const PreparedCase base = PrepareCase(settings.base);
    std::size_t designFlags = 0, inputFlags = 0;
    RunStudy(plan, settings, base, [&](const CaseResult& result) {
      Case typed = settings.base;
      plan.SetCaseTexts(result.number, typed.texts, typed.design, &typed.events);
      const PreparedCase alone = PrepareCase(typed);
      EXPECT_EQ(result.designFlags, alone.designFlags) << "case " << result.number;
      EXPECT_EQ(result.flags, CaseInputFlags(typed.texts, {})) << "case " << result.number;
      designFlags += result.designFlags.size();
      inputFlags += result.flags.size();
    });
    // The flags compared are there: the inverts of the four cases of the
    // other slope, the soffit of the four of the lower reservoir, and the
    // area not read whole.
    EXPECT_EQ(designFlags, readsBoxes ? 8u : 0u);
    EXPECT_EQ(inputFlags, 4u);
  }
}

}  // namespace
}  // namespace kelvane
