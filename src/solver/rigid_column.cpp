#include "solver/rigid_column.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelvane {

namespace {

constexpr double kGravity = 9.8;
// Integration steps per period, and the finer steps a step holding a turn of
// the level is integrated again in: the turns' times to about 0.01 % of the
// period, at the cost of a coarse march elsewhere.
constexpr double kStepsPerPeriod = 1000;
constexpr int kStepsPerTurnStep = 20;
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
                                                       const SurgeRun& run,
                                                       const std::optional<ColumnSection>& column) {
  const double L = p.CulvertLength;
  const double Ac = column ? column->area : p.CulvertArea;
  const double Z = p.ReservoirLevel;
  if (!run.HasGrids()) return std::nullopt;
  const int forebay = run.GridNodes();
  const State start{column ? column->startDischarge / column->area : run.Velocity(forebay, 1),
                    run.Head(forebay, 1)};
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
  const auto step = [&](double t, const State& s, double h) {
    const State k1 = rate(t, s);
    const State k2 = rate(t + h / 2, {s.v + h / 2 * k1.v, s.z + h / 2 * k1.z});
    const State k3 = rate(t + h / 2, {s.v + h / 2 * k2.v, s.z + h / 2 * k2.z});
    const State k4 = rate(t + h, {s.v + h * k3.v, s.z + h * k3.z});
    return State{s.v + h / 6 * (k1.v + 2 * k2.v + 2 * k3.v + k4.v),
                 s.z + h / 6 * (k1.z + 2 * k2.z + 2 * k3.z + k4.z)};
  };
  const double h = period / kStepsPerPeriod;
  const double end = eventEnd + kPeriodsAfterEvent * period;
  State s = start;
  double t = 0;
  double previousRise = rate(0, s).z;
  double swing = 0;
  // A turn of the level: its rate changes sign within a step after the
  // event; that step is integrated again in finer steps, and the time is
  // interpolated within the finer step that holds it.
  const auto turns = [](double before, double after) {
    return (before > 0 && after <= 0) || (before < 0 && after >= 0);
  };
  const auto note = [&](double turn, double before, double level) {
    if (before > 0 && !forecast.firstHighestTime) {
      forecast.firstHighestTime = turn;
      forecast.firstHighestLevel = level;
    } else if (before < 0 && !forecast.firstLowestTime) {
      forecast.firstLowestTime = turn;
      forecast.firstLowestLevel = level;
    }
  };
  while (t < end && !(forecast.firstHighestTime && forecast.firstLowestTime)) {
    const State next = step(t, s, h);
    const double rise = rate(t + h, next).z;
    if (!std::isfinite(rise)) return std::nullopt;
    swing = std::max(swing, std::fabs(next.z - start.z));
    if (t + h > eventEnd && swing >= kLeastSwing && turns(previousRise, rise)) {
      const double fine = h / kStepsPerTurnStep;
      State at = s;
      double before = previousRise;
      for (int k = 0; k < kStepsPerTurnStep; ++k) {
        const double from = t + k * fine;
        const State after = step(from, at, fine);
        const double afterRise = rate(from + fine, after).z;
        if (from + fine > eventEnd && turns(before, afterRise)) {
          note(from + fine * before / (before - afterRise), before, after.z);
          break;
        }
        at = after;
        before = afterRise;
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

double ClassicDrift(const RunParameters& p, const SolverCoefficients& c, const SurgeRun& run) {
  const double frictionOnly =
      double{p.ReservoirLevel} - run.SegmentCount() * double{c.ReachHeadLoss};
  return frictionOnly - run.Head(run.GridNodes(), 1);
}

}  // namespace kelvane
