// The previews of the pump event and the forebay table: the curve a run
// would use, jumps as two points at one time, nothing lost at the ends.
#include "charts/event_chart.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kelvane {
namespace {

TEST(PumpDischargeChart, DrawsTheLawTheRunUses) {
  struct Case {
    const char* what;
    PumpEvent event;
    double until;
    std::vector<double> x, y;
  };
  PumpEvent jump;
  jump.schedule = {{10, 20}, {10, 5}, {30, 5}};
  PumpEvent atZero;
  atZero.schedule = {{0, 30}};
  PumpEvent units;
  units.units = UnitSequence{2, -20.8, 0, 30, 10};
  const Case cases[] = {
      {"sudden change", PumpEvent{}, 100, {-5, 0, 0, 100}, {41.6, 41.6, 0, 0}},
      {"schedule past the run", jump, 20, {-1.5, 0, 10, 10, 10, 30}, {41.6, 41.6, 41.6, 20, 5, 5}},
      {"schedule from time 0", atZero, 10, {-0.5, 0, 0, 10}, {41.6, 41.6, 30, 30}},
      {"unit sequence",
       units,
       60,
       {-3, 0, 0, 10, 30, 40, 60},
       {41.6, 41.6, 41.6, 20.8, 20.8, 0, 0}},
  };
  for (const Case& c : cases) {
    const ChartData chart = PumpDischargeChart(c.event, 41.6, 0.0f, c.until);
    ASSERT_EQ(chart.lines.size(), 1u) << c.what;
    EXPECT_EQ(chart.lines[0].x, c.x) << c.what;
    EXPECT_EQ(chart.lines[0].y, c.y) << c.what;
  }
}

TEST(PumpDischargeChart, RampRunsFromSteadyToFinal) {
  PumpEvent ramp;
  ramp.rampTime = 50;
  ramp.rampExponent = 2;
  const ChartLine line = PumpDischargeChart(ramp, 40, 10.0f, 80).lines[0];
  ASSERT_EQ(line.x.size(), 103u);
  EXPECT_EQ(line.x.front(), -4);  // the lead-in: a twentieth of 80 s
  EXPECT_EQ(line.y[1], 40);
  EXPECT_DOUBLE_EQ(line.y[51], 10 + 30 * 0.25);  // half way: (1/2)^2
  EXPECT_EQ(line.x[101], 50);
  EXPECT_EQ(line.y[101], 10);
  EXPECT_EQ(line.x.back(), 80);
  EXPECT_EQ(line.y.back(), 10);
  // A ramp longer than the run is drawn whole.
  EXPECT_EQ(PumpDischargeChart(ramp, 40, 10.0f, 20).lines[0].x.back(), 50);
}

TEST(ForebayAreaChart, PointsAndLimit) {
  const std::vector<ForebayPoint> table = {{-10, 450}, {0, 2700}};
  const ChartData chart = ForebayAreaChart(table, 320.5);
  EXPECT_EQ(chart.lines[0].x, (std::vector<double>{-10, 0}));
  EXPECT_EQ(chart.lines[0].y, (std::vector<double>{450, 2700}));
  ASSERT_EQ(chart.limits.size(), 1u);
  EXPECT_EQ(chart.limits[0].value, 320.5);
  EXPECT_TRUE(chart.note.empty());

  const ChartData empty = ForebayAreaChart({}, std::nullopt);
  EXPECT_TRUE(empty.lines[0].x.empty());
  EXPECT_TRUE(empty.limits.empty());
  EXPECT_FALSE(empty.note.empty());
}

}  // namespace
}  // namespace kelvane
