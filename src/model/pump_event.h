// The pump event and the forebay as built: the pump discharge as a function
// of time (a ramp, a schedule of points, or a unit sequence that fills a
// schedule) and the forebay's water-surface area as a function of its level.
// Without any of them a run is the sudden change to FinalPumpDischarge and
// the constant ForebayArea, bit for bit.
#pragma once

#include <optional>
#include <span>
#include <vector>

namespace kelvane {

struct RunParameters;
struct SolverCoefficients;
class SurgeRun;

// One point of a pump schedule. Time 0 is the time of step 1, the steady
// state: the change begins with the first march step, whose storage balance
// covers the times 0 to dt.
struct PumpPoint {
  double time = 0;       // s
  double discharge = 0;  // m³/s
  bool operator==(const PumpPoint&) const = default;
};

// k units of q each start (q > 0) or stop (q < 0) one after another: the
// first at t0, the next `interval` later, each changing linearly over
// `rampTime` (0: at once).
struct UnitSequence {
  int units = 0;         // k
  double discharge = 0;  // q, m³/s per unit; > 0 starts, < 0 stops
  double firstTime = 0;  // t0, s
  double interval = 0;   // s
  double rampTime = 0;   // s
  bool operator==(const UnitSequence&) const = default;
};

struct PumpEvent {
  // The ramp from SteadyDischarge to FinalPumpDischarge:
  // Q(t) = Q1 + (Q0 - Q1)(1 - t/Tc)^m for 0 <= t < Tc, Q1 from Tc on.
  double rampTime = 0;      // Tc, s; 0 is the sudden change
  double rampExponent = 1;  // m, > 0
  // A schedule, times non-decreasing (two points at one time make a jump):
  // linear between points, the steady discharge before the first and the
  // last value after the last. When given it replaces the ramp and
  // FinalPumpDischarge.
  std::vector<PumpPoint> schedule;
  // Fills the schedule from the steady discharge (UnitSequenceSchedule).
  std::optional<UnitSequence> units;

  bool HasSchedule() const { return !schedule.empty() || units.has_value(); }
  // Anything but the sudden change.
  bool Given() const { return HasSchedule() || rampTime != 0; }
  bool operator==(const PumpEvent&) const = default;
};

struct ForebayPoint {
  double level = 0;  // m
  double area = 0;   // m², > 0
  bool operator==(const ForebayPoint&) const = default;
};

// The forebay's level–area table, levels strictly increasing: linear
// between points, the end areas beyond the ends. Empty: ForebayArea.
struct ForebayShape {
  std::vector<ForebayPoint> areaTable;
  bool Given() const { return !areaTable.empty(); }
  bool operator==(const ForebayShape&) const = default;
};

// Which march carries the run. Classic marches with friction alone, as the
// program always has; Balanced also carries, reach by reach, every loss that
// shapes the steady profile, so that profile stays steady; Mixed is the
// free-surface and mixed-flow model of the culvert or channel's own section
// (run/mixed_case.h), which the design data gives.
enum class MarchModel {
  Classic,
  Balanced,
  Mixed,
};

// The section the mixed model takes: a closed box culvert, or an open
// trapezoidal channel. None given: the model has none.
enum class CulvertSection {
  None,
  Box,
  Channel,
};

// What a run has beyond the sixteen boxes. Empty: today's run exactly.
struct ModelExtras {
  PumpEvent pump;
  ForebayShape forebay;
  MarchModel model = MarchModel::Classic;
  // Read by the mixed model only; alone it changes no run.
  CulvertSection section = CulvertSection::None;
  bool Given() const { return pump.Given() || forebay.Given() || model != MarchModel::Classic; }
  bool operator==(const ModelExtras&) const = default;
};

// The schedule of a unit sequence starting from `steadyDischarge`: a point
// at every start and end of a unit's change, the sum of the units' changes
// there; a change at once gives two points at its time.
std::vector<PumpPoint> UnitSequenceSchedule(const UnitSequence& units, double steadyDischarge);

// The discharge a unit sequence stops in all (k x |q|, m³/s) when it stops
// more than `steadyDischarge` runs, so that the pumps would end running
// backwards; none otherwise (a start, or stops within the steady discharge).
std::optional<double> UnitsStopMoreThanRuns(const UnitSequence& units, double steadyDischarge);
// A unit sequence that stops more discharge than `steadyDischarge` (m³/s)
// runs is a RunError (InvalidInput, Stage::EventInput) naming it: the pumps
// would end running backwards.
void CheckUnitsAgainstSteady(const UnitSequence& units, double steadyDischarge);

// The pump discharge of one run as a function of time.
class PumpDischarge {
 public:
  // `steady` is SteadyDischarge (Q0), `final` FinalPumpDischarge (Q1).
  PumpDischarge(const PumpEvent& event, double steady, float final);

  // The sudden change: Q1 from time 0 on.
  bool Sudden() const { return sudden_; }
  // Q(t), m³/s; at a jump the value after it. Before time 0 the steady
  // discharge.
  double At(double time) const;
  // The mean over [t0, t1] (t0 < t1): the exact integral of Q(t) over the
  // interval divided by its length. Where Q is constant over the interval
  // that constant, exactly.
  double MeanOver(double t0, double t1) const;
  // The mean over march step `step` (>= 2), whose storage balance covers
  // the times (step - 2)dt to (step - 1)dt.
  double StepMean(int step, double timeStep) const {
    return MeanOver(static_cast<double>(step - 2) * timeStep,
                    static_cast<double>(step - 1) * timeStep);
  }
  // The schedule in force (a unit sequence's generated points), empty for a
  // ramp.
  std::span<const PumpPoint> Schedule() const { return schedule_; }

 private:
  double RampMean(double t0, double t1) const;
  double ScheduleMean(double t0, double t1) const;

  bool sudden_ = true;
  double steady_ = 0;
  double final_ = 0;
  double rampTime_ = 0;
  double rampExponent_ = 1;
  std::vector<PumpPoint> schedule_;
};

// The area at `level` from a non-empty table (see ForebayShape). Plain
// arithmetic; a NaN level gives some area of the table.
inline double ForebayAreaAt(std::span<const ForebayPoint> table, double level) {
  if (!(level > table.front().level)) return table.front().area;
  if (!(level < table.back().level)) return table.back().area;
  std::size_t i = 1;
  while (table[i].level <= level) ++i;
  const ForebayPoint& a = table[i - 1];
  const ForebayPoint& b = table[i];
  return a.area + (b.area - a.area) * ((level - a.level) / (b.level - a.level));
}

// The smallest area the table gives over any level (its smallest point).
double SmallestForebayArea(std::span<const ForebayPoint> table);

// How a run with an area table used it, against the stability limit of the
// forebay update (ForebayStabilityLimit).
struct ForebayAreaUse {
  double smallestArea = 0;  // m², the smallest area any march step used
  int step = 0;             // the first step that used it
  double largestArea = 0;   // m², the largest area any march step used
  int largestStep = 0;      // the first step that used it
  double limit = 0;         // m², the stability limit
  bool BelowLimit() const { return smallestArea < limit; }
  bool operator==(const ForebayAreaUse&) const = default;
};

// The areas the march used for steps 2..StepCount (each from the level of
// the step before), from a finished run's forebay levels.
ForebayAreaUse ForebayAreaUsed(const SurgeRun& run, std::span<const ForebayPoint> table,
                               const RunParameters& p, const SolverCoefficients& c);

}  // namespace kelvane
