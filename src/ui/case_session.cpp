#include "ui/case_session.h"

#include <algorithm>
#include <utility>

#include "run/case_item.h"

namespace kelvane::ui {

CaseSession::CaseSession(QObject* parent) : QObject(parent) {
  Prepare(Case());
  completedCase_ = prepared_;
}

void CaseSession::Prepare(Case typed) { prepared_ = PrepareCase(std::move(typed)); }

void CaseSession::FollowCompletedCase() {
  completedCase_ = WithBoxes(prepared_, completedCase_.typed.texts);
}

void CaseSession::SetCase(PreparedCase prepared, const ProjectInfo& project,
                          const std::vector<OperatingCase>& cases) {
  prepared_ = std::move(prepared);
  FollowCompletedCase();
  project_ = project;
  operatingCases_ = cases;
  DropChartCases();
  emit designChanged();
  emit caseChanged();
}

void CaseSession::SetTexts(const InputTexts& texts) {
  Case typed = prepared_.typed;
  typed.texts = texts;
  Prepare(std::move(typed));
  emit caseChanged();
}

std::optional<RunError> CaseSession::SetEvents(const EventTexts& events) {
  Case typed = prepared_.typed;
  typed.events = events;
  PreparedCase prepared = PrepareCase(std::move(typed));
  if (prepared.eventError) return prepared.eventError;
  prepared_ = std::move(prepared);
  FollowCompletedCase();
  emit caseChanged();
  return std::nullopt;
}

void CaseSession::SetDesign(const DesignTexts& design) {
  Case typed = prepared_.typed;
  typed.design = design;
  Prepare(std::move(typed));
  FollowCompletedCase();
  DropChartCases();
  emit designChanged();
  emit caseChanged();
}

void CaseSession::SetProject(const ProjectInfo& project) {
  project_ = project;
  emit caseChanged();
}

void CaseSession::SetOperatingCases(const std::vector<OperatingCase>& cases) {
  operatingCases_ = cases;
  emit caseChanged();
}

void CaseSession::Calculate(const RunObservers& observers) {
  // The chart cases read the run state about to be rewritten; the windows
  // let go of them as the run starts.
  completed_ = false;
  chartCases_.clear();
  emit runStarted();
  done_ = CaseRun();  // the last run's grids go before the new ones are sized
  done_ = RunCase(prepared_, observers);
  completed_ = done_.Complete();
  if (completed_) completedCase_ = prepared_;
  emit runFinished(completed_);
}

std::vector<Case> CaseSession::CasesOverCompletedRun() const {
  std::vector<Case> typed;
  typed.reserve(operatingCases_.size());
  for (const OperatingCase& operating : operatingCases_)
    typed.push_back(OperatingCaseOf(completedCase_.typed, operating));
  return typed;
}

void CaseSession::SetCaseRuns(std::vector<PreparedCase> cases, std::vector<CaseRun> runs) {
  // The windows show the chart cases: they let go of the runs replaced.
  if (!chartCases_.empty()) DropChartCases();
  caseRuns_ = std::move(runs);
  caseRunCases_ = std::move(cases);
}

void CaseSession::RunCasesOverCompletedRun() {
  std::vector<PreparedCase> cases = PrepareCases(CasesOverCompletedRun());
  std::vector<CaseRun> runs = RunEachCase(cases);
  SetCaseRuns(std::move(cases), std::move(runs));
}

const CaseRun* CaseSession::CaseRunOf(const Case& typed) const {
  const auto at = std::ranges::find(caseRunCases_, typed, &PreparedCase::typed);
  return at == caseRunCases_.end() ? nullptr : &caseRuns_[std::size_t(at - caseRunCases_.begin())];
}

bool CaseSession::CaseRunsStale() const {
  const std::vector<Case> typed = CasesOverCompletedRun();
  return std::ranges::any_of(typed, [this](const Case& c) { return CaseRunOf(c) == nullptr; });
}

bool CaseSession::CaseRunsAreOf(const std::vector<Case>& cases) const {
  return caseRuns_.size() == cases.size() &&
         std::ranges::equal(caseRunCases_, cases, {}, &PreparedCase::typed);
}

std::string CaseSession::BaseCaseName() const {
  return prepared_.typed.title.empty() ? "基本工况" : prepared_.typed.title;
}

void CaseSession::UpdateChartCases() {
  chartCases_.clear();
  if (const RunOutcome* outcome = CompletedRun()) {
    // Each case of the table in force whose run was made over the last
    // complete run: a case removed, renamed or changed since has none.
    const std::vector<Case> typed = CasesOverCompletedRun();
    for (std::size_t i = 0; i < typed.size(); ++i) {
      const CaseRun* run = CaseRunOf(typed[i]);
      if (run == nullptr) continue;
      const CaseRun& done = *run;
      if (done.error || done.summaryError) continue;
      if (chartCases_.empty())
        chartCases_.push_back({BaseCaseName(), &done_.run, *outcome, prepared_.design});
      // The design data each case was checked against (none given: no checks).
      chartCases_.push_back({operatingCases_[i].name, &done.run, done.outcome,
                             done.checks ? done.checks->data : DesignData{}});
    }
  }
  emit chartCasesChanged();
}

void CaseSession::DropChartCases() {
  chartCases_.clear();
  emit chartCasesChanged();
}

}  // namespace kelvane::ui
