// The envelope window (包络线): the highest and lowest head and velocity of
// every node over every computed step of the last complete run, against the
// distance from the reservoir, with the step-1 profile and a table of each
// node's values and the steps and times at which they occur; of a
// free-surface run also each node's depths and whether it ran full or part
// full.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QWidget>
#include <array>

#include "report/chart_data.h"
#include "solver/design_data.h"
#include "ui/case_picker.h"
#include "ui/chart_view.h"
#include "ui/save_dialog.h"

namespace kelvane::ui {

class CaseSession;

class EnvelopeWindow : public QWidget {
  Q_OBJECT

 public:
  explicit EnvelopeWindow(QWidget* parent = nullptr);

  // Follows a complete run: its envelope is the batch summary's. With the
  // culvert's design data the head chart shows the invert, soffit and limit
  // lines and marks where the envelope breaks a limit.
  void ShowRun(const SurgeRun& run, const RunOutcome& outcome, const DesignData& design = {});
  // Shows `session`'s last complete run, checked against its design data,
  // and its chart cases from now on, each as the session changes them;
  // `session` must outlive the window.
  void Follow(const CaseSession& session);
  // The operating cases beside that run, the main window's own first: the
  // charts draw the highest and lowest of the cases picked, one colour each;
  // the tables, the checks and the CSV are of the first picked (the CSV of
  // all of them). Fewer than two: the run alone, no picker. ShowRun and
  // Detach drop them.
  void ShowCases(std::vector<ChartCase> cases);
  CasePicker* Cases() const { return cases_; }
  // The run is being replaced (or failed): reads it no more and says why.
  void Detach(bool failed);

  void SetSaveFileChooser(SaveFileChooser chooser) { chooseFile_ = std::move(chooser); }
  ChartView* Chart(EnvelopeOf what) const { return charts_[int(what)]; }
  QTableWidget* Table(EnvelopeOf what) const { return tables_[int(what)]; }
  QTabWidget* Tabs() const { return tabs_; }
  QLabel* Status() const { return status_; }
  // The verdicts of the design checks of the run shown; hidden without
  // design data.
  QLabel* Checks() const { return checks_; }

 public slots:
  void exportImage();  // "导出图片…", the chart of the tab shown
  void exportCsv();    // "导出 CSV…", heads and velocities

 private:
  void Export(bool image);
  // The run's charts, tables, checks and CSV.
  void Show(const SurgeRun& run, const RunOutcome& outcome, const DesignData& design);
  void ShowPicked();
  void DropCases();
  void FillTable(EnvelopeOf what, const RunSummary& summary, const SurgeRun& run);
  // A free-surface run's head table: each node's invert, depths and regime
  // after its heads; the nine columns of heads alone otherwise.
  void FillDepthColumns(const RunSummary& summary);

  QTabWidget* tabs_;
  CasePicker* cases_;
  std::vector<ChartCase> caseRuns_;
  std::array<ChartView*, 2> charts_{};
  std::array<QTableWidget*, 2> tables_{};
  std::array<QLabel*, 2> readOuts_{};
  QLabel* status_;
  QLabel* checks_;
  QPushButton* image_;
  QPushButton* csv_;
  QPushButton* close_;
  SaveFileChooser chooseFile_;
  std::string csvText_;  // the envelope of the run shown, as CSV
};

}  // namespace kelvane::ui
