// Write access to a run state: the grids created and the steps written.
#include "model/run_editor.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <utility>

#include "model/errors.h"

namespace kelvane {

namespace {

// Creates one array of `count` zeros; `where` names it in the fault.
void Create(std::vector<float>& array, std::size_t count, const ErrorLocation& where) {
  try {
    array.assign(count, 0.0f);
  } catch (const std::bad_alloc&) {
    throw RunError(ErrorCode::OutOfMemory, where);
  } catch (const std::length_error&) {
    throw RunError(ErrorCode::OutOfMemory, where);
  }
}

ErrorLocation GridSite(Term term, InputId box, double value) {
  ErrorLocation at;
  at.stage = Stage::Grid;
  at.term = term;
  at.input = box;
  at.value = value;
  return at;
}

}  // namespace

// The same bounds check and fault as the reader's.
bool GridsHoldRun(const SurgeRun& run) {
  const int n = run.SegmentCount();
  const int last = run.StepCount();
  return n >= 1 && run.GridNodes() == n + 1 && run.GridSteps() >= last && run.TimeSteps() >= last;
}

void ThrowGridsDoNotHoldRun(const SurgeRun& run) {
  ErrorLocation at;
  at.stage = Stage::March;
  at.step = 2;
  at.node = std::max(run.SegmentCount() + 1, 1);
  at.input = InputId::SegmentCount;
  throw RunError(ErrorCode::SubscriptOutOfRange, at);
}

float* SurgeRunEditor::HeadsAt(int step) {
  return const_cast<float*>(std::as_const(run_).HeadsAt(step).data());
}

float* SurgeRunEditor::VelocitiesAt(int step) {
  return const_cast<float*>(std::as_const(run_).VelocitiesAt(step).data());
}

void SurgeRunEditor::Resize(std::int16_t segmentCount, std::int16_t stepCount) {
  // The old arrays go first, so a run never holds two generations of grids.
  SurgeRun& r = run_;
  r.segmentCount_ = 0;
  r.stepCount_ = 0;
  r.gridNodes_ = 0;
  r.gridSteps_ = 0;
  std::vector<float>().swap(r.head_);
  std::vector<float>().swap(r.velocity_);
  std::vector<float>().swap(r.stepTimes_);

  const int nodes = segmentCount + 1;
  const int steps = stepCount + 1;
  // An empty or reversed index range cannot be created.
  if (nodes < 1) {
    throw RunError(ErrorCode::SubscriptOutOfRange,
                   GridSite(Term::Grids, InputId::SegmentCount, segmentCount));
  }
  if (steps < 1) {
    throw RunError(ErrorCode::SubscriptOutOfRange,
                   GridSite(Term::Grids, InputId::StepCount, stepCount));
  }
  const std::size_t count = static_cast<std::size_t>(nodes) * static_cast<std::size_t>(steps);
  try {
    Create(r.head_, count, GridSite(Term::Grids, InputId::StepCount, stepCount));
    Create(r.velocity_, count, GridSite(Term::Grids, InputId::StepCount, stepCount));
    if (stepCount < 1) {
      throw RunError(ErrorCode::SubscriptOutOfRange,
                     GridSite(Term::StepTimes, InputId::StepCount, stepCount));
    }
    Create(r.stepTimes_, static_cast<std::size_t>(stepCount),
           GridSite(Term::StepTimes, InputId::StepCount, stepCount));
  } catch (...) {
    std::vector<float>().swap(r.head_);
    std::vector<float>().swap(r.velocity_);
    std::vector<float>().swap(r.stepTimes_);
    throw;
  }
  r.segmentCount_ = segmentCount;
  r.stepCount_ = stepCount;
  r.gridNodes_ = nodes;
  r.gridSteps_ = steps;
}

}  // namespace kelvane
