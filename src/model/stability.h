// The smallest forebay area for which the march's forebay boundary is stable.
#pragma once

#include "model/inputs.h"

namespace kelvane {

// The forebay level is advanced explicitly with the previous step's inflow,
// and the forebay velocity follows from the new level on the forward
// characteristic, V = (CP - H) / B. Together, with CP held for one step:
//
//   H(j) = (1 - r) H(j-1) + r CP,   r = CulvertArea * TimeStep / (ForebayArea * B),
//
// so a departure of the level from CP is multiplied by (1 - r) at every step.
// It dies out for 0 < r < 2 and grows as a step-to-step alternation for
// r > 2, that is for a forebay area below
//
//   CulvertArea * TimeStep / (2 * WaveCoefficient)   [m²]  (g Ac dt / 2a)
//
// which this returns (0.0105 m² for the default run; it halves each time the
// reaches are doubled). Runs below it overflow within a few hundred steps.
// Above it a run is bounded, but it is not free of the boundary's gain: the
// level update feeds every oscillation a little energy per step, which only
// friction takes out again, so small areas well above this limit still give
// spurious oscillations of large amplitude.
//
// The coefficients are those Calculate formed for the run (TimeStep and
// WaveCoefficient as singles). A culvert area, time step or wave coefficient
// of the wrong sign (or a coupling that is not a number) leaves no positive
// area stable: the result is then +infinity. With a culvert area of 0 the
// level does not feed back and the result is 0.
double ForebayStabilityLimit(const RunParameters& p, const SolverCoefficients& c);

}  // namespace kelvane
