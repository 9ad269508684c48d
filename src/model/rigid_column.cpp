#include "model/rigid_column.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>

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

// The cases side by side in this many slots, their values in vector lanes:
// each integration step of one case is a chain of dependent divisions; a
// division of four lanes costs what one of a single value does, and the two
// vectors of eight slots (AVX2) keep two chains overlapping in the processor.
// (Sixteen slots measured slower: the lanes no longer fit the registers.)
constexpr std::size_t kSlots = 8;

// Half the slots' lanes: the width of one vector register of AVX2, whose
// operations and comparisons each instruction set here compiles whole (a
// vector of all the slots it would pass through memory piece by piece).
constexpr std::size_t kHalf = kSlots / 2;
// (Vectors never cross this file, so how another build would pass them does
// not matter.)
#pragma GCC diagnostic ignored "-Wpsabi"
using HalfLanes = double __attribute__((vector_size(kHalf * sizeof(double))));
using HalfBits = std::int64_t __attribute__((vector_size(kHalf * sizeof(double))));

// The slots' values side by side, one lane each, in two halves: each
// operation on lanes is the operation on each lane alone, rounded as the
// scalar one.
struct Lanes {
  HalfLanes half[2];
};
static_assert(sizeof(Lanes) == kSlots * sizeof(double));
// Each lane's value, slot by slot (copied out, so that the lanes themselves
// can stay in registers).
std::array<double, kSlots> Each(const Lanes& x) {
  return std::bit_cast<std::array<double, kSlots>>(x);
}

template <class Op>
Lanes EachHalf(const Lanes& a, const Lanes& b, Op op) {
  return {{op(a.half[0], b.half[0]), op(a.half[1], b.half[1])}};
}
Lanes operator+(const Lanes& a, const Lanes& b) {
  return EachHalf(a, b, [](HalfLanes x, HalfLanes y) { return x + y; });
}
Lanes operator-(const Lanes& a, const Lanes& b) {
  return EachHalf(a, b, [](HalfLanes x, HalfLanes y) { return x - y; });
}
Lanes operator*(const Lanes& a, const Lanes& b) {
  return EachHalf(a, b, [](HalfLanes x, HalfLanes y) { return x * y; });
}
Lanes operator/(const Lanes& a, const Lanes& b) {
  return EachHalf(a, b, [](HalfLanes x, HalfLanes y) { return x / y; });
}
// A number in every lane.
Lanes Every(double x) {
  HalfLanes each;
  for (std::size_t i = 0; i < kHalf; ++i) each[i] = x;
  return {{each, each}};
}
Lanes operator*(double a, const Lanes& b) { return Every(a) * b; }
Lanes operator/(const Lanes& a, double b) { return a / Every(b); }

// |x| lane by lane, as std::fabs: the sign bit cleared.
Lanes Magnitude(const Lanes& x) {
  const auto clear = [](HalfLanes h) {
    return std::bit_cast<HalfLanes>(std::bit_cast<HalfBits>(h) &
                                    std::numeric_limits<std::int64_t>::max());
  };
  return {{clear(x.half[0]), clear(x.half[1])}};
}

// The column's state: of one case (double), or of several side by side
// (lanes of doubles, see ForecastOscillations).
template <class T>
struct StateOf {
  T v{};  // m/s, culvert velocity
  T z{};  // m, forebay level
};
using State = StateOf<double>;

double Magnitude(double x) { return std::fabs(x); }
using LaneState = StateOf<Lanes>;

