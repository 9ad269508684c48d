#include "model/pump_event.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "format/number_format.h"
#include "model/errors.h"
#include "model/inputs.h"
#include "model/run_state.h"
#include "model/stability.h"

namespace kelvane {

std::vector<PumpPoint> UnitSequenceSchedule(const UnitSequence& units, double steadyDischarge) {
  std::vector<double> starts, times;
  for (int k = 0; k < units.units; ++k) {
    const double start = units.firstTime + k * units.interval;
    starts.push_back(start);
    times.push_back(start);
    times.push_back(start + units.rampTime);
  }
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());

  // The share of its change each unit has made just before and just after
  // `time`: linear over the ramp time, a step when there is none.
  auto changed = [&](double time, bool after) {
    double share = 0;
    for (double start : starts) {
      if (units.rampTime > 0) {
        share += std::clamp((time - start) / units.rampTime, 0.0, 1.0);
      } else if (after ? start <= time : start < time) {
        share += 1;
      }
    }
    return steadyDischarge + units.discharge * share;
  };
  std::vector<PumpPoint> schedule;
  for (double time : times) {
    const double before = changed(time, false), after = changed(time, true);
    schedule.push_back({time, before});
    if (after != before) schedule.push_back({time, after});
  }
  return schedule;
}

std::optional<double> UnitsStopMoreThanRuns(const UnitSequence& units, double steadyDischarge) {
  const double stopped = -units.discharge * units.units;
  if (stopped > steadyDischarge) return stopped;
  return std::nullopt;
}

void CheckUnitsAgainstSteady(const UnitSequence& units, double steadyDischarge) {
  if (const std::optional<double> stopped = UnitsStopMoreThanRuns(units, steadyDischarge)) {
    ErrorLocation at;
    at.stage = Stage::EventInput;
    at.eventField = EventField::PumpUnits;
    at.eventFault = EventFault::StopsMoreThanRuns;
    at.detail = ShortestText(*stopped);
    at.value = steadyDischarge;
    throw RunError(ErrorCode::InvalidInput, std::move(at));
  }
}

PumpDischarge::PumpDischarge(const PumpEvent& event, double steady, float final)
    : steady_(steady), final_(final), rampTime_(event.rampTime), rampExponent_(event.rampExponent) {
  if (event.units) {
    schedule_ = UnitSequenceSchedule(*event.units, steady);
  } else {
    schedule_ = event.schedule;
  }
  sudden_ = schedule_.empty() && !(rampTime_ > 0);
}

double PumpDischarge::At(double time) const {
  if (time < 0) return steady_;
  if (schedule_.empty()) {
    if (!(time < rampTime_)) return final_;
    return final_ + (steady_ - final_) * std::pow(1 - time / rampTime_, rampExponent_);
  }
  if (time < schedule_.front().time) return steady_;
  // The last point at or before `time`: at a jump, the value after it.
  const auto next = std::upper_bound(schedule_.begin(), schedule_.end(), time,
                                     [](double t, const PumpPoint& p) { return t < p.time; });
  if (next == schedule_.end()) return schedule_.back().discharge;
  const PumpPoint& a = *(next - 1);
  const PumpPoint& b = *next;
  return a.discharge + (b.discharge - a.discharge) * ((time - a.time) / (b.time - a.time));
}

double PumpDischarge::MeanOver(double t0, double t1) const {
  if (!(t0 < t1)) return At(t0);
  return schedule_.empty() ? RampMean(t0, t1) : ScheduleMean(t0, t1);
}

double PumpDischarge::RampMean(double t0, double t1) const {
  if (t0 >= 0 && t0 >= rampTime_) return final_;  // the sudden change too
  if (t1 <= 0) return steady_;
  if (steady_ == final_) return final_;
  // The integral of (Q - Q1) / (Q0 - Q1): the steady part before time 0,
  // then (Tc/p) [u0^p - u1^p] with u = 1 - t/Tc and p = m + 1, written as
  // u0^p (1 - (u1/u0)^p) so that a step much shorter than the ramp keeps
  // its digits.
  double excess = t0 < 0 ? -t0 : 0;
  const double a = std::max(t0, 0.0), b = std::min(t1, rampTime_);
  if (a < b) {
    const double p = rampExponent_ + 1;
    const double u0 = 1 - a / rampTime_;
    const double drop = std::min(1.0, (b - a) / (rampTime_ * u0));
    excess += rampTime_ / p * std::pow(u0, p) * -std::expm1(p * std::log1p(-drop));
  }
  return final_ + (steady_ - final_) * (excess / (t1 - t0));
}

double PumpDischarge::ScheduleMean(double t0, double t1) const {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  double integral = 0;
  double lowest = kInfinity, highest = -kInfinity;
  // One piece of the schedule, linear from (a, qa) to (b, qb), clipped to
  // [t0, t1].
  auto piece = [&](double a, double qa, double b, double qb) {
    const double from = std::max(a, t0), to = std::min(b, t1);
    if (!(from < to)) return;
    double q0 = qa, q1 = qb;
    if (qa != qb) {
      q0 = qa + (qb - qa) * ((from - a) / (b - a));
      q1 = qa + (qb - qa) * ((to - a) / (b - a));
    }
    integral += 0.5 * (q0 + q1) * (to - from);
    lowest = std::min({lowest, q0, q1});
    highest = std::max({highest, q0, q1});
  };
  const std::vector<PumpPoint>& s = schedule_;
  piece(-kInfinity, steady_, s.front().time, steady_);
  // From the last point at or before t0 to the first at or after t1.
  auto k = std::upper_bound(s.begin(), s.end(), t0,
                            [](double t, const PumpPoint& p) { return t < p.time; });
  if (k != s.begin()) --k;
  for (; k + 1 != s.end() && k->time < t1; ++k)
    piece(k->time, k->discharge, (k + 1)->time, (k + 1)->discharge);
  piece(s.back().time, s.back().discharge, kInfinity, s.back().discharge);
  // Constant over the interval: that value, exactly.
  if (lowest == highest) return lowest;
  return integral / (t1 - t0);
}

double SmallestForebayArea(std::span<const ForebayPoint> table) {
  double smallest = std::numeric_limits<double>::infinity();
  for (const ForebayPoint& point : table) smallest = std::min(smallest, point.area);
  return smallest;
}

ForebayAreaUse ForebayAreaUsed(const SurgeRun& run, std::span<const ForebayPoint> table,
                               const RunParameters& p, const SolverCoefficients& c) {
  ForebayAreaUse use;
  use.smallestArea = std::numeric_limits<double>::infinity();
  use.limit = ForebayStabilityLimit(p, c);
  const int forebay = run.GridNodes();
  for (int step = 2; step <= run.StepCount(); ++step) {
    const double area = ForebayAreaAt(table, run.Head(forebay, step - 1));
    if (area < use.smallestArea) {
      use.smallestArea = area;
      use.step = step;
    }
    if (area > use.largestArea) {
      use.largestArea = area;
      use.largestStep = step;
    }
  }
  return use;
}

}  // namespace kelvane
