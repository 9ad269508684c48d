#include "study/sweep_chart_points.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {
namespace {

// The curve's points by x, ascending; points of equal x keep their order.
SweepCurve SortedByX(const SweepCurve& curve) {
  std::vector<std::size_t> order(curve.x.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return curve.x[a] < curve.x[b]; });
  SweepCurve sorted;
  sorted.label = curve.label;
  for (std::size_t i : order) {
    sorted.x.push_back(curve.x[i]);
    sorted.highest.push_back(curve.highest[i]);
    sorted.lowest.push_back(curve.lowest[i]);
  }
  return sorted;
}

}  // namespace

void SweepChartPoints::Add(const CaseResult& result) {
  const std::optional<ForebayExtremesPoint> point = ChartPoint(result);
  if (!point) return;
  auto [at, fresh] = points_.try_emplace({point->secondValue, point->firstValue},
                                         Extremes{point->highest, point->lowest});
  if (!fresh) {
    at->second.highest = std::max(at->second.highest, point->highest);
    at->second.lowest = std::min(at->second.lowest, point->lowest);
  }
}

ChartData SweepChartPoints::Chart(const StudyPlan& plan, const StudyLimits& limits,
                                  const std::string& event) const {
  SweepChartInput input;
  const StudyItem& first = plan.Columns()[0];
  input.xTitle = first.Caption();
  if (*first.Unit()) input.xTitle += std::string(" (") + first.Unit() + ")";
  std::map<std::uint32_t, SweepCurve> curves;
  for (const auto& [key, extremes] : points_) {
    SweepCurve& curve = curves[key.first];
    if (curve.x.empty() && plan.Columns().size() > 1) {
      // The legend names the value; the title names the option.
      const StudyItem& second = plan.Columns()[1];
      curve.label = plan.ValueText(1, key.first);
      if (*second.Unit()) curve.label += std::string(" ") + second.Unit();
      input.title = std::string("前池最高与最低水位（各线为") + second.Caption() + "的取值）";
    }
    curve.x.push_back(ReadLeadingNumber(plan.ValueText(0, key.second)));
    curve.highest.push_back(extremes.highest);
    curve.lowest.push_back(extremes.lowest);
  }
  for (const auto& [value, curve] : curves) input.curves.push_back(SortedByX(curve));
  if (!event.empty()) {
    constexpr std::string_view kClose = "）";
    input.title = input.title.empty() ? "前池最高与最低水位（" + event + "）"
                                      : input.title.substr(0, input.title.size() - kClose.size()) +
                                            "；" + event + std::string(kClose);
  }
  if (limits.forebayMaxLevel) {
    input.limits.push_back({"前池最高水位限值", *limits.forebayMaxLevel});
  }
  if (limits.forebayMinLevel) {
    input.limits.push_back({"前池最低水位限值", *limits.forebayMinLevel});
  }
  return SweepChart(input);
}

}  // namespace kelvane
