// What a chart draws, in pixels, Qt-free: from a ChartData, a size and the
// ranges shown, the plot rectangle, the axes' ticks with their texts, the
// lines decimated to the plot's pixel columns, the limits, the legend, the
// titles and the note of an empty chart. The window's painter and the SVG
// writer draw this scene as it is, so every picture of a chart is the same.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "charts/chart_data.h"

namespace kelvane {

// The x and y ranges a chart shows, in axis units.
struct ChartRange {
  double xFrom = 0, xTo = 1;
  double yFrom = 0, yTo = 1;
  bool operator==(const ChartRange&) const = default;
};

// The whole chart: every point of every line, the limits, some room around
// them; nullopt for a chart without points.
std::optional<ChartRange> WholeRange(const ChartData& data);

// Ticks at whole multiples of a step of 1, 2 or 5 times a power of ten, about
// `target` intervals over [from, to], each with the text it is labelled
// with (as many decimals as the step needs, never "-0").
struct AxisTick {
  double value;
  std::string text;
};
std::vector<AxisTick> NiceTicks(double from, double to, int target);

// The font sizes of a chart, px. Text widths are estimated from them (a CJK
// character one size wide, other characters 0.6 of it), so that the layout
// needs no font engine.
constexpr double kTitleSize = 15;
constexpr double kAxisTitleSize = 13;
constexpr double kLabelSize = 12;
double TextWidth(std::string_view utf8, double size);

// The font families of every chart: fonts that hold the Chinese texts, then
// the generic family.
constexpr const char* kChartFontFamilies[] = {
    "WenQuanYi Zen Hei", "Noto Sans CJK SC", "Source Han Sans SC", "Microsoft YaHei", "SimHei",
    "PingFang SC",       "Heiti SC",         "sans-serif"};

// The colours, as 0xRRGGBB: ten that stay apart on white; the limits' own.
constexpr unsigned kLineColours[] = {0x1f4eb4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd,
                                     0x8c564b, 0x17becf, 0xe377c2, 0x7f7f7f, 0xbcbd22};
constexpr unsigned kLimitColour = 0xb00000;
// The failing spans: the limits' red, mostly see-through.
constexpr double kSpanOpacity = 0.16;

struct ScenePoint {
  double x, y;  // px, from the top left
};
struct SceneRect {
  double left = 0, top = 0, width = 0, height = 0;
  double Right() const { return left + width; }
  double Bottom() const { return top + height; }
  bool Contains(ScenePoint p) const {
    return p.x >= left && p.x <= Right() && p.y >= top && p.y <= Bottom();
  }
};

enum class TextAnchor { Start, Middle, End };
struct SceneText {
  std::string text;  // UTF-8; empty: nothing drawn
  ScenePoint at;     // the baseline's start, middle or end
  TextAnchor anchor = TextAnchor::Middle;
  double size = kLabelSize;
  bool bold = false;
  bool upright = false;  // turned a quarter left, reading upwards (the y title)
};

// A line as drawn: its points in pixels, cut at the x range's ends (the y
// range is the plot's clip). A line of one point is drawn as its marker.
struct SceneLine {
  std::vector<ScenePoint> points;
  std::vector<std::size_t> indices;  // the line's point each stands for
  unsigned colour = 0;
  LineStyle style = LineStyle::Solid;
  bool markers = false;
};

struct SceneLimit {
  double y;  // px; the line runs across the plot
};

// A span across the plot's height, cut to the plot; at least kMinSpanWidth
// wide, so that a span of one node still shows.
struct SceneSpan {
  double left, right;  // px
  unsigned colour = kLimitColour;
};
constexpr double kMinSpanWidth = 3;  // px

struct LegendEntry {
  std::string text;
  SceneRect box;      // the entry's whole extent: swatch and text
  ScenePoint swatch;  // the swatch line's left end; it is kLegendSwatch wide
  ScenePoint textAt;  // the text's baseline start
  unsigned colour = 0;
  LineStyle style = LineStyle::Solid;
  bool markers = false;
  bool limit = false;  // drawn as a limit: dash-dotted
  bool span = false;   // drawn as a span: a filled swatch in `colour`
  bool more = false;   // text only: how many entries did not fit
};
constexpr double kLegendSwatch = 24;  // px

struct ChartScene {
  double width = 0, height = 0;  // px
  ChartRange range;              // what the plot shows
  SceneRect plot;
  SceneText title, xTitle, yTitle;
  std::vector<AxisTick> xTicks, yTicks;  // the values of the ticks in range
  std::vector<double> xTickAt, yTickAt;  // their pixel positions
  std::vector<SceneText> xLabels, yLabels;
  std::vector<SceneLine> lines;  // one per line of the data, in order
  std::vector<SceneLimit> limits;
  std::vector<SceneSpan> spans;     // those in the x range shown
  std::vector<LegendEntry> legend;  // lines, then limits, then spans (one per name)
  SceneText note;                   // the empty chart's note, in the plot's middle

  // Axis value of a pixel and back, over the range shown.
  double XValue(double px) const;
  double XPixel(double value) const;
  double YPixel(double value) const;
};

// The scene of `data` in `width` × `height` pixels showing `range` (the
// whole chart when none).
ChartScene LayoutChart(const ChartData& data, double width, double height,
                       std::optional<ChartRange> range = std::nullopt);

// The colour of every line of `data`: its own number's, or the next unused
// one for a line without.
std::vector<unsigned> LineColours(const ChartData& data);

// The scene as an SVG document: plain text, one <polyline> per line,
// coordinates with two decimals, the chart's font families with the generic
// one last.
std::string ChartSvg(const ChartScene& scene);

// The size of the charts the batch mode draws, px.
constexpr int kChartImageWidth = 1000;
constexpr int kChartImageHeight = 600;

// Whether `path` names an SVG image (ends in ".svg", any case).
bool IsSvgPath(std::string_view path);

// `data` as an SVG of the batch mode's size at `path`, through the
// write-then-rename. Throws RunError.
void SaveChartSvg(const ChartData& data, const std::string& path);

// `text` with &, <, > and " written as XML entities (the SVG's texts, the
// calculation report's HTML).
void AppendXmlEscaped(std::string& out, std::string_view text);

}  // namespace kelvane
