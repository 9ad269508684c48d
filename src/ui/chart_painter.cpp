#include "ui/chart_painter.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPolygonF>
#include <QStringList>
#include <cmath>
#include <deque>

#include "files/output.h"

namespace kelvane::ui {

namespace {

QColor Rgb(unsigned rgb) { return QColor(QRgb(rgb)); }

QFont ChartFont(double size, bool bold) {
  QStringList families;
  for (const char* family : kChartFontFamilies) {
    if (std::string_view(family) != "sans-serif") families << QString::fromUtf8(family);
  }
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(int(std::lround(size)));
  font.setBold(bold);
  return font;
}

QPointF Point(ScenePoint p) { return QPointF(p.x, p.y); }

void SetDashes(QPen& pen, LineStyle style) {
  switch (style) {
    case LineStyle::Dashed:
      pen.setDashPattern({6 / pen.widthF(), 4 / pen.widthF()});
      break;
    case LineStyle::Dotted:
      pen.setDashPattern({1.5 / pen.widthF(), 3 / pen.widthF()});
      break;
    case LineStyle::Solid:
      break;
  }
}
void SetLimitDashes(QPen& pen) {
  const double w = pen.widthF();
  pen.setDashPattern({8 / w, 3 / w, 2 / w, 3 / w});
}

// The fonts of one drawing, each made and measured once.
class Fonts {
 public:
  const QFont& Get(double size, bool bold, const QFontMetricsF** metrics) {
    for (Entry& entry : entries_) {
      if (entry.size == size && entry.bold == bold) {
        *metrics = &entry.metrics;
        return entry.font;
      }
    }
    const QFont font = ChartFont(size, bold);
    entries_.push_back({size, bold, font, QFontMetricsF(font)});
    *metrics = &entries_.back().metrics;
    return entries_.back().font;
  }

 private:
  struct Entry {
    double size;
    bool bold;
    QFont font;
    QFontMetricsF metrics;
  };
  std::deque<Entry> entries_;
};

void Text(QPainter& painter, Fonts& fonts, const SceneText& text,
          const QColor& colour = QColor(0x20, 0x20, 0x20)) {
  if (text.text.empty()) return;
  const QString string = QString::fromStdString(text.text);
  const QFontMetricsF* metrics = nullptr;
  painter.setFont(fonts.Get(text.size, text.bold, &metrics));
  painter.setPen(colour);
  const double width = metrics->horizontalAdvance(string);
  const double shift = text.anchor == TextAnchor::Start ? 0
                       : text.anchor == TextAnchor::End ? -width
                                                        : -width / 2;
  painter.save();
  painter.translate(text.at.x, text.at.y);
  if (text.upright) painter.rotate(-90);
  painter.drawText(QPointF(shift, 0), string);
  painter.restore();
}

void Markers(QPainter& painter, const std::vector<ScenePoint>& points, unsigned colour) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(Rgb(colour));
  for (const ScenePoint& p : points) painter.drawEllipse(Point(p), 2.5, 2.5);
  painter.setBrush(Qt::NoBrush);
}

[[noreturn]] void ThrowImageError(const std::string& path) {
  ErrorLocation at;
  at.stage = Stage::Chart;
  at.file = path;
  throw RunError(ErrorCode::OutOfMemory, at);
}

}  // namespace

