#include "charts/event_chart.h"

#include <cmath>

namespace kelvane {

namespace {

constexpr int kRampIntervals = 100;
constexpr double kLeadIn = 20;  // the lead-in is this part of the time shown

ChartData Titled(const char* title, const char* xTitle, const char* yTitle) {
  ChartData chart;
  chart.title = title;
  chart.xTitle = xTitle;
  chart.yTitle = yTitle;
  return chart;
}

void Add(ChartLine& line, double x, double y) {
  line.x.push_back(x);
  line.y.push_back(y);
}

}  // namespace

ChartData PumpDischargeChart(const PumpEvent& event, double steady, float final, double until) {
  ChartData chart = Titled("泵流量过程", "时间 (s)", "流量 (m³/s)");
  ChartLine line;
  line.name = "泵流量 Q(t)";
  const PumpDischarge law(event, steady, final);
  const std::span<const PumpPoint> schedule = law.Schedule();
  double end = 0;
  if (!schedule.empty()) {
    Add(line, 0, steady);
    if (schedule.front().time > 0) Add(line, schedule.front().time, steady);
    for (const PumpPoint& p : schedule) Add(line, p.time, p.discharge);
    end = schedule.back().time;
  } else if (law.Sudden()) {
    Add(line, 0, steady);
    Add(line, 0, final);
  } else {
    for (int k = 0; k <= kRampIntervals; ++k) {
      const double t = event.rampTime * k / kRampIntervals;
      Add(line, t, law.At(t));
    }
    // The ramp's end is Q1 exactly; At(Tc) is already that.
    end = event.rampTime;
  }
  if (std::isfinite(until) && until > end) end = until;
  if (end > line.x.back()) Add(line, end, line.y.back());
  // The steady discharge a little before time 0, so that a change at time 0
  // stands clear of the axis.
  line.x.insert(line.x.begin(), -end / kLeadIn);
  line.y.insert(line.y.begin(), steady);
  chart.lines.push_back(std::move(line));
  return chart;
}

ChartData ForebayAreaChart(std::span<const ForebayPoint> table,
                           std::optional<double> stabilityLimit) {
  ChartData chart = Titled("前池水位–面积", "水位 (m)", "面积 (m²)");
  ChartLine line;
  line.name = "水位–面积表";
  line.markers = true;
  for (const ForebayPoint& p : table) Add(line, p.level, p.area);
  chart.lines.push_back(std::move(line));
  if (stabilityLimit && std::isfinite(*stabilityLimit))
    chart.limits.push_back({"前池面积稳定下限", *stabilityLimit});
  if (table.empty()) chart.note = "表中没有数据：前池面积取输入框的常数";
  return chart;
}

}  // namespace kelvane
