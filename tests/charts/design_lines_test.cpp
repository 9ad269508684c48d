// The design data drawn on the charts: the lines along the culvert follow
// the soffit, the failing spans end where the envelope crosses its limit,
// and the envelope chart gets them only from the culvert's data.
#include "charts/design_lines.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/design_runs.h"

namespace kelvane {
namespace {

using test::Data;
using test::Default;
using test::DefaultRun;
using enum DesignId;

// The lines drawn with the envelope follow the soffit node by node; the
// forebay's limits are those the checks use.
TEST(DesignLines, LinesFollowTheDesignData) {
  const RunGeometry geometry{100, 18, "", {}, nullptr, false, {}};
  struct Row {
    const char* name;
    std::map<DesignId, std::string> data;
    std::vector<std::string> lines;
    std::vector<double> limits;
  };
  const Row rows[] = {
      {"nothing", {}, {}, {}},
      {"forebay only",
       {{ForebayWallTop, "-1"}, {ForebayFreeboard, "0.5"}, {PumpMinLevel, "-6"}},
       {},
       {-1.5, -6}},
      {"culvert",
       {{CulvertInvertUpstream, "-8"}, {CulvertInvertDownstream, "-10"}, {CulvertHeight, "3"}},
       {"箱涵底板", "箱涵顶板", "汽化限值（顶板 - 真空限值）"},
       {}},
      {"culvert with design pressure",
       {{CulvertInvertUpstream, "-8"},
        {CulvertInvertDownstream, "-10"},
        {CulvertHeight, "3"},
        {CulvertDesignPressureHead, "20"}},
       {"箱涵底板", "箱涵顶板", "汽化限值（顶板 - 真空限值）", "设计内水压力限值"},
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const DesignData data = Data(row.data);
    const std::vector<ChartLine> lines = CulvertDesignLines(data, 2, geometry);
    std::vector<std::string> names;
    names.reserve(lines.size());
    for (const ChartLine& line : lines) names.push_back(line.name);
    EXPECT_EQ(names, row.lines);
    const double offsets[] = {-3, 0, -(kAtmosphericHead - kVapourPressureHead), 20};
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].x, (std::vector<double>{0, 100, 200}));
      EXPECT_EQ(lines[i].y,
                (std::vector<double>{-5 + offsets[i], -6 + offsets[i], -7 + offsets[i]}));
    }
    std::vector<double> limits;
    for (const ChartLimit& limit : ForebayDesignLimits(data)) limits.push_back(limit.value);
    EXPECT_EQ(limits, row.limits);
  }
}

// At an inner end of a span the margin between the envelope and the limit,
// both linear between the nodes, is 0.
void ExpectCrossingAtInnerEnds(const ChartSpan& span, CheckKind kind, const DesignData& data,
                               const RunSummary& summary, const RunGeometry& geometry) {
  for (double end : {span.from, span.to}) {
    const int before = int(end / geometry.reachLength) + 1;
    if (end == NodeDistance(geometry, 1) || end == NodeDistance(geometry, summary.nodes)) continue;
    const double t = (end - NodeDistance(geometry, before)) / geometry.reachLength;
    auto margin = [&](int node) {
      const NodeEnvelope& e = summary.envelope[std::size_t(node - 1)];
      const double value =
          kind == CheckKind::DesignPressure ? e.highestHead.value : e.lowestHead.value;
      return value - double(float(CulvertLimitAt(kind, data, node, summary.reaches)));
    };
    EXPECT_NEAR(margin(before) + t * (margin(before + 1) - margin(before)), 0, 1e-9);
  }
}

