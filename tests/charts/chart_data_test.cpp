// The numbers the charts draw: decimation keeps every column's extremes, the
// time history and envelope read the run's own grids, the CSV of a chart.
#include "charts/chart_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/texts.h"

namespace kelvane {
namespace {

using test::CompletedRun;

CompletedRun RunWith(const char* reaches, const char* steps) {
  return test::CalculateRun(
      test::TextsWith({{InputId::SegmentCount, reaches}, {InputId::StepCount, steps}}));
}

// Each column [from + c w, from + (c+1) w) of the range keeps its true lowest
// and highest y, every kept point is a point of the line, and the line runs on
// past both ends.
TEST(Decimation, EveryColumnKeepsItsTrueMinimumAndMaximum) {
  struct Row {
    const char* name;
    int points;
    double from, to;
    int columns;
  };
  const Row rows[] = {
      {"30000 points, 700 columns", 30000, 0.0, 29999.0, 700},
      {"fewer points than columns", 50, 0.0, 49.0, 700},
      {"zoomed into the middle", 30000, 1234.5, 2345.5, 333},
      {"one column", 1000, 0.0, 999.0, 1},
      {"columns not dividing evenly", 1001, 0.0, 1000.0, 7},
  };
  std::mt19937 random(12);
  std::normal_distribution<double> noise(0.0, 1.0);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<double> x(row.points), y(row.points);
    for (int i = 0; i < row.points; ++i) {
      x[i] = i;
      y[i] = std::sin(i * 0.01) + noise(random);
    }
    y[row.points / 3] = 50;  // lone spikes of one point
    y[row.points / 3 + 1] = -50;

    const std::vector<std::size_t> kept = DecimateToColumns(x, y, row.from, row.to, row.columns);
    ASSERT_FALSE(kept.empty());
    EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end()));
    EXPECT_EQ(std::adjacent_find(kept.begin(), kept.end()), kept.end());
    EXPECT_LE(kept.size(), 4u * row.columns + 2);

    const double width = (row.to - row.from) / row.columns;
    std::vector<double> trueLow(row.columns, INFINITY), trueHigh(row.columns, -INFINITY);
    std::vector<double> keptLow = trueLow, keptHigh = trueHigh;
    auto column = [&](std::size_t i) {
      return std::min(row.columns - 1, int(std::floor((x[i] - row.from) / width)));
    };
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (x[i] < row.from || x[i] > row.to) continue;
      trueLow[column(i)] = std::min(trueLow[column(i)], y[i]);
      trueHigh[column(i)] = std::max(trueHigh[column(i)], y[i]);
    }
    for (std::size_t i : kept) {
      if (x[i] < row.from || x[i] > row.to) continue;
      keptLow[column(i)] = std::min(keptLow[column(i)], y[i]);
      keptHigh[column(i)] = std::max(keptHigh[column(i)], y[i]);
    }
    EXPECT_EQ(keptLow, trueLow);
    EXPECT_EQ(keptHigh, trueHigh);
    if (row.from > 0) {
      EXPECT_LT(x[kept.front()], row.from);
    }
    if (row.to < x.back()) {
      EXPECT_GT(x[kept.back()], row.to);
    }
    if (row.points <= row.columns) {
      EXPECT_EQ(kept.size(), std::size_t(row.points));
    }
  }
}