// The rigid column's equations, written once for one case and for lanes:
// L/g·dV/dt = Z − Zf − K·V|V|/(2g) and Af·dZf/dt = Ac·V − Q(t).
template <class T>
StateOf<T> ColumnRate(const T& gravityOverLength, const T& reservoir, const T& loss,
                      const T& columnArea, const StateOf<T>& s, const T& discharge,
                      const T& forebayArea) {
  return StateOf<T>{
      gravityOverLength * (reservoir - s.z - loss * s.v * Magnitude(s.v) / (2 * kGravity)),
      (columnArea * s.v - discharge) / forebayArea};
}
// The state `by` seconds on at the rate k: a stage of a Runge–Kutta step.
template <class T>
StateOf<T> Ahead(const StateOf<T>& s, const T& by, const StateOf<T>& k) {
  return StateOf<T>{s.v + by * k.v, s.z + by * k.z};
}
// The end of a fourth-order Runge–Kutta step of length h from s, given h/6.
template <class T>
StateOf<T> Combined(const StateOf<T>& s, const T& sixth, const StateOf<T>& k1, const StateOf<T>& k2,
                    const StateOf<T>& k3, const StateOf<T>& k4) {
  return StateOf<T>{s.v + sixth * (k1.v + 2 * k2.v + 2 * k3.v + k4.v),
                    s.z + sixth * (k1.z + 2 * k2.z + 2 * k3.z + k4.z)};
}

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
    gravityOverLength_ = kGravity / L_;
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
    rate_ = Rate(0, s_);
    marching_ = true;
    Stop();
  }

  bool Marching() const { return marching_; }
  const std::optional<OscillationForecast>& Result() const { return forecast_; }

  // The integration step from the time reached, the state there and its
  // rate (the rate the last step ended with: the next step's first stage).
  double Time() const { return t_; }
  double StepLength() const { return h_; }
  const State& At() const { return s_; }
  const State& RateAt() const { return rate_; }

  State Rate(double t, const State& s) const {
    return ColumnRate(gravityOverLength_, Z_, K_, Ac_, s, Discharge(t), AreaAt(s.z));
  }

  // One fourth-order Runge–Kutta step of length h from (t, s), whose rate
  // is k1.
  State Step(double t, const State& s, double h) const { return Step(t, s, h, Rate(t, s)); }
  State Step(double t, const State& s, double h, const State& k1) const {
    const State k2 = Rate(t + h / 2, Ahead(s, h / 2, k1));
    const State k3 = Rate(t + h / 2, Ahead(s, h / 2, k2));
    const State k4 = Rate(t + h, Ahead(s, h, k3));
    return Combined(s, h / 6, k1, k2, k3, k4);
  }

  // Takes the integration step to `next`, whose rate is `nextRate`: a turn
  // of the level after the event is found again in finer steps, and its
  // time interpolated within the finer step that holds it.
  void Advance(const State& next, const State& nextRate) {
    const double rise = nextRate.z;
    if (!std::isfinite(rise)) {
      forecast_.reset();
      marching_ = false;
      return;
    }
    swing_ = std::max(swing_, std::fabs(next.z - start_.z));
    if (t_ + h_ > forecast_->eventEnd && swing_ >= kLeastSwing && Turns(rate_.z, rise)) {
      FindTurn();
    }
    s_ = next;
    rate_ = nextRate;
    t_ += h_;
    Stop();
  }

  // The pumps' discharge at t and the forebay's area at a level: the two
  // terms of Rate that depend on the case's event and table.
  double Discharge(double t) const {
    return law_.Sudden() ? double{p_.FinalPumpDischarge} : law_.At(t);
  }
  double AreaAt(double level) const {
    return table_.empty() ? p_.ForebayArea : ForebayAreaAt(table_, level);
  }
  // Whether both are constants: the sudden change and the constant area.
  bool ConstantTerms() const { return law_.Sudden() && table_.empty(); }
  // Rate's constant factors: g/L, the reservoir level, the loss coefficient
  // and the column's area.
  double GravityOverLength() const { return gravityOverLength_; }
  double ReservoirLevel() const { return Z_; }
  double LossCoefficient() const { return K_; }
  double ColumnArea() const { return Ac_; }

  // What Advance compares besides the state: the level's largest swing from
  // its start so far, that start, when the event ends and the integration
  // at the latest.
  double Swing() const { return swing_; }
  double StartLevel() const { return start_.z; }
  double EventEnd() const { return forecast_->eventEnd; }
  double End() const { return end_; }
  // The time, state, rate and swing reached, for a march whose steps were
  // taken outside it in exactly Advance's arithmetic (none of which would
  // have turned, ended or stopped it).
  void Reached(double t, const State& s, const State& rate, double swing) {
    t_ = t;
    s_ = s;
    rate_ = rate;
    swing_ = swing;
  }

 private:
  void Stop() {
    if (!(t_ < end_ && !(forecast_->firstHighestTime && forecast_->firstLowestTime)))
      marching_ = false;
  }
  void FindTurn() {
    const double fine = h_ / kStepsPerTurnStep;
    State at = s_;
    double before = rate_.z;
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
  double gravityOverLength_ = 0;  // g/L, the first factor of the column's acceleration
  double Ac_ = 0;
  double Z_ = 0;
  double K_ = 0;
  State start_;
  double h_ = 0;
  double end_ = 0;
  State s_;
  State rate_;
  double t_ = 0;
  double swing_ = 0;
  bool marching_ = false;
  std::optional<OscillationForecast> forecast_;
};

}  // namespace

std::optional<OscillationForecast> ForecastOscillation(const RunParameters& p,
                                                       const ModelExtras& extras,
                                                       const SurgeRun& run,
                                                       const std::optional<ColumnSection>& column) {
  ColumnMarch march(p, extras, run, column);
  while (march.Marching()) {
    const State next = march.Step(march.Time(), march.At(), march.StepLength(), march.RateAt());
    march.Advance(next, march.Rate(march.Time() + march.StepLength(), next));
  }
  return march.Result();
}

