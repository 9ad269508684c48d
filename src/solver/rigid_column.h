// The mass oscillation a run is made to capture, predicted by the rigid
// column between the reservoir and the forebay: its period, and when the
// forebay reaches its first highest and first lowest level after the pump
// event has ended. A run shorter than that cannot tell the extremes.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "solver/inputs.h"
#include "solver/march.h"
#include "solver/pump_event.h"
#include "solver/run_state.h"

namespace kelvane {

struct OscillationForecast {
  double period = 0;    // s, 2π·sqrt(L·Af/(g·Ac)), Af at the level of rest
  double eventEnd = 0;  // s, when the pump discharge stops changing
  // The first highest and first lowest forebay level after eventEnd; none
  // when the level does not turn (no oscillation).
  std::optional<double> firstHighestTime;   // s
  std::optional<double> firstLowestTime;    // s
  std::optional<double> firstHighestLevel;  // m
  std::optional<double> firstLowestLevel;   // m
  bool operator==(const OscillationForecast&) const = default;
};

// The rigid column L/g·dV/dt = Z − Zf − K·V|V|/(2g), Af·dZf/dt = Ac·V − Q(t),
// started from step 1 of `run` (the forebay level and velocity there), with K
// such that the initial profile is its steady state (K·V0²/(2g) = Z − Zf),
// the run's own pump event and, with a level–area table, the area at the
// level. Integrated by fourth-order Runge–Kutta in double. None when the
// inputs give no period (a length, area or level that is not positive or not
// finite).
//
// A column whose section is not the 箱涵断面面积 box (the free-surface
// model's) gives its own area and its discharge into the forebay at step 1;
// the velocity of the column is then that discharge over that area.
struct ColumnSection {
  double area = 0;            // m²
  double startDischarge = 0;  // m³/s
};
std::optional<OscillationForecast> ForecastOscillation(
    const RunParameters& p, const ModelExtras& extras, const SurgeRun& run,
    const std::optional<ColumnSection>& column = std::nullopt);

// One case of ForecastOscillations: what ForecastOscillation takes.
struct ForecastCase {
  const RunParameters* parameters = nullptr;
  const ModelExtras* extras = nullptr;
  const SurgeRun* run = nullptr;
};
// The forecast of each case, bit for bit ForecastOscillation's, the cases
// integrated side by side in vector lanes of the instruction set `isa`
// (several cases cost little more than one).
std::vector<std::optional<OscillationForecast>> ForecastOscillations(
    std::span<const ForecastCase> cases, MarchIsa isa = SelectedMarchIsa());

// The step whose time first reaches `time` with a step of `timeStep`: the
// step count a run needs to cover it.
long long StepsToReach(double time, double timeStep);

// How far the classic march carries the forebay with no pump change: the
// level at which friction alone carries the steady velocity (the reservoir
// level less every reach's friction loss) less the forebay's level at step 1
// of `run`, m.
double ClassicDrift(const RunParameters& p, const SolverCoefficients& c, const SurgeRun& run);

}  // namespace kelvane
