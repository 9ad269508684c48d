#include "model/stability.h"

#include <limits>

namespace kelvane {

double ForebayStabilityLimit(const RunParameters& p, const SolverCoefficients& c) {
  // r * ForebayArea, in m²: the coupling of the level update to the
  // forward characteristic.
  const double coupling =
      p.CulvertArea * static_cast<double>(c.TimeStep) / static_cast<double>(c.WaveCoefficient);
  if (!(coupling >= 0)) return std::numeric_limits<double>::infinity();
  return coupling / 2;
}

}  // namespace kelvane
