#include "charts/chart_scene.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "files/file_writer.h"
#include "format/number_format.h"

namespace kelvane {
namespace {

constexpr double kMargin = 10;         // px around everything
constexpr double kTickLength = 5;      // px
constexpr double kLegendRow = 18;      // px per legend row
constexpr double kLegendGap = 18;      // px between legend entries
constexpr double kXTickSpacing = 110;  // px per x interval, about
constexpr double kYTickSpacing = 60;   // px per y interval, about

// The step of the ticks: 1, 2 or 5 times a power of ten whose number of
// intervals over `span` lies nearest `target` (by ratio).
double NiceStep(double span, int target) {
  const double rough = span / std::max(target, 1);
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  double best = power;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    const double step = m * power;
    if (std::abs(std::log(step / rough)) < std::abs(std::log(best / rough))) best = step;
  }
  return best;
}

// The point where the segment a-b crosses x = at.
ScenePoint CutAt(ScenePoint a, ScenePoint b, double at) {
  if (b.x == a.x) return {at, a.y};
  return {at, a.y + (b.y - a.y) * (at - a.x) / (b.x - a.x)};
}

}  // namespace

double TextWidth(std::string_view utf8, double size) {
  double width = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    unsigned code = lead < 0x80 ? lead : lead & (0x3F >> (length - 1));
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    // CJK and full-width forms take a whole em; the rest about 0.6 of one.
    width += code >= 0x2E80 ? size : 0.6 * size;
    i += length;
  }
  return width;
}

std::optional<ChartRange> WholeRange(const ChartData& data) {
  const std::optional<ValueRange> x = XRange(data);
  if (!x) return std::nullopt;
  ChartRange range;
  if (x->high > x->low) {
    // Markers at the ends keep their whole disc inside the plot.
    const bool markers = std::any_of(data.lines.begin(), data.lines.end(),
                                     [](const ChartLine& line) { return line.markers; });
    const double pad = markers ? 0.02 * (x->high - x->low) : 0;
    range.xFrom = x->low - pad;
    range.xTo = x->high + pad;
  } else {
    // One point in time (a one-step run): it stands in the middle.
    range.xFrom = x->low - 0.5;
    range.xTo = x->low + 0.5;
  }
  const ValueRange y = YRange(data, range.xFrom, range.xTo).value_or(ValueRange{0, 1});
  const double margin = y.high > y.low ? 0.05 * (y.high - y.low) : std::max(1.0, std::abs(y.low));
  range.yFrom = y.low - margin;
  range.yTo = y.high + margin;
  return range;
}

std::vector<AxisTick> NiceTicks(double from, double to, int target) {
  std::vector<AxisTick> ticks;
  if (!std::isfinite(from) || !std::isfinite(to) || !(to > from)) return ticks;
  const double step = NiceStep(to - from, target);
  if (!(step > 0) || !std::isfinite(step)) return ticks;
  const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
  // Whole multiples of the step, so that zero is a tick wherever it is in
  // range; a small allowance keeps an end tick that rounding put just out.
  const double first = std::ceil(from / step - 1e-9);
  const double last = std::floor(to / step + 1e-9);
  if (last - first > 1000) return ticks;
  for (double k = first; k <= last; ++k) {
    const double value = k * step;
    ticks.push_back({value, Fixed(value, decimals, NegativeZero::Drop)});
  }
  return ticks;
}

std::vector<unsigned> LineColours(const ChartData& data) {
  std::vector<unsigned> colours;
  int next = 0;
  for (const ChartLine& line : data.lines) {
    const int number = line.colour >= 0 ? line.colour : next++;
    colours.push_back(kLineColours[static_cast<std::size_t>(number) % std::size(kLineColours)]);
  }
  return colours;
}

