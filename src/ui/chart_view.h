// The chart widget of the windows: draws a ChartData through its scene
// (charts/chart_scene.h) at the widget's size. Drag a rectangle to zoom into
// it, right click to go back one zoom (never past the whole chart), ResetZoom
// for the whole chart; under the pointer, a read-out of every line's nearest
// point. Each line is decimated to the plot's pixel columns over the x range
// shown, so no peak is lost.
#pragma once

#include <QRubberBand>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "charts/chart_data.h"
#include "charts/chart_scene.h"
#include "ui/save_dialog.h"

namespace kelvane::ui {

class ChartView : public QWidget {
  Q_OBJECT

 public:
  explicit ChartView(QWidget* parent = nullptr);

  // Replaces what is drawn and shows the whole chart.
  void SetData(ChartData replacement);
  // Draws nothing but `message` in the plot's middle.
  void ClearData(const QString& message);
  const ChartData& Data() const { return data_; }

  // What is drawn at the widget's present size.
  const ChartScene& Scene() const;

  // The x range shown, after any zoom.
  double ShownFrom() const { return Scene().range.xFrom; }
  double ShownTo() const { return Scene().range.xTo; }
  // Zooms into `range` (a step that ZoomBack undoes), back one step, or back
  // to the whole chart.
  void ZoomTo(const ChartRange& range);
  void ZoomBack();
  void ResetZoom();

  // What is shown, at the widget's size, as a PNG or (for a name ending in
  // ".svg") an SVG, through the write-then-rename. Throws RunError.
  void SaveImage(const std::string& path);

  QSize sizeHint() const override { return QSize(640, 400); }

 signals:
  // The nearest point of every line to the pointer's x, as text.
  void readOut(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Relayout();

  ChartData data_;
  std::vector<ChartRange> zooms_;  // the ranges zoomed into, the last shown
  mutable std::optional<ChartScene> scene_;
  QRubberBand* band_;
  QPoint bandFrom_;
  bool dragging_ = false;
};

// The export commands of the chart windows: the save dialog for an image
// (PNG or SVG) or a CSV file preset to `name`.png / .csv, then `saveImage`
// or the text `csvText` gives through the safe writer; a fault is shown in
// the run-time error box. A `refusal` given is shown instead of the dialog.
void ExportChart(QWidget* parent, const SaveFileChooser& choose, bool image, const QString& name,
                 const std::function<void(const std::string& path)>& saveImage,
                 const std::function<std::string()>& csvText, const QString& refusal = QString());

}  // namespace kelvane::ui
