// Calculate: the sixteen input texts in, the grids of one run out.
#pragma once

#include <functional>
#include <optional>

#include "solver/inputs.h"
#include "solver/pump_event.h"
#include "solver/run_state.h"

namespace kelvane {

// What a Calculate leaves besides the run state.
struct RunOutcome {
  RunParameters parameters;
  SolverCoefficients coefficients;
  ModelExtras extras;  // the pump event and area table of the run, as given
  // With an area table: the smallest area a march step used, against the
  // stability limit of the forebay update.
  std::optional<ForebayAreaUse> forebayAreaUse;
};

// Told of each block of finished steps, in ascending order: step 1 once the
// steady state stands, then the march's steps a few dozen at a time, so that
// a caller can read each block while it is still in the caches. A step that
// has been reported is not written again. A run that fails throws after the
// blocks before the fault have been reported.
using StepBlockObserver = std::function<void(int firstStep, int lastStep)>;

enum class MarchChecking {
  // Each step runs without per-operation branches and is verified once; only
  // a step that fails is run again with every operation checked, to report
  // its first fault exactly.
  VerifyEachStep,
  // Every operation of every step checked (the reference for the above).
  EveryOperation,
};

struct CalculateOptions {
  StepBlockObserver observer;  // none when empty
  MarchChecking checking = MarchChecking::VerifyEachStep;
  // The pump event and the forebay area table; empty: the sudden change to
  // FinalPumpDischarge and the constant ForebayArea.
  ModelExtras extras = {};
};

// Reads the sixteen texts in a fixed order, forms the coefficients, sizes
// `run`, computes the steady state and marches every step. The first fault
// throws RunError; nothing is rolled back (the run state is then incomplete
// and must not be read).
RunOutcome Calculate(const InputTexts& texts, SurgeRun& run, const CalculateOptions& options = {});

}  // namespace kelvane
