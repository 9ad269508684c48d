// The chart scene: tick choice and texts over ranges of every width and sign,
// decimation within the zoomed range, the legend's layout, the empty chart's
// note, stable colours of the history's nodes, a chart of one point.
#include "charts/chart_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "format/number_format.h"

namespace kelvane {
namespace {

// A chart of `lines` lines of `points` points each, x = 0, 1, 2 ...
ChartData Chart(int lines, int points, unsigned seed = 7) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  ChartData data;
  data.title = "水头过程线";
  data.xTitle = "时间 (s)";
  data.yTitle = "水头 (m)";
  for (int n = 0; n < lines; ++n) {
    ChartLine line;
    line.name = "节点 " + std::to_string(n + 1) + "（" + std::to_string(100 * n) + ".000 m）";
    for (int i = 0; i < points; ++i) {
      line.x.push_back(i);
      line.y.push_back(std::sin(i * 0.003) * 10 + noise(random) + n);
    }
    data.lines.push_back(std::move(line));
  }
  return data;
}

bool Overlap(const SceneRect& a, const SceneRect& b) {
  return a.left < b.Right() && b.left < a.Right() && a.top < b.Bottom() && b.top < a.Bottom();
}

TEST(Ticks, NiceStepsOverRangesOfEveryWidthAndSign) {
  struct Row {
    double from, to;
    int target;
    std::vector<std::string> texts;  // empty: only the general rules
  };
  const Row rows[] = {
      {0, 1e-3, 5, {"0.0000", "0.0002", "0.0004", "0.0006", "0.0008", "0.0010"}},
      {-10, 10, 4, {"-10", "-5", "0", "5", "10"}},
      {0, 1e5, 5, {"0", "20000", "40000", "60000", "80000", "100000"}},
      {-0.3, 0.2, 5, {"-0.3", "-0.2", "-0.1", "0.0", "0.1", "0.2"}},
      {-1e5, -2e4, 8, {}},
      {-37.2, 112.9, 6, {}},
      {99.9995, 100.0005, 4, {}},
      {-0.0021, -0.0009, 6, {}},
      {1e5, 2e5, 10, {}},
      {-4.2e-3, 3.1e-3, 7, {}},
      {0.1, 0.7, 6, {}},
      {-2.5e4, 8.0e4, 9, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.from) + " .. " + std::to_string(row.to));
    const std::vector<AxisTick> ticks = NiceTicks(row.from, row.to, row.target);
    ASSERT_GE(ticks.size(), 2u);
    // About the number of intervals asked for.
    EXPECT_LE(double(ticks.size() - 1), 1.6 * row.target) << ticks.size();
    EXPECT_GE(double(ticks.size() + 1), row.target / 1.6) << ticks.size();
    const double step = ticks[1].value - ticks[0].value;
    // 1, 2 or 5 times a power of ten.
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    EXPECT_TRUE(std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 ||
                std::abs(mantissa - 5) < 1e-6)
        << step;
    // No room for another tick at either end.
    EXPECT_LT(ticks.front().value - step, row.from);
    EXPECT_GT(ticks.back().value + step, row.to);
    for (std::size_t k = 0; k < ticks.size(); ++k) {
      const AxisTick& tick = ticks[k];
      EXPECT_GE(tick.value, row.from - 1e-9 * step);
      EXPECT_LE(tick.value, row.to + 1e-9 * step);
      EXPECT_NEAR(tick.value, ticks[0].value + double(k) * step, 1e-6 * step);
      // The text reads back to the tick and tells it from its neighbours.
      EXPECT_NEAR(std::strtod(tick.text.c_str(), nullptr), tick.value, 1e-6 * step) << tick.text;
      EXPECT_FALSE(tick.text[0] == '-' && std::strtod(tick.text.c_str(), nullptr) == 0)
          << tick.text;
      if (k > 0) {
        EXPECT_NE(tick.text, ticks[k - 1].text);
      }
    }
    if (row.from < 0 && row.to > 0) {
      EXPECT_TRUE(
          std::any_of(ticks.begin(), ticks.end(), [](const AxisTick& t) { return t.value == 0; }));
    }
    if (!row.texts.empty()) {
      std::vector<std::string> texts;
      for (const AxisTick& tick : ticks) texts.push_back(tick.text);
      EXPECT_EQ(texts, row.texts);
    }
  }
  EXPECT_TRUE(NiceTicks(1, 1, 5).empty());
  EXPECT_TRUE(NiceTicks(0, NAN, 5).empty());
}