namespace {

// The slots' cases, their constant factors in lanes. A lane past the slots
// in use repeats the first slot's case, so that it computes numbers and its
// results are never read.
class SlotLanes {
 public:
  SlotLanes(const std::vector<ColumnMarch>& marches, const std::array<std::size_t, kSlots>& slot,
            std::size_t used) {
    for (std::size_t i = 0; i < kSlots; ++i) {
      march_[i] = &marches[slot[i < used ? i : 0]];
    }
    gravityOverLength_ = Gather([](const ColumnMarch& m) { return m.GravityOverLength(); });
    reservoir_ = Gather([](const ColumnMarch& m) { return m.ReservoirLevel(); });
    loss_ = Gather([](const ColumnMarch& m) { return m.LossCoefficient(); });
    area_ = Gather([](const ColumnMarch& m) { return m.ColumnArea(); });
    constantTerms_ = true;
    for (const ColumnMarch* m : march_) constantTerms_ = constantTerms_ && m->ConstantTerms();
    if (constantTerms_) {
      // The same values at every time and level: gathered once.
      discharge_ = Gather([](const ColumnMarch& m) { return m.Discharge(0); });
      forebayArea_ = Gather([](const ColumnMarch& m) { return m.AreaAt(0); });
    }
  }

  // value(case) of each lane's case.
  template <class Value>
  Lanes Gather(Value value) const {
    std::array<double, kSlots> each{};
    for (std::size_t i = 0; i < kSlots; ++i) each[i] = value(*march_[i]);
    return std::bit_cast<Lanes>(each);
  }

  const ColumnMarch& March(std::size_t i) const { return *march_[i]; }

  // ColumnMarch::Rate of every lane.
  LaneState Rate(const Lanes& t, const LaneState& s) const {
    if (constantTerms_)
      return ColumnRate(gravityOverLength_, reservoir_, loss_, area_, s, discharge_, forebayArea_);
    std::array<double, kSlots> discharge{};
    std::array<double, kSlots> forebayArea{};
    const std::array<double, kSlots> time = Each(t), level = Each(s.z);
    for (std::size_t i = 0; i < kSlots; ++i) {
      discharge[i] = march_[i]->Discharge(time[i]);
      forebayArea[i] = march_[i]->AreaAt(level[i]);
    }
    return ColumnRate(gravityOverLength_, reservoir_, loss_, area_, s,
                      std::bit_cast<Lanes>(discharge), std::bit_cast<Lanes>(forebayArea));
  }

 private:
  std::array<const ColumnMarch*, kSlots> march_{};
  Lanes gravityOverLength_{};
  Lanes reservoir_{};
  Lanes loss_{};
  Lanes area_{};
  // With every lane's discharge and forebay area constant: those.
  bool constantTerms_ = false;
  Lanes discharge_{};
  Lanes forebayArea_{};
};

}  // namespace

