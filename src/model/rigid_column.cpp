#include "model/rigid_column.h"

#include <algorithm>
#include <array>
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

// A turn of the level: its rate changes sign.
bool Turns(double before, double after) {
  return (before > 0 && after <= 0) || (before < 0 && after >= 0);
}

// One case's rigid column, marched one integration step at a time; several
// cases can march side by side, each in its own arithmetic.
class ColumnMarch {
 public:
  ColumnMarch(const RunParameters& p, const ModelExtras& extras, const SurgeRun& run,
              const std::optional<ColumnSection>& column)
      : p_(p),
        table_(extras.forebay.areaTable),
        law_(extras.pump, p.SteadyDischarge, p.FinalPumpDischarge) {
    L_ = p.CulvertLength;
    Ac_ = column ? column->area : p.CulvertArea;
    Z_ = p.ReservoirLevel;
    if (!run.HasGrids()) return;
    const int forebay = run.GridNodes();
    start_ = {column ? column->startDischarge / column->area : run.Velocity(forebay, 1),
              run.Head(forebay, 1)};
    // K from the initial profile: the whole loss from the reservoir to the
    // forebay at the initial velocity.
    const double v0Head = start_.v * std::fabs(start_.v) / (2 * kGravity);
    K_ = v0Head == 0 ? 0.0 : (Z_ - start_.z) / v0Head;
    double eventEnd = 0;
    if (!law_.Sudden()) {
      eventEnd = law_.Schedule().empty() ? extras.pump.rampTime : law_.Schedule().back().time;
    }
    const double finalDischarge = law_.Sudden() ? double{p.FinalPumpDischarge} : law_.At(eventEnd);
    const double finalVelocity = finalDischarge / Ac_;
    const double rest = Z_ - K_ * finalVelocity * std::fabs(finalVelocity) / (2 * kGravity);
    const double period = 2 * std::numbers::pi * std::sqrt(L_ * AreaAt(rest) / (kGravity * Ac_));
    if (!(L_ > 0) || !(Ac_ > 0) || !std::isfinite(period) || !(period > 0) ||
        !std::isfinite(start_.z) || !std::isfinite(K_) || !std::isfinite(eventEnd))
      return;
    forecast_.emplace();
    forecast_->period = period;
    forecast_->eventEnd = eventEnd;
    h_ = period / kStepsPerPeriod;
    end_ = eventEnd + kPeriodsAfterEvent * period;
    s_ = start_;
    previousRise_ = Rate(0, s_).z;
    marching_ = true;
    Stop();
  }

  bool Marching() const { return marching_; }
  const std::optional<OscillationForecast>& Result() const { return forecast_; }

  // The integration step from the time reached, and the level's rate at its
  // end: for Advance.
  double Time() const { return t_; }
  double StepLength() const { return h_; }
  const State& At() const { return s_; }

  State Rate(double t, const State& s) const {
    return State{kGravity / L_ * (Z_ - s.z - K_ * s.v * std::fabs(s.v) / (2 * kGravity)),
                 (Ac_ * s.v - Discharge(t)) / AreaAt(s.z)};
  }

  // One fourth-order Runge–Kutta step of length h from (t, s).
  State Step(double t, const State& s, double h) const {
    const State k1 = Rate(t, s);
    const State k2 = Rate(t + h / 2, Ahead(s, h / 2, k1));
    const State k3 = Rate(t + h / 2, Ahead(s, h / 2, k2));
    const State k4 = Rate(t + h, Ahead(s, h, k3));
    return Combined(s, h, k1, k2, k3, k4);
  }
  // The state `by` seconds on at the rate k: a stage of Step.
  static State Ahead(const State& s, double by, const State& k) {
    return State{s.v + by * k.v, s.z + by * k.z};
  }
  static State Combined(const State& s, double h, const State& k1, const State& k2, const State& k3,
                        const State& k4) {
    return State{s.v + h / 6 * (k1.v + 2 * k2.v + 2 * k3.v + k4.v),
                 s.z + h / 6 * (k1.z + 2 * k2.z + 2 * k3.z + k4.z)};
  }

  // Takes the integration step to `next`, whose level rises at `rise`: a
  // turn of the level after the event is found again in finer steps, and
  // its time interpolated within the finer step that holds it.
  void Advance(const State& next, double rise) {
    if (!std::isfinite(rise)) {
      forecast_.reset();
      marching_ = false;
      return;
    }
    swing_ = std::max(swing_, std::fabs(next.z - start_.z));
    if (t_ + h_ > forecast_->eventEnd && swing_ >= kLeastSwing && Turns(previousRise_, rise)) {
      FindTurn();
    }
    previousRise_ = rise;
    s_ = next;
    t_ += h_;
    Stop();
  }