// The history is the grid itself, node by node and step by step, and the
// discharge is velocity times the culvert area; the CSV writes exactly those
// numbers for the steps in the time range asked for.
TEST(History, SeriesAreTheRunsGridsAndTheCsvShowsThem) {
  CompletedRun c = RunWith("5", "40");
  const RunGeometry geometry = GeometryOf(c.outcome);
  EXPECT_EQ(geometry.culvertArea, 18.0);
  const int nodes[] = {1, 6};
  for (ChartQuantity q : {ChartQuantity::Head, ChartQuantity::Velocity, ChartQuantity::Discharge}) {
    SCOPED_TRACE(TextOf(q).option);
    const ChartData chart = HistoryChart(c.run, geometry, nodes, q);
    ASSERT_EQ(chart.lines.size(), 2u);
    for (std::size_t n = 0; n < 2; ++n) {
      const ChartLine& line = chart.lines[n];
      ASSERT_EQ(line.x.size(), 40u);
      ASSERT_EQ(line.y.size(), 40u);
      for (int step = 1; step <= 40; ++step) {
        EXPECT_EQ(line.x[step - 1], c.run.StepTime(step));
        const double v = c.run.Velocity(nodes[n], step);
        const double expected = q == ChartQuantity::Head       ? c.run.Head(nodes[n], step)
                                : q == ChartQuantity::Velocity ? v
                                                               : v * 18.0;
        EXPECT_EQ(line.y[step - 1], expected) << "step " << step;
      }
    }
    EXPECT_EQ(chart.lines[1].name, "节点 6（596.662 m）");
  }

  // Steps 3..5 by their times, the ends included.
  const auto steps = StepsWithin(c.run, c.run.StepTime(3), c.run.StepTime(5));
  ASSERT_TRUE(steps);
  EXPECT_EQ(steps->first, 3);
  EXPECT_EQ(steps->last, 5);
  EXPECT_FALSE(StepsWithin(c.run, -2.0, -1.0));
  const std::string csv = HistoryCsv(c.run, geometry, nodes, ChartQuantity::Head, *steps);
  const std::string header = "step,time_s,H1_m,H6_m\n";
  ASSERT_EQ(csv.substr(0, header.size()), header);
  std::vector<std::string> rows;
  for (std::size_t at = header.size(); at < csv.size();) {
    const std::size_t end = csv.find('\n', at);
    rows.push_back(csv.substr(at, end - at));
    at = end + 1;
  }
  ASSERT_EQ(rows.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    const int step = 3 + k;
    float time, h1, h6;
    int readStep;
    ASSERT_EQ(std::sscanf(rows[k].c_str(), "%d,%f,%f,%f", &readStep, &time, &h1, &h6), 4);
    EXPECT_EQ(readStep, step);
    EXPECT_EQ(time, c.run.StepTime(step));
    EXPECT_EQ(h1, c.run.Head(1, step));
    EXPECT_EQ(h6, c.run.Head(6, step));
  }
}

// A head at the two ends of the culvert is a water level (the reservoir's at
// node 1, the forebay's at the last node) and is named so; so is a node's
// that runs free throughout (every node of an open channel, a part-full node
// of a box); a node that runs full shows the piezometric head, and the other
// quantities keep their names.
TEST(History, LevelsAreNamedAsLevelsHeadsAsHeads) {
  CompletedRun c = RunWith("5", "4");
  const RunGeometry full = GeometryOf(c.outcome);
  ASSERT_TRUE(full.surfaceNodes.empty());
  RunGeometry channel = full;
  channel.surfaceNodes.assign(6, true);
  RunGeometry box = full;
  box.surfaceNodes = {false, false, true, false, false, true};  // node 3 free throughout
  struct Row {
    const RunGeometry& geometry;
    std::vector<int> nodes;
    ChartQuantity quantity;
    const char* title;
    const char* yTitle;
  };
  const Row rows[] = {
      {full, {6}, ChartQuantity::Head, "前池水位过程线", "水位 (m)"},
      {full, {1, 6}, ChartQuantity::Head, "水位过程线", "水位 (m)"},
      {full, {1}, ChartQuantity::Head, "水位过程线", "水位 (m)"},
      {full, {3, 6}, ChartQuantity::Head, "水头过程线", "水头 (m)"},
      {full, {}, ChartQuantity::Head, "水头过程线", "水头 (m)"},
      {full, {6}, ChartQuantity::Velocity, "流速过程线", "流速 (m/s)"},
      {full, {6}, ChartQuantity::Discharge, "流量过程线", "流量 (m³/s)"},
      {channel, {3, 6}, ChartQuantity::Head, "水位过程线", "水位 (m)"},
      {channel, {2, 4, 5}, ChartQuantity::Head, "水位过程线", "水位 (m)"},
      {channel, {6}, ChartQuantity::Head, "前池水位过程线", "水位 (m)"},
      {channel, {}, ChartQuantity::Head, "水头过程线", "水头 (m)"},
      {channel, {3}, ChartQuantity::Velocity, "流速过程线", "流速 (m/s)"},
      {box, {3, 6}, ChartQuantity::Head, "水位过程线", "水位 (m)"},
      {box, {3, 4}, ChartQuantity::Head, "水头过程线", "水头 (m)"},
  };
  for (const Row& row : rows) {
    const ChartData chart = HistoryChart(c.run, row.geometry, row.nodes, row.quantity);
    const std::string trace = ::testing::PrintToString(row.nodes) + " of " +
                              ::testing::PrintToString(row.geometry.surfaceNodes);
    EXPECT_EQ(chart.title, row.title) << trace;
    EXPECT_EQ(chart.yTitle, row.yTitle) << trace;
  }
}

