// The transient march: steps 2..StepCount of the grids from step 1.
#pragma once

#include "solver/calculate.h"
#include "solver/run_state.h"

namespace kelvane {

// Fills steps 2..StepCount of both grids and of StepTimes. The grids must be
// sized for `run.SegmentCount()` and `run.StepCount()`, with step 1 filled.
// `observer`, when set, is told of each block of finished steps.
void MarchTransient(const RunParameters& parameters, const SolverCoefficients& coefficients,
                    SurgeRun& run, MarchChecking checking = MarchChecking::VerifyEachStep,
                    const StepBlockObserver* observer = nullptr);

// The same step loop with no check of any kind, built with the same flags:
// the baseline that the checked march's speed is measured against.
void MarchTransientUnchecked(const RunParameters& parameters,
                             const SolverCoefficients& coefficients, SurgeRun& run);

}  // namespace kelvane
