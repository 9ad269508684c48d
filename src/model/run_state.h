// The run state: the head and velocity grids and the step times of the last
// Calculate. The caller owns it; Calculate re-creates it, the writers, reports
// and windows only read it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane {

class SurgeRunEditor;

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
  std::vector<float> head_;
  std::vector<float> velocity_;
  std::vector<float> stepTimes_;
};

}  // namespace kelvane