// The envelope chart against a plain scan of the grids: highest, lowest and
// step 1 of every node, at its distance from the reservoir.
TEST(Envelope, ChartHoldsEachNodesExtremesOverEveryStep) {
  CompletedRun c = RunWith("4", "300");
  const RunGeometry geometry = GeometryOf(c.outcome);
  const RunSummary summary = SummarizeRun(c.run, c.outcome);
  for (EnvelopeOf what : {EnvelopeOf::Head, EnvelopeOf::Velocity}) {
    const ChartData chart = EnvelopeChart(summary, c.run, geometry, what);
    ASSERT_EQ(chart.lines.size(), 3u);
    for (int node = 1; node <= 5; ++node) {
      float high = -INFINITY, low = INFINITY;
      for (int step = 1; step <= 300; ++step) {
        const float v =
            what == EnvelopeOf::Head ? c.run.Head(node, step) : c.run.Velocity(node, step);
        high = std::max(high, v);
        low = std::min(low, v);
      }
      const float start = what == EnvelopeOf::Head ? c.run.Head(node, 1) : c.run.Velocity(node, 1);
      for (const ChartLine& line : chart.lines) {
        EXPECT_EQ(line.x[node - 1], (node - 1) * double(c.outcome.coefficients.ReachLength));
      }
      EXPECT_EQ(chart.lines[0].y[node - 1], high) << node;
      EXPECT_EQ(chart.lines[1].y[node - 1], low) << node;
      EXPECT_EQ(chart.lines[2].y[node - 1], start) << node;
    }
  }
}

// Markers show the points while they stand apart: on a long culvert or a fine
// sweep they would run together and hide the dashed line.
TEST(Markers, OnlyWhileThePointsAreFew) {
  for (const auto& [reaches, marked] : {std::pair{"5", true}, {"59", true}, {"60", false}}) {
    CompletedRun c = RunWith(reaches, "20");
    const ChartData chart = EnvelopeChart(SummarizeRun(c.run, c.outcome), c.run,
                                          GeometryOf(c.outcome), EnvelopeOf::Head);
    for (const ChartLine& line : chart.lines) EXPECT_EQ(line.markers, marked) << reaches;
  }
  for (const auto& [cases, marked] : {std::pair{3, true}, {60, true}, {61, false}}) {
    SweepCurve curve;
    for (int k = 0; k < cases; ++k) {
      curve.x.push_back(600 + k);
      curve.highest.push_back(-2);
      curve.lowest.push_back(-5);
    }
    const ChartData chart = SweepChart({"", "前池水面面积 (m²)", {curve, curve}, {}});
    ASSERT_EQ(chart.lines.size(), 4u);
    for (const ChartLine& line : chart.lines) EXPECT_EQ(line.markers, marked) << cases;
  }
}

// The envelope CSV writes each distance as the shortest text of the single,
// as it writes every other number ("119.3324", not "119.3323974609375").
TEST(Envelope, CsvWritesDistancesAsSingles) {
  CompletedRun c = RunWith("5", "20");
  const RunGeometry geometry = GeometryOf(c.outcome);
  std::istringstream csv(EnvelopeCsv(SummarizeRun(c.run, c.outcome), c.run, geometry));
  std::string line;
  std::getline(csv, line);
  const char* const distances[] = {"0", "119.3324", "238.6648", "357.9972", "477.3296", "596.662"};
  for (const char* distance : distances) {
    ASSERT_TRUE(std::getline(csv, line));
    const std::size_t first = line.find(',');
    EXPECT_EQ(line.substr(first + 1, line.find(',', first + 1) - first - 1), distance) << line;
  }
  EXPECT_FALSE(std::getline(csv, line));
}

