// The program's main window: the menu bar above the input form, which stays
// the client area (625×445, its colours and tab order), and the status bar
// below it. It owns the caption and the case file shown in it, the case
// session (the case in force and its runs), and every window that shows a
// run: the plot, the results table, the time history, the envelope, and the
// help; those follow the session by themselves.
#pragma once

#include <QAction>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cases/case_file.h"
#include "model/run_preview.h"
#include "report/book_input.h"
#include "run/run_case.h"
#include "texts/case.h"
#include "texts/design_data.h"
#include "texts/event_texts.h"
#include "ui/calculation_report.h"
#include "ui/case_session.h"
#include "ui/envelope_window.h"
#include "ui/history_window.h"
#include "ui/input_form.h"
#include "ui/plot_window.h"
#include "ui/results_window.h"
#include "ui/status_line.h"

namespace kelvane::ui {

// How case files are read and written. Both may throw: RunError, or any
// std::exception whose what() is the user's message (UTF-8). Until both are
// set, the open and save commands are disabled.
struct CaseFileAccess {
  std::function<CaseFile(const std::string& path)> read;
  std::function<void(const std::string& path, const CaseFile& file)> write;
};

// The case-file library (cases/case_file.h) behind CaseFileAccess.
CaseFileAccess CaseFileLibrary();

// Asks for a case file to open; the empty string when cancelled.
using OpenFileChooser = std::function<QString()>;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  InputForm* inputForm() const { return inputForm_; }
  CaseSession* Session() const { return session_; }
  PlotWindow* plotWindow() const { return plotWindow_; }                 // null when not existing
  ResultsWindow* resultsWindow() const { return resultsWindow_.get(); }  // null until first used
  HistoryWindow* historyWindow() const { return historyWindow_; }        // null until first shown
  EnvelopeWindow* envelopeWindow() const { return envelopeWindow_; }     // null until first shown

  void SetCaseFileAccess(CaseFileAccess access);
  // Stands in for the save dialog of every command (result file, case
  // file, exports); without it each window asks with its own dialog.
  void SetSaveFileChooser(const SaveFileChooser& chooser);
  void SetOpenFileChooser(OpenFileChooser chooser) { chooseOpen_ = std::move(chooser); }

  // The case file shown in the caption; empty when none is open.
  const QString& CaseFile() const { return caseFile_; }
  // The design data in force: the last complete run is checked against it
  // (the envelope window, the calculation report) and it goes with the case.
  const DesignTexts& Design() const { return session_->Typed().design; }
  // The project information in force: the book's cover, sign-off and basis;
  // it goes with the case file.
  const ProjectInfo& Project() const { return session_->Project(); }
  // The operating cases in force (工况表): they go with the case file and
  // into the calculation book.
  const std::vector<OperatingCase>& OperatingCases() const { return session_->OperatingCases(); }
  void SetDesign(const DesignTexts& design);
  // The calculation report of the last complete run as 导出计算书 writes it;
  // only while a complete run stands.
  ReportInput RunReport() const;
  // The calculation book 导出计算书 writes: that run first, then each
  // operating case of the open case file over it, run when asked for.
  // Throws RunError when one of them cannot run.
  BookInput RunBook();

 public slots:
  void newCase();   // "新建"
  void openCase();  // "打开算例…"
  void openCase(const QString& path);
  bool saveCase();    // "保存算例"
  bool saveCaseAs();  // "另存为…"
  // "导出计算书…": the calculation report of the last complete run, with
  // the open case's title and notes.
  void exportReport();
  void editDesign();    // "设计资料…"
  void editProject();   // "工程信息…": what the book says of the project
  void showPlot();      // "输出图形"
  void showResults();   // "结果查询"
  void showHistory();   // "过程线…"
  void showEnvelope();  // "包络线…"
  void showHelp();      // "使用说明"
  void showAbout();     // "关于 Kelvane"