double ChartScene::XValue(double px) const {
  return range.xFrom + (px - plot.left) / plot.width * (range.xTo - range.xFrom);
}
double ChartScene::XPixel(double value) const {
  return plot.left + (value - range.xFrom) / (range.xTo - range.xFrom) * plot.width;
}
double ChartScene::YPixel(double value) const {
  return plot.Bottom() - (value - range.yFrom) / (range.yTo - range.yFrom) * plot.height;
}

namespace {

unsigned SpanColour(const ChartSpan& span) {
  return span.colour < 0
             ? kLimitColour
             : kLineColours[static_cast<std::size_t>(span.colour) % std::size(kLineColours)];
}

// The legend, in rows centred under the plot, lines then limits; an entry
// is its swatch, a gap and its text.
struct Legend {
  std::vector<LegendEntry> entries;
  std::size_t rows = 0;
  double top = 0;  // of the first row
};

Legend PlaceLegend(const ChartData& data, double width, double height) {
  std::vector<LegendEntry> entries;
  if (!data.lines.empty()) {
    const std::vector<unsigned> colours = LineColours(data);
    for (std::size_t n = 0; n < data.lines.size(); ++n) {
      const ChartLine& line = data.lines[n];
      LegendEntry entry;
      entry.text = line.name;
      entry.colour = colours[n];
      entry.style = line.style;
      entry.markers = line.markers || line.x.size() == 1;
      entries.push_back(entry);
    }
    for (const ChartLimit& limit : data.limits) {
      LegendEntry entry;
      entry.text = limit.name;
      entry.colour = kLimitColour;
      entry.limit = true;
      entries.push_back(entry);
    }
    for (std::size_t n = 0; n < data.spans.size(); ++n) {
      const std::string& name = data.spans[n].name;
      bool named = false;
      for (std::size_t m = 0; m < n; ++m) named = named || data.spans[m].name == name;
      if (named) continue;
      LegendEntry entry;
      entry.text = name;
      entry.colour = SpanColour(data.spans[n]);
      entry.span = true;
      entries.push_back(entry);
    }
  }
  const double rowWidth = std::max(1.0, width - 2 * kMargin);
  std::vector<std::vector<std::size_t>> rows;
  std::vector<double> rowWidths;
  auto flow = [&] {
    rows.clear();
    rowWidths.clear();
    for (std::size_t k = 0; k < entries.size(); ++k) {
      const double w =
          (entries[k].more ? 0 : kLegendSwatch + 6) + TextWidth(entries[k].text, kLabelSize);
      entries[k].box.width = w;
      entries[k].box.height = kLegendRow;
      if (rows.empty() || rowWidths.back() + kLegendGap + w > rowWidth) {
        rows.push_back({});
        rowWidths.push_back(w);
      } else {
        rowWidths.back() += kLegendGap + w;
      }
      rows.back().push_back(k);
    }
  };
  flow();
  // The legend takes at most about a quarter of the height; the entries
  // that would not fit are counted in a last one ("另有 12 条").
  const std::size_t maxRows = std::max<std::size_t>(1, std::size_t(0.25 * height / kLegendRow));
  if (rows.size() > maxRows) {
    // Lines are left out from the last; the limits and spans stay.
    const std::vector<LegendEntry> all = std::move(entries);
    const std::size_t lines = data.lines.size();
    std::size_t kept = std::min(lines, rows[maxRows - 1].back() + 1);
    do {
      --kept;
      entries.assign(all.begin(), all.begin() + std::ptrdiff_t(kept));
      LegendEntry more;
      more.more = true;
      more.text = "另有 " + std::to_string(lines - kept) + " 条";
      entries.push_back(more);
      entries.insert(entries.end(), all.begin() + std::ptrdiff_t(lines), all.end());
      flow();
    } while (rows.size() > maxRows && kept > 0);
  }
  const double legendTop = height - kMargin - kLegendRow * double(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    double left = std::max(kMargin, (width - rowWidths[r]) / 2);
    const double rowTop = legendTop + kLegendRow * double(r);
    for (std::size_t k : rows[r]) {
      LegendEntry& entry = entries[k];
      entry.box.left = left;
      entry.box.top = rowTop;
      entry.swatch = {left, rowTop + kLegendRow / 2};
      entry.textAt = {left + (entry.more ? 0 : kLegendSwatch + 6),
                      rowTop + kLegendRow / 2 + 0.35 * kLabelSize};
      left += entry.box.width + kLegendGap;
    }
  }
  return {std::move(entries), rows.size(), legendTop};
}

// The lines: one point per column's extreme over the x range shown, the
// lines cut where they leave it.
void PlaceLines(const ChartData& data, bool drawn, ChartScene& scene) {
  const SceneRect& plot = scene.plot;
  const std::vector<unsigned> colours = LineColours(data);
  const int columns = std::max(1, int(std::lround(plot.width)));
  const ChartRange& r = scene.range;
  for (std::size_t n = 0; n < data.lines.size(); ++n) {
    const ChartLine& line = data.lines[n];
    SceneLine drawnLine;
    drawnLine.colour = colours[n];
    drawnLine.style = line.style;
    drawnLine.markers = line.markers || line.x.size() == 1;
    if (drawn) {
      for (std::size_t k : DecimateToColumns(line.x, line.y, r.xFrom, r.xTo, columns)) {
        if (std::isnan(line.y[k])) continue;
        drawnLine.points.push_back({scene.XPixel(line.x[k]), scene.YPixel(line.y[k])});
        drawnLine.indices.push_back(k);
      }
    }
    std::vector<ScenePoint>& p = drawnLine.points;
    if (p.size() >= 2 && p[0].x < plot.left) p[0] = CutAt(p[0], p[1], plot.left);
    if (p.size() >= 2 && p.back().x > plot.Right())
      p.back() = CutAt(p[p.size() - 2], p.back(), plot.Right());
    scene.lines.push_back(std::move(drawnLine));
  }
}

}  // namespace

