// The balanced march: the steady profile stays steady, the losses reverse
// with the flow, and a pump stop follows the rigid column with the same
// total loss.
#include "model/balanced_march.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "model/model.h"
#include "model/rigid_column.h"
#include "support/texts.h"
#include "texts/event_texts.h"

namespace kelvane {
namespace {

using test::BoxTexts;
using test::CalculateRun;
using test::TextsWith;

ModelExtras Balanced(double rampTime = 0) {
  ModelExtras extras;
  extras.model = MarchModel::Balanced;
  extras.pump.rampTime = rampTime;
  return extras;
}

// The largest departure of any head and any velocity from step 1.
struct Departure {
  double head = 0;      // m
  double velocity = 0;  // m/s
};

Departure DepartureFromStart(const SurgeRun& run) {
  Departure d;
  for (int step = 2; step <= run.StepCount(); ++step) {
    for (int node = 1; node <= run.GridNodes(); ++node) {
      d.head = std::max(d.head, std::fabs(double{run.Head(node, step)} - run.Head(node, 1)));
      d.velocity =
          std::max(d.velocity, std::fabs(double{run.Velocity(node, step)} - run.Velocity(node, 1)));
    }
  }
  return d;
}

TEST(BalancedMarch, NoPumpChangeStaysAtTheSteadyProfileOnRandomInputs) {
  std::mt19937 random(29);
  auto pick = [&](double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
  };
  for (int k = 0; k < 12; ++k) {
    const double discharge = pick(5, 80);
    const BoxTexts boxes = {
        {InputId::SteadyDischarge, std::to_string(discharge)},
        {InputId::FinalPumpDischarge, std::to_string(discharge)},
        {InputId::IntakeHeadLoss, std::to_string(pick(0, 0.6))},
        {InputId::SegmentCount, std::to_string(1 + k % 9)},
        {InputId::StepCount, "30000"},
        {InputId::FrictionFactor, std::to_string(pick(0.005, 0.04))},
        {InputId::CulvertSlope, std::to_string(pick(-0.01, 0.01))},
        {InputId::HydraulicRadius, std::to_string(pick(0.5, 1.5))},
        {InputId::CulvertArea, std::to_string(pick(10, 40))},
        {InputId::ForebayArea, std::to_string(pick(300, 3000))},
        {InputId::WaveSpeed, std::to_string(pick(600, 1400))},
    };
    const test::CompletedRun done = CalculateRun(TextsWith(boxes), Balanced());
    const Departure d = DepartureFromStart(done.run);
    SCOPED_TRACE("case " + std::to_string(k));
    EXPECT_LE(d.head, 1e-4);
    EXPECT_LE(d.velocity, 1e-5);
  }
}

TEST(BalancedMarch, SteadyProfile) {
  struct Row {
    const char* what;
    BoxTexts boxes;
    double intakeShare;  // of the intake loss in node 2's drop, against classic
  };
  const Row rows[] = {
      {"steady discharge is the design discharge", {}, 1},
      {"the pumps start to twice the discharge", {{InputId::FinalPumpDischarge, "83.2"}}, 0.25},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const InputTexts texts = TextsWith(row.boxes);
    const test::CompletedRun classic = CalculateRun(texts);
    const test::CompletedRun balanced = CalculateRun(texts, Balanced());
    const double intake = classic.outcome.parameters.IntakeHeadLoss;
    EXPECT_NEAR(balanced.run.Head(2, 1) - classic.run.Head(2, 1), intake * (1 - row.intakeShare),
                1e-6);
    for (int node = 3; node <= classic.run.GridNodes(); ++node)
      EXPECT_NEAR(balanced.run.Head(node, 1) - balanced.run.Head(node - 1, 1),
                  classic.run.Head(node, 1) - classic.run.Head(node - 1, 1), 1e-6);
  }
  // No steady flow: a level profile at the reservoir, which the march keeps
  // while the pumps stay off.
  const test::CompletedRun rest = CalculateRun(
      TextsWith({{InputId::SteadyDischarge, "0"}, {InputId::FinalPumpDischarge, "0"}}), Balanced());
  for (int node = 1; node <= rest.run.GridNodes(); ++node)
    EXPECT_EQ(rest.run.Head(node, 1), -4.34f) << node;
  EXPECT_EQ(DepartureFromStart(rest.run).head, 0);
}

// The highest forebay level of a run and the time it is reached.
struct Peak {
  double level = 0;  // m
  double time = 0;   // s
};

Peak ForebayPeak(const SurgeRun& run) {
  Peak peak{-1e30, 0};
  for (int step = 1; step <= run.StepCount(); ++step) {
    if (run.Head(run.GridNodes(), step) > peak.level)
      peak = {run.Head(run.GridNodes(), step), run.StepTime(step)};
  }
  return peak;
}

TEST(BalancedMarch, RampsFollowTheRigidColumnAndTheUpsurgeFallsAsTheRampLengthens) {
  const InputTexts texts = TextsWith({{InputId::StepCount, "6000"}, {InputId::CulvertSlope, "0"}});
  double previous = 1e30;
  for (double ramp : {0.0, 10.0, 30.0, 60.0, 100.0, 300.0}) {
    SCOPED_TRACE("ramp " + std::to_string(ramp));
    const test::CompletedRun done = CalculateRun(texts, Balanced(ramp));
    const Peak peak = ForebayPeak(done.run);
    const std::optional<OscillationForecast> rigid =
        ForecastOscillation(done.outcome.parameters, Balanced(ramp), done.run);
    ASSERT_TRUE(rigid && rigid->firstHighestLevel);
    const double rise = peak.level - done.run.Head(done.run.GridNodes(), 1);
    if (ramp < 300) {
      // The first high after the ramp is the run's highest level.
      EXPECT_NEAR(peak.level, *rigid->firstHighestLevel, 0.01 * rise);
      EXPECT_NEAR(peak.time, *rigid->firstHighestTime, 0.01 * *rigid->firstHighestTime);
    }
    if (ramp <= 100) {
      EXPECT_LT(peak.level, previous);
    }
    previous = peak.level;
  }
}

TEST(BalancedMarch, LossesReverseWithTheFlow) {
  // The pumps stop: the flow into the forebay reverses, and the balanced
  // march, whose losses oppose the flow both ways, damps the oscillation
  // more than friction alone.
  const InputTexts texts = TextsWith({{InputId::StepCount, "8000"}});
  const test::CompletedRun classic = CalculateRun(texts);
  const test::CompletedRun balanced = CalculateRun(texts, Balanced());
  auto secondPeak = [](const SurgeRun& run) {
    float low = 1e30f, high = -1e30f;
    for (int step = 1800; step <= run.StepCount(); ++step) {
      low = std::min(low, run.Head(run.GridNodes(), step));
      high = std::max(high, run.Head(run.GridNodes(), step));
    }
    return high - low;
  };
  EXPECT_LT(secondPeak(balanced.run), secondPeak(classic.run));
  EXPECT_GT(secondPeak(balanced.run), 0.1);
}

TEST(MarchModelName, NamesReadBack) {
  for (MarchModel model : {MarchModel::Classic, MarchModel::Balanced}) {
    EventTexts texts;
    SetEventText(texts, EventField::Model, MarchModelName(model));
    EXPECT_EQ(ReadModelExtras(texts).model, model);
  }
}

}  // namespace
}  // namespace kelvane
