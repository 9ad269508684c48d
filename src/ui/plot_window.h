// The plot window: the picture of the forebay level and its "清除" and
// "关闭" buttons; with the operating cases of the last book, the forebay
// level of the cases picked in one chart instead. Closing it with the close
// box destroys it.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <vector>

#include "ui/case_picker.h"
#include "ui/chart_view.h"
#include "ui/picture.h"
#include "ui/save_dialog.h"

namespace kelvane::ui {

class CaseSession;

// Shows a PlotPicture; what is drawn stays until it is wiped.
class PictureBox : public QWidget {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);

  const PlotPicture& Picture() const { return picture_; }
  void SetPicture(const PlotPicture& picture);
  void Clear();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PlotPicture picture_;
};

class PlotWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PlotWindow(QWidget* parent = nullptr);

  PictureBox* Picture1() const { return picture1_; }

  // The operating cases beside the main window's run, its own first: the
  // window shows, in place of the picture, the forebay level of the cases
  // picked, one colour each, and exports them (PNG, SVG, CSV). Fewer than
  // two: the picture again, as it was. The runs are read until the next
  // ShowCases.
  void ShowCases(std::vector<ChartCase> cases);
  // Shows `session`'s chart cases from now on, none while a run is under
  // way; `session` must outlive the window.
  void Follow(const CaseSession& session);
  void SetSaveFileChooser(SaveFileChooser chooser) { chooseFile_ = std::move(chooser); }
  CasePicker* Cases() const { return cases_; }
  ChartView* Chart() const { return chart_; }
  // The chart of the cases is shown, not the picture.
  bool ShowsCases() const { return !caseRuns_.empty(); }

 public slots:
  void clearPlot();    // "清除"
  void closePlot();    // "关闭"
  void exportImage();  // "导出图片…", the cases' chart
  void exportCsv();    // "导出 CSV…", the cases' forebay levels in the time range shown

 private:
  void Redraw();
  std::string CaseCsvOf(int index) const;

  PictureBox* picture1_;
  QPushButton* command1_;
  QPushButton* command2_;

  QWidget* caseView_;  // the picker, the chart and its commands
  CasePicker* cases_;
  ChartView* chart_;
  QLabel* readOut_;
  SaveFileChooser chooseFile_;
  std::vector<ChartCase> caseRuns_;
  QSize casesSize_{960, 600};  // the window's size while it shows the cases
};

}  // namespace kelvane::ui
