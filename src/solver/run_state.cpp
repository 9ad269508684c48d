// The run state: the head and velocity grids and the step times.
#include "solver/run_state.h"

#include <new>
#include <stdexcept>
#include <string>

#include "solver/errors.h"
#include "solver/run_editor.h"

namespace kelvane {

namespace {

[[noreturn]] void OutOfRange(Quantity quantity, int node, int step) {
  ErrorLocation at;
  at.quantity = quantity;
  at.node = node;
  at.step = step;
  throw RunError(ErrorCode::SubscriptOutOfRange, at);
}

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

float SurgeRun::Head(int node, int step) const {
  if (node < 1 || node > gridNodes_ || step < 1 || step > gridSteps_)
    OutOfRange(Quantity::Head, node, step);
  return head_[static_cast<std::size_t>(step - 1) * gridNodes_ + (node - 1)];
}

float SurgeRun::Velocity(int node, int step) const {
  if (node < 1 || node > gridNodes_ || step < 1 || step > gridSteps_)
    OutOfRange(Quantity::Velocity, node, step);
  return velocity_[static_cast<std::size_t>(step - 1) * gridNodes_ + (node - 1)];
}

float SurgeRun::StepTime(int step) const {
  if (step < 1 || step > TimeSteps()) OutOfRange(Quantity::Time, 0, step);
  return stepTimes_[step - 1];
}

std::span<const float> SurgeRun::HeadsAt(int step) const {
  if (step < 1 || step > gridSteps_) OutOfRange(Quantity::Head, 0, step);
  return {head_.data() + static_cast<std::size_t>(step - 1) * gridNodes_,
          static_cast<std::size_t>(gridNodes_)};
}

std::span<const float> SurgeRun::VelocitiesAt(int step) const {
  if (step < 1 || step > gridSteps_) OutOfRange(Quantity::Velocity, 0, step);
  return {velocity_.data() + static_cast<std::size_t>(step - 1) * gridNodes_,
          static_cast<std::size_t>(gridNodes_)};
}

float* SurgeRunEditor::HeadsAt(int step) {
  if (step < 1 || step > run_.gridSteps_) OutOfRange(Quantity::Head, 0, step);
  return run_.head_.data() + static_cast<std::size_t>(step - 1) * run_.gridNodes_;
}

float* SurgeRunEditor::VelocitiesAt(int step) {
  if (step < 1 || step > run_.gridSteps_) OutOfRange(Quantity::Velocity, 0, step);
  return run_.velocity_.data() + static_cast<std::size_t>(step - 1) * run_.gridNodes_;
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
