// One Calculate: the inputs and coefficients, the initial steady state, then
// the transient march.
#include "model/calculate.h"

#include <exception>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "model/balanced_march.h"
#include "model/checked_arith.h"
#include "model/errors.h"
#include "model/march.h"
#include "model/run_editor.h"

namespace kelvane {

namespace {

using detail::CheckedArith;
using detail::Site;

// Gravity and twice gravity are single-precision constants.
constexpr float kGravity = 9.8f;
constexpr float kTwoGravity = 19.6f;

// Takes the boxes' numbers one at a time; a fault names the box being read.
class BoxReader {
 public:
  explicit BoxReader(const InputNumbers& numbers) : numbers_(numbers) {}

  // Reads box `id` into the run's field for it, in the precision its row
  // gives; a field of another type does not compile.
  template <InputId id, typename Field>
  void Read(Field& field) const {
    static_assert(std::is_same_v<Field, InputValue<id>>,
                  "the run's field has the precision of its input's row");
    if constexpr (PrecisionOf(id) == InputPrecision::Single) {
      field = Single(id);
    } else if constexpr (PrecisionOf(id) == InputPrecision::Double) {
      field = Double(id);
    } else {
      field = Int16(id);
    }
  }

 private:
  double Double(InputId box) const {
    const double value = numbers_[box];
    // A number beyond even the double range fails at its read.
    if (!std::isfinite(value)) Fail(box);
    return value;
  }
  float Single(InputId box) const {
    const float value = static_cast<float>(Double(box));
    if (!std::isfinite(value)) Fail(box);
    return value;
  }
  std::int16_t Int16(InputId box) const {
    std::int16_t value = 0;
    if (!ToInt16(Double(box), value)) Fail(box);
    return value;
  }
  [[noreturn]] static void Fail(InputId box) {
    ErrorLocation at;
    at.stage = Stage::Reading;
    at.input = box;
    throw RunError(ErrorCode::Overflow, at);
  }
  const InputNumbers& numbers_;
};

[[noreturn]] void ThrowCountOverflow(Term term, InputId box) {
  ErrorLocation at;
  at.stage = Stage::Grid;
  at.term = term;
  at.input = box;
  at.value = 32767;
  throw RunError(ErrorCode::Overflow, at);
}

// The steady friction loss of one reach (formed by the steady state, after
// the node-1 head).
float ReachHeadLossOf(const RunParameters& p, const SolverCoefficients& c) {
  CheckedArith a;
  a.At(Site::Coefficient(Term::ReachHeadLoss, InputId::HydraulicRadius));
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
// have always had, so every five-reach run keeps its bits. `intakeLoss` is
// the intake head loss taken off node 2.
void SteadyState(const RunParameters& p, SolverCoefficients& c, SurgeRun& state, float intakeLoss) {
  SurgeRunEditor run(state);
  const int n = state.SegmentCount();
  const int nodes = state.GridNodes();
  float* v = run.VelocitiesAt(1);
  for (int i = 1; i <= n + 1; ++i) v[i - 1] = c.SteadyVelocity;

  float* h = run.HeadsAt(1);
  CheckedArith a;
  auto store = [&](int node, float head) {
    if (node > nodes) a.Fail(ErrorCode::SubscriptOutOfRange);
    h[node - 1] = head;
  };
  a.At({Quantity::Head, 1, 1});
  store(1, p.ReservoirLevel);

  a.At(Site::Coefficient(Term::ReachHeadLoss, InputId::HydraulicRadius));
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
    const double E = a.D(upstream - a.Div(a.D(V2 * kOutletLossCoefficient), kTwoGravity));
    return a.S(a.D(E - a.Div(a.D(c.LocalLossCoefficientA * V2), kTwoGravity)));
  };

  // Node 2: intake loss, one reach of friction less a 31 m length of it, and
  // half of local loss A.
  a.At({Quantity::Head, 1, 2});
  const double friction31 =
      a.Div(a.D(V2 * a.D(static_cast<double>(p.FrictionFactor) * kIntakeCreditLength)),
            a.D(a.D(static_cast<double>(c.HydraulicDiameter) + c.HydraulicDiameter) * kGravity));
  const double E2 =
      a.D(a.D(a.D(static_cast<double>(p.ReservoirLevel) - intakeLoss) + friction31) - hf);
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
    a.At({Quantity::Head, 1, node});
    head = a.S(a.D(head - hf));
    if (node == n) head = lessLocalLossB(head);
    store(node, head);
  }