namespace {

HalfLanes HalfOf(const Lanes& x, std::size_t from) { return x.half[from / kHalf]; }

// What Advance does of a step, for every lane: the larger swing after it
// (std::max(swing, lift)) into `swingNext`, and the lanes where the step needs
// the case's own Advance (bit i for lane i): the level's rate not finite, a
// turn after the event with the level swung far enough, or the integration's
// end reached. Elsewhere Advance only keeps the state, its rate, t + h and
// that swing, which the lanes hold themselves.
unsigned NeedAdvance(const Lanes& before, const Lanes& rise, const Lanes& tNext, const Lanes& lift,
                     const Lanes& swing, const Lanes& eventEnd, const Lanes& end,
                     Lanes& swingNext) {
  unsigned need = 0;
  for (std::size_t from = 0; from < kSlots; from += kHalf) {
    const HalfLanes b = HalfOf(before, from), r = HalfOf(rise, from), t = HalfOf(tNext, from);
    const HalfLanes was = HalfOf(swing, from), by = HalfOf(lift, from);
    const HalfLanes now = was < by ? by : was;
    swingNext.half[from / kHalf] = now;
    const HalfBits finite = (r - r) == 0;
    const HalfBits turns = ((b > 0) & (r <= 0)) | ((b < 0) & (r >= 0));
    const HalfBits turnAfterEvent = (t > HalfOf(eventEnd, from)) & (now >= kLeastSwing) & turns;
    const HalfBits lanes = ~finite | turnAfterEvent | ~(t < HalfOf(end, from));
    for (std::size_t i = 0; i < kHalf; ++i)
      need |= static_cast<unsigned>(lanes[i] & 1) << (from + i);
  }
  return need;
}

// Every case to the end of its forecast, kSlots at a time: a slot whose case
// has ended takes the next.
void MarchSlots(std::vector<ColumnMarch>& marches) {
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
  // The slots' lanes, gathered again only when a slot changes its case or a
  // case needs its own Advance: until then the lanes go on from the step's
  // own end, the values Advance keeps (the state, its rate, t + h and the
  // swing), and the cases are told of them only then.
  std::optional<SlotLanes> lanes;
  Lanes t{}, h{}, half{}, sixth{}, swing{}, start{}, eventEnd{}, end{};
  LaneState s, k1;
  // Lanes past the slots in use never need their case's Advance.
  unsigned inUse = 0;
  bool changed = true;
  while (used > 0) {
    if (changed) {
      lanes.emplace(marches, slot, used);
      t = lanes->Gather([](const ColumnMarch& m) { return m.Time(); });
      h = lanes->Gather([](const ColumnMarch& m) { return m.StepLength(); });
      half = h / 2;
      sixth = h / 6;
      s = {lanes->Gather([](const ColumnMarch& m) { return m.At().v; }),
           lanes->Gather([](const ColumnMarch& m) { return m.At().z; })};
      k1 = {lanes->Gather([](const ColumnMarch& m) { return m.RateAt().v; }),
            lanes->Gather([](const ColumnMarch& m) { return m.RateAt().z; })};
      swing = lanes->Gather([](const ColumnMarch& m) { return m.Swing(); });
      start = lanes->Gather([](const ColumnMarch& m) { return m.StartLevel(); });
      eventEnd = lanes->Gather([](const ColumnMarch& m) { return m.EventEnd(); });
      end = lanes->Gather([](const ColumnMarch& m) { return m.End(); });
      inUse = (1u << used) - 1;
      changed = false;
    }
    // One step of every slot, lane by lane: the arithmetic of
    // ColumnMarch::Step and Advance, expression for expression.
    const LaneState k2 = lanes->Rate(t + half, Ahead(s, half, k1));
    const LaneState k3 = lanes->Rate(t + half, Ahead(s, half, k2));
    const LaneState k4 = lanes->Rate(t + h, Ahead(s, h, k3));
    const LaneState after = Combined(s, sixth, k1, k2, k3, k4);
    const LaneState rate = lanes->Rate(t + h, after);
    const Lanes tNext = t + h;
    Lanes swingNext;
    const unsigned need = NeedAdvance(k1.z, rate.z, tNext, Magnitude(after.z - start), swing,
                                      eventEnd, end, swingNext) &
                          inUse;
    if (need == 0) {
      s = after;
      k1 = rate;
      t = tNext;
      swing = swingNext;
      continue;
    }
    // Each case told of the step: the lanes that need it through Advance
    // from the step's start, the others at its end.
    std::size_t kept = 0;
    const auto t0 = Each(t), v0 = Each(s.v), z0 = Each(s.z), dv0 = Each(k1.v), dz0 = Each(k1.z),
               swing0 = Each(swing);
    const auto t1 = Each(tNext), v1 = Each(after.v), z1 = Each(after.z), dv1 = Each(rate.v),
               dz1 = Each(rate.z), swing1 = Each(swingNext);
    for (std::size_t i = 0; i < used; ++i) {
      ColumnMarch& m = marches[slot[i]];
      if ((need >> i & 1) != 0) {
        m.Reached(t0[i], State{v0[i], z0[i]}, State{dv0[i], dz0[i]}, swing0[i]);
        m.Advance(State{v1[i], z1[i]}, State{dv1[i], dz1[i]});
      } else {
        m.Reached(t1[i], State{v1[i], z1[i]}, State{dv1[i], dz1[i]}, swing1[i]);
      }
      if (m.Marching()) slot[kept++] = slot[i];
    }
    used = kept;
    refill();
    changed = true;
  }
}

// The variants of MarchSlots, each inlined whole into a function built for
// its instruction set, as the marches' are (the lanes' divisions are the
// cost: AVX2 divides four lanes at once).
[[gnu::flatten]] void MarchSlotsBaseline(std::vector<ColumnMarch>& marches) { MarchSlots(marches); }

#if defined(__x86_64__)
[[gnu::target("avx2"), gnu::flatten]] void MarchSlotsAvx2(std::vector<ColumnMarch>& marches) {
  MarchSlots(marches);
}
#endif

}  // namespace

std::vector<std::optional<OscillationForecast>> ForecastOscillations(
    std::span<const ForecastCase> cases, MarchIsa isa) {
  std::vector<ColumnMarch> marches;
  marches.reserve(cases.size());
  for (const ForecastCase& c : cases)
    marches.emplace_back(*c.parameters, *c.extras, *c.run, std::nullopt);
#if defined(__x86_64__)
  if (std::min(isa, SupportedMarchIsas().back()) >= MarchIsa::Avx2)
    MarchSlotsAvx2(marches);
  else
    MarchSlotsBaseline(marches);
#else
  (void)isa;
  MarchSlotsBaseline(marches);
#endif
  std::vector<std::optional<OscillationForecast>> results(cases.size());
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
