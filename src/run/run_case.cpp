#include "run/run_case.h"

#include <utility>

#include "output/progress.h"

namespace kelvane {
namespace {

StepBlockObserver Made(const RunObserverFactory& factory, const SurgeRun& run) {
  return factory ? factory(run) : StepBlockObserver{};
}

// The summary of the complete run, then its design checks when design data is given.
void Judge(const PreparedCase& prepared, const RunSummarizer& summarizer, CaseRun& result) {
  try {
    result.summary = summarizer.Summary(result.run, result.outcome);
  } catch (...) {
    result.summaryError = CurrentExceptionAsRunError(Stage::Report);
    return;
  }
  if (!prepared.design.Any()) return;
  try {
    result.checks = CheckDesign(prepared.design, *result.summary, result.run, result.outcome);
  } catch (...) {
    result.checksError = CurrentExceptionAsRunError(Stage::Report);
  }
}

}  // namespace

ReportInput CaseReportInput(const Case& typed, const CaseRun& run) {
  ReportInput input;
  input.title = typed.title;
  input.notes = typed.notes;
  input.texts = typed.texts;
  input.design = typed.design;
  input.run = &run.run;
  input.outcome = run.outcome;
  if (run.summary) input.summary = *run.summary;
  return input;
}

CaseRun RunCase(const PreparedCase& prepared, const RunObservers& observers) {
  CaseRun result;
  if (prepared.eventError) {
    result.error = prepared.eventError;
    return result;
  }
  // The summary's envelope is gathered as the march finishes each block of
  // steps, while the block is still in the caches.
  RunSummarizer summarizer;
  CalculateOptions options;
  options.checking = observers.checking;
  options.extras = prepared.extras;
  options.observer = observers.summarize ? summarizer.Observer(result.run) : StepBlockObserver{};
  options.observer = BothObservers(Made(observers.before, result.run), std::move(options.observer));
  options.observer = BothObservers(std::move(options.observer), Made(observers.after, result.run));
  try {
    result.outcome = Calculate(prepared.typed.texts, result.run, options);
  } catch (...) {
    result.error = CurrentExceptionAsRunError(Stage::Program);
    return result;
  }
  if (observers.summarize) Judge(prepared, summarizer, result);
  return result;
}

}  // namespace kelvane