  // The forebay end: the last reach's friction and the outlet losses.
  a.At({Quantity::Head, 1, n + 1});
  store(n + 1, lessOutletLosses(a.D(head - hf)));
}

}  // namespace

RunOutcome CalculateBeforeMarch(const InputNumbers& numbers, SurgeRun& run,
                                const CalculateOptions& options) {
  RunOutcome outcome;
  RunParameters& p = outcome.parameters;
  SolverCoefficients& c = outcome.coefficients;
  const BoxReader box(numbers);
  CheckedArith a;

  // The boxes in their fixed reading order; the coefficients that need only
  // what has been read are formed on the way.
  box.Read<InputId::FrictionFactor>(p.FrictionFactor);
  box.Read<InputId::HydraulicRadius>(p.HydraulicRadius);
  a.At(Site::Coefficient(Term::HydraulicDiameter));
  c.HydraulicDiameter = a.S(a.D(p.HydraulicRadius * 4.0));
  box.Read<InputId::CulvertSlope>(p.CulvertSlope);
  box.Read<InputId::ForebayArea>(p.ForebayArea);
  box.Read<InputId::CulvertArea>(p.CulvertArea);
  box.Read<InputId::WaveSpeed>(p.WaveSpeed);
  box.Read<InputId::SteadyDischarge>(p.SteadyDischarge);
  box.Read<InputId::FinalPumpDischarge>(p.FinalPumpDischarge);
  box.Read<InputId::IntakeHeadLoss>(p.IntakeHeadLoss);
  box.Read<InputId::ReservoirLevel>(p.ReservoirLevel);
  a.At(Site::Coefficient(Term::SteadyVelocity, InputId::CulvertArea));
  c.SteadyVelocity = a.S(a.Div(p.SteadyDischarge, p.CulvertArea));
  box.Read<InputId::CulvertLength>(p.CulvertLength);
  box.Read<InputId::SegmentCount>(p.SegmentCount);
  box.Read<InputId::StepCount>(p.StepCount);

  // Sizing: both counts plus one in 16-bit arithmetic, then the grids and
  // step times, as zero-filled ones before anything else (options.gridFill).
  if (p.SegmentCount == 32767) ThrowCountOverflow(Term::NodeCount, InputId::SegmentCount);
  if (p.StepCount == 32767) ThrowCountOverflow(Term::StepCount, InputId::StepCount);
  SurgeRunEditor editor(run);
  editor.Resize(p.SegmentCount, p.StepCount, options.gridFill);
  try {
    box.Read<InputId::FirstOutputStep>(p.FirstOutputStep);
    box.Read<InputId::LastOutputStep>(p.LastOutputStep);
    editor.SetOutputSteps(p.FirstOutputStep, p.LastOutputStep);
    box.Read<InputId::OutputInterval>(p.OutputInterval);

    // The remaining coefficients, in order.
    const float n = p.SegmentCount;  // exact
    a.At(Site::Coefficient(Term::ReachLength, InputId::SegmentCount));
    c.ReachLength = a.DivF(p.CulvertLength, n);
    // The product of the count and the wave speed is exact in double and is
    // not rounded to single before the division.
    a.At(Site::Coefficient(Term::TimeStep,
                           p.SegmentCount == 0 ? InputId::SegmentCount : InputId::WaveSpeed));
    c.TimeStep =
        a.S(a.Div(p.CulvertLength, a.D(static_cast<double>(p.SegmentCount) * p.WaveSpeed)));
    a.At(Site::Coefficient(Term::WaveCoefficient));
    c.WaveCoefficient = a.DivF(p.WaveSpeed, kGravity);
    a.At(Site::Coefficient(Term::VelocityFrictionTerm, InputId::HydraulicRadius));
    const float frictionTime = a.F(p.FrictionFactor * c.TimeStep);
    c.VelocityFrictionTerm =
        a.S(a.Div(frictionTime, a.D(2.0 * static_cast<double>(c.HydraulicDiameter))));
    a.At(Site::Coefficient(Term::HeadFrictionTerm));
    c.HeadFrictionTerm = a.F(c.VelocityFrictionTerm * c.WaveCoefficient);

    const ModelExtras* extras = MarchExtras(options);
    const bool balanced = extras != nullptr && extras->model == MarchModel::Balanced;
    // The balanced model takes the intake loss at the intake's design
    // discharge and scales it to the steady one.
    const double design =
        balanced ? IntakeDesignDischarge(extras->pump, p.SteadyDischarge, p.FinalPumpDischarge) : 0;
    SteadyState(p, c, run, balanced ? BalancedIntakeLoss(p, design) : p.IntakeHeadLoss);
    const StepBlockObserver* observer = options.observer ? &options.observer : nullptr;
    if (observer != nullptr) (*observer)(1, 1);
    if (extras != nullptr && extras->pump.units)
      CheckUnitsAgainstSteady(*extras->pump.units, p.SteadyDischarge);
  } catch (...) {
    // Grids created unfilled end as zero-filled ones would: no step after
    // step 1 written.
    if (options.gridFill != GridFill::Zeros) editor.ClearSteps(2);
    throw;
  }
  return outcome;
}

