// The chart of the pump discharge and the culvert's flow into the forebay:
// the pump's line is the mean the storage balance used over each step, the
// culvert's the last node's discharge; the titles name the event in force
// and stay as they were without one.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "charts/chart_data.h"
#include "support/texts.h"
#include "texts/event_texts.h"

namespace kelvane {
namespace {

ModelExtras Extras(const char* rampTime, const char* schedule) {
  EventTexts texts;
  if (*rampTime) texts.rampTime = rampTime;
  if (*schedule) texts.schedule = SplitPairsText(schedule);
  return ReadModelExtras(texts);
}

// The pump line at a few steps against the mean of the curve worked out by
// hand: a linear ramp's mean over a step is its value at the step's middle;
// a jump inside a step weighs the two values by the time on either side.
TEST(DischargeChart, PumpLineIsTheMeanOfTheCurveOverEachStep) {
  struct Row {
    const char* name;
    const char* rampTime;
    const char* schedule;
    double (*mean)(double t0, double t1);  // m³/s over [t0, t1]
  };
  const Row rows[] = {
      {"sudden change", "", "", [](double, double) { return double(0.0f); }},
      {"linear ramp 30 s", "30", "",
       [](double t0, double t1) {
         const auto q = [](double t) { return t < 30 ? 41.6 * (1 - t / 30) : 0.0; };
         return t1 <= 30 ? q((t0 + t1) / 2) : t0 >= 30 ? 0.0 : q(t0) / 2 * (30 - t0) / (t1 - t0);
       }},
      {"jump at 5 s", "", "0:41.6,5:41.6,5:20",
       [](double t0, double t1) {
         return t1 <= 5 ? 41.6 : t0 >= 5 ? 20.0 : (41.6 * (5 - t0) + 20 * (t1 - 5)) / (t1 - t0);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const test::CompletedRun c =
        test::CalculateRun(DefaultInputTexts(), Extras(row.rampTime, row.schedule));
    const ChartData chart = PumpDischargeChart(c.run, GeometryOf(c.outcome));
    ASSERT_EQ(chart.lines.size(), 2u);
    const ChartLine& pump = chart.lines[0];
    const double dt = c.outcome.coefficients.TimeStep;
    ASSERT_EQ(pump.y.size(), std::size_t(c.run.StepCount()));
    EXPECT_EQ(pump.y[0], 41.6);  // step 1, the steady state
    for (int step : {2, 3, 5, 8, 13, 21, 40, int(c.run.StepCount())}) {
      const double expected = row.mean((step - 2) * dt, (step - 1) * dt);
      EXPECT_NEAR(pump.y[step - 1], expected, 1e-9 * 41.6) << "step " << step;
    }
    const RunGeometry geometry = GeometryOf(c.outcome);
    EXPECT_EQ(chart.lines[1].y,
              NodeHistory(c.run, geometry, c.run.GridNodes(), ChartQuantity::Discharge));
    EXPECT_EQ(chart.lines[1].x, pump.x);
  }
}

TEST(DischargeChart, TitlesNameTheEventOnlyWhenOneIsGiven) {
  const test::CompletedRun boxes = test::CalculateRun(DefaultInputTexts());
  const RunGeometry plain = GeometryOf(boxes.outcome);
  const int forebay[] = {boxes.run.GridNodes()};
  EXPECT_EQ(HistoryChart(boxes.run, plain, forebay, ChartQuantity::Head).title, "前池水位过程线");
  EXPECT_EQ(PumpDischargeChart(boxes.run, plain).title, "泵流量与箱涵入前池流量");

  const test::CompletedRun ramp = test::CalculateRun(DefaultInputTexts(), Extras("30", ""));
  EXPECT_EQ(HistoryChart(ramp.run, GeometryOf(ramp.outcome), forebay, ChartQuantity::Head).title,
            "前池水位过程线（泵流量：线性变化 30 s）");
  EXPECT_EQ(PumpDischargeChart(ramp.run, GeometryOf(ramp.outcome)).title,
            "泵流量与箱涵入前池流量（泵流量：线性变化 30 s）");
}

}  // namespace
}  // namespace kelvane
