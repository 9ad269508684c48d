// The rigid column's forecasts made side by side are each case's own: every
// bit of the period and the first extremes as one case alone gives them,
// whatever the cases beside it and however many end early.
#include "model/rigid_column.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/texts.h"

namespace kelvane {
namespace {

// The forecasts of `cases` side by side in every instruction set's lanes,
// each against its case alone (every bit, or both none); the fewest cases of
// one set whose level turned both ways.
int ExpectEachCaseAlone(const std::vector<ForecastCase>& cases) {
  int fewest = static_cast<int>(cases.size());
  for (const MarchIsa isa : SupportedMarchIsas()) {
    SCOPED_TRACE(std::string(MarchIsaName(isa)));
    const std::vector<std::optional<OscillationForecast>> together =
        ForecastOscillations(cases, isa);
    EXPECT_EQ(together.size(), cases.size());
    if (together.size() != cases.size()) return 0;
    int turned = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
      SCOPED_TRACE("case " + std::to_string(i));
      const std::optional<OscillationForecast> alone =
          ForecastOscillation(*cases[i].parameters, *cases[i].extras, *cases[i].run);
      EXPECT_EQ(together[i], alone);
      if (alone && alone->firstHighestTime && alone->firstLowestTime) ++turned;
    }
    fewest = std::min(fewest, turned);
  }
  return fewest;
}

TEST(RigidColumn, ForecastsSideBySideAreEachCaseAlone) {
  ModelExtras sudden, ramp, slowRamp, schedule, table, start, tiny;
  ramp.pump.rampTime = 30;
  slowRamp.pump.rampTime = 100;
  slowRamp.pump.rampExponent = 2;
  schedule.pump.schedule = {{0, 41.6}, {20, 30}, {45, 0}};
  table.forebay.areaTable = {{-8, 600}, {-5, 1300}, {-2, 2500}};
  start.pump.rampTime = 10;
  // Areas so small that the level's rate is infinite at the first step.
  tiny.forebay.areaTable = {{-10, 1e-307}, {0, 1e-307}};
  struct Row {
    const char* name;
    test::BoxTexts boxes;
    ModelExtras extras;
    const ModelExtras* marched = nullptr;  // the run's, when not `extras` (whose march faults)
  };
  const std::vector<Row> rows = {
      {"sudden stop", {}, sudden},
      {"ramp", {}, ramp},
      {"ramp of exponent 2", {}, slowRamp},
      {"schedule", {}, schedule},
      {"level–area table", {{InputId::ReservoirLevel, "-4"}}, table},
      {"pump start",
       {{InputId::SteadyDischarge, "10"}, {InputId::FinalPumpDischarge, "41.6"}},
       start},
      // No flow and no change: the level never turns, the march runs to its end.
      {"at rest", {{InputId::SteadyDischarge, "0"}, {InputId::FinalPumpDischarge, "0"}}, sudden},
      {"short culvert", {{InputId::CulvertLength, "120"}}, sudden},
      {"lower reservoir", {{InputId::ReservoirLevel, "-5"}}, ramp},
      {"rate beyond the double range", {}, tiny, &sudden},
  };
  std::vector<test::CompletedRun> runs;
  runs.reserve(rows.size());
  for (const Row& row : rows) {
    runs.push_back(
        test::CalculateRun(test::TextsWith(row.boxes), row.marched ? *row.marched : row.extras));
  }
  // A run without grids gives no forecast, alone or beside others.
  const SurgeRun empty;
  std::vector<ForecastCase> cases;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    cases.push_back({&runs[i].outcome.parameters, &rows[i].extras, &runs[i].run});
    if (i == 2) cases.push_back({&runs[0].outcome.parameters, &sudden, &empty});
  }
  EXPECT_FALSE(ForecastOscillation(*cases[3].parameters, *cases[3].extras, *cases[3].run));
  EXPECT_FALSE(ForecastOscillation(*cases.back().parameters, tiny, *cases.back().run));
  EXPECT_GE(ExpectEachCaseAlone(cases), 6);
}

// Cases with only the sudden change and the constant area, whose lanes take
// the pumps' discharge and the forebay's area once: more of them than the
// lanes, some ending early, each still its own.
TEST(RigidColumn, SuddenForecastsSideBySideAreEachCaseAlone) {
  const ModelExtras sudden;
  const std::vector<test::BoxTexts> rows = {
      {},
      {{InputId::ForebayArea, "600"}},
      {{InputId::ForebayArea, "3000"}, {InputId::FinalPumpDischarge, "20"}},
      {{InputId::CulvertLength, "120"}},
      {{InputId::CulvertLength, "1500"}, {InputId::ReservoirLevel, "-5"}},
      {{InputId::SteadyDischarge, "10"}, {InputId::FinalPumpDischarge, "41.6"}},
      {{InputId::SteadyDischarge, "0"}, {InputId::FinalPumpDischarge, "0"}},  // at rest
      {{InputId::CulvertArea, "30"}},
      {{InputId::FrictionFactor, "0.03"}},
      {{InputId::WaveSpeed, "400"}, {InputId::ForebayArea, "900"}},
      {{InputId::SteadyDischarge, "60"}},
  };
  std::vector<test::CompletedRun> runs;
  runs.reserve(rows.size());
  for (const test::BoxTexts& boxes : rows)
    runs.push_back(test::CalculateRun(test::TextsWith(boxes), sudden));
  std::vector<ForecastCase> cases;
  cases.reserve(runs.size());
  for (const test::CompletedRun& run : runs)
    cases.push_back({&run.outcome.parameters, &sudden, &run.run});
  EXPECT_GE(ExpectEachCaseAlone(cases), 8);
}

}  // namespace
}  // namespace kelvane
