// Draws a ChartData with Qt Charts: axes with ticks, titles and units, a
// legend, limits as dashed lines, zoom by dragging a rectangle (right click or
// ResetZoom to go back), a read-out of the nearest points under the cursor.
// Each line is drawn decimated to the plot's pixel columns (DecimateToColumns)
// over the x range shown, so no peak is lost. The windows and the batch
// mode's images both draw through it.
#pragma once

#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>
#include <functional>
#include <string>
#include <vector>

#include "report/chart_data.h"
#include "ui/save_dialog.h"

namespace kelvane::ui {

class ChartView : public QChartView {
  Q_OBJECT

 public:
  explicit ChartView(QWidget* parent = nullptr);

  // Replaces what is drawn and resets the zoom.
  void SetData(ChartData replacement);
  // Draws nothing, `message` in the title's place.
  void ClearData(const QString& message);
  const ChartData& Data() const { return data_; }

  // The x range shown, after any zoom.
  double ShownFrom() const { return xAxis_->min(); }
  double ShownTo() const { return xAxis_->max(); }
  void ResetZoom();

  // The drawn series of the data's lines, in order (not the limits).
  const std::vector<QLineSeries*>& LineSeries() const { return lines_; }

  // What is shown, as a PNG or (for a name ending in ".svg") an SVG of the
  // view's size, through the write-then-rename. Throws RunError.
  void SaveImage(const std::string& path);

 signals:
  // The nearest point of every line to the cursor's x, as text.
  void readOut(const QString& text);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void Redecimate();
  void SetTicks(QValueAxis* axis);

  ChartData data_;
  std::vector<QLineSeries*> lines_;
  std::vector<QLineSeries*> limits_;
  QValueAxis* xAxis_;
  QValueAxis* yAxis_;
  bool settingData_ = false;
};

// Draws `data` as the windows draw it into an image of `size` pixels (PNG, or
// SVG for a name ending in ".svg"). Needs an application object.
void SaveChartImage(const ChartData& data, QSize size, const std::string& path);

// Whether `path` names an SVG image (ends in ".svg", any case).
bool IsSvgPath(const std::string& path);

// The export commands of the chart windows: the save dialog for an image
// (PNG or SVG) or a CSV file preset to `name`.png / .csv, then `saveImage`
// or the text `csvText` gives through the safe writer; a fault is shown in
// the run-time error box.
void ExportChart(QWidget* parent, const SaveFileChooser& choose, bool image, const QString& name,
                 const std::function<void(const std::string& path)>& saveImage,
                 const std::function<std::string()>& csvText);

}  // namespace kelvane::ui