// The failing spans cover exactly the nodes each check names, and where a
// span ends inside the culvert the envelope, linear between the nodes,
// meets the limit there.
TEST(DesignLines, FailingSpansRunWhereTheEnvelopeCrossesItsLimit) {
  using enum DesignId;
  const DefaultRun& d = Default();
  const RunGeometry geometry = GeometryOf(d.outcome);
  struct Row {
    const char* name;
    std::map<DesignId, std::string> data;
    std::vector<CheckKind> failing;  // the checks with spans, in order
  };
  const Row rows[] = {
      {"all pass",
       {{CulvertInvertUpstream, "-9"}, {CulvertInvertDownstream, "-9"}, {CulvertHeight, "3"}},
       {}},
      // Soffit -4.8: nodes 4 to 6 run below it.
      {"drains at the forebay end",
       {{CulvertInvertUpstream, "-8"}, {CulvertInvertDownstream, "-8"}, {CulvertHeight, "3.2"}},
       {CheckKind::CulvertFull}},
      // Soffit -4.3 at node 1 and falling fast: node 1 alone.
      {"drains at the reservoir end",
       {{CulvertInvertUpstream, "-6.8"}, {CulvertInvertDownstream, "-10"}, {CulvertHeight, "2.5"}},
       {CheckKind::CulvertFull}},
      {"vacuum along the whole culvert",
       {{CulvertInvertUpstream, "3"}, {CulvertInvertDownstream, "3"}, {CulvertHeight, "3"}},
       {CheckKind::CulvertFull, CheckKind::Vacuum}},
      {"design pressure near the forebay",
       {{CulvertInvertUpstream, "-9"},
        {CulvertInvertDownstream, "-9"},
        {CulvertHeight, "3"},
        {CulvertDesignPressureHead, "2.7"}},
       {CheckKind::DesignPressure}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const DesignData data = Data(row.data);
    const DesignCheckReport report = CheckDesign(data, d.summary, d.run, d.outcome);
    const std::vector<ChartSpan> spans = FailingSpans(data, d.summary, geometry);
    std::vector<CheckKind> failing;
    for (const CheckRow& check : report.rows) {
      if (check.pass) continue;
      failing.push_back(check.kind);
      const std::string name = std::string("不满足：") + CheckItemName(check.kind);
      std::vector<int> covered;
      for (const ChartSpan& span : spans) {
        if (span.name != name) continue;
        ASSERT_LE(span.from, span.to);
        for (int node = 1; node <= d.summary.nodes; ++node) {
          const double x = NodeDistance(geometry, node);
          if (x >= span.from && x <= span.to) covered.push_back(node);
        }
        ExpectCrossingAtInnerEnds(span, check.kind, data, d.summary, geometry);
      }
      EXPECT_EQ(covered, check.failingNodes);
    }
    EXPECT_EQ(failing, row.failing);
    if (failing.empty()) {
      EXPECT_TRUE(spans.empty());
    }
  }
}

// The envelope chart gets the design lines and spans only from the
// culvert's data; without it the chart is the plain envelope.
TEST(DesignLines, EnvelopeGetsTheDesignOnlyWithTheCulvertsData) {
  using enum DesignId;
  const DefaultRun& d = Default();
  const RunGeometry geometry = GeometryOf(d.outcome);
  const ChartData plain = EnvelopeChart(d.summary, d.run, geometry, EnvelopeOf::Head);
  for (const auto& given :
       {std::map<DesignId, std::string>{}, std::map<DesignId, std::string>{{ForebayWallTop, "-1"}},
        std::map<DesignId, std::string>{{CulvertHeight, "3"}}}) {
    ChartData chart = plain;
    AddCulvertDesign(chart, Data(given), d.summary, geometry);
    EXPECT_EQ(chart.lines.size(), plain.lines.size());
    EXPECT_TRUE(chart.spans.empty());
  }
  ChartData chart = plain;
  AddCulvertDesign(
      chart,
      Data(
          {{CulvertInvertUpstream, "-8"}, {CulvertInvertDownstream, "-8"}, {CulvertHeight, "3.2"}}),
      d.summary, geometry);
  EXPECT_EQ(chart.lines.size(), plain.lines.size() + 3);
  EXPECT_EQ(chart.lines[plain.lines.size() + 1].name, "箱涵顶板");
  ASSERT_EQ(chart.spans.size(), 1u);
  EXPECT_EQ(chart.spans[0].name, "不满足：箱涵满流");
}

}  // namespace
}  // namespace kelvane
