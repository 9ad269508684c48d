#include "charts/design_lines.h"

#include <string>
#include <utility>

namespace kelvane {

namespace {
// The colours of the design lines (numbers of the charts' line colours).
constexpr int kPressureColour = 3;  // orange
constexpr int kVapourColour = 4;    // purple
constexpr int kSoffitColour = 5;    // brown
constexpr int kInvertColour = 8;    // grey
}  // namespace

std::vector<ChartSpan> FailingSpans(const DesignData& data, const RunSummary& summary,
                                    const RunGeometry& geometry) {
  std::vector<ChartSpan> spans;
  for (CheckKind kind : ChecksGiven(data)) {
    if (!Field(kind).alongCulvert) continue;
    // Each node's margin to its limit, as the check compares them: below 0
    // the node fails.
    const bool highest = Field(kind).atMost;
    std::vector<double> margin;
    for (int node = 1; node <= summary.nodes; ++node) {
      const NodeEnvelope& e = summary.envelope[std::size_t(node - 1)];
      const float limit = float(CulvertLimitAt(kind, data, node, summary.reaches));
      const float value = highest ? e.highestHead.value : e.lowestHead.value;
      margin.push_back(highest ? double(limit) - double(value) : double(value) - double(limit));
    }
    // Between a failing node and a passing one the envelope crosses its
    // limit where the margin, linear between the nodes, is 0.
    auto crossing = [&](int failing, int passing) {
      const double a = margin[std::size_t(failing - 1)], b = margin[std::size_t(passing - 1)];
      const double xa = NodeDistance(geometry, failing), xb = NodeDistance(geometry, passing);
      return xa + (xb - xa) * (a / (a - b));
    };
    const std::string name = std::string("不满足：") + CheckItemName(kind);
    // The culvert running part full in the limits' red; the others in the
    // colour of the limit they break.
    const int colour = kind == CheckKind::Vacuum           ? kVapourColour
                       : kind == CheckKind::DesignPressure ? kPressureColour
                                                           : -1;
    for (int node = 1; node <= summary.nodes; ++node) {
      if (!(margin[std::size_t(node - 1)] < 0)) continue;
      int last = node;
      while (last < summary.nodes && margin[std::size_t(last)] < 0) ++last;
      const double from = node == 1 ? NodeDistance(geometry, 1) : crossing(node, node - 1);
      const double to =
          last == summary.nodes ? NodeDistance(geometry, last) : crossing(last, last + 1);
      spans.push_back({name, from, to, colour});
      node = last;
    }
  }
  return spans;
}

void AddCulvertDesign(ChartData& chart, const DesignData& data, const RunSummary& summary,
                      const RunGeometry& geometry) {
  for (ChartLine& line : CulvertDesignLines(data, summary.reaches, geometry)) {
    chart.lines.push_back(std::move(line));
  }
  for (ChartSpan& span : FailingSpans(data, summary, geometry)) {
    chart.spans.push_back(std::move(span));
  }
}

std::vector<ChartLine> CulvertDesignLines(const DesignData& data, int reaches,
                                          const RunGeometry& geometry) {
  using enum DesignId;
  std::vector<ChartLine> lines;
  const auto along = [&](const char* name, LineStyle style, int colour, auto levelAt) {
    ChartLine line;
    line.name = name;
    line.style = style;
    line.colour = colour;
    for (int node = 1; node <= reaches + 1; ++node) {
      line.x.push_back(NodeDistance(geometry, node));
      line.y.push_back(levelAt(node));
    }
    lines.push_back(std::move(line));
  };
  // An open channel: its bed and banks, and the banks less the freeboard.
  if (data[ChannelBankTopUpstream] && data[ChannelBankTopDownstream]) {
    if (data[CulvertInvertUpstream] && data[CulvertInvertDownstream] && !data[CulvertHeight]) {
      along("渠底", LineStyle::Solid, kInvertColour,
            [&](int node) { return SoffitAt(data, node, reaches); });
    }
    along("引渠堤顶", LineStyle::Solid, kSoffitColour,
          [&](int node) { return BankTopAt(data, node, reaches); });
    if (data[ChannelFreeboard]) {
      along("堤顶减安全超高", LineStyle::Dashed, kPressureColour, [&](int node) {
        return CulvertLimitAt(CheckKind::ChannelFreeboard, data, node, reaches);
      });
    }
  }
  if (!data[CulvertInvertUpstream] || !data[CulvertInvertDownstream] || !data[CulvertHeight]) {
    return lines;
  }
  const double height = *data[CulvertHeight];
  const double vapour = VacuumLimitOf(data).Head();
  struct Line {
    const char* name;
    double offset;  // m above the soffit
    LineStyle style;
    int colour;  // apart from the envelope's three; a limit's spans share its colour
  };
  std::vector<Line> wanted = {
      {"箱涵底板", -height, LineStyle::Solid, kInvertColour},
      {"箱涵顶板", 0, LineStyle::Solid, kSoffitColour},
      {"汽化限值（顶板 - 真空限值）", -vapour, LineStyle::Dashed, kVapourColour}};
  if (data[CulvertDesignPressureHead]) {
    wanted.push_back(
        {"设计内水压力限值", *data[CulvertDesignPressureHead], LineStyle::Dashed, kPressureColour});
  }
  for (const Line& want : wanted) {
    along(want.name, want.style, want.colour,
          [&](int node) { return SoffitAt(data, node, reaches) + want.offset; });
  }
  return lines;
}

std::vector<ChartLimit> ForebayDesignLimits(const DesignData& data) {
  std::vector<ChartLimit> limits;
  if (auto high = ForebayHighestAllowed(data)) limits.push_back({"墙顶高程减安全超高", *high});
  if (auto low = data[DesignId::PumpMinLevel]) limits.push_back({"水泵最低运行水位", *low});
  return limits;
}

}  // namespace kelvane
