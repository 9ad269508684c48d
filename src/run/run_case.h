// RunCase: a prepared case through the march, its summary and its design
// checks, into the one CaseRun that the command line, a study's case, the
// window and the reports all read.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "evaluation/design_checks.h"
#include "evaluation/report.h"
#include "model/calculate.h"
#include "model/errors.h"
#include "model/run_state.h"
#include "report/book_input.h"
#include "texts/prepared_case.h"

namespace kelvane {

// An observer made for the run state being filled, before the march starts.
using RunObserverFactory = std::function<StepBlockObserver(const SurgeRun& run)>;

struct RunObservers {
  // Each block of steps goes to `before`, then to the summary's envelope,
  // then to `after`; either may be empty. A throw from one ends the run as its
  // error (a stopped study's case ends so).
  RunObserverFactory before;
  RunObserverFactory after;  // the progress of a run
  // Whether the summary's envelope is gathered as the march runs, and the
  // summary and the design checks formed from it.
  bool summarize = true;
  MarchChecking checking = MarchChecking::VerifyEachStep;
};

struct CaseRun {
  SurgeRun run;
  // The fault that ended the run (the case's events, reading, coefficients,
  // march, an observer); then the run state is incomplete and nothing below is set.
  std::optional<RunError> error;
  RunOutcome outcome;
  // With RunObservers::summarize: the summary, or the fault that stopped it
  // (Stage::Report).
  std::optional<RunSummary> summary;
  std::optional<RunError> summaryError;
  // With a summary and design data given: the design checks, or their fault.
  std::optional<DesignCheckReport> checks;
  std::optional<RunError> checksError;

  bool Complete() const { return !error; }
};

CaseRun RunCase(const PreparedCase& prepared, const RunObservers& observers = {});

// Each case as RunCase runs it, the marches of classic cases with the same
// grid side by side (MarchBatch, which gathers the summary's envelope as it
// marches), the other models' cases by RunCase itself: every complete run,
// its summary and checks bit for bit those of RunCase, and every error the
// same. A throw from a case's
// observer ends that case as its error; its run state is then incomplete and
// may hold other steps than RunCase's would. Every run's grids are held at
// once: for cases of small grids.
std::vector<CaseRun> RunCases(std::span<const PreparedCase* const> cases,
                              const RunObservers& observers = {});

// Each case run as RunCase runs it, `threads` of them at once (0: one for
// each processor); the runs in the order of the cases, each the same as when
// run alone. What a case throws is thrown again once all have ended (the
// first such case's).
std::vector<CaseRun> RunEachCase(std::span<const PreparedCase> cases, unsigned threads = 0);

// What RunEachCase tells and heeds while it runs (a window's progress bar
// and its stop).
struct EachCaseControl {
  // Called as each case ends, on the thread that ran it.
  std::function<void()> caseEnded;
  // Once it holds, no further case starts.
  const std::atomic<bool>* stop = nullptr;
};

// The same, told and stopped by `control`: after a stop, the runs of the
// first cases, in order, up to the first case that did not start.
std::vector<CaseRun> RunEachCase(std::span<const PreparedCase> cases, unsigned threads,
                                 const EachCaseControl& control);

// What the calculation book reads of a complete run with its summary: the
// case it ran (its title, notes, boxes and design data) and its run; both
// must outlive the result.
ReportInput CaseReportInput(const PreparedCase& prepared, const CaseRun& run);

}  // namespace kelvane
