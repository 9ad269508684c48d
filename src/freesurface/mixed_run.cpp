#include "freesurface/mixed_run.h"

#include <memory>
#include <utility>

namespace kelvane::freesurface {

ReachSetup CaseReach(const MixedCase& c) {
  ReachSetup setup = c.reach;
  const int reaches = std::max(c.reaches, 1);
  setup.cells = reaches * std::max(1, (setup.cells + reaches - 1) / reaches);
  setup.upstream.kind = EndKind::Level;
  setup.upstream.level = c.reservoirLevel;
  setup.upstream.lossCoefficient = c.intakeLoss;
  setup.downstream.kind = EndKind::Storage;
  setup.downstream.lossCoefficient = c.outletLoss;
  setup.downstream.area = c.forebayArea;
  setup.downstream.areaTable = c.forebay.areaTable;
  auto pumps = std::make_shared<PumpDischarge>(c.pump, c.steadyDischarge, c.finalPumpDischarge);
  setup.downstream.discharge = [pumps](double t0, double t1) { return pumps->MeanOver(t0, t1); };
  return setup;
}

MixedResult RunMixed(const MixedCase& c) {
  ReachModel reach(CaseReach(c));
  MixedResult result;
  result.nodes = c.reaches + 1;
  result.steps = std::max(c.steps, 1);
  result.steadyConverged = reach.SetSteadyState(c.steadyDischarge);
  result.times.reserve(result.steps);
  if (c.keepGrid) result.grid.reserve(static_cast<std::size_t>(result.steps) * result.nodes);
  result.substeps.reserve(result.steps);
  auto record = [&](int substeps) {
    std::vector<NodeState> nodes = reach.Nodes(c.reaches);
    if (c.stepDone) c.stepDone(static_cast<int>(result.substeps.size()), nodes);
    if (c.keepGrid) result.grid.insert(result.grid.end(), nodes.begin(), nodes.end());
    result.substeps.push_back(substeps);
  };
  result.times.push_back(0);
  record(0);
  for (int j = 1; j < result.steps; ++j) {
    const int substeps = reach.Advance(c.timeStep);
    result.times.push_back(j * c.timeStep);
    record(substeps);
  }
  result.lowestPressureHead = reach.LowestPressureHead();
  result.vapourLimitReached = reach.VapourLimitReached();
  return result;
}

}  // namespace kelvane::freesurface