TEST(Ticks, FixedTextsNeverShowANegativeZero) {
  struct Row {
    double value;
    int decimals;
    const char* text;
  };
  const Row rows[] = {{-1e-17, 1, "0.0"}, {-0.004, 2, "0.00"}, {-0.005, 1, "0.0"},
                      {-0.05, 1, "-0.1"}, {2.5e4, 0, "25000"}, {0.30000000000000004, 1, "0.3"},
                      {-0.0, 0, "0"},     {1e-3, 4, "0.0010"}};
  for (const Row& row : rows)
    EXPECT_EQ(Fixed(row.value, row.decimals, NegativeZero::Drop), row.text);
}

// Zoomed into a part of a 30,000-point line: every pixel column of the plot
// keeps its lowest and highest point of the range, so no extreme is lost;
// the line runs to both edges of the plot and no further.
TEST(Scene, ZoomedLineKeepsEveryExtremeOfTheRange) {
  ChartData data = Chart(1, 30000);
  std::vector<double>& y = data.lines[0].y;
  y[12345] = 80;  // lone spikes inside the range
  y[12346] = -80;
  y[100] = 500;  // and outside it
  const ChartRange zoom{10000.5, 17000.25, -30, 30};
  const ChartScene scene = LayoutChart(data, 900, 500, zoom);
  ASSERT_EQ(scene.range, zoom);
  const SceneLine& line = scene.lines[0];
  ASSERT_EQ(line.points.size(), line.indices.size());
  const int columns = int(std::lround(scene.plot.width));
  EXPECT_LE(line.points.size(), std::size_t(4 * columns + 2));
  EXPECT_DOUBLE_EQ(line.points.front().x, scene.plot.left);
  EXPECT_DOUBLE_EQ(line.points.back().x, scene.plot.Right());

  const std::vector<std::size_t>& kept = line.indices;
  auto isKept = [&](std::size_t i) { return std::binary_search(kept.begin(), kept.end(), i); };
  EXPECT_TRUE(isKept(12345));
  EXPECT_TRUE(isKept(12346));
  EXPECT_FALSE(isKept(100));
  // Per column, the lowest and highest value among all the points and among
  // the kept ones are the same.
  auto columnOf = [&](std::size_t i) {
    return int(std::floor((double(i) - zoom.xFrom) / (zoom.xTo - zoom.xFrom) * columns));
  };
  std::vector<double> low(columns, INFINITY), high(columns, -INFINITY);
  std::vector<double> keptLow(columns, INFINITY), keptHigh(columns, -INFINITY);
  for (std::size_t i = 10001; i <= 17000; ++i) {
    low[columnOf(i)] = std::min(low[columnOf(i)], y[i]);
    high[columnOf(i)] = std::max(high[columnOf(i)], y[i]);
  }
  for (std::size_t i : kept) {
    if (i < 10001 || i > 17000) continue;
    keptLow[columnOf(i)] = std::min(keptLow[columnOf(i)], y[i]);
    keptHigh[columnOf(i)] = std::max(keptHigh[columnOf(i)], y[i]);
  }
  EXPECT_EQ(keptLow, low);
  EXPECT_EQ(keptHigh, high);
  // The pixels stand for the values they were taken from.
  for (std::size_t k = 1; k + 1 < kept.size(); ++k) {
    EXPECT_NEAR(line.points[k].y, scene.YPixel(y[kept[k]]), 1e-9);
  }
}