 private:
  double Discharge(double t) const {
    return law_.Sudden() ? double{p_.FinalPumpDischarge} : law_.At(t);
  }
  double AreaAt(double level) const {
    return table_.empty() ? p_.ForebayArea : ForebayAreaAt(table_, level);
  }
  void Stop() {
    if (!(t_ < end_ && !(forecast_->firstHighestTime && forecast_->firstLowestTime)))
      marching_ = false;
  }
  void FindTurn() {
    const double fine = h_ / kStepsPerTurnStep;
    State at = s_;
    double before = previousRise_;
    for (int k = 0; k < kStepsPerTurnStep; ++k) {
      const double from = t_ + k * fine;
      const State after = Step(from, at, fine);
      const double afterRise = Rate(from + fine, after).z;
      if (from + fine > forecast_->eventEnd && Turns(before, afterRise)) {
        Note(from + fine * before / (before - afterRise), before, after.z);
        return;
      }
      at = after;
      before = afterRise;
    }
  }
  void Note(double turn, double before, double level) {
    OscillationForecast& f = *forecast_;
    if (before > 0 && !f.firstHighestTime) {
      f.firstHighestTime = turn;
      f.firstHighestLevel = level;
    } else if (before < 0 && !f.firstLowestTime) {
      f.firstLowestTime = turn;
      f.firstLowestLevel = level;
    }
  }

  const RunParameters& p_;
  std::span<const ForebayPoint> table_;
  PumpDischarge law_;
  double L_ = 0;
  double Ac_ = 0;
  double Z_ = 0;
  double K_ = 0;
  State start_;
  double h_ = 0;
  double end_ = 0;
  State s_;
  double t_ = 0;
  double previousRise_ = 0;
  double swing_ = 0;
  bool marching_ = false;
  std::optional<OscillationForecast> forecast_;
};

// The cases side by side in this many slots: each integration step of one
// case is a chain of dependent divisions, and the chains of several cases
// overlap in the processor.
constexpr std::size_t kSlots = 4;

}  // namespace

std::optional<OscillationForecast> ForecastOscillation(const RunParameters& p,
                                                       const ModelExtras& extras,
                                                       const SurgeRun& run,
                                                       const std::optional<ColumnSection>& column) {
  ColumnMarch march(p, extras, run, column);
  while (march.Marching()) {
    const State next = march.Step(march.Time(), march.At(), march.StepLength());
    march.Advance(next, march.Rate(march.Time() + march.StepLength(), next).z);
  }
  return march.Result();
}

std::vector<std::optional<OscillationForecast>> ForecastOscillations(
    std::span<const ForecastCase> cases) {
  std::vector<std::optional<OscillationForecast>> results(cases.size());
  std::vector<ColumnMarch> marches;
  marches.reserve(cases.size());
  for (const ForecastCase& c : cases)
    marches.emplace_back(*c.parameters, *c.extras, *c.run, std::nullopt);
  // The slots hold marching cases; a slot whose case has ended takes the next.
  std::array<std::size_t, kSlots> slot{};
  std::size_t used = 0;
  std::size_t next = 0;
  const auto refill = [&] {
    while (used < kSlots && next < marches.size()) {
      if (marches[next].Marching()) slot[used++] = next;
      ++next;
    }
  };
  refill();
  while (used > 0) {
    // Each stage of every slot's step before the next stage: the same
    // arithmetic as ColumnMarch::Step, case by case.
    std::array<State, kSlots> k1, k2, k3, k4, s, after;
    std::array<double, kSlots> t, h, rise;
    for (std::size_t i = 0; i < used; ++i) {
      const ColumnMarch& m = marches[slot[i]];
      t[i] = m.Time();
      h[i] = m.StepLength();
      s[i] = m.At();
      k1[i] = m.Rate(t[i], s[i]);
    }
    for (std::size_t i = 0; i < used; ++i)
      k2[i] = marches[slot[i]].Rate(t[i] + h[i] / 2, ColumnMarch::Ahead(s[i], h[i] / 2, k1[i]));
    for (std::size_t i = 0; i < used; ++i)
      k3[i] = marches[slot[i]].Rate(t[i] + h[i] / 2, ColumnMarch::Ahead(s[i], h[i] / 2, k2[i]));
    for (std::size_t i = 0; i < used; ++i) {
      k4[i] = marches[slot[i]].Rate(t[i] + h[i], ColumnMarch::Ahead(s[i], h[i], k3[i]));
      after[i] = ColumnMarch::Combined(s[i], h[i], k1[i], k2[i], k3[i], k4[i]);
    }
    for (std::size_t i = 0; i < used; ++i) rise[i] = marches[slot[i]].Rate(t[i] + h[i], after[i]).z;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < used; ++i) {
      ColumnMarch& m = marches[slot[i]];
      m.Advance(after[i], rise[i]);
      if (m.Marching()) slot[kept++] = slot[i];
    }
    used = kept;
    refill();
  }
  for (std::size_t k = 0; k < marches.size(); ++k) results[k] = marches[k].Result();
  return results;
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
