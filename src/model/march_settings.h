// How the march runs, set by the caller of Calculate and passed on to the
// march: how its steps are checked and who is told of the finished steps.
#pragma once

#include <functional>

namespace kelvane {

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

// How Calculate creates the grids before the steady state fills step 1.
enum class GridFill {
  // Every value 0: what every step the march does not reach keeps.
  Zeros,
  // Step 1 of both grids, their last step (never marched) and the first step
  // time 0, the steps between and the other step times unset: for MarchBatch,
  // which writes all of them or clears them before a lane's single march. A
  // fault in Calculate after the grids are created clears them too, so that
  // every run ends as with Zeros.
  MarchWritten,
};

}  // namespace kelvane
