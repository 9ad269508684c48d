// The numbers the charts draw, Qt-free: a chart as plain series (ChartData),
// the time history of nodes, the envelope along the culvert, the sweep
// chart, the min/max decimation to pixel columns and the CSV of what a chart
// shows. The windows and the batch mode's images draw ChartData as it is.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "evaluation/report.h"
#include "evaluation/run_geometry.h"
#include "model/model.h"

namespace kelvane {

enum class LineStyle { Solid, Dashed, Dotted };

// One line of a chart: points in axis units, x ascending.
struct ChartLine {
  std::string name;  // the legend's text (UTF-8)
  std::vector<double> x, y;
  LineStyle style = LineStyle::Solid;
  bool markers = false;  // a marker at every point
  int colour = -1;       // lines with the same number share a colour; -1: a colour of its own
};

// A horizontal line across the whole chart at `value` (a limit).
struct ChartLimit {
  std::string name;
  double value = 0;
};

// A stretch of the x axis marked across the plot's height: where a line
// breaks a limit (the failing spans of a design check).
struct ChartSpan {
  std::string name;         // the legend's text; spans of one name share one entry
  double from = 0, to = 0;  // x, from <= to
  int colour = -1;          // a number of the lines' colours; -1: the limits' red
};

struct ChartData {
  std::string title;
  std::string xTitle;  // with its unit: "时间 (s)"
  std::string yTitle;  // with its unit: "水头 (m)"
  std::vector<ChartLine> lines;
  std::vector<ChartLimit> limits;
  std::vector<ChartSpan> spans;  // drawn under the lines
  std::string note;              // shown in the plot's middle when no line has a point
};

// ---------------------------------------------------------------- drawing

// The points of a line to draw over the x range [from, to] in `columns`
// pixel columns of equal width: in every column its first and last point and
// the points of its lowest and highest y, so no peak is lost however many
// points a column covers; plus the nearest point outside each end, so the
// line runs on to the chart's edges. Indices into x and y, ascending. A NaN
// y is never a column's extreme.
std::vector<std::size_t> DecimateToColumns(std::span<const double> x, std::span<const double> y,
                                           double from, double to, int columns);

// The index of the point whose x lies nearest `at` (x ascending, not empty).
std::size_t NearestIndex(std::span<const double> x, double at);

// The lowest and highest y of every line and limit whose point lies in
// [from, to]; nullopt when none does.
struct ValueRange {
  double low, high;
};
std::optional<ValueRange> YRange(const ChartData& chart, double from, double to);
// The x range of all lines; nullopt for a chart without points.
std::optional<ValueRange> XRange(const ChartData& chart);

// ---------------------------------------------------------------- the run

enum class ChartQuantity { Head, Velocity, Discharge };

struct QuantityText {
  const char* option;   // "head", as --quantity names it
  const char* name;     // "水头"
  const char* unit;     // "m"
  const char* symbol;   // "H"
  const char* csvUnit;  // "m", as a CSV column ends: "H6_m"
};
const QuantityText& TextOf(ChartQuantity quantity);
// "head", "velocity" or "discharge"; nullopt for any other word.
std::optional<ChartQuantity> QuantityByOption(std::string_view option);

// A quantity at a node over steps 1..StepCount: the head or velocity as the
// grid holds it, the discharge as velocity times the culvert area, or times
// the node's wetted area at that step in a free-surface run (a double
// product, exact).
std::vector<double> NodeHistory(const SurgeRun& run, const RunGeometry& geometry, int node,
                                ChartQuantity quantity);

// The time history of `nodes` (each 1..GridNodes) over every computed step:
// x the step times (s), one line per node, each node in a colour of its own
// whichever others are shown (the forebay's first, the reservoir end's
// second); with no node, a note that asks for one. The heads of the two
// ends and of nodes that run free throughout (RunGeometry::surfaceNodes) are
// levels: of those alone the chart is "水位过程线" on "水位 (m)", of the
// forebay's alone "前池水位过程线"; a piezometric head elsewhere makes it
// "水头过程线".
// `run` must hold a complete run.
ChartData HistoryChart(const SurgeRun& run, const RunGeometry& geometry, std::span<const int> nodes,
                       ChartQuantity quantity);

// The steps whose time lies in [from, to]; nullopt when none does.
struct StepSpan {
  int first, last;
};
std::optional<StepSpan> StepsWithin(const SurgeRun& run, double from, double to);

// The CSV of a time history: "step,time_s,H1_m,H6_m", one row per step of
// `steps`; shortest texts that read back to the same value, LF line ends.
std::string HistoryCsv(const SurgeRun& run, const RunGeometry& geometry, std::span<const int> nodes,
                       ChartQuantity quantity, StepSpan steps);

// The pump discharge and the culvert's (or open channel's) flow into the
// forebay over every computed step, m³/s, on one chart: the pump's is what
// the storage balance used (RunGeometry::pumpDischarge), the culvert's the
// last node's discharge.
ChartData PumpDischargeChart(const SurgeRun& run, const RunGeometry& geometry);
// Its CSV: "step,time_s,Q_pump_m3_per_s,Q6_m3_per_s", one row per step of
// `steps`, as HistoryCsv writes a discharge.
std::string PumpDischargeCsv(const SurgeRun& run, const RunGeometry& geometry, StepSpan steps);

// Whether the run's heads are a water surface: an open channel's.
bool HeadIsWaterSurface(const RunSummary& summary);

// The envelope along the culvert of a head or velocity: highest, lowest and
// step 1 against the distance from the reservoir, markers at the nodes while
// they are few enough to stand apart. The extremes are the summary's own
// (SummarizeRun). An open channel's heads are named as its water surface
// ("最高水面").
enum class EnvelopeOf { Head, Velocity };
ChartData EnvelopeChart(const RunSummary& summary, const SurgeRun& run, const RunGeometry& geometry,
                        EnvelopeOf what);

// The envelope as CSV: per node its distance, the step-1 value, highest and
// lowest with their steps and times, for heads and velocities; with
// `soffits` (every node's soffit, m, node 1 first) a last column
// max_pressure_head_m, the node's 内水压力水头 (InternalPressureHead).
std::string EnvelopeCsv(const RunSummary& summary, const SurgeRun& run, const RunGeometry& geometry,
                        std::span<const double> soffits = {});

// A sweep over two options: for each value of the second option, the
// forebay's highest and lowest level against the first option's value.
struct SweepCurve {
  std::string label;            // the second option's value, as the legend shows it: "f = 0.02"
  std::vector<double> x;        // the first option's values, ascending
  std::vector<double> highest;  // m
  std::vector<double> lowest;   // m
};
struct SweepChartInput {
  std::string title;   // "" for the default
  std::string xTitle;  // the first option with its unit: "前池水面面积 (m²)"
  std::vector<SweepCurve> curves;
  std::vector<ChartLimit> limits;  // m
};
// Each curve gives two lines of one colour: highest solid, lowest dashed,
// with a marker at each case while the cases are few enough to stand apart.
ChartData SweepChart(const SweepChartInput& input);

// ---------------------------------------------------------------- cases

// One operating case's chart among several drawn together.
struct CaseChart {
  std::string name;  // the case's name, as the legend shows it
  ChartData chart;
  int colour = -1;  // the case's colour number; -1: its place among the cases
};

// The lines of several cases in one chart, one colour per case, the axes'
// titles of the first. `pick` names the lines of each case's chart to take,
// each then named "case line"; a name "" takes the case's first line alone,
// named by the case. Without `pick` every line is taken, named "case line".
// The lines one case gives are told apart by their dashes (solid, dashed,
// dotted in turn). Limits and spans are left out: they belong to one case.
// The chart is titled `title`, or when it is empty "各工况" and the first
// case's title up to its first bracket ("各工况前池水位过程线").
ChartData ComparisonChart(std::span<const CaseChart> cases, std::span<const std::string> pick = {},
                          const std::string& title = {});
// The head envelope's highest and lowest lines, as a pick: a culvert's heads
// and an open channel's water surface (EnvelopeChart).
inline const std::string kEnvelopeHeadLines[] = {"最高水头", "最低水头", "最高水面", "最低水面"};
// The title of the cases' head envelopes together, the book's and the
// envelope window's, naming levels as levels: of `cases` cases, `surfaces`
// have heads that are a water surface (HeadIsWaterSurface). "各工况沿程最高、
// 最低水位" when all do, "…水头" when none does, "…水位与水头" otherwise.
std::string ComparedHeadsTitle(std::size_t surfaces, std::size_t cases);

// The CSV of several cases: a first column "case" with each case's name,
// then each case's rows under the first case's header (the cases' CSVs
// share their columns).
struct CaseCsv {
  std::string name;
  std::string csv;  // header line, then rows; LF line ends
};
std::string CasesCsv(std::span<const CaseCsv> cases);

}  // namespace kelvane
