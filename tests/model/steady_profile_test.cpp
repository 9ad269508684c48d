// The steady state for any number of reaches and any culvert area: the head
// profile worked out here one rounding at a time, the forebay end that does
// not depend on the grid, and the culvert delivering the pump flow.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/model.h"
#include "support/texts.h"

namespace kelvane {
namespace {

using test::TextsWith;

float s(double x) { return static_cast<float>(x); }

// Units in the last place between two singles of the same sign.
std::int64_t Ulps(float x, float y) {
  return std::abs(static_cast<std::int64_t>(std::bit_cast<std::int32_t>(x)) -
                  std::bit_cast<std::int32_t>(y));
}

// The profile of n reaches from the run's own coefficients, written out per
// node: node 2 with the intake and entrance losses, one reach of friction per
// node, local loss B at node n, the outlet losses at node n+1.
std::vector<float> ExpectedProfile(const RunParameters& p, const SolverCoefficients& c, int n) {
  const double vv = static_cast<double>(c.SteadyVelocity) * c.SteadyVelocity;
  const double hf = c.ReachHeadLoss;
  const double g = 9.8f, g2 = 19.6f, D = c.HydraulicDiameter;
  const double lossB = 0.0304 * vv / g2;
  const double outlet = vv * 0.58 / g2, lossA = 0.1825 * vv / g2;
  const double e2 = static_cast<double>(p.ReservoirLevel) - p.IntakeHeadLoss +
                    vv * (static_cast<double>(p.FrictionFactor) * 31.0) / ((D + D) * g) - hf;
  std::vector<float> h = {p.ReservoirLevel, s(e2 - 0.5 * 0.1825 * vv / g2)};
  if (n == 1) {
    const float b = s(h[1] - lossB);
    h[1] = s(static_cast<double>(b) - outlet - lossA);
    return h;
  }
  if (n == 2) h[1] = s(h[1] - lossB);
  for (int node = 3; node <= n; ++node) {
    float next = s(h.back() - hf);
    if (node == n) next = s(next - lossB);
    h.push_back(next);
  }
  h.push_back(s(h.back() - hf - outlet - lossA));
  return h;
}

TEST(SteadyProfile, AnyNumberOfReaches) {
  SurgeRun five;
  Calculate(DefaultInputTexts(), five);
  const float forebay5 = five.Head(6, 1);
  for (const int n : {1, 2, 3, 4, 5, 7, 20, 300}) {
    SCOPED_TRACE(std::to_string(n) + " reaches");
    SurgeRun run;
    const RunOutcome o = Calculate(TextsWith({{InputId::SegmentCount, std::to_string(n)}}), run);
    const std::vector<float> expected = ExpectedProfile(o.parameters, o.coefficients, n);
    ASSERT_EQ(run.GridNodes(), n + 1);
    for (int node = 1; node <= n + 1; ++node) {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(run.Head(node, 1)),
                std::bit_cast<std::uint32_t>(expected[node - 1]))
          << "node " << node << ": " << run.Head(node, 1) << ", expected " << expected[node - 1];
      EXPECT_EQ(run.Velocity(node, 1), o.coefficients.SteadyVelocity) << node;
    }
    // Every node loses head on the way to the forebay.
    for (int node = 2; node <= n + 1; ++node) EXPECT_LT(run.Head(node, 1), run.Head(node - 1, 1));
    // The total friction is n reaches of 1/n of the culvert whatever the
    // grid; only the roundings to single differ, each of the n heads by at
    // most half a unit in the last place.
    EXPECT_LE(Ulps(run.Head(n + 1, 1), forebay5), n / 2 + 2) << run.Head(n + 1, 1);
  }
}

// Seven reaches used to start the march with nodes 7 and 8 at 0 m: a 5 m step
// at the forebay that drove a transient of its own. With the pumps keeping the
// steady discharge, the first steps now barely move the forebay.
TEST(SteadyProfile, SevenReachesStartFromTheSteadyForebayLevel) {
  SurgeRun five, seven;
  Calculate(TextsWith({{InputId::FinalPumpDischarge, "41.6"}}), five);
  Calculate(TextsWith({{InputId::FinalPumpDischarge, "41.6"}, {InputId::SegmentCount, "7"}}),
            seven);
  for (int step = 1; step <= 50; ++step)
    ASSERT_NEAR(seven.Head(8, step), five.Head(6, 1), 0.01) << step;
}

TEST(SteadyVelocity, FromTheCulvertArea) {
  // The culvert carries the steady pump discharge into the forebay: with the
  // pumps unchanged the forebay holds its level at the first march step for
  // any culvert area (18 m² is the default).
  for (const char* area : {"9", "18", "36", "20.5"}) {
    SurgeRun run;
    const RunOutcome o = Calculate(
        TextsWith({{InputId::CulvertArea, area}, {InputId::FinalPumpDischarge, "41.6"}}), run);
    EXPECT_EQ(o.coefficients.SteadyVelocity, s(41.6 / std::stod(area))) << area;
    EXPECT_EQ(run.Head(6, 2), run.Head(6, 1)) << area;
  }
  // A culvert area of 0 fails where the velocity is formed, before any grid.
  struct Row {
    const char* discharge;
    int number;
  };
  for (const Row row : {Row{"41.6", 11}, Row{"0", 6}}) {
    SurgeRun run;
    try {
      Calculate(TextsWith({{InputId::CulvertArea, "0"}, {InputId::SteadyDischarge, row.discharge}}),
                run);
      ADD_FAILURE() << row.discharge;
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), row.number);
      EXPECT_EQ(e.location().stage, Stage::Coefficients);
      EXPECT_EQ(e.location().term, Term::SteadyVelocity);
      EXPECT_EQ(e.location().input, InputId::CulvertArea);
    }
    EXPECT_FALSE(run.HasGrids());
  }
}

}  // namespace
}  // namespace kelvane
