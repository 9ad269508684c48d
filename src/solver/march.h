// The transient march: steps 2..StepCount of the grids from step 1.
#pragma once

#include "solver/solver.h"

namespace kelvane {

enum class MarchChecking {
  // Each step runs without per-operation branches and is verified once; only
  // a step that fails is run again with every operation checked, to report
  // its first fault exactly.
  VerifyEachStep,
  // Every operation of every step checked (the reference for the above).
  EveryOperation,
};

// Fills steps 2..StepCount of both grids and of StepTimes. The grids must be
// sized for `run.SegmentCount` and `run.StepCount`, with step 1 filled.
// `observer`, when set, is told of each block of finished steps.
void MarchTransient(const RunParameters& parameters, const SolverCoefficients& coefficients,
                    SurgeRun& run, MarchChecking checking = MarchChecking::VerifyEachStep,
                    const StepBlockObserver* observer = nullptr);

// The same step loop with no check of any kind, built with the same flags:
// the baseline that the checked march's speed is measured against.
void MarchTransientUnchecked(const RunParameters& parameters,
                             const SolverCoefficients& coefficients, SurgeRun& run);

// Calculate with a chosen checking of the march.
RunOutcome Calculate(const InputTexts& texts, SurgeRun& run, MarchChecking checking,
                     const StepBlockObserver* observer = nullptr);

}  // namespace kelvane
