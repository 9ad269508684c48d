// A run's geometry as its charts and design checks read it: the reach
// length, the culvert area, the pump discharge of each step, the wetted
// areas of a free-surface run. Qt-free.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/model.h"

namespace kelvane {

// What the charts and the design checks need of a run beyond its grids.
struct RunGeometry {
  double reachLength = 0;  // m
  double culvertArea = 0;  // m²
  // The pump event and forebay table in force (ModelExtrasTitle), which the
  // time history and envelope name in their titles; "" for the boxes alone.
  std::string event;
  // The pump discharge the forebay balance used at steps 1..StepCount, m³/s:
  // the steady discharge at step 1, then each step's mean
  // (PumpDischarge::StepMean).
  std::vector<double> pumpDischarge;
  // A free-surface run's wetted area of each node at each step
  // (FreeSurfaceRecord::wettedArea), which its discharges take instead of
  // culvertArea; none for the other models.
  std::shared_ptr<const std::vector<float>> wettedArea;
  bool openChannel = false;  // the reach is an open channel (引渠), not a culvert
  // Whether each node's head (node 1 first) is a water level at every step:
  // every node of an open channel, a box culvert's nodes that never ran full;
  // empty for the models of a full culvert.
  std::vector<bool> surfaceNodes;
};
RunGeometry GeometryOf(const RunOutcome& outcome);

// Distance of `node` (1-based) from the reservoir, m.
double NodeDistance(const RunGeometry& geometry, int node);
// "节点 6（596.662 m）"
std::string NodeLabel(const RunGeometry& geometry, int node);

}  // namespace kelvane
