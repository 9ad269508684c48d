// The march's instruction-set variants: which one runs, and that every
// variant the processor has gives the bits of the fully checked march.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "march_test_support.h"
#include "solver/march.h"
#include "solver/run_editor.h"
#include "solver/solver.h"

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

using test::With;

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
    InputTexts texts = With(boxes);
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
    InputTexts texts = With({{InputId::SegmentCount, reaches}});
    texts[InputId::StepCount].assign(1, '1');
    SurgeRun steady;
    const RunOutcome outcome = Calculate(texts, steady);
    const SurgeRun start = StartedRun(steady.HeadsAt(1), steady.VelocitiesAt(1), 400);
    ExpectSameAsChecked(GetParam(), outcome, start, std::string(reaches) + " reaches", &extras);
    ExpectSameAsChecked(GetParam(), outcome, start, std::string(reaches) + " reaches, tiny", &tiny);
  }
}

INSTANTIATE_TEST_SUITE_P(Isa, MarchVariant,
                         testing::Values(MarchIsa::Baseline, MarchIsa::Avx2, MarchIsa::Avx512),
                         [](const testing::TestParamInfo<MarchIsa>& param) {
                           return std::string(MarchIsaName(param.param));
                         });

}  // namespace
}  // namespace kelvane
