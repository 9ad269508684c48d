// The window's case and its run. The case in force (the boxes as typed, the
// pump event and forebay table, the model, the design data, the title and
// notes), read once into a prepared case, with the project information and
// the operating cases; the last run of it; the operating cases' runs over
// it and those runs as the chart windows show them. The input form, the
// main window and every window that shows a run follow it by its signals
// instead of holding copies of their own.
#pragma once

#include <QObject>
#include <optional>
#include <string>
#include <vector>

#include "model/errors.h"
#include "report/book_input.h"
#include "run/run_case.h"
#include "texts/case.h"
#include "texts/prepared_case.h"
#include "ui/case_picker.h"

namespace kelvane::ui {

class CaseSession : public QObject {
  Q_OBJECT

 public:
  explicit CaseSession(QObject* parent = nullptr);

  // ------------------------------------------------------------ the case
  const PreparedCase& Prepared() const { return prepared_; }
  const Case& Typed() const { return prepared_.typed; }
  const ProjectInfo& Project() const { return project_; }
  const std::vector<OperatingCase>& OperatingCases() const { return operatingCases_; }

  // Each of these puts its part in force, reads the case again and emits
  // caseChanged once.
  // A case as a whole, as read (a case file opened, a new case); the chart
  // windows let go of the operating cases' runs.
  void SetCase(PreparedCase prepared, const ProjectInfo& project,
               const std::vector<OperatingCase>& cases);
  void SetTexts(const InputTexts& texts);  // the boxes as typed
  // The pump event, area table and model; texts that cannot be read are
  // not put in force and come back as their fault, nothing emitted.
  std::optional<RunError> SetEvents(const EventTexts& events);
  // The design data; the operating cases' runs were checked against other
  // data, so the chart windows let go of them (designChanged, then
  // caseChanged).
  void SetDesign(const DesignTexts& design);
  void SetProject(const ProjectInfo& project);
  void SetOperatingCases(const std::vector<OperatingCase>& cases);

  // ------------------------------------------------------------ the run
  // Runs the case in force: runStarted (nothing may read the run state
  // meanwhile), then runFinished.
  void Calculate(const RunObservers& observers);
  // The last run; incomplete unless CompletedRun() is set.
  const CaseRun& LastRun() const { return done_; }
  // The run state of the last run, for the output commands that keep their
  // range in it.
  SurgeRun& RunState() { return done_.run; }
  // The parameters of the last complete run; null when the last run failed
  // or none has run.
  const RunOutcome* CompletedRun() const { return completed_ ? &done_.outcome : nullptr; }
  // The case of the last complete run as the book reads it: the case in
  // force with the boxes that run read (the default boxes before any run).
  const PreparedCase& CompletedCase() const { return completedCase_; }

  // ------------------------------------------------------------ the operating cases' runs
  // The operating cases in force over the case of the last complete run
  // (CompletedCase()).
  std::vector<Case> CasesOverCompletedRun() const;
  // The runs of the operating cases (计算全部工况 or the book) and the cases
  // they ran, prepared: the chart windows let go of the runs replaced, then
  // show those of the cases in force (chartCasesChanged each time).
  void SetCaseRuns(std::vector<PreparedCase> cases, std::vector<CaseRun> runs);
  // CasesOverCompletedRun run as the batch mode runs them, through SetCaseRuns.
  void RunCasesOverCompletedRun();
  const std::vector<PreparedCase>& CaseRunCases() const { return caseRunCases_; }
  const std::vector<CaseRun>& CaseRuns() const { return caseRuns_; }
  // Whether an operating case in force has no run over the last complete run.
  bool CaseRunsStale() const;
  // Whether the runs held are those of `cases`, one each and in order.
  bool CaseRunsAreOf(const std::vector<Case>& cases) const;
  // The main window's case as the book and the pickers name it.
  std::string BaseCaseName() const;
  // The last complete run and the operating cases' runs made over it, as
  // the chart windows show them; empty from the start of a run, or when
  // none of the cases in force has run.
  const std::vector<ChartCase>& ChartCases() const { return chartCases_; }
  // ChartCases anew from the runs held (chartCasesChanged).
  void UpdateChartCases();
  // No chart cases until UpdateChartCases (chartCasesChanged).
  void DropChartCases();

 signals:
  // The case in force has changed.
  void caseChanged();
  // The design data has changed (a run shown is checked against it anew).
  void designChanged();
  // A run begins: the run state is about to be replaced.
  void runStarted();
  // The run has ended, with a complete run or without one.
  void runFinished(bool complete);
  void chartCasesChanged();

 private:
  void Prepare(Case typed);
  // The case in force (not its boxes) taken into the case of the last
  // complete run.
  void FollowCompletedCase();
  // The run held of `typed`, if any.
  const CaseRun* CaseRunOf(const Case& typed) const;

  PreparedCase prepared_;
  ProjectInfo project_;
  std::vector<OperatingCase> operatingCases_;

  CaseRun done_;
  bool completed_ = false;
  PreparedCase completedCase_;

  std::vector<PreparedCase> caseRunCases_;
  std::vector<CaseRun> caseRuns_;  // beside caseRunCases_
  std::vector<ChartCase> chartCases_;
};

}  // namespace kelvane::ui
