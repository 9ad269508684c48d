#include "ui/chart_view.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLegendMarker>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>

#include "output/output.h"
#include "ui/run_error_box.h"

namespace kelvane::ui {

namespace {

// Colours that stay apart on white and in grey print.
const QColor kColours[] = {QColor(0x1f, 0x4e, 0xb4), QColor(0xd6, 0x27, 0x28),
                           QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
                           QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                           QColor(0x17, 0xbe, 0xcf), QColor(0x7f, 0x7f, 0x7f)};
const QColor kLimitColour(0xb0, 0x00, 0x00);

Qt::PenStyle PenStyle(LineStyle style) {
  switch (style) {
    case LineStyle::Dashed:
      return Qt::DashLine;
    case LineStyle::Dotted:
      return Qt::DotLine;
    case LineStyle::Solid:
      break;
  }
  return Qt::SolidLine;
}

// A tick interval of 1, 2 or 5 times a power of ten giving about `ticks`
// intervals over `span`.
double NiceStep(double span, int ticks) {
  if (!(span > 0) || !std::isfinite(span)) return 1;
  const double rough = span / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double m : {1.0, 2.0, 5.0}) {
    if (rough <= m * power) return m * power;
  }
  return 10 * power;
}

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

[[noreturn]] void ThrowImageError(const std::string& path) {
  ErrorLocation at;
  at.stage = Stage::Chart;
  at.file = path;
  throw RunError(ErrorCode::OutOfMemory, at);
}

}  // namespace

bool IsSvgPath(const std::string& path) {
  return path.size() >= 4 && QString::fromStdString(path.substr(path.size() - 4))
                                     .compare(QStringLiteral(".svg"), Qt::CaseInsensitive) == 0;
}

ChartView::ChartView(QWidget* parent) : QChartView(parent) {
  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::RectangleRubberBand);
  setMouseTracking(true);
  setFrameShape(QFrame::NoFrame);
  chart()->legend()->setAlignment(Qt::AlignBottom);
  chart()->setBackgroundRoundness(0);
  chart()->setMargins(QMargins(4, 4, 12, 4));
  xAxis_ = new QValueAxis(this);
  yAxis_ = new QValueAxis(this);
  for (QValueAxis* axis : {xAxis_, yAxis_}) axis->setTickType(QValueAxis::TicksDynamic);
  chart()->addAxis(xAxis_, Qt::AlignBottom);
  chart()->addAxis(yAxis_, Qt::AlignLeft);
  connect(xAxis_, &QValueAxis::rangeChanged, this, [this] {
    SetTicks(xAxis_);
    Redecimate();
  });
  connect(yAxis_, &QValueAxis::rangeChanged, this, [this] { SetTicks(yAxis_); });
  connect(chart(), &QChart::plotAreaChanged, this, [this] { Redecimate(); });
}

void ChartView::SetTicks(QValueAxis* axis) {
  const double step = NiceStep(axis->max() - axis->min(), axis == xAxis_ ? 8 : 6);
  axis->setTickAnchor(0);
  axis->setTickInterval(step);
  const int decimals = std::clamp(int(-std::floor(std::log10(step))), 0, 6);
  axis->setLabelFormat(QStringLiteral("%.") + QString::number(decimals) + QStringLiteral("f"));
}

void ChartView::ClearData(const QString& message) {
  SetData(ChartData());
  chart()->setTitle(message);
}

void ChartView::SetData(ChartData replacement) {
  settingData_ = true;
  chart()->zoomReset();
  chart()->removeAllSeries();
  lines_.clear();
  limits_.clear();
  data_ = std::move(replacement);

  chart()->setTitle(Text(data_.title));
  xAxis_->setTitleText(Text(data_.xTitle));
  yAxis_->setTitleText(Text(data_.yTitle));
  const ValueRange x = XRange(data_).value_or(ValueRange{0, 1});
  // Markers at the ends keep their whole disc inside the plot.
  const bool markers = std::any_of(data_.lines.begin(), data_.lines.end(),
                                   [](const ChartLine& line) { return line.markers; });
  const double xPad = markers ? 0.02 * (x.high - x.low) : 0;
  const double xFrom = x.low - xPad;
  const double xTo = x.high > x.low ? x.high + xPad : x.low + 1;
  ValueRange y = YRange(data_, xFrom, xTo).value_or(ValueRange{0, 1});
  const double margin = y.high > y.low ? 0.05 * (y.high - y.low) : std::max(1.0, std::abs(y.low));
  xAxis_->setRange(xFrom, xTo);
  yAxis_->setRange(y.low - margin, y.high + margin);

  int nextColour = 0;
  for (const ChartLine& line : data_.lines) {
    auto* series = new QLineSeries(this);
    series->setName(Text(line.name));
    const int colour = line.colour >= 0 ? line.colour : nextColour++;
    QPen pen(kColours[colour % std::size(kColours)]);
    pen.setWidthF(1.5);
    pen.setStyle(PenStyle(line.style));
    series->setPen(pen);
    series->setMarkerSize(5);
    series->setPointsVisible(line.markers);
    chart()->addSeries(series);
    series->attachAxis(xAxis_);
    series->attachAxis(yAxis_);
    lines_.push_back(series);
  }
  for (const ChartLimit& limit : data_.limits) {
    auto* series = new QLineSeries(this);
    series->setName(Text(limit.name));
    QPen pen(kLimitColour);
    pen.setWidthF(1.2);
    pen.setStyle(Qt::DashDotLine);
    series->setPen(pen);
    series->append(xFrom, limit.value);
    series->append(xTo, limit.value);
    chart()->addSeries(series);
    series->attachAxis(xAxis_);
    series->attachAxis(yAxis_);
    limits_.push_back(series);
  }
  chart()->legend()->setVisible(!data_.lines.empty());
  settingData_ = false;
  Redecimate();
}

