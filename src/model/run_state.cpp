// The run state: the head and velocity grids and the step times.
#include "model/run_state.h"

#include "model/errors.h"

namespace kelvane {

namespace {

[[noreturn]] void OutOfRange(Quantity quantity, int node, int step) {
  ErrorLocation at;
  at.quantity = quantity;
  at.node = node;
  at.step = step;
  throw RunError(ErrorCode::SubscriptOutOfRange, at);
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

}  // namespace kelvane
