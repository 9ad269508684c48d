// The time-history window (过程线): head, velocity or discharge of the chosen
// nodes against time over every computed step of the last complete run, or
// the pump discharge with the culvert's flow into the forebay.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <vector>

#include "report/chart_data.h"
#include "ui/chart_view.h"
#include "ui/save_dialog.h"

namespace kelvane::ui {

class HistoryWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryWindow(QWidget* parent = nullptr);

  // Follows a complete run; nodes still in its grid stay chosen, else the
  // forebay is. `run` is read until the next ShowRun or Detach.
  void ShowRun(const SurgeRun& run, const RunGeometry& geometry);
  // The run is being replaced (or failed): reads it no more and says why.
  void Detach(bool failed);

  void SetSaveFileChooser(SaveFileChooser chooser) { chooseFile_ = std::move(chooser); }
  void SetQuantity(ChartQuantity quantity);
  void SetNodes(const std::vector<int>& nodes);
  std::vector<int> Nodes() const;
  ChartView* Chart() const { return chart_; }
  QLabel* Status() const { return status_; }

 public slots:
  void exportImage();  // "导出图片…"
  void exportCsv();    // "导出 CSV…"

 private:
  // The quantity list's entry for PumpDischargeChart, after the ChartQuantity
  // entries.
  static constexpr int kPumpAndInflow = 3;
  bool ShowsPump() const;
  void Redraw();
  void Export(bool image);

  QComboBox* quantity_;
  QListWidget* nodes_;
  ChartView* chart_;
  QLabel* readOut_;
  QLabel* status_;
  QPushButton* reset_;
  QPushButton* image_;
  QPushButton* csv_;
  QPushButton* close_;
  SaveFileChooser chooseFile_;

  const SurgeRun* run_ = nullptr;
  RunGeometry geometry_;
};

}  // namespace kelvane::ui