void ChartView::ResetZoom() { chart()->zoomReset(); }

void ChartView::Redecimate() {
  if (settingData_) return;
  const double from = xAxis_->min();
  const double to = xAxis_->max();
  // One column per pixel of the plot; before the first layout, as many as
  // a wide screen has.
  const int width = int(std::lround(chart()->plotArea().width()));
  const int columns = width > 0 ? width : 2000;
  for (std::size_t n = 0; n < lines_.size(); ++n) {
    const ChartLine& line = data_.lines[n];
    const std::vector<std::size_t> kept = DecimateToColumns(line.x, line.y, from, to, columns);
    QList<QPointF> points;
    points.reserve(qsizetype(kept.size()));
    for (std::size_t k : kept) points.append(QPointF(line.x[k], line.y[k]));
    lines_[n]->replace(points);
  }
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  QChartView::mouseMoveEvent(event);
  const QPointF at = event->position();
  if (data_.lines.empty() || !chart()->plotArea().contains(at)) return;
  const double x = chart()->mapToValue(at).x();
  QString text;
  for (const ChartLine& line : data_.lines) {
    if (line.x.empty()) continue;
    const std::size_t k = NearestIndex(line.x, x);
    if (text.isEmpty()) {
      text = Text(data_.xTitle) + QStringLiteral(" ") + QString::number(line.x[k], 'f', 3) +
             QStringLiteral("    ") + Text(data_.yTitle) + QStringLiteral("：");
    } else {
      text += QStringLiteral("；");
    }
    text += Text(line.name) + QStringLiteral(" ") + QString::number(line.y[k], 'f', 3);
  }
  emit readOut(text);
}

void ChartView::SaveImage(const std::string& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const QRect area = viewport()->rect();
  if (IsSvgPath(path)) {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(area.size());
    svg.setViewBox(area);
    svg.setTitle(chart()->title());
    QPainter painter;
    if (!painter.begin(&svg)) ThrowImageError(path);
    render(&painter, QRectF(area), area);
    painter.end();
  } else {
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    render(&painter, QRectF(area), area);
    painter.end();
    if (!image.save(&buffer, "PNG")) ThrowImageError(path);
  }
  WriteFileAtomically(path, [&bytes](const ByteWriter& write) {
    write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  });
}

void SaveChartImage(const ChartData& data, QSize size, const std::string& path) {
  ChartView view;
  view.setAttribute(Qt::WA_DontShowOnScreen);
  view.resize(size);
  view.SetData(data);
  view.show();
  // The chart lays itself out on posted events; then the lines are decimated
  // to the plot's real width.
  QApplication::processEvents();
  QApplication::processEvents();
  view.SaveImage(path);
}

void ExportChart(QWidget* parent, const SaveFileChooser& choose, bool image, const QString& name,
                 const std::function<void(const std::string& path)>& saveImage,
                 const std::function<std::string()>& csvText) {
  SaveDialogSettings settings;
  settings.title = image ? QObject::tr("导出图片") : QObject::tr("导出 CSV");
  settings.presetName = name + (image ? QStringLiteral(".png") : QStringLiteral(".csv"));
  settings.nameFilters =
      image ? QStringList{QObject::tr("PNG 图片 (*.png)"), QObject::tr("SVG 图片 (*.svg)")}
            : QStringList{QObject::tr("CSV 文件 (*.csv)")};
  const QString chosen = choose(settings);
  if (chosen.isEmpty()) return;
  const std::string path = chosen.toStdString();
  try {
    if (image) {
      saveImage(path);
    } else {
      const std::string text = csvText();
      WriteFileAtomically(path, [&text](const ByteWriter& write) { write(text); });
    }
  } catch (...) {
    ShowRunError(parent, CurrentExceptionAsRunError(image ? Stage::Chart : Stage::Report));
  }
}

}  // namespace kelvane::ui
