#include "solver/rigid_column.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelvane {

namespace {

constexpr double kGravity = 9.8;
// Integration steps per period: the extremes' times to about 0.01 % of it.
constexpr double kStepsPerPeriod = 20000;
// The integration ends this many periods after the event at the latest.
constexpr double kPeriodsAfterEvent = 3;
// A turn of the level closer than this to its start is rounding, not an
// oscillation.
constexpr double kLeastSwing = 1e-4;  // m

struct State {
  double v = 0;  // m/s, culvert velocity
  double z = 0;  // m, forebay level
};

}  // namespace

std::optional<OscillationForecast> ForecastOscillation(const RunParameters& p,
                                                       const ModelExtras& extras,
                                                       const SurgeRun& run) {
  const double L = p.CulvertLength;
  const double Ac = p.CulvertArea;
  const double Z = p.ReservoirLevel;
  if (!run.HasGrids()) return std::nullopt;
  const int forebay = run.GridNodes();
  const State start{run.Velocity(forebay, 1), run.Head(forebay, 1)};
  const auto& table = extras.forebay.areaTable;
  const auto areaAt = [&](double level) {
    return table.empty() ? p.ForebayArea : ForebayAreaAt(table, level);
  };
  // K from the initial profile: the whole loss from the reservoir to the
  // forebay at the initial velocity.
  const double v0Head = start.v * std::fabs(start.v) / (2 * kGravity);
  const double K = v0Head == 0 ? 0.0 : (Z - start.z) / v0Head;

  const PumpDischarge law(extras.pump, p.SteadyDischarge, p.FinalPumpDischarge);
  double eventEnd = 0;
  if (!law.Sudden()) {
    eventEnd = law.Schedule().empty() ? extras.pump.rampTime : law.Schedule().back().time;
  }
  const double finalDischarge = law.Sudden() ? double{p.FinalPumpDischarge} : law.At(eventEnd);
  const double finalVelocity = finalDischarge / Ac;
  const double rest = Z - K * finalVelocity * std::fabs(finalVelocity) / (2 * kGravity);
  const double period = 2 * std::numbers::pi * std::sqrt(L * areaAt(rest) / (kGravity * Ac));
  if (!(L > 0) || !(Ac > 0) || !std::isfinite(period) || !(period > 0) || !std::isfinite(start.z) ||
      !std::isfinite(K) || !std::isfinite(eventEnd))
    return std::nullopt;

  OscillationForecast forecast;
  forecast.period = period;
  forecast.eventEnd = eventEnd;
  const auto discharge = [&](double t) {
    return law.Sudden() ? double{p.FinalPumpDischarge} : law.At(t);
  };
  const auto rate = [&](double t, const State& s) {
    return State{kGravity / L * (Z - s.z - K * s.v * std::fabs(s.v) / (2 * kGravity)),
                 (Ac * s.v - discharge(t)) / areaAt(s.z)};
  };
  const double h = period / kStepsPerPeriod;
  const double end = eventEnd + kPeriodsAfterEvent * period;
  State s = start;
  double t = 0;
  double previousRise = rate(0, s).z;
  double swing = 0;
  // A turn of the level: its rate changes sign; the time is interpolated.
  while (t < end && !(forecast.firstHighestTime && forecast.firstLowestTime)) {
    const State k1 = rate(t, s);
    const State k2 = rate(t + h / 2, {s.v + h / 2 * k1.v, s.z + h / 2 * k1.z});
    const State k3 = rate(t + h / 2, {s.v + h / 2 * k2.v, s.z + h / 2 * k2.z});
    const State k4 = rate(t + h, {s.v + h * k3.v, s.z + h * k3.z});
    const State next{s.v + h / 6 * (k1.v + 2 * k2.v + 2 * k3.v + k4.v),
                     s.z + h / 6 * (k1.z + 2 * k2.z + 2 * k3.z + k4.z)};
    const double rise = rate(t + h, next).z;
    if (!std::isfinite(rise)) return std::nullopt;
    swing = std::max(swing, std::fabs(next.z - start.z));
    if (t + h > eventEnd && swing >= kLeastSwing) {
      const double turn = t + h * previousRise / (previousRise - rise);
      if (previousRise > 0 && rise <= 0 && !forecast.firstHighestTime) {
        forecast.firstHighestTime = turn;
        forecast.firstHighestLevel = next.z;
      } else if (previousRise < 0 && rise >= 0 && !forecast.firstLowestTime) {
        forecast.firstLowestTime = turn;
        forecast.firstLowestLevel = next.z;
      }
    }
    previousRise = rise;
    s = next;
    t += h;
  }
  return forecast;
}

long long StepsToReach(double time, double timeStep) {
  return static_cast<long long>(std::ceil(time / timeStep - 1e-9)) + 1;
}

}  // namespace kelvane
