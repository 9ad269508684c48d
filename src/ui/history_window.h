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
#include "ui/case_picker.h"
#include "ui/chart_view.h"
#include "ui/save_dialog.h"

namespace kelvane::ui {

class CaseSession;

class HistoryWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryWindow(QWidget* parent = nullptr);

  // Follows a complete run; nodes still in its grid stay chosen, else the
  // forebay is. `run` is read until the next ShowRun or Detach.
  void ShowRun(const SurgeRun& run, const RunGeometry& geometry);
  // Shows `session`'s last complete run and chart cases from now on, each
  // as the session changes them; `session` must outlive the window.
  void Follow(const CaseSession& session);
  // The operating cases beside that run, the main window's own first (its
  // run the one shown): the window draws the cases picked, one colour each,
  // and exports them. Fewer than two: the run alone, no picker. ShowRun and
  // Detach drop them.
  void ShowCases(std::vector<ChartCase> cases);
  // The run is being replaced (or failed): reads it no more and says why.
  void Detach(bool failed);

  void SetSaveFileChooser(SaveFileChooser chooser) { chooseFile_ = std::move(chooser); }
  void SetQuantity(ChartQuantity quantity);
  void SetNodes(const std::vector<int>& nodes);
  std::vector<int> Nodes() const;
  ChartView* Chart() const { return chart_; }
  QLabel* Status() const { return status_; }
  CasePicker* Cases() const { return cases_; }

 public slots:
  void exportImage();  // "导出图片…"
  void exportCsv();    // "导出 CSV…"

 private:
  // The quantity list's entry for PumpDischargeChart, after the ChartQuantity
  // entries.
  static constexpr int kPumpAndInflow = 3;
  bool ShowsPump() const;
  void Redraw();
  // The cases picked as the chart draws them: nothing picked but the run
  // shown when there are no cases.
  std::vector<int> PickedCases() const;
  void DropCases();
  // The chart of the case at `index` of the cases (the run shown without
  // them), with the nodes ticked carried over by role to its grid.
  ChartData CaseChartOf(int index) const;
  std::string CaseCsvOf(int index) const;
  std::vector<int> NodesOf(int index) const;
  const SurgeRun& RunOf(int index) const;
  const RunGeometry& GeometryOfCase(int index) const;
  void Export(bool image);

  QComboBox* quantity_;
  QListWidget* nodes_;
  QLabel* casesLabel_;
  CasePicker* cases_;
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
  std::vector<ChartCase> caseRuns_;
  std::vector<RunGeometry> caseGeometries_;  // beside caseRuns_
};

}  // namespace kelvane::ui
