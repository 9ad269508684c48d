#include "evaluation/run_geometry.h"

#include <string>

#include "format/number_format.h"
#include "model/pump_event.h"
#include "texts/event_texts.h"

namespace kelvane {

RunGeometry GeometryOf(const RunOutcome& outcome) {
  const RunParameters& p = outcome.parameters;
  RunGeometry geometry{double(outcome.coefficients.ReachLength),
                       p.CulvertArea,
                       ModelExtrasTitle(outcome.extras),
                       {p.SteadyDischarge},
                       nullptr,
                       false};
  if (outcome.freeSurface) {
    geometry.wettedArea = outcome.freeSurface->wettedArea;
    geometry.openChannel = outcome.freeSurface->section == CulvertSection::Channel;
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
