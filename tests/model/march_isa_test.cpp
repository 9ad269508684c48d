// The march's instruction-set variants: which one runs, and that every
// variant the processor has gives the bits of the fully checked march.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "march_test_support.h"
#include "model/march.h"
#include "model/march_batch.h"
#include "model/model.h"
#include "model/run_editor.h"

namespace kelvane {
namespace {

TEST(MarchIsaSelection, ForcedVariantNeverWiderThanTheProcessor) {
  struct Row {
    const char* requested;
    MarchIsa best;
    MarchIsa selected;
  };
  const Row rows[] = {
      {"baseline", MarchIsa::Avx512, MarchIsa::Baseline},
      {"avx2", MarchIsa::Avx512, MarchIsa::Avx2},
      {"avx512", MarchIsa::Avx512, MarchIsa::Avx512},
      {"avx512", MarchIsa::Avx2, MarchIsa::Avx2},  // lacking AVX-512
      {"avx512", MarchIsa::Baseline, MarchIsa::Baseline},
      {"avx2", MarchIsa::Baseline, MarchIsa::Baseline},
      {"baseline", MarchIsa::Baseline, MarchIsa::Baseline},
      {"", MarchIsa::Avx2, MarchIsa::Avx2},          // not set
      {"AVX2", MarchIsa::Avx512, MarchIsa::Avx512},  // unknown names select the best
      {"sse2", MarchIsa::Avx2, MarchIsa::Avx2},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ResolveMarchIsa(row.requested, row.best), row.selected)
        << row.requested << " with best " << MarchIsaName(row.best);

  // This processor: baseline first, ascending, and KELVANE_ISA (as ctest sets
  // it for the forced runs of this program) resolved against the widest.
  const std::vector<MarchIsa> supported = SupportedMarchIsas();
  ASSERT_FALSE(supported.empty());
  EXPECT_EQ(supported.front(), MarchIsa::Baseline);
  for (std::size_t k = 1; k < supported.size(); ++k)
    EXPECT_EQ(static_cast<int>(supported[k]), static_cast<int>(supported[k - 1]) + 1);
  const char* forced = std::getenv("KELVANE_ISA");
  EXPECT_EQ(SelectedMarchIsa(), ResolveMarchIsa(forced ? forced : "", supported.back()));
}

using test::SameBits;

using test::StartedRun;

// The march of `variant` and the fully checked march from the same start:
// the same first fault ("" for none) and the same bits. Without a fault the
// unchecked loop of `variant` must give the same bits too.
void ExpectSameAsChecked(MarchIsa variant, const RunOutcome& outcome, const SurgeRun& start,
                         const std::string& what, const ModelExtras* extras = nullptr) {
  SurgeRun runs[2] = {start, start};
  std::string where[2];
  const MarchChecking checking[2] = {MarchChecking::VerifyEachStep, MarchChecking::EveryOperation};
  for (int k = 0; k < 2; ++k) {
    try {
      MarchTransient(outcome.parameters, outcome.coefficients, runs[k], variant, checking[k],
                     nullptr, extras);
    } catch (const RunError& e) {
      where[k] = std::to_string(e.number()) + " " + e.where();
    }
  }
  EXPECT_EQ(where[0], where[1]) << what;
  EXPECT_TRUE(SameBits(runs[0], runs[1])) << what;
  if (where[1].empty()) {
    SurgeRun unchecked = start;
    MarchTransientUnchecked(outcome.parameters, outcome.coefficients, unchecked, variant, extras);
    EXPECT_TRUE(SameBits(unchecked, runs[1])) << what << ", unchecked";
  }
}

using test::TextsWith;

// Each variant, whether or not the processor has it (a missing one is skipped).
class MarchVariant : public testing::TestWithParam<MarchIsa> {
 protected:
  void SetUp() override {
    if (GetParam() > SupportedMarchIsas().back())
      GTEST_SKIP() << "this processor cannot run " << MarchIsaName(GetParam());
  }
};

// Random step-1 states for 1 to 60 reaches, the rows of every length that a
// vector loop splits differently into a main part and a remainder (GCC 12's
// basic-block vectoriser once dropped a rounding to single in one of them),
// with and without a value too large to square planted at a random node.
TEST_P(MarchVariant, RandomRowsGiveTheCheckedMarchsBits) {
  const RunOutcome outcome = [] {
    SurgeRun run;
    return Calculate(DefaultInputTexts(), run);
  }();
  test::ForEachRandomStart(20261208 + static_cast<int>(GetParam()), [&](const SurgeRun& start,
                                                                        int reaches, bool planted) {
    ExpectSameAsChecked(GetParam(), outcome, start,
                        std::to_string(reaches) + " reaches, planted " + std::to_string(planted));
  });
}

// Whole runs from their steady state: the default run, long rows, and runs
// that fault inside the march.
TEST_P(MarchVariant, RunsGiveTheCheckedMarchsBits) {
  std::vector<test::BoxTexts> cases = {
      {},
      {{InputId::SegmentCount, "500"},
       {InputId::StepCount, "520"}},  // steps beyond the reach count: boundaries verified
      {{InputId::SegmentCount, "997"},
       {InputId::StepCount, "40"},
       {InputId::FinalPumpDischarge, "0"}},
  };
  for (const test::BoxTexts& boxes : test::FaultingMarchInputs()) cases.push_back(boxes);
  for (const auto& boxes : cases) {
    std::string what;
    for (const auto& [box, text] : boxes)
      what.append(" --").append(Field(box).option).append("=").append(text);
    // The steady state alone: the same texts with one step.
    InputTexts texts = TextsWith(boxes);
    const int steps = static_cast<int>(ReadLeadingNumber(texts[InputId::StepCount]));
    texts[InputId::StepCount].assign(1, '1');  // not = "1": GCC 12 warns falsely (-Wrestrict)
    SurgeRun steady;
    const RunOutcome outcome = Calculate(texts, steady);
    const SurgeRun start = StartedRun(steady.HeadsAt(1), steady.VelocitiesAt(1), steps);
    ExpectSameAsChecked(GetParam(), outcome, start, what);
  }
}

// A pump schedule and a level–area table: the same bits in every variant,
// and the same first fault when the table's areas are far too small.
TEST_P(MarchVariant, EventRunsGiveTheCheckedMarchsBits) {
  ModelExtras extras;
  extras.pump.schedule = {{0, 41.6}, {3, 20}, {3, 10}, {20, 0}};
  extras.forebay.areaTable = {{-6, 900}, {-5, 1300}, {-2, 2500}};
  ModelExtras tiny = extras;
  tiny.forebay.areaTable = {{-6, 1e-6}, {-2, 2e-6}};
  for (const char* reaches : {"1", "7", "64"}) {
    InputTexts texts = TextsWith({{InputId::SegmentCount, reaches}});
    texts[InputId::StepCount].assign(1, '1');
    SurgeRun steady;
    const RunOutcome outcome = Calculate(texts, steady);
    const SurgeRun start = StartedRun(steady.HeadsAt(1), steady.VelocitiesAt(1), 400);
    ExpectSameAsChecked(GetParam(), outcome, start, std::string(reaches) + " reaches", &extras);
    ExpectSameAsChecked(GetParam(), outcome, start, std::string(reaches) + " reaches, tiny", &tiny);
  }
}

// A case of a batch: its run from step 1 and what the march takes.
struct BatchCase {
  RunOutcome outcome;
  ModelExtras extras;
  SurgeRun start;
};

// Random cases of one grid: every box an engineer types varied, the pump
// event and area table now and then, and about one case in five given a box
// or a table that makes the march fault.
std::vector<BatchCase> RandomBatchCases(std::mt19937& random, int reaches, int steps, int count) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto number = [&](double lo, double hi) { return std::to_string(lo + (hi - lo) * unit(random)); };
  std::vector<BatchCase> cases;
  while (static_cast<int>(cases.size()) < count) {
    test::BoxTexts boxes = {
        {InputId::SegmentCount, std::to_string(reaches)},
        {InputId::StepCount, std::to_string(steps)},
        {InputId::SteadyDischarge, number(5, 80)},
        {InputId::IntakeHeadLoss, number(0, 0.5)},
        {InputId::ReservoirLevel, number(-8, 2)},
        {InputId::FrictionFactor, number(0.002, 0.03)},
        {InputId::CulvertSlope, number(-0.01, 0.01)},
        {InputId::HydraulicRadius, number(0.3, 1.5)},
        {InputId::ForebayArea, number(300, 3000)},
        {InputId::CulvertArea, number(10, 30)},
        {InputId::WaveSpeed, number(300, 1400)},
        {InputId::CulvertLength, number(100, 1500)},
        {InputId::FinalPumpDischarge, unit(random) < 0.6 ? number(0, 60) : "0"},
    };
    BatchCase c;
    const double kind = unit(random);
    if (kind < 0.15) {
      c.extras.pump.schedule = {{0, 41.6}, {3, 20}, {3, 10}, {20, 0}};
    } else if (kind < 0.25) {
      c.extras.pump.rampTime = 2 + 10 * unit(random);
    } else if (kind < 0.35) {
      c.extras.forebay.areaTable = {{-6, 900}, {-5, 1300}, {-2, 2500}};
    }
    if (unit(random) < 0.2) {
      // A fault: the boxes of a faulting input that keep the grid, or a table
      // of areas far too small.
      const std::vector<test::BoxTexts>& faults = test::FaultingMarchInputs();
      const std::size_t pick = random() % (faults.size() + 1);
      if (pick == faults.size()) {
        c.extras.forebay.areaTable = {{-6, 1e-6}, {-2, 2e-6}};
      } else {
        for (const auto& box : faults[pick])
          if (box.first != InputId::SegmentCount && box.first != InputId::StepCount)
            boxes.push_back(box);
      }
    }
    CalculateOptions options;
    options.extras = c.extras;
    try {
      c.outcome = CalculateBeforeMarch(ReadInputNumbers(TextsWith(boxes)), c.start, options);
    } catch (const RunError&) {
      continue;  // a fault before the march: no case of a batch
    }
    cases.push_back(std::move(c));
  }
  return cases;
}

// Each node's highest or lowest head or velocity over the run's steps, with
// the first step holding it.
GridEnvelope::Extremes ExtremesOf(const SurgeRun& run, bool head, bool highest) {
  GridEnvelope::Extremes extremes;
  for (int node = 1; node <= run.GridNodes(); ++node) {
    const auto at = [&](int step) {
      return head ? run.Head(node, step) : run.Velocity(node, step);
    };
    float best = at(1);
    for (int step = 2; step <= run.StepCount(); ++step)
      best = highest ? (best < at(step) ? at(step) : best) : (at(step) < best ? at(step) : best);
    int first = 1;
    while (at(first) != best) ++first;
    extremes.value.push_back(best);
    extremes.step.push_back(first);
  }
  return extremes;
}

bool SameExtremes(const GridEnvelope::Extremes& a, const GridEnvelope::Extremes& b) {
  return a.step == b.step && a.value.size() == b.value.size() &&
         std::memcmp(a.value.data(), b.value.data(), a.value.size() * sizeof(float)) == 0;
}

// Steps 2 on of both grids but the last, and the step times from step 2, set
// to NaN: what grids created unfilled (GridFill::MarchWritten) may hold there.
void FillMarchedStepsWithNan(SurgeRun& run) {
  SurgeRunEditor editor(run);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (int step = 2; step < run.GridSteps(); ++step) {
    std::fill_n(editor.HeadsAt(step), run.GridNodes(), nan);
    std::fill_n(editor.VelocitiesAt(step), run.GridNodes(), nan);
  }
  if (run.TimeSteps() > 1)
    std::fill(editor.StepTimes() + 1, editor.StepTimes() + run.TimeSteps(), nan);
}

std::string FaultOf(const std::optional<RunError>& error) {
  return error ? std::to_string(error->number()) + " " + error->where() : "";
}

// Batches of every size around the lane count, of grids from one reach up,
// some mixing two grids (and runs of one step, which no batch takes): each
// lane ends with its single march's bits and fault, and its observer is told
// of its steps once each, in order, up to the block of its fault. A lane
// given an envelope that the batch marches to its end gathers each node's
// extremes and their first steps, and is told through its batch observer.
// Every other lane's grids start unfilled after step 1, and still end as the
// single march leaves zero-filled grids, faulting lanes too.
TEST_P(MarchVariant, BatchLanesGiveTheSingleMarchsBits) {
  struct Row {
    int reaches, steps, lanes;
    int otherReaches = 0, otherSteps = 0;  // every third lane of this grid, when set
  };
  // The last two: grids of so many nodes that the batch holds one step (1,101
  // nodes) or two (401) before the lanes' grids take them, neither a whole
  // number of fours.
  const Row rows[] = {
      {5, 1500, 16},        {5, 300, 1},        {5, 300, 3},   {1, 200, 17},
      {2, 200, 9},          {3, 150, 33},       {7, 400, 16},  {40, 120, 20},
      {5, 300, 24, 6, 300}, {5, 200, 12, 5, 1}, {1100, 30, 7}, {400, 60, 18},
  };
  std::mt19937 random(20261209 + static_cast<int>(GetParam()));
  int faults = 0, gathered = 0;
  for (const Row& row : rows) {
    std::vector<BatchCase> cases = RandomBatchCases(random, row.reaches, row.steps, row.lanes);
    if (row.otherReaches != 0) {
      for (std::size_t k = 2; k < cases.size(); k += 3)
        cases[k] = std::move(RandomBatchCases(random, row.otherReaches, row.otherSteps, 1)[0]);
    }
    std::vector<SurgeRun> runs;
    runs.reserve(cases.size());
    for (const BatchCase& c : cases) {
      runs.push_back(c.start);
      if (runs.size() % 2 == 0) FillMarchedStepsWithNan(runs.back());
    }
    std::vector<std::vector<std::pair<int, int>>> told(cases.size());
    std::vector<MarchLane> lanes(cases.size());
    std::vector<GridEnvelope> envelopes(cases.size());
    for (std::size_t k = 0; k < cases.size(); ++k) {
      lanes[k].parameters = &cases[k].outcome.parameters;
      lanes[k].coefficients = &cases[k].outcome.coefficients;
      lanes[k].run = &runs[k];
      lanes[k].extras = cases[k].extras.Given() ? &cases[k].extras : nullptr;
      lanes[k].observer = [&told, k](int first, int last) { told[k].emplace_back(first, last); };
      if (k % 2 == 1) {
        lanes[k].envelope = &envelopes[k];
        lanes[k].batchObserver = lanes[k].observer;
      }
    }
    MarchBatch(lanes, GetParam());
    for (std::size_t k = 0; k < cases.size(); ++k) {
      SurgeRun single = cases[k].start;
      std::optional<RunError> error;
      try {
        MarchTransient(cases[k].outcome.parameters, cases[k].outcome.coefficients, single,
                       GetParam(), MarchChecking::VerifyEachStep, nullptr, lanes[k].extras);
      } catch (const RunError& e) {
        error = e;
      }
      const std::string what = std::to_string(row.reaches) + " reaches, " +
                               std::to_string(row.lanes) + " lanes, lane " + std::to_string(k);
      EXPECT_EQ(FaultOf(lanes[k].error), FaultOf(error)) << what;
      EXPECT_TRUE(test::SameBits(runs[k], single)) << what;
      faults += error.has_value();
      if (envelopes[k].gathered) {
        ++gathered;
        EXPECT_FALSE(error) << what;
        EXPECT_TRUE(SameExtremes(envelopes[k].highestHead, ExtremesOf(single, true, true))) << what;
        EXPECT_TRUE(SameExtremes(envelopes[k].lowestHead, ExtremesOf(single, true, false))) << what;
        EXPECT_TRUE(SameExtremes(envelopes[k].highestVelocity, ExtremesOf(single, false, true)))
            << what;
        EXPECT_TRUE(SameExtremes(envelopes[k].lowestVelocity, ExtremesOf(single, false, false)))
            << what;
      }
      // The steps told: 2, 3, ... without a gap, all of them without a fault,
      // none from the fault's step on with one.
      int next = 2;
      for (const auto& [first, last] : told[k]) {
        EXPECT_EQ(first, next) << what;
        next = last + 1;
      }
      if (!error) {
        EXPECT_EQ(next, std::max<int>(2, single.StepCount() + 1)) << what;
      } else {
        EXPECT_LE(next, error->location().step) << what;
      }
    }
  }
  EXPECT_GT(faults, 10);    // the faulting lanes are there
  EXPECT_GT(gathered, 40);  // and the lanes that gathered their envelope
}

INSTANTIATE_TEST_SUITE_P(Isa, MarchVariant,
                         testing::Values(MarchIsa::Baseline, MarchIsa::Avx2, MarchIsa::Avx512),
                         [](const testing::TestParamInfo<MarchIsa>& param) {
                           return std::string(MarchIsaName(param.param));
                         });

}  // namespace
}  // namespace kelvane
