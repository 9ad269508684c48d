// Write access to a run state: the grids created and the steps written.
#include "model/run_editor.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <utility>

#include "model/errors.h"

namespace kelvane {

namespace {

// Creates one array of `count` values, zeros unless `zeros` is false (then
// unset); `where` names it in the fault.
void Create(detail::GridValues& array, std::size_t count, bool zeros, const ErrorLocation& where) {
  try {
    if (zeros) {
      array.assign(count, 0.0f);
    } else {
      array.resize(count);
    }
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

void SurgeRunEditor::ClearSteps(int from) {
  SurgeRun& r = run_;
  const std::size_t first = static_cast<std::size_t>(std::max(from, 1)) - 1;
  const std::size_t nodes = static_cast<std::size_t>(r.gridNodes_);
  const std::size_t values = static_cast<std::size_t>(r.gridSteps_) * nodes;
  if (first * nodes < values) {
    std::fill(r.head_.begin() + static_cast<std::ptrdiff_t>(first * nodes), r.head_.end(), 0.0f);
    std::fill(r.velocity_.begin() + static_cast<std::ptrdiff_t>(first * nodes), r.velocity_.end(),
              0.0f);
  }
  if (first < r.stepTimes_.size())
    std::fill(r.stepTimes_.begin() + static_cast<std::ptrdiff_t>(first), r.stepTimes_.end(), 0.0f);
}

void SurgeRunEditor::Resize(std::int16_t segmentCount, std::int16_t stepCount, GridFill fill) {
  // The old arrays go first, so a run never holds two generations of grids.
  SurgeRun& r = run_;
  r.segmentCount_ = 0;
  r.stepCount_ = 0;
  r.gridNodes_ = 0;
  r.gridSteps_ = 0;
  detail::GridValues().swap(r.head_);
  detail::GridValues().swap(r.velocity_);
  detail::GridValues().swap(r.stepTimes_);

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
  const bool zeros = fill == GridFill::Zeros;
  try {
    Create(r.head_, count, zeros, GridSite(Term::Grids, InputId::StepCount, stepCount));
    Create(r.velocity_, count, zeros, GridSite(Term::Grids, InputId::StepCount, stepCount));
    if (stepCount < 1) {
      throw RunError(ErrorCode::SubscriptOutOfRange,
                     GridSite(Term::StepTimes, InputId::StepCount, stepCount));
    }
    Create(r.stepTimes_, static_cast<std::size_t>(stepCount), zeros,
           GridSite(Term::StepTimes, InputId::StepCount, stepCount));
  } catch (...) {
    detail::GridValues().swap(r.head_);
    detail::GridValues().swap(r.velocity_);
    detail::GridValues().swap(r.stepTimes_);
    throw;
  }
  if (!zeros) {
    // Step 1 (which the steady state may leave part written on a fault), the
    // last grid step and the first step time: the values no march writes.
    const auto node = static_cast<std::size_t>(nodes);
    std::fill_n(r.head_.begin(), node, 0.0f);
    std::fill_n(r.velocity_.begin(), node, 0.0f);
    std::fill(r.head_.end() - static_cast<std::ptrdiff_t>(node), r.head_.end(), 0.0f);
    std::fill(r.velocity_.end() - static_cast<std::ptrdiff_t>(node), r.velocity_.end(), 0.0f);
    r.stepTimes_[0] = 0.0f;
  }
  r.segmentCount_ = segmentCount;
  r.stepCount_ = stepCount;
  r.gridNodes_ = nodes;
  r.gridSteps_ = steps;
}

}  // namespace kelvane
