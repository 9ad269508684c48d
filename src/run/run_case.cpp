#include "run/run_case.h"

#include <exception>
#include <utility>

#include "files/progress.h"
#include "freesurface/mixed_run.h"
#include "model/march_batch.h"
#include "model/rigid_column.h"
#include "run/mixed_case.h"

namespace kelvane {
namespace {

StepBlockObserver Made(const RunObserverFactory& factory, const SurgeRun& run) {
  return factory ? factory(run) : StepBlockObserver{};
}

// The summary of the complete run, then its design checks when design data is given.
// With `forecast`, the run's oscillation forecast already made.
void Judge(const PreparedCase& prepared, const RunSummarizer& summarizer, CaseRun& result,
           const std::optional<OscillationForecast>* forecast = nullptr) {
  try {
    result.summary = forecast != nullptr ? summarizer.Summary(result.run, result.outcome, *forecast)
                                         : summarizer.Summary(result.run, result.outcome);
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

// The options of the case's Calculate: its pump event and area table, and
// its blocks of steps to `before`, the summary's envelope and `after`.
CalculateOptions OptionsOf(const PreparedCase& prepared, const RunObservers& observers,
                           RunSummarizer& summarizer, CaseRun& result) {
  CalculateOptions options;
  options.checking = observers.checking;
  options.extras = prepared.extras;
  options.observer = observers.summarize ? summarizer.Observer(result.run) : StepBlockObserver{};
  options.observer = BothObservers(Made(observers.before, result.run), std::move(options.observer));
  options.observer = BothObservers(std::move(options.observer), Made(observers.after, result.run));
  return options;
}

// The case's observers but the summary's envelope: for a march that gathers
// the envelope itself.
StepBlockObserver ObserversBesideEnvelope(const RunObservers& observers, const SurgeRun& run) {
  return BothObservers(Made(observers.before, run), Made(observers.after, run));
}

// `observer` keeping its first throw in `threw`, after which it is told
// nothing: a case's fault is then that throw, not the march's. Both must
// outlive the result, which holds only their addresses.
StepBlockObserver Guarded(const StepBlockObserver& observer, std::exception_ptr& threw) {
  if (!observer) return {};
  return [&threw, &observer](int first, int last) {
    if (threw) return;
    try {
      observer(first, last);
    } catch (...) {
      threw = std::current_exception();
    }
  };
}

// The blocks of steps the observers are told of, as the march tells them.
constexpr int kObservedBlock = 64;

// The case through the free-surface and mixed-flow model: the inputs read
// and the grids sized as for the march, then the model's nodes stored into
// them step by step, each block of steps told to the observers as it is
// filled.
RunOutcome CalculateMixed(const PreparedCase& prepared, const CalculateOptions& options,
                          SurgeRun& run) {
  const std::vector<std::string> missing = MixedGeometryMissing(prepared);
  if (!missing.empty()) {
    ErrorLocation at;
    at.stage = Stage::EventInput;
    at.eventField = EventField::Section;
    at.eventFault = EventFault::MissingGeometry;
    at.detail = MixedGeometryMissingText(missing);
    throw RunError(ErrorCode::InvalidInput, at);
  }
  CalculateOptions before = options;
  before.observer = {};
  // The boxes with the section's own texts where the model takes them.
  RunOutcome outcome = CalculateBeforeMarch(ReadInputNumbers(MixedRunTexts(prepared)), run, before);
  freesurface::MixedCase mixed = MixedCaseOf(prepared, outcome.parameters, outcome.coefficients);
  mixed.keepGrid = false;
  const float timeStep = outcome.coefficients.TimeStep;
  const int last = run.StepCount();
  int reported = 0;
  FreeSurfaceRecorder recorder(mixed, prepared.extras.section);
  mixed.stepDone = [&](int index, std::span<const freesurface::NodeState> nodes) {
    const int step = index + 1;
    StoreMixedStep(run, step, timeStep, nodes);
    recorder.AddStep(step, nodes);
    if (options.observer && (step == 1 || step - reported == kObservedBlock || step == last)) {
      options.observer(reported + 1, step);
      reported = step;
    }
  };
  const freesurface::MixedResult result = freesurface::RunMixed(mixed);
  CalculateAfterMarch(run, options, outcome);
  outcome.freeSurface = recorder.Finish(result);
  return outcome;
}

}  // namespace

ReportInput CaseReportInput(const PreparedCase& prepared, const CaseRun& run) {
  ReportInput input;
  input.prepared = &prepared;
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
  const CalculateOptions options = OptionsOf(prepared, observers, summarizer, result);
  try {
    result.outcome = prepared.extras.model == MarchModel::Mixed
                         ? CalculateMixed(prepared, options, result.run)
                         : Calculate(prepared.numbers, result.run, options);
  } catch (...) {
    result.error = CurrentExceptionAsRunError(Stage::Program);
    return result;
  }
  if (observers.summarize) Judge(prepared, summarizer, result);
  return result;
}

std::vector<CaseRun> RunCases(std::span<const PreparedCase* const> cases,
                              const RunObservers& observers) {
  const std::size_t count = cases.size();
  // Sized once: the observers hold the addresses of the runs and summarizers.
  std::vector<CaseRun> results(count);
  std::vector<RunSummarizer> summarizers(count);
  std::vector<CalculateOptions> options(count);
  std::vector<GridEnvelope> envelopes(count);
  // With the envelope gathered by the batch: each case's other observers.
  std::vector<StepBlockObserver> besideEnvelope(count);
  std::vector<MarchLane> lanes;
  std::vector<std::size_t> caseOfLane;
  // The first throw of each case's observer, after which it is told nothing.
  std::vector<std::exception_ptr> observerThrew(count);
  for (std::size_t k = 0; k < count; ++k) {
    const PreparedCase& prepared = *cases[k];
    CaseRun& result = results[k];
    if (prepared.eventError) {
      result.error = prepared.eventError;
      continue;
    }
    if (prepared.extras.model != MarchModel::Classic) {  // not a march of the batch
      result = RunCase(prepared, observers);
      continue;
    }
    options[k] = OptionsOf(prepared, observers, summarizers[k], result);
    // The batch writes every step of its runs' grids or clears them.
    if (observers.checking == MarchChecking::VerifyEachStep)
      options[k].gridFill = GridFill::MarchWritten;
    try {
      result.outcome = CalculateBeforeMarch(prepared.numbers, result.run, options[k]);
    } catch (...) {
      result.error = CurrentExceptionAsRunError(Stage::Program);
      continue;
    }
    MarchLane lane;
    lane.parameters = &result.outcome.parameters;
    lane.coefficients = &result.outcome.coefficients;
    lane.run = &result.run;
    lane.extras = MarchExtras(options[k]);
    lane.observer = Guarded(options[k].observer, observerThrew[k]);
    if (observers.summarize) {
      // The batch gathers the summary's envelope as it marches the steps.
      lane.envelope = &envelopes[k];
      besideEnvelope[k] = ObserversBesideEnvelope(observers, result.run);
      lane.batchObserver = Guarded(besideEnvelope[k], observerThrew[k]);
    }
    lanes.push_back(std::move(lane));
    caseOfLane.push_back(k);
  }

  if (observers.checking == MarchChecking::VerifyEachStep) {
    MarchBatch(lanes);
  } else {
    for (MarchLane& lane : lanes) {
      try {
        MarchTransient(*lane.parameters, *lane.coefficients, *lane.run, observers.checking,
                       lane.observer ? &lane.observer : nullptr, lane.extras);
      } catch (const RunError& error) {
        lane.error = error;
      }
    }
  }

  std::vector<std::size_t> complete;
  for (std::size_t n = 0; n < lanes.size(); ++n) {
    const std::size_t k = caseOfLane[n];
    CaseRun& result = results[k];
    try {
      if (observerThrew[k]) std::rethrow_exception(observerThrew[k]);
      if (lanes[n].error) throw *lanes[n].error;
      CalculateAfterMarch(result.run, options[k], result.outcome);
    } catch (...) {
      result.error = CurrentExceptionAsRunError(Stage::Program);
      continue;
    }
    if (envelopes[k].gathered) summarizers[k].TakeEnvelope(std::move(envelopes[k]));
    complete.push_back(k);
  }
  if (!observers.summarize) return results;
  // The complete runs' oscillation forecasts side by side, then each summary.
  std::vector<ForecastCase> forecastCases;
  forecastCases.reserve(complete.size());
  for (std::size_t k : complete) {
    forecastCases.push_back(
        {&results[k].outcome.parameters, &results[k].outcome.extras, &results[k].run});
  }
  const std::vector<std::optional<OscillationForecast>> forecasts =
      ForecastOscillations(forecastCases);
  for (std::size_t i = 0; i < complete.size(); ++i) {
    const std::size_t k = complete[i];
    Judge(*cases[k], summarizers[k], results[k], &forecasts[i]);
  }
  return results;
}

}  // namespace kelvane
