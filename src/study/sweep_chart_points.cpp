#include "study/sweep_chart_points.h"

#include <algorithm>
#include <cmath>
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

SweepChartPoints::SweepChartPoints(const StudyPlan& plan)
    : firstValues_(plan.Columns().empty() ? 0 : plan.ValueCount(0)),
      envelope_(plan.Columns().size() > 1 && plan.ValueCount(1) > kMaxCurves),
      curves_(envelope_ || plan.Columns().size() < 2 ? 1 : plan.ValueCount(1)) {}

void SweepChartPoints::Add(const CaseResult& result) {
  const std::optional<ForebayExtremesPoint> point = ChartPoint(result);
  if (!point) return;
  std::vector<Extremes>& curve = curves_[envelope_ ? 0 : point->secondValue];
  if (curve.empty()) curve.resize(firstValues_);
  Extremes& at = curve[point->firstValue];
  if (!at.seen) {
    at = {point->highest, point->lowest, true};
  } else {
    at.highest = std::max(at.highest, point->highest);
    at.lowest = std::min(at.lowest, point->lowest);
  }
  at.undecided = at.undecided || !point->decided;
}

ChartData SweepChartPoints::Chart(const StudyPlan& plan, const StudyLimits& limits,
                                  const std::string& event) const {
  SweepChartInput input;
  const StudyItem& first = plan.Columns()[0];
  input.xTitle = first.Caption();
  if (*first.Unit()) input.xTitle += std::string(" (") + first.Unit() + ")";
  std::vector<double> xs(firstValues_);
  for (std::size_t v = 0; v < firstValues_; ++v) {
    xs[v] = ReadLeadingNumber(plan.ValueText(0, static_cast<std::uint32_t>(v)));
  }
  for (std::size_t c = 0; c < curves_.size(); ++c) {
    if (curves_[c].empty()) continue;
    SweepCurve curve;
    if (plan.Columns().size() > 1) {
      // The legend names the value; the title names the option.
      const StudyItem& second = plan.Columns()[1];
      const std::string unit = *second.Unit() ? std::string(" ") + second.Unit() : "";
      if (envelope_) {
        const std::string count = std::to_string(plan.ValueCount(1));
        curve.label = "全部 " + count + " 个取值";
        input.title = std::string("前池最高与最低水位（") + second.Caption() + "的 " + count +
                      " 个取值的包络）";
      } else {
        curve.label = plan.ValueText(1, static_cast<std::uint32_t>(c)) + unit;
        input.title = std::string("前池最高与最低水位（各线为") + second.Caption() + "的取值）";
      }
    }
    for (std::size_t v = 0; v < firstValues_; ++v) {
      const Extremes& at = curves_[c][v];
      if (!at.seen) continue;
      curve.x.push_back(xs[v]);
      curve.highest.push_back(at.highest);
      curve.lowest.push_back(at.lowest);
    }
    input.curves.push_back(SortedByX(curve));
  }
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
  ChartData chart = SweepChart(input);
  if (input.curves.empty()) chart.note = "所有案例均未算成，没有可画的点";
  UndecidedSpans(xs, chart);
  return chart;
}

void SweepChartPoints::UndecidedSpans(const std::vector<double>& xs, ChartData& chart) const {
  // The values of the first column drawn, ascending, and whether some case
  // at each is undecided.
  std::vector<std::pair<double, bool>> drawn;
  for (std::size_t v = 0; v < firstValues_; ++v) {
    bool seen = false, undecided = false;
    for (const std::vector<Extremes>& curve : curves_) {
      if (curve.empty()) continue;
      seen = seen || curve[v].seen;
      undecided = undecided || curve[v].undecided;
    }
    if (seen) drawn.emplace_back(xs[v], undecided);
  }
  std::stable_sort(drawn.begin(), drawn.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  // Each band reaches halfway to the values beside it (as far on the other
  // side at an end); a lone value's a twentieth of its size (of 1 at 0).
  constexpr int kGrey = 8;
  for (std::size_t k = 0; k < drawn.size(); ++k) {
    if (!drawn[k].second) continue;
    const double x = drawn[k].first;
    double before = std::max(std::abs(x), 1.0) / 20;
    if (k > 0) {
      before = (x - drawn[k - 1].first) / 2;
    } else if (k + 1 < drawn.size()) {
      before = (drawn[k + 1].first - x) / 2;
    }
    const double after = k + 1 < drawn.size() ? (drawn[k + 1].first - x) / 2 : before;
    if (!(before > 0 && after > 0)) continue;  // values that read as one
    chart.spans.push_back(
        {"结论未定或无效（计算未达水位极值或超出模型适用范围）", x - before, x + after, kGrey});
  }
}

}  // namespace kelvane