// The legend of 1, 6 and 20 lines (and a limit): every entry in the image,
// under the plot and its axis texts, none over another, in the lines' order.
TEST(Scene, LegendOfOneSixAndTwentyLines) {
  for (int lines : {1, 6, 20}) {
    SCOPED_TRACE(lines);
    ChartData data = Chart(lines, 200);
    data.limits.push_back({"前池最高水位限值", 12});
    const ChartScene scene = LayoutChart(data, 800, 500);
    ASSERT_EQ(scene.legend.size(), std::size_t(lines) + 1);
    EXPECT_GT(scene.plot.height, 150);
    EXPECT_TRUE(scene.legend.back().limit);
    for (std::size_t k = 0; k < scene.legend.size(); ++k) {
      const LegendEntry& entry = scene.legend[k];
      EXPECT_EQ(entry.text, k < std::size_t(lines) ? data.lines[k].name : data.limits[0].name);
      EXPECT_GE(entry.box.left, 0);
      EXPECT_LE(entry.box.Right(), scene.width);
      EXPECT_LE(entry.box.Bottom(), scene.height);
      EXPECT_GT(entry.box.top, scene.xTitle.at.y);
      for (const SceneText& label : scene.xLabels) EXPECT_GT(entry.box.top, label.at.y);
      if (k > 0) {
        const SceneRect& before = scene.legend[k - 1].box;
        EXPECT_FALSE(Overlap(before, entry.box)) << k;
        EXPECT_TRUE(entry.box.top > before.top ||
                    (entry.box.top == before.top && entry.box.left > before.left))
            << k;
      }
    }
    // Every line has its colour in the legend and on the plot.
    for (int n = 0; n < lines; ++n) EXPECT_EQ(scene.legend[n].colour, scene.lines[n].colour);
  }
  // Two hundred lines: the legend keeps to its share of the height, counts
  // the lines it leaves out and keeps the limit.
  ChartData many = Chart(200, 10);
  many.limits.push_back({"限值", 3});
  const ChartScene crowded = LayoutChart(many, 800, 500);
  EXPECT_GT(crowded.plot.height, 0.5 * 500);
  ASSERT_GE(crowded.legend.size(), 3u);
  const LegendEntry& more = crowded.legend[crowded.legend.size() - 2];
  ASSERT_TRUE(more.more);
  const std::size_t shown = crowded.legend.size() - 2;
  EXPECT_EQ(more.text, "另有 " + std::to_string(200 - shown) + " 条");
  EXPECT_EQ(crowded.legend[shown - 1].text, many.lines[shown - 1].name);
  EXPECT_TRUE(crowded.legend.back().limit);
  // Twenty lines take more rows than one.
  EXPECT_LT(LayoutChart(Chart(20, 10), 800, 500).plot.height,
            LayoutChart(Chart(1, 10), 800, 500).plot.height);
}

TEST(Scene, EmptyChartShowsItsNoteAndNoAxes) {
  ChartData data;
  data.note = "没有完成的计算。";
  const ChartScene scene = LayoutChart(data, 600, 400);
  EXPECT_EQ(scene.note.text, data.note);
  EXPECT_NEAR(scene.note.at.x, scene.plot.left + scene.plot.width / 2, 1e-9);
  EXPECT_TRUE(scene.xTicks.empty() && scene.yTicks.empty() && scene.legend.empty());
  // A chart with points shows no note.
  ChartData drawn = Chart(1, 10);
  drawn.note = "x";
  EXPECT_TRUE(LayoutChart(drawn, 600, 400).note.text.empty());
}

TEST(Scene, OnePointIsDrawnAsAMarkerInThePlotsMiddle) {
  ChartData data = Chart(1, 1);
  const ChartScene scene = LayoutChart(data, 600, 400);
  ASSERT_EQ(scene.lines[0].points.size(), 1u);
  EXPECT_TRUE(scene.lines[0].markers);
  EXPECT_TRUE(scene.legend[0].markers);
  EXPECT_NEAR(scene.lines[0].points[0].x, scene.plot.left + scene.plot.width / 2, 1e-9);
  EXPECT_NEAR(scene.lines[0].points[0].y, scene.plot.top + scene.plot.height / 2, 1e-9);
}

TEST(Scene, TheWholeRangeHoldsEveryPointAndLimit) {
  ChartData data = Chart(3, 500);
  data.limits.push_back({"限值", 100});
  const ChartRange whole = WholeRange(data).value();
  EXPECT_EQ(LayoutChart(data, 600, 400).range, whole);
  EXPECT_LE(whole.xFrom, 0);
  EXPECT_GE(whole.xTo, 499);
  EXPECT_GT(whole.yTo, 100);
  for (const ChartLine& line : data.lines) {
    for (double v : line.y) EXPECT_TRUE(v > whole.yFrom && v < whole.yTo);
  }
  EXPECT_FALSE(WholeRange(ChartData()).has_value());
}

