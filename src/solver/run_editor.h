// Write access to a run state: for the solver, and for tests and benchmarks
// that build a run by hand. Readers include solver/run_state.h only.
#pragma once

#include <cstdint>

#include "solver/run_state.h"

namespace kelvane {

class SurgeRunEditor {
 public:
  explicit SurgeRunEditor(SurgeRun& run) : run_(run) {}

  // Releases the old arrays, then creates zero-filled grids of
  // segmentCount+1 nodes by stepCount+1 steps and stepCount step times, and
  // sets both counts with them. No nodes or steps is a subscript error,
  // memory that cannot be had an out-of-memory error. On any fault the run
  // is left empty (no grids, both counts 0).
  void Resize(std::int16_t segmentCount, std::int16_t stepCount);

  void SetOutputSteps(std::int16_t first, std::int16_t last) { run_.SetOutputSteps(first, last); }

  float* HeadsAt(int step);
  float* VelocitiesAt(int step);
  float* StepTimes() { return run_.stepTimes_.data(); }

 private:
  SurgeRun& run_;
};

}  // namespace kelvane
