// Calculate: the sixteen input texts in, the grids of one run out.
#pragma once

#include "solver/inputs.h"
#include "solver/march_settings.h"
#include "solver/run_state.h"

namespace kelvane {

// What a Calculate leaves besides the run state.
struct RunOutcome {
  RunParameters parameters;
  SolverCoefficients coefficients;
};

struct CalculateOptions {
  StepBlockObserver observer;  // none when empty
  MarchChecking checking = MarchChecking::VerifyEachStep;
};

// Reads the sixteen texts in a fixed order, forms the coefficients, sizes
// `run`, computes the steady state and marches every step. The first fault
// throws RunError; nothing is rolled back (the run state is then incomplete
// and must not be read).
RunOutcome Calculate(const InputTexts& texts, SurgeRun& run, const CalculateOptions& options = {});

}  // namespace kelvane