// Several cases in one chart: each case's lines in its own colour number
// (its place, or the number it brings), named by the case; a pick takes only
// the lines named, "" the first alone; without a pick the lines of one case
// are told apart by their dashes.
TEST(Comparison, OneColourPerCaseNamedByTheCase) {
  const auto chartOf = [](const std::vector<std::string>& names) {
    ChartData chart;
    chart.title = "水头包络线（时段 1 至 9）";
    chart.xTitle = "x";
    chart.yTitle = "y";
    chart.limits.push_back({"限值", 1});
    for (const std::string& name : names) {
      ChartLine line;
      line.name = name;
      line.x = {0, 1};
      line.y = {0, 1};
      line.markers = true;
      chart.lines.push_back(line);
    }
    return chart;
  };
  const CaseChart cases[] = {{"甲", chartOf({"最高", "最低", "初始"})},
                             {"乙", chartOf({"最高", "最低", "初始"}), 5}};
  struct Row {
    std::vector<std::string> pick;
    std::vector<std::string> names;
    std::vector<int> colours;
    std::vector<LineStyle> styles;
  };
  const LineStyle S = LineStyle::Solid, D = LineStyle::Dashed, T = LineStyle::Dotted;
  const Row rows[] = {
      {{""}, {"甲", "乙"}, {0, 5}, {S, S}},
      {{"最高", "最低"}, {"甲 最高", "甲 最低", "乙 最高", "乙 最低"}, {0, 0, 5, 5}, {S, D, S, D}},
      {{},
       {"甲 最高", "甲 最低", "甲 初始", "乙 最高", "乙 最低", "乙 初始"},
       {0, 0, 0, 5, 5, 5},
       {S, D, T, S, D, T}},
  };
  for (const Row& row : rows) {
    const ChartData chart = ComparisonChart(cases, row.pick);
    EXPECT_EQ(chart.title, "各工况水头包络线");
    EXPECT_EQ(ComparisonChart(cases, row.pick, "各工况沿程最高、最低水头").title,
              "各工况沿程最高、最低水头");
    EXPECT_EQ(chart.yTitle, "y");
    EXPECT_TRUE(chart.limits.empty());
    ASSERT_EQ(chart.lines.size(), row.names.size());
    for (std::size_t k = 0; k < row.names.size(); ++k) {
      EXPECT_EQ(chart.lines[k].name, row.names[k]);
      EXPECT_EQ(chart.lines[k].colour, row.colours[k]);
      EXPECT_EQ(chart.lines[k].style, row.styles[k]);
      EXPECT_FALSE(chart.lines[k].markers);
    }
  }
}

// The cases' head envelopes together name levels as levels: an open
// channel's heads are its water surface, a culvert's piezometric heads.
TEST(Comparison, HeadsTitleNamesLevelsWhereEveryCaseRunsFree) {
  struct Row {
    std::size_t surfaces, cases;
    const char* title;
  };
  const Row rows[] = {{0, 3, "各工况沿程最高、最低水头"},
                      {3, 3, "各工况沿程最高、最低水位"},
                      {1, 3, "各工况沿程最高、最低水位与水头"},
                      {2, 2, "各工况沿程最高、最低水位"}};
  for (const Row& row : rows)
    EXPECT_EQ(ComparedHeadsTitle(row.surfaces, row.cases), row.title) << row.surfaces;
}

// The cases' CSVs under one header, each row led by its case's name, quoted
// when it holds a comma, a quotation mark or a line break.
TEST(Comparison, CsvLeadsEachRowWithItsCase) {
  struct Row {
    std::vector<CaseCsv> cases;
    std::string csv;
  };
  const Row rows[] = {
      {{{"甲", "a,b\n1,2\n3,4\n"}, {"乙", "a,b\n5,6\n"}}, "case,a,b\n甲,1,2\n甲,3,4\n乙,5,6\n"},
      {{{"x,y", "a\n1\n"}, {"say \"hi\"", "a\n2"}}, "case,a\n\"x,y\",1\n\"say \"\"hi\"\"\",2\n"},
      {{{"空", "a\n"}, {"乙", "a\n7\n"}}, "case,a\n乙,7\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(CasesCsv(row.cases), row.csv);
}

}  // namespace
}  // namespace kelvane