void PaintChart(QPainter& painter, const ChartScene& scene) {
  painter.save();
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  Fonts fonts;
  painter.fillRect(QRectF(0, 0, scene.width, scene.height), Qt::white);
  const SceneRect& p = scene.plot;
  const QRectF plot(p.left, p.top, p.width, p.height);

  // The grid, the tick marks, the frame and the labels.
  painter.setPen(QPen(QColor(0xe4, 0xe4, 0xe4), 1));
  for (double x : scene.xTickAt) painter.drawLine(QPointF(x, p.top), QPointF(x, p.Bottom()));
  for (double y : scene.yTickAt) painter.drawLine(QPointF(p.left, y), QPointF(p.Right(), y));
  painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
  for (double x : scene.xTickAt)
    painter.drawLine(QPointF(x, p.Bottom()), QPointF(x, p.Bottom() + 5));
  for (double y : scene.yTickAt) painter.drawLine(QPointF(p.left - 5, y), QPointF(p.left, y));
  painter.drawRect(plot);
  for (const SceneText& label : scene.xLabels) Text(painter, fonts, label);
  for (const SceneText& label : scene.yLabels) Text(painter, fonts, label);

  // The failing spans under the limits and lines, all clipped to the plot.
  painter.save();
  painter.setClipRect(plot);
  for (const SceneSpan& span : scene.spans) {
    QColor colour = Rgb(span.colour);
    colour.setAlphaF(float(kSpanOpacity));
    painter.fillRect(QRectF(span.left, p.top, span.right - span.left, p.height), colour);
  }
  for (const SceneLimit& limit : scene.limits) {
    QPen pen(Rgb(kLimitColour), 1.2);
    SetLimitDashes(pen);
    painter.setPen(pen);
    painter.drawLine(QPointF(p.left, limit.y), QPointF(p.Right(), limit.y));
  }
  for (const SceneLine& line : scene.lines) {
    QPen pen(Rgb(line.colour), 1.5);
    pen.setJoinStyle(Qt::RoundJoin);
    SetDashes(pen, line.style);
    painter.setPen(pen);
    QPolygonF polygon;
    polygon.reserve(qsizetype(line.points.size()));
    for (const ScenePoint& point : line.points) polygon.append(Point(point));
    painter.drawPolyline(polygon);
    if (line.markers) Markers(painter, line.points, line.colour);
  }
  painter.restore();

  Text(painter, fonts, scene.title);
  Text(painter, fonts, scene.xTitle);
  Text(painter, fonts, scene.yTitle);
  Text(painter, fonts, scene.note, QColor(0x60, 0x60, 0x60));
  for (const LegendEntry& entry : scene.legend) {
    if (entry.more) {
      Text(painter, fonts, {entry.text, entry.textAt, TextAnchor::Start, kLabelSize});
      continue;
    }
    if (entry.span) {
      QColor swatch = Rgb(entry.colour);
      swatch.setAlphaF(float(2 * kSpanOpacity));
      painter.fillRect(QRectF(entry.swatch.x, entry.swatch.y - 5, kLegendSwatch, 10), swatch);
      Text(painter, fonts, {entry.text, entry.textAt, TextAnchor::Start, kLabelSize});
      continue;
    }
    QPen pen(Rgb(entry.colour), 1.5);
    if (entry.limit) {
      SetLimitDashes(pen);
    } else {
      SetDashes(pen, entry.style);
    }
    painter.setPen(pen);
    painter.drawLine(Point(entry.swatch), QPointF(entry.swatch.x + kLegendSwatch, entry.swatch.y));
    if (entry.markers)
      Markers(painter, {{entry.swatch.x + kLegendSwatch / 2, entry.swatch.y}}, entry.colour);
    Text(painter, fonts, {entry.text, entry.textAt, TextAnchor::Start, kLabelSize});
  }
  painter.restore();
}

QByteArray ChartPng(const ChartScene& scene, const std::string& path) {
  QImage image(int(std::lround(scene.width)), int(std::lround(scene.height)), QImage::Format_RGB32);
  if (image.isNull()) ThrowImageError(path);
  QPainter painter(&image);
  PaintChart(painter, scene);
  painter.end();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) ThrowImageError(path);
  return png;
}

void SaveChartImage(const ChartData& data, int width, int height, const std::string& path) {
  if (IsSvgPath(path)) {
    const std::string svg = ChartSvg(LayoutChart(data, width, height));
    WriteFileAtomically(path, [&svg](const ByteWriter& write) { write(svg); });
    return;
  }
  const QByteArray png = ChartPng(LayoutChart(data, width, height), path);
  WriteFileAtomically(path, [&png](const ByteWriter& write) {
    write(std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
  });
}

}  // namespace kelvane::ui