void CalculateAfterMarch(const SurgeRun& run, const CalculateOptions& options,
                         RunOutcome& outcome) {
  const ModelExtras* extras = MarchExtras(options);
  if (extras == nullptr) return;
  outcome.extras = *extras;
  if (extras->forebay.Given()) {
    outcome.forebayAreaUse =
        ForebayAreaUsed(run, extras->forebay.areaTable, outcome.parameters, outcome.coefficients);
  }
}

std::optional<RunOutcome> CalculateSteadyState(const InputTexts& texts, SurgeRun& run,
                                               const ModelExtras& extras) {
  InputNumbers probe = ReadInputNumbers(texts);
  probe[InputId::StepCount] = 1;
  CalculateOptions options;
  options.extras = extras;
  try {
    return CalculateBeforeMarch(probe, run, options);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<RunOutcome> CalculateCoefficients(const InputTexts& texts,
                                                const ModelExtras& extras) {
  SurgeRun run;
  return CalculateSteadyState(texts, run, extras);
}

const ModelExtras* MarchExtras(const CalculateOptions& options) {
  return options.extras.Given() ? &options.extras : nullptr;
}

RunOutcome Calculate(const InputTexts& texts, SurgeRun& run, const CalculateOptions& options) {
  return Calculate(ReadInputNumbers(texts), run, options);
}

RunOutcome Calculate(const InputNumbers& numbers, SurgeRun& run, const CalculateOptions& options) {
  const ModelExtras* extras = MarchExtras(options);
  // The free-surface model is no march of this library: run/mixed_case.h.
  if (extras != nullptr && extras->model == MarchModel::Mixed)
    throw std::logic_error("混合流模型不经推进计算");
  RunOutcome outcome = CalculateBeforeMarch(numbers, run, options);
  // The single march writes no step past a fault: those steps hold zeros.
  if (options.gridFill != GridFill::Zeros) SurgeRunEditor(run).ClearSteps(2);
  const StepBlockObserver* observer = options.observer ? &options.observer : nullptr;
  const RunParameters& p = outcome.parameters;
  if (extras != nullptr && extras->model == MarchModel::Balanced) {
    const double design =
        IntakeDesignDischarge(extras->pump, p.SteadyDischarge, p.FinalPumpDischarge);
    MarchBalanced(p, outcome.coefficients, BalancedReachLosses(p, outcome.coefficients, design),
                  run, observer, extras);
  } else {
    MarchTransient(p, outcome.coefficients, run, options.checking, observer, extras);
  }
  CalculateAfterMarch(run, options, outcome);
  return outcome;
}

}  // namespace kelvane
