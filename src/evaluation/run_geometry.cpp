#include "evaluation/run_geometry.h"

#include <algorithm>
#include <string>

#include "format/number_format.h"
#include "model/pump_event.h"
#include "texts/event_texts.h"

namespace kelvane {

RunGeometry GeometryOf(const RunOutcome& outcome) {
  const RunParameters& p = outcome.parameters;
  RunGeometry geometry;
  geometry.reachLength = double(outcome.coefficients.ReachLength);
  geometry.culvertArea = p.CulvertArea;
  geometry.event = ModelExtrasTitle(outcome.extras);
  geometry.pumpDischarge.reserve(std::size_t(std::max<int>(p.StepCount, 1)));
  geometry.pumpDischarge.push_back(p.SteadyDischarge);
  if (const std::optional<FreeSurfaceRecord>& free = outcome.freeSurface) {
    geometry.wettedArea = free->wettedArea;
    geometry.openChannel = free->section == CulvertSection::Channel;
    geometry.surfaceNodes.reserve(free->nodes.size());
    for (const NodeRegime& node : free->nodes)
      geometry.surfaceNodes.push_back(geometry.openChannel || !node.everFull);
  }
  const PumpDischarge law(outcome.extras.pump, p.SteadyDischarge, p.FinalPumpDischarge);
  for (int step = 2; step <= p.StepCount; ++step) {
    geometry.pumpDischarge.push_back(law.StepMean(step, outcome.coefficients.TimeStep));
  }
  return geometry;
}

double NodeDistance(const RunGeometry& geometry, int node) {
  return (node - 1) * geometry.reachLength;
}

std::string NodeLabel(const RunGeometry& geometry, int node) {
  return "节点 " + std::to_string(node) + "（" +
         Fixed(NodeDistance(geometry, node), 3, NegativeZero::Keep) + " m）";
}

}  // namespace kelvane
