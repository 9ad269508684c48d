// One Calculate: the inputs and coefficients, the initial steady state, then
// the transient march.
#include <string>

#include "solver/checked_arith.h"
#include "solver/march.h"
#include "solver/solver.h"

namespace kelvane {

namespace {

using detail::CheckedArith;

// Gravity and twice gravity are single-precision constants.
constexpr float kGravity = 9.8f;
constexpr float kTwoGravity = 19.6f;

// Reads the boxes one at a time; a fault names the box being read.
class BoxReader {
 public:
  explicit BoxReader(const InputTexts& texts) : texts_(texts) {}

  double Double(int box) const {
    const double value = ReadLeadingNumber(texts_[box - 1]);
    // A number beyond even the double range fails at its read.
    if (!std::isfinite(value)) throw RunError(ErrorCode::Overflow, Where(box));
    return value;
  }
  float Single(int box) const {
    const float value = static_cast<float>(Double(box));
    if (!std::isfinite(value)) throw RunError(ErrorCode::Overflow, Where(box));
    return value;
  }
  std::int16_t Int16(int box) const { return ToInt16(Double(box), Where(box)); }

 private:
  static std::string Where(int box) {
    const InputField& field = InputFields()[box - 1];
    return std::string("读取 ") + field.box + "（" + field.caption + "）";
  }
  const InputTexts& texts_;
};

std::int16_t PlusOne(std::int16_t count, const char* what) {
  if (count == 32767) throw RunError(ErrorCode::Overflow, std::string("计算 ") + what + " + 1");
  return static_cast<std::int16_t>(count + 1);
}

// The steady friction loss of one reach (formed by the steady state, after
// the node-1 head).
float ReachHeadLossOf(const RunParameters& p, const SolverCoefficients& c) {
  CheckedArith a;
  a.At({"ReachHeadLoss"});
  const float ratio = a.DivF(c.ReachLength, c.HydraulicDiameter);
  const float length = a.F(p.FrictionFactor * ratio);
  const double velocityHead =
      a.Div(a.D(static_cast<double>(c.SteadyVelocity) * c.SteadyVelocity), kTwoGravity);
  return a.S(a.D(static_cast<double>(length) * velocityHead));
}

// Step 1: the steady velocity everywhere and the steady head profile of
// nodes 1..n+1 for n reaches. The head falls from the reservoir by the intake
// loss and the local loss at the entrance (node 2), one reach of friction per
// node, local loss B at the last node before the forebay end and the outlet
// losses at the forebay end. Five reaches give nodes 2..6 the formulas they
// have always had, so every five-reach run keeps its bits.
void SteadyState(const RunParameters& p, SolverCoefficients& c, SurgeRun& run) {
  const int n = run.SegmentCount;
  const int nodes = run.GridNodes();
  float* v = run.MutableVelocitiesAt(1);
  for (int i = 1; i <= n + 1; ++i) v[i - 1] = c.SteadyVelocity;

  float* h = run.MutableHeadsAt(1);
  CheckedArith a;
  auto store = [&](int node, float head) {
    if (node > nodes) a.Fail(ErrorCode::SubscriptOutOfRange);
    h[node - 1] = head;
  };
  a.At({"水位", 1, 1});
  store(1, p.ReservoirLevel);

  a.At({"ReachHeadLoss"});
  c.ReachHeadLoss = ReachHeadLossOf(p, c);

  const double V2 = static_cast<double>(c.SteadyVelocity) * c.SteadyVelocity;  // exact
  const double hf = c.ReachHeadLoss;
  // Local loss B (0.0304 velocity heads) at the last node before the forebay
  // end, taken off a head already rounded to single.
  auto lessLocalLossB = [&](float head) {
    return a.S(a.D(head - a.Div(a.D(c.LocalLossCoefficientB * V2), kTwoGravity)));
  };
  // The forebay end: the 0.58 outlet loss and local loss A off `upstream`,
  // which already carries the last reach's friction, rounded once.
  auto lessOutletLosses = [&](double upstream) {
    const double E = a.D(upstream - a.Div(a.D(V2 * 0.58), kTwoGravity));
    return a.S(a.D(E - a.Div(a.D(c.LocalLossCoefficientA * V2), kTwoGravity)));
  };

  // Node 2: intake loss, one reach of friction less a 31 m length of it, and
  // half of local loss A.
  a.At({"水位", 1, 2});
  const double friction31 =
      a.Div(a.D(V2 * a.D(static_cast<double>(p.FrictionFactor) * 31.0f)),
            a.D(a.D(static_cast<double>(c.HydraulicDiameter) + c.HydraulicDiameter) * kGravity));
  const double E2 =
      a.D(a.D(a.D(static_cast<double>(p.ReservoirLevel) - p.IntakeHeadLoss) + friction31) - hf);
  float head = a.S(a.D(E2 - a.Div(a.D(a.D(0.5 * c.LocalLossCoefficientA) * V2), kTwoGravity)));
  if (n == 1) {
    // Node 2 is the forebay end and its reach's friction is already in E2.
    head = lessLocalLossB(head);
    store(2, lessOutletLosses(head));
    return;
  }
  if (n == 2) head = lessLocalLossB(head);
  store(2, head);

  // Nodes 3..n: one reach of friction each, rounded to single.
  for (int node = 3; node <= n; ++node) {
    a.At({"水位", 1, node});
    head = a.S(a.D(head - hf));
    if (node == n) head = lessLocalLossB(head);
    store(node, head);
  }

  // The forebay end: the last reach's friction and the outlet losses.
  a.At({"水位", 1, n + 1});
  store(n + 1, lessOutletLosses(a.D(head - hf)));
}

}  // namespace

RunOutcome Calculate(const InputTexts& texts, SurgeRun& run) {
  return Calculate(texts, run, MarchChecking::VerifyEachStep);
}

RunOutcome Calculate(const InputTexts& texts, SurgeRun& run, const StepBlockObserver& observer) {
  return Calculate(texts, run, MarchChecking::VerifyEachStep, &observer);
}

RunOutcome Calculate(const InputTexts& texts, SurgeRun& run, MarchChecking checking,
                     const StepBlockObserver* observer) {
  RunOutcome outcome;
  RunParameters& p = outcome.parameters;
  SolverCoefficients& c = outcome.coefficients;
  const BoxReader box(texts);
  CheckedArith a;

  // The boxes in their fixed reading order; the coefficients that need only
  // what has been read are formed on the way.
  p.FrictionFactor = box.Single(6);
  p.HydraulicRadius = box.Double(8);
  a.At({"HydraulicDiameter"});
  c.HydraulicDiameter = a.S(a.D(p.HydraulicRadius * 4.0));
  p.CulvertSlope = box.Double(7);
  p.ForebayArea = box.Double(9);
  p.CulvertArea = box.Double(10);
  p.WaveSpeed = box.Single(11);
  p.SteadyDischarge = box.Double(1);
  p.FinalPumpDischarge = box.Single(16);
  p.IntakeHeadLoss = box.Single(2);
  p.ReservoirLevel = box.Single(3);
  a.At({"SteadyVelocity"});
  c.SteadyVelocity = a.S(a.Div(p.SteadyDischarge, p.CulvertArea));
  p.CulvertLength = box.Single(12);
  p.SegmentCount = run.SegmentCount = box.Int16(4);
  p.StepCount = run.StepCount = box.Int16(5);

  // Sizing: both counts plus one in 16-bit arithmetic before any array.
  const std::int16_t nodes = PlusOne(run.SegmentCount, "SegmentCount");
  const std::int16_t steps = PlusOne(run.StepCount, "StepCount");
  run.RecreateGrids(nodes, steps);
  run.RecreateStepTimes(run.StepCount);

  p.FirstOutputStep = run.FirstOutputStep = box.Int16(13);
  p.LastOutputStep = run.LastOutputStep = box.Int16(14);
  p.OutputInterval = box.Double(15);

  // The remaining coefficients, in order.
  const float n = p.SegmentCount;  // exact
  a.At({"ReachLength"});
  c.ReachLength = a.DivF(p.CulvertLength, n);
  // The product of the count and the wave speed is exact in double and is
  // not rounded to single before the division.
  a.At({"TimeStep"});
  c.TimeStep = a.S(a.Div(p.CulvertLength, a.D(static_cast<double>(p.SegmentCount) * p.WaveSpeed)));
  a.At({"WaveCoefficient"});
  c.WaveCoefficient = a.DivF(p.WaveSpeed, kGravity);
  a.At({"VelocityFrictionTerm"});
  const float frictionTime = a.F(p.FrictionFactor * c.TimeStep);
  c.VelocityFrictionTerm =
      a.S(a.Div(frictionTime, a.D(2.0 * static_cast<double>(c.HydraulicDiameter))));
  a.At({"HeadFrictionTerm"});
  c.HeadFrictionTerm = a.F(c.VelocityFrictionTerm * c.WaveCoefficient);

  SteadyState(p, c, run);
  if (observer != nullptr && *observer) (*observer)(1, 1);
  MarchTransient(p, c, run, checking, observer);
  return outcome;
}

}  // namespace kelvane
