// One case of the free-surface and mixed-flow model on the run's own grid: a
// reservoir held at its level upstream, the forebay's storage balance with
// the pump event and the level–area table downstream, the steady state of
// the steady discharge at step 1, and the nodes at every run step Δt (the
// scheme sub-steps within each).
#pragma once

#include <functional>
#include <span>
#include <vector>

#include "freesurface/reach.h"
#include "model/pump_event.h"

namespace kelvane::freesurface {

struct MixedCase {
  ReachSetup reach;           // section, length, inverts, friction, local losses, wave speed, cells
  double reservoirLevel = 0;  // m
  double intakeLoss = 0;      // velocity heads between the reservoir and the culvert
  double outletLoss = 0;      // velocity heads between the culvert and the forebay
  double steadyDischarge = 0;  // m³/s
  PumpEvent pump;
  float finalPumpDischarge = 0;  // m³/s
  ForebayShape forebay;
  double forebayArea = 0;  // m², without a table
  int reaches = 5;         // the run's nodes are reaches + 1
  int steps = 0;           // the run's steps, step 1 the steady state
  double timeStep = 0;     // s
  // Told of each step's nodes as soon as they are formed (steps from 0, the
  // steady state first); a throw from it ends the run. None when empty.
  std::function<void(int step, std::span<const NodeState> nodes)> stepDone;
  // Whether the result keeps the grid of every step (a caller told of each
  // step may not need it).
  bool keepGrid = true;
};

struct MixedResult {
  int nodes = 0;
  int steps = 0;
  std::vector<double> times;      // s, one a step
  std::vector<NodeState> grid;    // step by step, each step's nodes together (MixedCase::keepGrid)
  std::vector<int> substeps;      // the scheme's sub-steps in each run step
  double lowestPressureHead = 0;  // m against the soffit (see ReachModel)
  bool vapourLimitReached = false;
  bool steadyConverged = false;
  // Steps and nodes count from 0 here.
  const NodeState& At(int step, int node) const { return grid[step * nodes + node]; }
};

// The reach of a case with its two ends, its cells a multiple of the reaches.
ReachSetup CaseReach(const MixedCase& c);

MixedResult RunMixed(const MixedCase& c);

}  // namespace kelvane::freesurface
