// The run state: the head and velocity grids and the step times of the last
// Calculate. The caller owns it; Calculate re-creates it, the writers, reports
// and windows only read it.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

namespace kelvane {

class SurgeRunEditor;

namespace detail {

// The grids' storage: an element that a resize adds is left unset, so that
// a run whose march writes every value does not first write zeros there
// (SurgeRunEditor::Resize says which values it sets). Values given to a
// resize or an assign are set as by std::allocator.
template <class T>
struct GridAllocator : std::allocator<T> {
  using value_type = T;
  template <class U>
  struct rebind {
    using other = GridAllocator<U>;
  };
  GridAllocator() = default;
  template <class U>
  GridAllocator(const GridAllocator<U>& /*other*/) noexcept {}  // NOLINT: as std::allocator
  template <class U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <class U, class... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};

using GridValues = std::vector<float, GridAllocator<float>>;

}  // namespace detail

// Nodes and steps count from 1. The grids hold SegmentCount()+1 nodes by
// StepCount()+1 steps (the last step is allocated, never computed); the step
// times StepCount() steps. Each step's nodes are stored contiguously. Every
// accessor is bounds-checked and throws RunError SubscriptOutOfRange.
class SurgeRun {
 public:
  // Whether grids of at least one node and one step exist.
  bool HasGrids() const { return gridNodes_ > 0; }
  std::int16_t SegmentCount() const { return segmentCount_; }
  std::int16_t StepCount() const { return stepCount_; }
  int GridNodes() const { return gridNodes_; }  // SegmentCount()+1, 0 without grids
  int GridSteps() const { return gridSteps_; }  // StepCount()+1, 0 without grids
  int TimeSteps() const { return static_cast<int>(stepTimes_.size()); }

  // The step range of the results table: read from the boxes by Calculate,
  // set again by the results command.
  std::int16_t FirstOutputStep() const { return firstOutputStep_; }
  std::int16_t LastOutputStep() const { return lastOutputStep_; }
  void SetOutputSteps(std::int16_t first, std::int16_t last) {
    firstOutputStep_ = first;
    lastOutputStep_ = last;
  }

  float Head(int node, int step) const;      // m
  float Velocity(int node, int step) const;  // m/s
  float StepTime(int step) const;            // s

  // Nodes 1..GridNodes() of one step (element 0 is node 1).
  std::span<const float> HeadsAt(int step) const;
  std::span<const float> VelocitiesAt(int step) const;
  // Steps 1..TimeSteps() (element 0 is step 1).
  std::span<const float> StepTimes() const { return stepTimes_; }

 private:
  friend class SurgeRunEditor;

  std::int16_t segmentCount_ = 0;
  std::int16_t stepCount_ = 0;
  std::int16_t firstOutputStep_ = 0;
  std::int16_t lastOutputStep_ = 0;
  int gridNodes_ = 0;
  int gridSteps_ = 0;
  detail::GridValues head_;
  detail::GridValues velocity_;
  detail::GridValues stepTimes_;
};

}  // namespace kelvane
