#include "ui/chart_view.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "files/output.h"
#include "ui/chart_painter.h"
#include "ui/run_error_box.h"

namespace kelvane::ui {

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(240, 160);
  band_ = new QRubberBand(QRubberBand::Rectangle, this);
}

void ChartView::ClearData(const QString& message) {
  ChartData empty;
  empty.note = message.toStdString();
  SetData(std::move(empty));
}

void ChartView::SetData(ChartData replacement) {
  data_ = std::move(replacement);
  zooms_.clear();
  Relayout();
}

void ChartView::Relayout() {
  scene_.reset();
  update();
}

const ChartScene& ChartView::Scene() const {
  if (!scene_) {
    std::optional<ChartRange> range;
    if (!zooms_.empty()) range = zooms_.back();
    scene_ = LayoutChart(data_, width(), height(), range);
  }
  return *scene_;
}

void ChartView::ZoomTo(const ChartRange& range) {
  zooms_.push_back(range);
  Relayout();
}

void ChartView::ZoomBack() {
  if (zooms_.empty()) return;  // the whole chart already
  zooms_.pop_back();
  Relayout();
}

void ChartView::ResetZoom() {
  zooms_.clear();
  Relayout();
}

void ChartView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintChart(painter, Scene());
}

void ChartView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    ZoomBack();
    return;
  }
  const ChartScene& scene = Scene();
  const QPointF at = event->position();
  if (event->button() == Qt::LeftButton && !scene.xTicks.empty() &&
      scene.plot.Contains({at.x(), at.y()})) {
    dragging_ = true;
    bandFrom_ = at.toPoint();
    band_->setGeometry(QRect(bandFrom_, QSize()));
    band_->show();
  }
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  const ChartScene& scene = Scene();
  const SceneRect& plot = scene.plot;
  const QPointF at = event->position();
  if (dragging_) {
    const QPoint to(int(std::clamp(at.x(), plot.left, plot.Right())),
                    int(std::clamp(at.y(), plot.top, plot.Bottom())));
    band_->setGeometry(QRect(bandFrom_, to).normalized());
  }
  if (data_.lines.empty() || !plot.Contains({at.x(), at.y()})) return;
  const double x = scene.XValue(at.x());
  QString text;
  for (const ChartLine& line : data_.lines) {
    if (line.x.empty()) continue;
    const std::size_t k = NearestIndex(line.x, x);
    if (text.isEmpty()) {
      text = Text(data_.xTitle) + QStringLiteral(" ") +
             QString::fromStdString(Fixed(line.x[k], 3, NegativeZero::Drop)) +
             QStringLiteral("    ") + Text(data_.yTitle) + QStringLiteral("：");
    } else {
      text += QStringLiteral("；");
    }
    text += Text(line.name) + QStringLiteral(" ") +
            QString::fromStdString(Fixed(line.y[k], 3, NegativeZero::Drop));
  }
  emit readOut(text);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  dragging_ = false;
  band_->hide();
  const QRect band = band_->geometry();
  // A click or a sliver is no zoom.
  if (band.width() < 4 || band.height() < 4) return;
  const ChartScene& scene = Scene();
  const ChartRange& shown = scene.range;
  const SceneRect& plot = scene.plot;
  auto yValue = [&](double px) {
    return shown.yFrom + (plot.Bottom() - px) / plot.height * (shown.yTo - shown.yFrom);
  };
  ZoomTo({scene.XValue(band.left()), scene.XValue(band.left() + band.width()),
          yValue(band.top() + band.height()), yValue(band.top())});
}

void ChartView::SaveImage(const std::string& path) {
  if (IsSvgPath(path)) {
    const std::string svg = ChartSvg(Scene());
    WriteFileAtomically(path, [&svg](const ByteWriter& write) { write(svg); });
    return;
  }
  const QByteArray png = ChartPng(Scene(), path);
  WriteFileAtomically(path, [&png](const ByteWriter& write) {
    write(std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
  });
}

void ExportChart(QWidget* parent, const SaveFileChooser& choose, bool image, const QString& name,
                 const std::function<void(const std::string& path)>& saveImage,
                 const std::function<std::string()>& csvText, const QString& refusal) {
  const QString title = image ? QObject::tr("导出图片") : QObject::tr("导出 CSV");
  if (!refusal.isEmpty()) {
    QMessageBox::information(parent, title, refusal);
    return;
  }
  SaveDialogSettings settings;
  settings.title = title;
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
