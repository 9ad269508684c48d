// A whole Calculate: the default run to the digits shown to users and the
// march's physics and faults.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "march_test_support.h"
#include "model/march.h"
#include "model/model.h"
#include "model/run_editor.h"

namespace kelvane {
namespace {

std::string Digits(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

using test::TextsWith;

TEST(DefaultRun, CoefficientsToTheDigitsShown) {
  SurgeRun run;
  const SolverCoefficients c = Calculate(DefaultInputTexts(), run).coefficients;
  const std::pair<float, const char*> rows[] = {
      {c.HydraulicDiameter, "3"},         {c.SteadyVelocity, "2.311111"},
      {c.ReachLength, "119.3324"},        {c.TimeStep, "0.1193324"},
      {c.WaveCoefficient, "102.0408"},    {c.VelocityFrictionTerm, "0.0001988873"},
      {c.HeadFrictionTerm, "0.02029462"}, {c.ReachHeadLoss, "0.1083984"},
  };
  for (const auto& [value, digits] : rows) EXPECT_EQ(Digits("%.7g", value), digits);
  EXPECT_EQ(c.LocalLossCoefficientA, 0.1825);
  EXPECT_EQ(c.LocalLossCoefficientB, 0.0304);
  EXPECT_EQ(run.SegmentCount(), 5);
  EXPECT_EQ(run.StepCount(), 1500);
  EXPECT_EQ(run.FirstOutputStep(), 1);
  EXPECT_EQ(run.LastOutputStep(), 100);
}

TEST(DefaultRun, SteadyStateAndStepTimes) {
  SurgeRun run;
  const float dt = Calculate(DefaultInputTexts(), run).coefficients.TimeStep;
  const char* heads[] = {"-4.340000", "-4.598105", "-4.706504",
                         "-4.814902", "-4.931585", "-5.247774"};
  for (int node = 1; node <= 6; ++node) {
    EXPECT_EQ(Digits("%.6f", run.Head(node, 1)), heads[node - 1]) << node;
    EXPECT_EQ(Digits("%.7g", run.Velocity(node, 1)), "2.311111") << node;
  }
  EXPECT_EQ(Digits("%.8g", run.StepTime(1500)), "178.87926");
  for (int step = 1; step <= 1500; ++step)
    ASSERT_EQ(run.StepTime(step), static_cast<float>((step - 1) * static_cast<double>(dt)));
}

// The parameters and coefficients a check reads without marching are the
// run's own, bit for bit, with each model and event; where the run fails
// before its march, there are none.
TEST(CalculateCoefficients, TheRunsOwnWithoutItsMarch) {
  ModelExtras balanced;
  balanced.model = MarchModel::Balanced;
  balanced.pump.rampTime = 12;
  ModelExtras table;
  table.forebay.areaTable = {{-8, 300}, {-2, 900}};
  struct Row {
    test::BoxTexts boxes;
    ModelExtras extras;
    bool runs;  // Calculate gets past its steady state
  };
  const Row rows[] = {
      {{}, {}, true},
      {{{InputId::SegmentCount, "10"}, {InputId::StepCount, "3000"}}, {}, true},
      {{{InputId::WaveSpeed, "500"}, {InputId::IntakeHeadLoss, "0.7"}}, balanced, true},
      {{{InputId::ForebayArea, "0"}}, table, true},
      {{{InputId::WaveSpeed, "0"}}, {}, false},
      {{{InputId::HydraulicRadius, "1e300"}}, {}, false},
  };
  for (const Row& row : rows) {
    const InputTexts texts = TextsWith(row.boxes);
    const std::optional<RunOutcome> formed = CalculateCoefficients(texts, row.extras);
    std::optional<RunOutcome> run;
    try {
      run = test::CalculateRun(texts, row.extras).outcome;
    } catch (const RunError&) {
    }
    ASSERT_EQ(formed.has_value(), row.runs);
    ASSERT_EQ(run.has_value(), row.runs);
    if (!row.runs) continue;
    const RunParameters& p = formed->parameters;
    const RunParameters& q = run->parameters;
    EXPECT_EQ(std::memcmp(&p.SteadyDischarge, &q.SteadyDischarge, sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(&p.ForebayArea, &q.ForebayArea, sizeof(double)), 0);
    EXPECT_EQ(p.SegmentCount, q.SegmentCount);
    EXPECT_EQ(p.StepCount, 1);  // one step, whatever the count typed
    const SolverCoefficients& c = formed->coefficients;
    const SolverCoefficients& d = run->coefficients;
    const std::pair<float, float> pairs[] = {
        {c.HydraulicDiameter, d.HydraulicDiameter},
        {c.SteadyVelocity, d.SteadyVelocity},
        {c.ReachLength, d.ReachLength},
        {c.TimeStep, d.TimeStep},
        {c.WaveCoefficient, d.WaveCoefficient},
        {c.VelocityFrictionTerm, d.VelocityFrictionTerm},
        {c.HeadFrictionTerm, d.HeadFrictionTerm},
        {c.ReachHeadLoss, d.ReachHeadLoss},
    };
    for (const auto& [mine, its] : pairs) EXPECT_EQ(std::memcmp(&mine, &its, sizeof(float)), 0);
  }
}

TEST(DefaultRun, ForebayPeakAndFlowReversal) {
  SurgeRun run;
  Calculate(DefaultInputTexts(), run);
  const int forebay = 6;
  int peak = 1;
  for (int step = 2; step <= 1500; ++step)
    if (run.Head(forebay, step) > run.Head(forebay, peak)) peak = step;
  EXPECT_EQ(peak, 1065);
  EXPECT_EQ(Digits("%.3f", run.Head(forebay, peak)), "-2.531");
  EXPECT_EQ(Digits("%.2f", run.StepTime(peak)), "126.97");
  for (int step = 2; step <= 1065; ++step)
    ASSERT_GT(run.Head(forebay, step), run.Head(forebay, step - 1)) << step;
  EXPECT_LT(run.Head(forebay, 1066), run.Head(forebay, 1065));
  for (int step = 1; step <= 1064; ++step) ASSERT_GT(run.Velocity(forebay, step), 0) << step;
  for (int step = 1065; step <= 1100; ++step) ASSERT_LT(run.Velocity(forebay, step), 0) << step;
  // The reservoir holds its level; the unwritten last column stays zero.
  for (int step = 2; step <= 1500; ++step) ASSERT_EQ(run.Head(1, step), -4.34f);
  for (int node = 1; node <= 6; ++node) {
    EXPECT_EQ(run.Head(node, 1501), 0.0f);
    EXPECT_EQ(run.Velocity(node, 1501), 0.0f);
  }
}

TEST(March, PumpsKeepingTheSteadyDischarge) {
  SurgeRun run;
  Calculate(TextsWith({{InputId::FinalPumpDischarge, "41.6"}}), run);
  EXPECT_EQ(run.Head(6, 2), run.Head(6, 1));
  EXPECT_NEAR(run.Velocity(6, 1500), 2.411, 0.0005);
  EXPECT_NEAR(run.Head(6, 1500), -4.754, 0.0005);
  EXPECT_GT(run.Velocity(6, 1500), run.Velocity(6, 1));
}

TEST(March, ShortRuns) {
  for (const char* steps : {"1", "2"}) {
    SurgeRun run;
    Calculate(TextsWith({{InputId::StepCount, steps}}), run);
    const int n = std::stoi(steps);
    EXPECT_EQ(run.TimeSteps(), n);
    EXPECT_EQ(run.GridSteps(), n + 1);
    EXPECT_EQ(run.StepTime(1), 0.0f);
    for (int node = 1; node <= 6; ++node) {
      EXPECT_EQ(run.Head(node, n + 1), 0.0f);
      EXPECT_EQ(run.Velocity(node, n + 1), 0.0f);
      if (n == 2) {
        EXPECT_NE(run.Velocity(node, 2), 0.0f);
      }
    }
  }
}

TEST(March, ObserverIsToldOfEveryFinishedStepOnce) {
  // (reaches, steps): one step, one march step, a block and one more, a long
  // run whose last reaches are verified in full, many reaches.
  const std::pair<const char*, const char*> runs[] = {
      {"5", "1"}, {"5", "2"}, {"5", "66"}, {"5", "1500"}, {"300", "700"}};
  for (const auto& [reaches, steps] : runs) {
    SurgeRun plain;
    Calculate(TextsWith({{InputId::SegmentCount, reaches}, {InputId::StepCount, steps}}), plain);

    SurgeRun run;
    std::vector<std::pair<int, int>> blocks;
    std::vector<float> seen;  // the values of each step when it is reported
    CalculateOptions options;
    options.observer = [&](int first, int last) {
      blocks.emplace_back(first, last);
      for (int step = first; step <= last; ++step) {
        for (float h : run.HeadsAt(step)) seen.push_back(h);
        for (float v : run.VelocitiesAt(step)) seen.push_back(v);
      }
    };
    Calculate(TextsWith({{InputId::SegmentCount, reaches}, {InputId::StepCount, steps}}), run,
              options);

    int next = 1;
    for (const auto& [first, last] : blocks) {
      ASSERT_EQ(first, next) << reaches << " reaches, " << steps << " steps";
      ASSERT_LE(first, last);
      next = last + 1;
    }
    EXPECT_EQ(next, plain.StepCount() + 1);
    std::vector<float> expected;
    for (int step = 1; step <= plain.StepCount(); ++step) {
      for (float h : plain.HeadsAt(step)) expected.push_back(h);
      for (float v : plain.VelocitiesAt(step)) expected.push_back(v);
    }
    ASSERT_EQ(seen.size(), expected.size());
    EXPECT_EQ(std::memcmp(seen.data(), expected.data(), seen.size() * sizeof(float)), 0);
  }
}

TEST(March, FlatFrictionlessWater) {
  // Still water with no slope and no friction stays as it is.
  SurgeRun still;
  Calculate(TextsWith({{InputId::SteadyDischarge, "0"},
                       {InputId::IntakeHeadLoss, "0"},
                       {InputId::FrictionFactor, "0"},
                       {InputId::CulvertSlope, "0"}}),
            still);
  for (int step = 1; step <= 1500; ++step) {
    for (int node = 1; node <= 6; ++node) {
      ASSERT_EQ(still.Head(node, step), -4.34f) << node << "," << step;
      ASSERT_EQ(still.Velocity(node, step), 0.0f) << node << "," << step;
    }
  }
  // Without friction nodes 2, 3 and 4 share one steady head: node 3 sits
  // between equal neighbours and keeps their state at step 2.
  SurgeRun moving;
  Calculate(TextsWith({{InputId::FrictionFactor, "0"}, {InputId::CulvertSlope, "0"}}), moving);
  ASSERT_EQ(moving.Head(2, 1), moving.Head(4, 1));
  EXPECT_EQ(moving.Head(3, 2), moving.Head(2, 1));
  EXPECT_EQ(moving.Velocity(3, 2), moving.Velocity(2, 1));
}

TEST(March, ZeroForebayAreaStopsAtTheFirstStep) {
  SurgeRun run;
  try {
    Calculate(TextsWith({{InputId::ForebayArea, "0"}}), run);
    ADD_FAILURE();
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), 11);
    EXPECT_EQ(e.location().stage, Stage::March);
    EXPECT_EQ(e.location().step, 2);
    EXPECT_EQ(e.location().node, 6);
    EXPECT_EQ(e.location().quantity, Quantity::Head);
  }
  // Everything of step 2 before the forebay was written.
  EXPECT_NE(run.StepTime(2), 0.0f);
  EXPECT_EQ(run.Head(1, 2), -4.34f);
  EXPECT_NE(run.Velocity(1, 2), 0.0f);
  EXPECT_EQ(run.Head(6, 2), 0.0f);
}

// Overflows whose first step and node follow from the formulas:
// - slope 1e300: at step 2 all velocities are equal, so the velocity of
//   node 2 is finite, but its slope term (V+V)*J*dt ~ 5.5e299 takes the head
//   beyond the single range;
// - forebay area 1e-30: the forebay rises ~5e30 m at step 2 and its velocity
//   becomes ~-5e28 m/s, finite; at step 3 node 5 squares that velocity;
// - slope 1e308 with a 1193 s time step: dt*J overflows the double at the
//   first slope term, the velocity of node 2 at step 2.
TEST(March, OverflowAtTheStepAndNodeWhereItHappens) {
  struct Row {
    test::BoxTexts boxes;
    Quantity what;
    int step, node;  // the failing value, left zero, and its node before
  };
  const Row rows[] = {
      {{{InputId::CulvertSlope, "1e300"}}, Quantity::Head, 2, 2},
      {{{InputId::ForebayArea, "1e-30"}}, Quantity::Velocity, 3, 5},
      {{{InputId::CulvertSlope, "1e308"}, {InputId::CulvertLength, "5966620"}},
       Quantity::Velocity,
       2,
       2},
  };
  for (const Row& row : rows) {
    SurgeRun run;
    try {
      Calculate(TextsWith(row.boxes), run);
      ADD_FAILURE() << row.step << " " << row.node;
      continue;
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), 6);
      const ErrorLocation& at = e.location();
      EXPECT_EQ(at.stage, Stage::March);
      EXPECT_EQ(at.quantity, row.what);
      EXPECT_EQ(at.step, row.step);
      EXPECT_EQ(at.node, row.node);
      // The step's time: (step - 1) time steps.
      ASSERT_TRUE(at.time.has_value());
      EXPECT_EQ(*at.time, run.StepTime(row.step));
    }
    // Nothing is rolled back: earlier steps stay, the failing step holds
    // what was computed before the fault and zeros after it.
    for (int step = 1; step < row.step; ++step)
      for (int node = 1; node <= 6; ++node) ASSERT_TRUE(std::isfinite(run.Head(node, step)));
    EXPECT_NE(run.StepTime(row.step), 0.0f);
    if (row.node > 2) {
      EXPECT_NE(run.Velocity(row.node - 1, row.step), 0.0f);
    }
    const bool headFault = row.what == Quantity::Head;
    EXPECT_EQ(run.Velocity(row.node, row.step) != 0.0f, headFault);
    EXPECT_EQ(run.Head(row.node, row.step), 0.0f);
    EXPECT_EQ(run.Velocity(1, row.step), 0.0f);
    EXPECT_EQ(run.Head(6, row.step), 0.0f);
  }
}