ChartScene LayoutChart(const ChartData& data, double width, double height,
                       std::optional<ChartRange> range) {
  ChartScene scene;
  scene.width = width;
  scene.height = height;
  const std::optional<ChartRange> whole = WholeRange(data);
  const bool drawn = whole.has_value();
  scene.range = range ? *range : whole.value_or(ChartRange{});

  // From the top: the title.
  double top = kMargin;
  if (!data.title.empty()) {
    scene.title = {data.title, {width / 2, top + kTitleSize}, TextAnchor::Middle, kTitleSize, true};
    top += 1.6 * kTitleSize;
  }
  top += 0.6 * kLabelSize;  // room for the top y label's upper half

  // From the bottom: the legend.
  const Legend legend = PlaceLegend(data, width, height);
  scene.legend = legend.entries;
  const double legendTop = legend.top;

  double bottom = legend.rows == 0 ? height - kMargin : legendTop - 6;
  if (!data.xTitle.empty()) {
    scene.xTitle = {data.xTitle, {0, bottom - 3}, TextAnchor::Middle, kAxisTitleSize};
    bottom -= 1.4 * kAxisTitleSize;
  }
  const double xLabelBaseline = bottom - 3;
  bottom -= 1.25 * kLabelSize + kTickLength + 2;

  // The plot's height fixes the y ticks, whose widest label fixes its left.
  const double plotTop = top;
  const double plotHeight = std::max(1.0, bottom - plotTop);
  if (drawn) {
    // At least five intervals where they find room: a short plot still reads.
    const int target = std::max(
        {2, std::min(5, int(plotHeight / 25)), int(std::lround(plotHeight / kYTickSpacing))});
    scene.yTicks = NiceTicks(scene.range.yFrom, scene.range.yTo, target);
  }
  double labelWidth = 0;
  for (const AxisTick& tick : scene.yTicks)
    labelWidth = std::max(labelWidth, TextWidth(tick.text, kLabelSize));
  double left = kMargin;
  if (!data.yTitle.empty()) {
    scene.yTitle = {
        data.yTitle, {left + kAxisTitleSize, 0}, TextAnchor::Middle, kAxisTitleSize, false, true};
    left += 1.5 * kAxisTitleSize;
  }
  const double yLabelRight = left + labelWidth;
  left = yLabelRight + 4 + kTickLength;
  const double right = width - kMargin - 1.5 * kLabelSize;
  scene.plot = {left, plotTop, std::max(1.0, right - left), plotHeight};
  const SceneRect& plot = scene.plot;
  scene.xTitle.at.x = plot.left + plot.width / 2;
  scene.yTitle.at.y = plot.top + plot.height / 2;

  if (drawn) {
    scene.xTicks = NiceTicks(scene.range.xFrom, scene.range.xTo,
                             std::max(2, int(std::lround(plot.width / kXTickSpacing))));
  }
  for (const AxisTick& tick : scene.xTicks) {
    scene.xTickAt.push_back(scene.XPixel(tick.value));
    scene.xLabels.push_back(
        {tick.text, {scene.xTickAt.back(), xLabelBaseline}, TextAnchor::Middle, kLabelSize});
  }
  for (const AxisTick& tick : scene.yTicks) {
    scene.yTickAt.push_back(scene.YPixel(tick.value));
    scene.yLabels.push_back({tick.text,
                             {yLabelRight, scene.yTickAt.back() + 0.35 * kLabelSize},
                             TextAnchor::End,
                             kLabelSize});
  }

  PlaceLines(data, drawn, scene);
  if (drawn) {
    for (const ChartLimit& limit : data.limits) scene.limits.push_back({scene.YPixel(limit.value)});
    for (const ChartSpan& span : data.spans) {
      double from = std::max(plot.left, scene.XPixel(span.from));
      double to = std::min(plot.Right(), scene.XPixel(span.to));
      if (to - from < kMinSpanWidth) {
        const double middle = (from + to) / 2;
        from = std::max(plot.left, middle - kMinSpanWidth / 2);
        to = std::min(plot.Right(), middle + kMinSpanWidth / 2);
      }
      if (from < to) scene.spans.push_back({from, to, SpanColour(span)});
    }
  }
  if (!drawn && !data.note.empty()) {
    scene.note = {data.note,
                  {plot.left + plot.width / 2, plot.top + plot.height / 2},
                  TextAnchor::Middle,
                  kAxisTitleSize};
  }
  return scene;
}

void AppendXmlEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

// ---------------------------------------------------------------- SVG

namespace {

void Number(std::string& out, double value) {
  // Two decimals: a hundredth of a pixel, and the same text on every machine.
  out += Fixed(value, 2, NegativeZero::Drop);
}

std::string Colour(unsigned rgb) {
  static const char digits[] = "0123456789abcdef";
  std::string text = "#";
  for (int shift = 20; shift >= 0; shift -= 4) text += digits[(rgb >> shift) & 0xF];
  return text;
}

const char* DashArray(LineStyle style) {
  switch (style) {
    case LineStyle::Dashed:
      return " stroke-dasharray=\"6 4\"";
    case LineStyle::Dotted:
      return " stroke-dasharray=\"1.5 3\"";
    case LineStyle::Solid:
      break;
  }
  return "";
}
constexpr const char* kLimitDashes = " stroke-dasharray=\"8 3 2 3\"";

void Attribute(std::string& out, const char* name, double value) {
  out += ' ';
  out += name;
  out += "=\"";
  Number(out, value);
  out += '"';
}

void Line(std::string& out, ScenePoint a, ScenePoint b) {
  out += "<line";
  Attribute(out, "x1", a.x);
  Attribute(out, "y1", a.y);
  Attribute(out, "x2", b.x);
  Attribute(out, "y2", b.y);
  out += "/>\n";
}

void Text(std::string& out, const SceneText& text, const char* extra = "") {
  if (text.text.empty()) return;
  out += "<text";
  Attribute(out, "x", text.at.x);
  Attribute(out, "y", text.at.y);
  out += " font-size=\"";
  Number(out, text.size);
  out += '"';
  out += text.anchor == TextAnchor::Start ? ""
         : text.anchor == TextAnchor::End ? " text-anchor=\"end\""
                                          : " text-anchor=\"middle\"";
  if (text.bold) out += " font-weight=\"bold\"";
  if (text.upright) {
    out += " transform=\"rotate(-90 ";
    Number(out, text.at.x);
    out += ' ';
    Number(out, text.at.y);
    out += ")\"";
  }
  out += extra;
  out += '>';
  AppendXmlEscaped(out, text.text);
  out += "</text>\n";
}

void Markers(std::string& out, const std::vector<ScenePoint>& points, unsigned colour) {
  out += "<g fill=\"" + Colour(colour) + "\" stroke=\"none\">\n";
  for (const ScenePoint& p : points) {
    out += "<circle";
    Attribute(out, "cx", p.x);
    Attribute(out, "cy", p.y);
    out += " r=\"2.50\"/>\n";
  }
  out += "</g>\n";
}

// The failing spans: see-through bands over the plot's height.
void SvgSpans(std::string& out, const ChartScene& scene) {
  const SceneRect& plot = scene.plot;
  if (!scene.spans.empty()) {
    out += "<g fill-opacity=\"";
    Number(out, kSpanOpacity);
    out += "\" stroke=\"none\">\n";
    for (const SceneSpan& span : scene.spans) {
      out += "<rect fill=\"" + Colour(span.colour) + "\"";
      Attribute(out, "x", span.left);
      Attribute(out, "y", plot.top);
      Attribute(out, "width", span.right - span.left);
      Attribute(out, "height", plot.height);
      out += "/>\n";
    }
    out += "</g>\n";
  }
}

// The legend's entries: a swatch (a line, a dashed limit or a band) and a
// text each.
void SvgLegend(std::string& out, const ChartScene& scene) {
  for (const LegendEntry& entry : scene.legend) {
    if (entry.more) {
      Text(out, {entry.text, entry.textAt, TextAnchor::Start, kLabelSize}, " fill=\"#202020\"");
      continue;
    }
    if (entry.span) {
      out += "<rect";
      Attribute(out, "x", entry.swatch.x);
      Attribute(out, "y", entry.swatch.y - 5);
      Attribute(out, "width", kLegendSwatch);
      out += " height=\"10\" fill=\"" + Colour(entry.colour) + "\" fill-opacity=\"";
      Number(out, 2 * kSpanOpacity);
      out += "\"/>\n";
      Text(out, {entry.text, entry.textAt, TextAnchor::Start, kLabelSize}, " fill=\"#202020\"");
      continue;
    }
    const ScenePoint end{entry.swatch.x + kLegendSwatch, entry.swatch.y};
    out += "<g stroke=\"" + Colour(entry.colour) + "\" stroke-width=\"1.5\"" +
           (entry.limit ? kLimitDashes : DashArray(entry.style)) + ">";
    Line(out, entry.swatch, end);
    out += "</g>\n";
    if (entry.markers)
      Markers(out, {{entry.swatch.x + kLegendSwatch / 2, entry.swatch.y}}, entry.colour);
    Text(out, {entry.text, entry.textAt, TextAnchor::Start, kLabelSize}, " fill=\"#202020\"");
  }
}

}  // namespace

