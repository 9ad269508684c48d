// Write access to a run state: for the solver, and for tests and benchmarks
// that build a run by hand. Readers include model/run_state.h only.
#pragma once

#include <cstdint>

#include "model/march_settings.h"
#include "model/run_state.h"

namespace kelvane {

class SurgeRunEditor {
 public:
  explicit SurgeRunEditor(SurgeRun& run) : run_(run) {}

  // Releases the old arrays, then creates grids of segmentCount+1 nodes by
  // stepCount+1 steps and stepCount step times, filled as `fill` says, and
  // sets both counts with them. No nodes or steps is a subscript error,
  // memory that cannot be had an out-of-memory error. On any fault the run
  // is left empty (no grids, both counts 0).
  void Resize(std::int16_t segmentCount, std::int16_t stepCount, GridFill fill = GridFill::Zeros);
  // Zeros in steps `from`..GridSteps() of both grids and in the step times
  // from step `from` on: what zero-filled grids hold where no step was
  // written.
  void ClearSteps(int from);

  void SetOutputSteps(std::int16_t first, std::int16_t last) { run_.SetOutputSteps(first, last); }

  float* HeadsAt(int step);
  float* VelocitiesAt(int step);
  float* StepTimes() { return run_.stepTimes_.data(); }

 private:
  SurgeRun& run_;
};

// Whether the run's grids hold its nodes and steps, as a march writes them:
// at least one reach, a node more than reaches, a grid step and a step time
// for each step.
bool GridsHoldRun(const SurgeRun& run);

// The march's error when they do not: a subscript out of range at step 2,
// at the node past the last.
[[noreturn]] void ThrowGridsDoNotHoldRun(const SurgeRun& run);

}  // namespace kelvane
