#include "charts/chart_data.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "format/number_format.h"
#include "model/pump_event.h"
#include "texts/event_texts.h"

namespace kelvane {
namespace {

// "（泵流量：线性变化 30 s）" after a chart's title, "" for no event.
std::string Named(const std::string& event) { return event.empty() ? "" : "（" + event + "）"; }

// A marker at each point while the points stand apart; beyond this many (a
// long culvert's nodes, a fine sweep) the markers run together into a band
// that hides the line's dashes.
constexpr std::size_t kMostMarkedPoints = 60;
bool MarkEachPoint(std::size_t points) { return points <= kMostMarkedPoints; }

void Widen(std::optional<ValueRange>& range, double value) {
  if (std::isnan(value)) return;
  if (!range) {
    range = ValueRange{value, value};
  } else {
    range->low = std::min(range->low, value);
    range->high = std::max(range->high, value);
  }
}

}  // namespace

std::vector<std::size_t> DecimateToColumns(std::span<const double> x, std::span<const double> y,
                                           double from, double to, int columns) {
  std::vector<std::size_t> kept;
  const std::size_t n = std::min(x.size(), y.size());
  const std::size_t begin = std::lower_bound(x.begin(), x.begin() + n, from) - x.begin();
  const std::size_t end = std::upper_bound(x.begin(), x.begin() + n, to) - x.begin();
  if (begin > 0) kept.push_back(begin - 1);
  if (columns < 1) columns = 1;
  const double width = to - from;
  // Column of a point in range; all in column 0 when the range is empty.
  auto columnOf = [&](std::size_t i) {
    if (!(width > 0)) return 0;
    const double c = std::floor((x[i] - from) / width * columns);
    return static_cast<int>(std::clamp(c, 0.0, double(columns - 1)));
  };
  std::size_t i = begin;
  while (i < end) {
    // One column: the points i..j-1.
    const int column = columnOf(i);
    std::size_t j = i + 1;
    while (j < end && columnOf(j) == column) ++j;
    std::size_t low = i, high = i;
    for (std::size_t k = i; k < j; ++k) {
      if (y[k] < y[low] || std::isnan(y[low])) low = k;
      if (y[k] > y[high] || std::isnan(y[high])) high = k;
    }
    std::array<std::size_t, 4> four = {i, low, high, j - 1};
    std::sort(four.begin(), four.end());
    for (std::size_t k : four) {
      if (kept.empty() || kept.back() != k) kept.push_back(k);
    }
    i = j;
  }
  if (end < n) kept.push_back(end);
  return kept;
}

std::size_t NearestIndex(std::span<const double> x, double at) {
  const std::size_t i = std::lower_bound(x.begin(), x.end(), at) - x.begin();
  if (i == 0) return 0;
  if (i == x.size()) return x.size() - 1;
  return at - x[i - 1] <= x[i] - at ? i - 1 : i;
}

std::optional<ValueRange> YRange(const ChartData& chart, double from, double to) {
  std::optional<ValueRange> range;
  for (const ChartLine& line : chart.lines) {
    const std::size_t n = std::min(line.x.size(), line.y.size());
    for (std::size_t k = 0; k < n; ++k) {
      if (line.x[k] >= from && line.x[k] <= to) Widen(range, line.y[k]);
    }
  }
  for (const ChartLimit& limit : chart.limits) Widen(range, limit.value);
  return range;
}

std::optional<ValueRange> XRange(const ChartData& chart) {
  std::optional<ValueRange> range;
  for (const ChartLine& line : chart.lines) {
    if (line.x.empty()) continue;
    Widen(range, line.x.front());
    Widen(range, line.x.back());
  }
  return range;
}

const QuantityText& TextOf(ChartQuantity quantity) {
  static const std::array<QuantityText, 3> texts{{
      {"head", "水头", "m", "H", "m"},
      {"velocity", "流速", "m/s", "V", "m_per_s"},
      {"discharge", "流量", "m³/s", "Q", "m3_per_s"},
  }};
  return texts[static_cast<std::size_t>(quantity)];
}

std::optional<ChartQuantity> QuantityByOption(std::string_view option) {
  for (ChartQuantity q : {ChartQuantity::Head, ChartQuantity::Velocity, ChartQuantity::Discharge}) {
    if (option == TextOf(q).option) return q;
  }
  return std::nullopt;
}

std::vector<double> NodeHistory(const SurgeRun& run, const RunGeometry& geometry, int node,
                                ChartQuantity quantity) {
  const int steps = run.StepCount();
  std::vector<double> values(steps);
  const std::vector<float>* wetted = geometry.wettedArea.get();
  const auto nodes = static_cast<std::size_t>(run.GridNodes());
  const auto areaAt = [&](int step) {
    if (wetted == nullptr) return geometry.culvertArea;
    const std::size_t at = std::size_t(step - 1) * nodes + std::size_t(node - 1);
    return at < wetted->size() ? double((*wetted)[at]) : NAN;
  };
  for (int step = 1; step <= steps; ++step) {
    switch (quantity) {
      case ChartQuantity::Head:
        values[step - 1] = run.Head(node, step);
        break;
      case ChartQuantity::Velocity:
        values[step - 1] = run.Velocity(node, step);
        break;
      case ChartQuantity::Discharge:
        values[step - 1] = double(run.Velocity(node, step)) * areaAt(step);
        break;
    }
  }
  return values;
}

namespace {

// Whether the heads of `nodes` are water levels: the head at the reservoir
// end (node 1) is the reservoir's level, at the last node the forebay's, at
// a node that runs free throughout its water surface; at a node that runs
// full it is the piezometric head.
bool LevelsOnly(const RunGeometry& geometry, ChartQuantity quantity, std::span<const int> nodes,
                int forebay) {
  const auto level = [&](int node) {
    const auto at = std::size_t(node - 1);
    return node == 1 || node == forebay ||
           (at < geometry.surfaceNodes.size() && geometry.surfaceNodes[at]);
  };
  return quantity == ChartQuantity::Head && !nodes.empty() && std::ranges::all_of(nodes, level);
}

// "水位" on the axis of levels, the quantity's own name otherwise.
const char* HistoryAxisName(bool levels, ChartQuantity quantity) {
  return levels ? "水位" : TextOf(quantity).name;
}

// The title's name: "前池水位" for the forebay alone.
const char* HistoryName(bool levels, ChartQuantity quantity, std::span<const int> nodes,
                        int forebay) {
  if (levels && nodes.size() == 1 && nodes.front() == forebay) return "前池水位";
  return HistoryAxisName(levels, quantity);
}

}  // namespace

ChartData HistoryChart(const SurgeRun& run, const RunGeometry& geometry, std::span<const int> nodes,
                       ChartQuantity quantity) {
  const QuantityText& text = TextOf(quantity);
  const int forebay = run.GridNodes();
  const bool levels = LevelsOnly(geometry, quantity, nodes, forebay);
  ChartData chart;
  chart.title =
      std::string(HistoryName(levels, quantity, nodes, forebay)) + "过程线" + Named(geometry.event);
  chart.xTitle = "时间 (s)";
  chart.yTitle = std::string(HistoryAxisName(levels, quantity)) + " (" + text.unit + ")";
  const std::span<const float> times = run.StepTimes().first(run.StepCount());
  const std::vector<double> x(times.begin(), times.end());
  if (nodes.empty()) chart.note = "未勾选节点：请在左侧列表中勾选要画的节点";
  for (int node : nodes) {
    ChartLine line;
    line.name = NodeLabel(geometry, node);
    line.colour = node == forebay ? 0 : node == 1 ? 1 : 2 + (node - 2) % 8;
    line.x = x;
    line.y = NodeHistory(run, geometry, node, quantity);
    chart.lines.push_back(std::move(line));
  }
  return chart;
}

ChartData PumpDischargeChart(const SurgeRun& run, const RunGeometry& geometry) {
  ChartData chart;
  const std::string reach = geometry.openChannel ? "引渠" : "箱涵";
  chart.title = "泵流量与" + reach + "入前池流量" + Named(geometry.event);
  chart.xTitle = "时间 (s)";
  chart.yTitle = "流量 (m³/s)";
  const std::span<const float> times = run.StepTimes().first(run.StepCount());
  ChartLine pump;
  pump.name = "泵流量（各时段平均）";
  pump.colour = 1;
  pump.x.assign(times.begin(), times.end());
  pump.y.assign(geometry.pumpDischarge.begin(),
                geometry.pumpDischarge.begin() +
                    std::min<std::ptrdiff_t>(run.StepCount(), geometry.pumpDischarge.size()));
  ChartLine culvert;
  culvert.name = reach + "入前池流量（" + NodeLabel(geometry, run.GridNodes()) + "）";
  culvert.colour = 0;
  culvert.x = pump.x;
  culvert.y = NodeHistory(run, geometry, run.GridNodes(), ChartQuantity::Discharge);
  chart.lines.push_back(std::move(pump));
  chart.lines.push_back(std::move(culvert));
  return chart;
}

std::optional<StepSpan> StepsWithin(const SurgeRun& run, double from, double to) {
  const std::span<const float> times = run.StepTimes().first(run.StepCount());
  const auto first = std::lower_bound(times.begin(), times.end(), from,
                                      [](float t, double v) { return double(t) < v; });
  const auto last = std::upper_bound(times.begin(), times.end(), to,
                                     [](double v, float t) { return v < double(t); });
  if (first >= last) return std::nullopt;
  return StepSpan{int(first - times.begin()) + 1, int(last - times.begin())};
}

std::string HistoryCsv(const SurgeRun& run, const RunGeometry& geometry, std::span<const int> nodes,
                       ChartQuantity quantity, StepSpan steps) {
  const QuantityText& text = TextOf(quantity);
  const bool single = quantity != ChartQuantity::Discharge;
  std::string out = "step,time_s";
  std::vector<std::vector<double>> columns;
  for (int node : nodes) {
    out += ',' + std::string(text.symbol) + std::to_string(node) + '_' + text.csvUnit;
    columns.push_back(NodeHistory(run, geometry, node, quantity));
  }
  out += '\n';
  for (int step = steps.first; step <= steps.last; ++step) {
    out += std::to_string(step);
    out += ',';
    AppendShortest(out, run.StepTime(step));
    for (const std::vector<double>& column : columns) {
      out += ',';
      // a head or velocity as the single it is, a discharge as the double it is
      if (single) {
        AppendShortest(out, static_cast<float>(column[step - 1]));
      } else {
        AppendShortest(out, column[step - 1]);
      }
    }
    out += '\n';
  }
  return out;
}

std::string PumpDischargeCsv(const SurgeRun& run, const RunGeometry& geometry, StepSpan steps) {
  const int forebay = run.GridNodes();
  std::string out = "step,time_s,Q_pump_m3_per_s,Q" + std::to_string(forebay) + "_m3_per_s\n";
  const std::vector<double> culvert = NodeHistory(run, geometry, forebay, ChartQuantity::Discharge);
  for (int step = steps.first; step <= steps.last; ++step) {
    out += std::to_string(step);
    out += ',';
    AppendShortest(out, run.StepTime(step));
    out += ',';
    AppendShortest(out, geometry.pumpDischarge.at(step - 1));
    out += ',';
    AppendShortest(out, culvert[step - 1]);
    out += '\n';
  }
  return out;
}

std::string ComparedHeadsTitle(std::size_t surfaces, std::size_t cases) {
  const char* name = surfaces == 0 ? "水头" : surfaces < cases ? "水位与水头" : "水位";
  return std::string("各工况沿程最高、最低") + name;
}

bool HeadIsWaterSurface(const RunSummary& summary) {
  return summary.freeSurface && summary.freeSurface->section == CulvertSection::Channel;
}

ChartData EnvelopeChart(const RunSummary& summary, const SurgeRun& run, const RunGeometry& geometry,
                        EnvelopeOf what) {
  const bool head = what == EnvelopeOf::Head;
  const QuantityText& text = TextOf(head ? ChartQuantity::Head : ChartQuantity::Velocity);
  const bool surface = head && HeadIsWaterSurface(summary);
  ChartData chart;
  chart.title = std::string(surface ? "水面线" : text.name) + "包络线（时段 1 至 " +
                std::to_string(summary.steps) + "）" + Named(geometry.event);
  chart.xTitle = "距水库 (m)";
  chart.yTitle = std::string(surface ? "水位" : text.name) + " (" + text.unit + ")";
  ChartLine highest, lowest, initial;
  highest.name = surface ? "最高水面" : head ? "最高水头" : "最大流速";
  lowest.name = surface ? "最低水面" : head ? "最低水头" : "最小流速";
  initial.name = surface ? "初始水面（时段 1）"
                 : head  ? "初始水头（时段 1）"
                         : "初始流速（时段 1）";
  initial.style = LineStyle::Dashed;
  const std::span<const float> start = head ? run.HeadsAt(1) : run.VelocitiesAt(1);
  for (std::size_t k = 0; k < summary.envelope.size(); ++k) {
    const NodeEnvelope& e = summary.envelope[k];
    const double distance = NodeDistance(geometry, int(k) + 1);
    for (ChartLine* line : {&highest, &lowest, &initial}) line->x.push_back(distance);
    highest.y.push_back(head ? e.highestHead.value : e.highestVelocity.value);
    lowest.y.push_back(head ? e.lowestHead.value : e.lowestVelocity.value);
    initial.y.push_back(start[k]);
  }
  for (ChartLine* line : {&highest, &lowest, &initial}) {
    line->markers = MarkEachPoint(line->x.size());
    chart.lines.push_back(std::move(*line));
  }
  return chart;
}

std::string EnvelopeCsv(const RunSummary& summary, const SurgeRun& run, const RunGeometry& geometry,
                        std::span<const double> soffits) {
  const bool soffit = !soffits.empty() && soffits.size() >= summary.envelope.size();
  std::string out =
      "node,distance_m,initial_head_m,max_head_m,max_head_step,max_head_time_s,min_head_m,"
      "min_head_step,min_head_time_s,initial_velocity_m_per_s,max_velocity_m_per_s,"
      "max_velocity_step,max_velocity_time_s,min_velocity_m_per_s,min_velocity_step,"
      "min_velocity_time_s";
  const std::optional<FreeSurfaceRecord>& free = summary.freeSurface;
  if (free)
    out += ",invert_m,initial_depth_m,max_depth_m,max_depth_step,min_depth_m,min_depth_step,regime";
  out += soffit ? ",max_pressure_head_m\n" : "\n";
  auto extreme = [&](const ExtremeAt& at) {
    out += ',';
    AppendShortest(out, at.value);
    out += ',' + std::to_string(at.step) + ',';
    AppendShortest(out, run.StepTime(at.step));
  };
  for (std::size_t k = 0; k < summary.envelope.size(); ++k) {
    const NodeEnvelope& e = summary.envelope[k];
    out += std::to_string(k + 1) + ',' +
           ShortestText(static_cast<float>(NodeDistance(geometry, int(k) + 1))) + ',';
    AppendShortest(out, run.HeadsAt(1)[k]);
    extreme(e.highestHead);
    extreme(e.lowestHead);
    out += ',';
    AppendShortest(out, run.VelocitiesAt(1)[k]);
    extreme(e.highestVelocity);
    extreme(e.lowestVelocity);
    if (free && k < free->nodes.size()) {
      const NodeRegime& node = free->nodes[k];
      for (float value : {k < free->invert.size() ? free->invert[k] : 0.0f, node.initialDepth}) {
        out += ',';
        AppendShortest(out, value);
      }
      out += ',';
      AppendShortest(out, node.highestDepth);
      out += ',' + std::to_string(node.highestDepthStep) + ',';
      AppendShortest(out, node.lowestDepth);
      out += ',' + std::to_string(node.lowestDepthStep) + ',' + NodeRegimeWord(node);
    }
    if (soffit) {
      // At the heads' own precision, as every other value of the file.
      out += ',';
      AppendShortest(out, static_cast<float>(InternalPressureHead(e, soffits[k])));
    }
    out += '\n';
  }
  return out;
}

ChartData SweepChart(const SweepChartInput& input) {
  ChartData chart;
  chart.title = input.title.empty() ? "前池最高与最低水位" : input.title;
  chart.xTitle = input.xTitle;
  chart.yTitle = "前池水位 (m)";
  for (std::size_t c = 0; c < input.curves.size(); ++c) {
    const SweepCurve& curve = input.curves[c];
    const std::string suffix = curve.label.empty() ? "" : "，" + curve.label;
    const bool marked = MarkEachPoint(curve.x.size());
    ChartLine highest{"最高" + suffix, curve.x, curve.highest, LineStyle::Solid, marked, int(c)};
    ChartLine lowest{"最低" + suffix, curve.x, curve.lowest, LineStyle::Dashed, marked, int(c)};
    chart.lines.push_back(std::move(highest));
    chart.lines.push_back(std::move(lowest));
  }
  chart.limits = input.limits;
  return chart;
}

ChartData ComparisonChart(std::span<const CaseChart> cases, std::span<const std::string> pick,
                          const std::string& title) {
  static constexpr LineStyle kStyles[] = {LineStyle::Solid, LineStyle::Dashed, LineStyle::Dotted};
  ChartData chart;
  int place = 0;
  for (const CaseChart& c : cases) {
    if (chart.title.empty()) {
      chart.title =
          !title.empty() ? title : "各工况" + c.chart.title.substr(0, c.chart.title.find("（"));
      chart.xTitle = c.chart.xTitle;
      chart.yTitle = c.chart.yTitle;
    }
    const int colour = c.colour >= 0 ? c.colour : place;
    ++place;
    std::size_t taken = 0;
    for (const ChartLine& line : c.chart.lines) {
      const auto named = std::find_if(pick.begin(), pick.end(), [&](const std::string& p) {
        return p.empty() || line.name == p;
      });
      if (!pick.empty() && named == pick.end()) continue;
      ChartLine& out = chart.lines.emplace_back(line);
      const bool alone = !pick.empty() && named->empty();
      out.name = c.name + (alone ? "" : " " + line.name);
      out.colour = colour;
      out.markers = false;
      if (!alone) out.style = kStyles[taken % std::size(kStyles)];
      ++taken;
      if (alone) break;
    }
  }
  return chart;
}

namespace {

// A CSV cell: as it is, or quoted whole with its quotation marks doubled
// when it holds a comma, a quotation mark or a line break.
std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string CasesCsv(std::span<const CaseCsv> cases) {
  std::string out;
  for (const CaseCsv& c : cases) {
    const std::string cell = CsvCell(c.name) + ",";
    std::size_t at = c.csv.find('\n');
    if (at == std::string::npos) continue;
    if (out.empty()) out = "case," + c.csv.substr(0, at + 1);
    for (++at; at < c.csv.size();) {
      std::size_t end = c.csv.find('\n', at);
      end = end == std::string::npos ? c.csv.size() : end + 1;
      out += cell;
      out.append(c.csv, at, end - at);
      if (out.back() != '\n') out += '\n';
      at = end;
    }
  }
  return out;
}

}  // namespace kelvane