std::string ChartSvg(const ChartScene& scene) {
  const SceneRect& plot = scene.plot;
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
  Attribute(out, "width", scene.width);
  Attribute(out, "height", scene.height);
  out += " viewBox=\"0 0 ";
  Number(out, scene.width);
  out += ' ';
  Number(out, scene.height);
  out += "\" font-family=\"";
  bool first = true;
  for (const char* family : kChartFontFamilies) {
    if (!first) out += ", ";
    first = false;
    const bool generic = std::string_view(family) == "sans-serif";
    if (!generic) out += '\'';
    out += family;
    if (!generic) out += '\'';
  }
  out += "\">\n<title>";
  AppendXmlEscaped(out, scene.title.text);
  out += "</title>\n";
  out += "<rect x=\"0\" y=\"0\" width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  out += "<defs><clipPath id=\"plot\"><rect";
  Attribute(out, "x", plot.left);
  Attribute(out, "y", plot.top);
  Attribute(out, "width", plot.width);
  Attribute(out, "height", plot.height);
  out += "/></clipPath></defs>\n";

  // The grid at the ticks, the frame, the tick marks and their labels.
  out += "<g stroke=\"#e4e4e4\" stroke-width=\"1\">\n";
  for (double x : scene.xTickAt) Line(out, {x, plot.top}, {x, plot.Bottom()});
  for (double y : scene.yTickAt) Line(out, {plot.left, y}, {plot.Right(), y});
  out += "</g>\n<g stroke=\"#404040\" stroke-width=\"1\">\n";
  for (double x : scene.xTickAt) Line(out, {x, plot.Bottom()}, {x, plot.Bottom() + kTickLength});
  for (double y : scene.yTickAt) Line(out, {plot.left - kTickLength, y}, {plot.left, y});
  out += "</g>\n<rect";
  Attribute(out, "x", plot.left);
  Attribute(out, "y", plot.top);
  Attribute(out, "width", plot.width);
  Attribute(out, "height", plot.height);
  out += " fill=\"none\" stroke=\"#404040\" stroke-width=\"1\"/>\n";
  out += "<g fill=\"#202020\">\n";
  for (const SceneText& label : scene.xLabels) Text(out, label);
  for (const SceneText& label : scene.yLabels) Text(out, label);
  out += "</g>\n";

  // The failing spans under the lines, then the lines and limits, clipped
  // to the plot.
  SvgSpans(out, scene);
  out += "<g clip-path=\"url(#plot)\" fill=\"none\" stroke-linejoin=\"round\">\n";
  for (const SceneLimit& limit : scene.limits) {
    out += "<g stroke=\"" + Colour(kLimitColour) + "\" stroke-width=\"1.2\"" + kLimitDashes + ">";
    Line(out, {plot.left, limit.y}, {plot.Right(), limit.y});
    out += "</g>\n";
  }
  for (const SceneLine& line : scene.lines) {
    out += "<polyline stroke=\"" + Colour(line.colour) + "\" stroke-width=\"1.5\"" +
           DashArray(line.style) + " points=\"";
    for (std::size_t k = 0; k < line.points.size(); ++k) {
      if (k > 0) out += ' ';
      Number(out, line.points[k].x);
      out += ',';
      Number(out, line.points[k].y);
    }
    out += "\"/>\n";
    if (line.markers) Markers(out, line.points, line.colour);
  }
  out += "</g>\n";

  // The texts and the legend.
  out += "<g fill=\"#202020\">\n";
  Text(out, scene.title);
  Text(out, scene.xTitle);
  Text(out, scene.yTitle);
  Text(out, scene.note, " fill=\"#606060\"");
  out += "</g>\n";
  SvgLegend(out, scene);
  out += "</svg>\n";
  return out;
}

bool IsSvgPath(std::string_view path) {
  if (path.size() < 4) return false;
  std::string end(path.substr(path.size() - 4));
  for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return end == ".svg";
}

void SaveChartSvg(const ChartData& data, const std::string& path) {
  const std::string svg = ChartSvg(LayoutChart(data, kChartImageWidth, kChartImageHeight));
  WriteFileAtomically(path, [&svg](const ByteWriter& write) { write(svg); });
}

}  // namespace kelvane