// The failing spans: drawn across the plot where their x lies, cut to the x
// range shown, never narrower than a few pixels, one legend entry per name
// after the limits; a chart without spans draws none and says nothing of
// them in its SVG.
TEST(Scene, FailingSpansAreDrawnWhereTheirXLies) {
  ChartData data = Chart(2, 100);
  data.limits.push_back({"限值", 3});
  const std::string plainSvg = ChartSvg(LayoutChart(data, 600, 400));
  EXPECT_EQ(plainSvg.find("fill-opacity"), std::string::npos);

  data.spans = {
      {"不满足：箱涵满流", 20, 40}, {"不满足：箱涵满流", 60, 60}, {"不满足：水柱分离", 90, 99, 4}};
  struct Row {
    const char* name;
    std::optional<ChartRange> range;
    std::size_t shown;
  };
  const Row rows[] = {{"whole", std::nullopt, 3}, {"zoomed", ChartRange{30, 70, -20, 20}, 2}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ChartScene scene = LayoutChart(data, 600, 400, row.range);
    ASSERT_EQ(scene.spans.size(), row.shown);
    for (const SceneSpan& span : scene.spans) {
      EXPECT_GE(span.left, scene.plot.left);
      EXPECT_LE(span.right, scene.plot.Right());
      EXPECT_GE(span.right - span.left, kMinSpanWidth - 1e-9);
    }
    // The first span: from x = 20 (or the plot's left when zoomed) to 40.
    EXPECT_NEAR(scene.spans[0].left, row.range ? scene.plot.left : scene.XPixel(20), 1e-9);
    EXPECT_NEAR(scene.spans[0].right, scene.XPixel(40), 1e-9);
    // A span of no width is widened about its place.
    EXPECT_NEAR((scene.spans[1].left + scene.spans[1].right) / 2, scene.XPixel(60), 1e-9);
    // One entry per name, in the span's colour: the limits' red by default.
    std::vector<std::string> spanEntries;
    std::vector<unsigned> spanColours;
    for (const LegendEntry& entry : scene.legend) {
      if (!entry.span) continue;
      spanEntries.push_back(entry.text);
      spanColours.push_back(entry.colour);
    }
    EXPECT_EQ(spanEntries, (std::vector<std::string>{"不满足：箱涵满流", "不满足：水柱分离"}));
    EXPECT_EQ(spanColours, (std::vector<unsigned>{kLimitColour, kLineColours[4]}));
    EXPECT_EQ(scene.spans[0].colour, kLimitColour);
    EXPECT_TRUE(scene.legend.back().span);
    const std::string svg = ChartSvg(scene);
    EXPECT_NE(svg.find("fill-opacity=\"0.16\""), std::string::npos);
  }
}

// A node's colour is its own: the same whichever other nodes are drawn.
TEST(Scene, HistoryNodesKeepTheirColours) {
  InputTexts texts = DefaultInputTexts();
  texts[InputId::StepCount] = "20";
  texts[InputId::SegmentCount] = "10";
  SurgeRun run;
  const RunOutcome outcome = Calculate(texts, run);
  const RunGeometry geometry = GeometryOf(outcome);
  auto colourOf = [&](std::vector<int> nodes, int node) {
    const ChartData data = HistoryChart(run, geometry, nodes, ChartQuantity::Head);
    const std::size_t at = std::find(nodes.begin(), nodes.end(), node) - nodes.begin();
    return LineColours(data).at(at);
  };
  for (int node : {1, 3, 11}) {
    const unsigned alone = colourOf({node}, node);
    EXPECT_EQ(colourOf({1, 3, 7, 11}, node), alone) << node;
    EXPECT_EQ(colourOf({11, 5, 3, 1}, node), alone) << node;
  }
  EXPECT_NE(colourOf({3, 11}, 3), colourOf({3, 11}, 11));
  EXPECT_NE(colourOf({1, 11}, 1), colourOf({1, 11}, 11));
  // None ticked: the chart says so.
  EXPECT_FALSE(HistoryChart(run, geometry, {}, ChartQuantity::Head).note.empty());
}

}  // namespace
}  // namespace kelvane