  // "工况": the pump event and the forebay table every Calculate runs with;
  // 确定 puts the dialog's in force, 取消 leaves them.
  void editPumpEvent();     // "泵流量过程…"
  void editForebayTable();  // "前池水位–面积…"
  // "工况表…": the operating cases over the window's case; its 计算全部工况
  // leaves their runs for the book and the charts (in the session).
  void editCases();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RunFinished(bool complete);
  void CaseEdited();
  // The status line: time step, duration, 2L/a and the forebay stability
  // limit of the run the boxes give.
  void ShowRunPreview();
  // The status line's period of a mixed case: its model's own column at
  // step 1, as the case's summary gives it.
  void AddMixedRunLength();
  void UpdateCaption();
  void UpdateCaseActions();
  void UpdateRecentMenu();
  void RememberRecent(const QString& path);
  void ForgetRecent(const QString& path);
  bool SaveTo(const QString& path);
  // Whether `key` is the shortcut of an enabled menu command.
  bool IsMenuShortcut(const QKeyEvent& key) const;
  // Whether the boxes, the 工况, the design data or the project information
  // differ from the open case file as last read or written.
  bool Edited() const;
  // Asks 保存 / 不保存 / 取消 when the boxes or the 工况 differ from the open case file
  // as last read or written or, with none open, from the default texts;
  // false when the user cancels (or saving fails).
  bool MaybeSave();
  // Puts `events` in force, or says why they cannot be.
  void SetEvents(const EventTexts& events);
  void ShowFailure(const QString& message);
  // 工况 → 计算模型 (one checkable command per model, the one in force
  // checked) and 工况 → 计算时长 (the step counts that cover the mass
  // oscillation, formed as the menu opens; one puts its count in the box).
  void AddRunMenus(QMenu* events);
  void SetModel(MarchModel model);
  void SetSection(CulvertSection section);
  void ShowModelInForce();
  void FillRunLengthMenu();
  // After a complete Calculate: the operating cases run again over it when
  // their runs were made over another and a chart window is open, then the
  // chart cases anew.
  void RunCasesForCharts();

  CaseSession* session_;
  InputForm* inputForm_;
  QPointer<PlotWindow> plotWindow_;
  std::unique_ptr<ResultsWindow> resultsWindow_;
  QPointer<HistoryWindow> historyWindow_;
  QPointer<EnvelopeWindow> envelopeWindow_;
  QPointer<QWidget> helpWindow_;
  // The dialog of `owner`, or the one set for every command.
  SaveFileChooser ChooserFor(QWidget* owner) const;

  SaveFileChooser chooseSave_;  // empty: each window's own dialog
  OpenFileChooser chooseOpen_;
  CaseFileAccess cases_;

  QString caseFile_;
  // The open case file as last read or written; else the defaults.
  kelvane::CaseFile saved_;

  QAction* newAction_;
  QAction* openAction_;
  QAction* saveAction_;
  QAction* saveAsAction_;
  QAction* saveResultAction_;
  QAction* exportReportAction_;
  QAction* resultsAction_;
  QAction* plotAction_;
  QAction* historyAction_;
  QAction* envelopeAction_;
  QMenu* recentMenu_;
  std::vector<std::pair<MarchModel, QAction*>> modelActions_;
  std::vector<std::pair<CulvertSection, QAction*>> sectionActions_;
  QMenu* runLengthMenu_ = nullptr;
  StatusLine* runPreview_;
  // The status line's period of a mixed case: its model's own column (the
  // summary's), formed after a pause in typing for the case it names.
  QTimer* mixedLengthTimer_;
  std::optional<Case> mixedLengthOf_;
  std::optional<RunLengthPreview> mixedLength_;
};

// The caption: "Kelvane" without a case file, "NAME[*] - Kelvane" with one
// (the toolkit shows "[*]" as "*" while the window is marked modified).
QString CaptionFor(const QString& caseFile);

}  // namespace kelvane::ui
