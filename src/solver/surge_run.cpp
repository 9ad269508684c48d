// The shared run state: the head and velocity grids and the step times.
#include <new>
#include <stdexcept>
#include <string>

#include "solver/solver.h"

namespace kelvane {

namespace {

[[noreturn]] void OutOfRange(const char* array, int node, int step) {
  throw RunError(ErrorCode::SubscriptOutOfRange, std::string("访问 ") + array + "(" +
                                                     std::to_string(node) + ", " +
                                                     std::to_string(step) + ")");
}

[[noreturn]] void OutOfRange(const char* array, int step) {
  throw RunError(ErrorCode::SubscriptOutOfRange,
                 std::string("访问 ") + array + "(" + std::to_string(step) + ")");
}

[[noreturn]] void StepOutOfRange(const char* grid, int step) {
  throw RunError(ErrorCode::SubscriptOutOfRange,
                 std::string("访问 ") + grid + " 第 " + std::to_string(step) + " 时段");
}

// Re-creates one array of `count` zeros. The old contents are released first,
// so a run never holds two generations of grids at once.
void Recreate(std::vector<float>& array, std::size_t count, const std::string& where) {
  std::vector<float>().swap(array);
  try {
    array.assign(count, 0.0f);
  } catch (const std::bad_alloc&) {
    throw RunError(ErrorCode::OutOfMemory, where);
  } catch (const std::length_error&) {
    throw RunError(ErrorCode::OutOfMemory, where);
  }
}

}  // namespace

float SurgeRun::Head(int node, int step) const {
  if (node < 1 || node > grid_nodes_ || step < 1 || step > grid_steps_)
    OutOfRange("HeadGrid", node, step);
  return head_[static_cast<std::size_t>(step - 1) * grid_nodes_ + (node - 1)];
}

float SurgeRun::Velocity(int node, int step) const {
  if (node < 1 || node > grid_nodes_ || step < 1 || step > grid_steps_)
    OutOfRange("VelocityGrid", node, step);
  return velocity_[static_cast<std::size_t>(step - 1) * grid_nodes_ + (node - 1)];
}

float SurgeRun::StepTime(int step) const {
  if (step < 1 || step > TimeSteps()) OutOfRange("StepTimes", step);
  return step_times_[step - 1];
}

std::span<const float> SurgeRun::HeadsAt(int step) const {
  if (step < 1 || step > grid_steps_) StepOutOfRange("HeadGrid", step);
  return {head_.data() + static_cast<std::size_t>(step - 1) * grid_nodes_,
          static_cast<std::size_t>(grid_nodes_)};
}

std::span<const float> SurgeRun::VelocitiesAt(int step) const {
  if (step < 1 || step > grid_steps_) StepOutOfRange("VelocityGrid", step);
  return {velocity_.data() + static_cast<std::size_t>(step - 1) * grid_nodes_,
          static_cast<std::size_t>(grid_nodes_)};
}

float* SurgeRun::MutableHeadsAt(int step) {
  if (step < 1 || step > grid_steps_) StepOutOfRange("HeadGrid", step);
  return head_.data() + static_cast<std::size_t>(step - 1) * grid_nodes_;
}

float* SurgeRun::MutableVelocitiesAt(int step) {
  if (step < 1 || step > grid_steps_) StepOutOfRange("VelocityGrid", step);
  return velocity_.data() + static_cast<std::size_t>(step - 1) * grid_nodes_;
}

void SurgeRun::RecreateGrids(int nodes, int steps) {
  grid_nodes_ = 0;
  grid_steps_ = 0;
  std::vector<float>().swap(velocity_);
  const std::string shape =
      "（节点 1.." + std::to_string(nodes) + "，时段 1.." + std::to_string(steps) + "）";
  // An empty or reversed index range cannot be created.
  if (nodes < 1 || steps < 1) {
    std::vector<float>().swap(head_);
    throw RunError(ErrorCode::SubscriptOutOfRange, "创建 HeadGrid" + shape);
  }
  const std::size_t count = static_cast<std::size_t>(nodes) * static_cast<std::size_t>(steps);
  Recreate(head_, count, "创建 HeadGrid" + shape);
  try {
    Recreate(velocity_, count, "创建 VelocityGrid" + shape);
  } catch (...) {
    std::vector<float>().swap(head_);
    throw;
  }
  grid_nodes_ = nodes;
  grid_steps_ = steps;
}

void SurgeRun::RecreateStepTimes(int steps) {
  std::vector<float>().swap(step_times_);
  const std::string where = "创建 StepTimes（时段 1.." + std::to_string(steps) + "）";
  if (steps < 1) throw RunError(ErrorCode::SubscriptOutOfRange, where);
  Recreate(step_times_, static_cast<std::size_t>(steps), where);
}

}  // namespace kelvane