using test::SameBits;

// The fast road against the fully checked march, on random step-1 states for
// 1 to 60 reaches: the same bits, and the same first fault when a value too
// large to square is planted at a random node (a fault in the middle reaches
// a boundary only steps later; one near the last step never does). A
// vectorised loop also has a main part and a remainder whose code differs
// with the row length; an optimiser that drops a rounding to single in either
// shows here.
TEST(March, VerifiedStepsMatchCheckedForEveryRowLength) {
  const RunOutcome outcome = [] {
    SurgeRun run;
    return Calculate(DefaultInputTexts(), run);
  }();
  test::ForEachRandomStart(20261208, [&](const SurgeRun& start, int reaches, bool planted) {
    SurgeRun runs[2] = {start, start};
    std::string where[2];
    const MarchChecking checking[2] = {MarchChecking::VerifyEachStep,
                                       MarchChecking::EveryOperation};
    for (int k = 0; k < 2; ++k) {
      try {
        MarchTransient(outcome.parameters, outcome.coefficients, runs[k], checking[k]);
      } catch (const RunError& e) {
        where[k] = std::to_string(e.number()) + " " + e.where();
      }
    }
    EXPECT_EQ(where[0], where[1]) << reaches << " reaches";
    EXPECT_EQ(where[1].empty(), !planted) << reaches << " reaches: " << where[1];
    EXPECT_TRUE(SameBits(runs[0], runs[1])) << reaches << " reaches";
  });
}

// A run that fails inside the march reports the same first fault, and leaves
// the same grids, whether each step is verified once or every operation is
// checked.
TEST(March, VerifiedStepsReportTheSameFirstFault) {
  for (const test::BoxTexts& boxes : test::FaultingMarchInputs()) {
    SurgeRun runs[2];
    std::string where[2];
    int number[2] = {0, 0};
    const MarchChecking checking[2] = {MarchChecking::VerifyEachStep,
                                       MarchChecking::EveryOperation};
    for (int k = 0; k < 2; ++k) {
      try {
        CalculateOptions options;
        options.checking = checking[k];
        Calculate(TextsWith(boxes), runs[k], options);
        ADD_FAILURE() << "no fault";
      } catch (const RunError& e) {
        where[k] = e.where();
        number[k] = e.number();
      }
    }
    EXPECT_TRUE(where[0].starts_with("瞬变计算第 ")) << where[0];
    EXPECT_EQ(where[0], where[1]);
    EXPECT_EQ(number[0], number[1]);
    EXPECT_TRUE(SameBits(runs[0], runs[1])) << where[0];
  }
}

}  // namespace
}  // namespace kelvane
