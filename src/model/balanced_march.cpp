#include "model/balanced_march.h"

#include <algorithm>
#include <cmath>

#include "model/checked_arith.h"
#include "model/errors.h"
#include "model/run_editor.h"

namespace kelvane {

namespace {

using detail::CheckedArith;

// Gravity and twice gravity, the single-precision constants of the steady
// state.
constexpr float kGravity = 9.8f;
constexpr float kTwoGravity = 19.6f;

// Steps reported to the observer at a time.
constexpr int kObservedBlock = 64;

double SignedSquare(double v) { return v * std::fabs(v); }

// The fixed values of one balanced march.
struct BalancedConstants {
  double timeStep = 0;         // dt, s
  double waveCoefficient = 0;  // B = a/g, s
  double reservoirLevel = 0;   // Z, m
  double culvertArea = 0;      // Ac, m²
  double forebayArea = 0;      // Af, m²
  std::vector<double> reach;   // G + K of each reach, s²/m
};

// Step j from step j-1 (nodes 1..n+1 at elements 0..n). A reach's loss
// (G + K)·V|V| is taken at the start of each characteristic that crosses it,
// as the classic march takes its friction.
void BalancedStep(const BalancedConstants& k, int n, int j, const float* prevH, const float* prevV,
                  float* h, float* v, float& time, double pump, double area, CheckedArith& a) {
  const double B = k.waveCoefficient;
  a.At({Quantity::Time, j, 0});
  time = a.S(static_cast<double>(j - 1) * k.timeStep);

  // Interior nodes: forward characteristic from node i-1 over reach i-1,
  // backward characteristic from node i+1 over reach i.
  for (int i = 1; i < n; ++i) {
    const double HA = prevH[i - 1], VA = prevV[i - 1];
    const double HB = prevH[i + 1], VB = prevV[i + 1];
    const double lossA = k.reach[i - 1] * SignedSquare(VA);
    const double lossB = k.reach[i] * SignedSquare(VB);
    a.At({Quantity::Velocity, j, i + 1});
    v[i] = a.S(0.5 * (VA + VB + (HA - HB) / B - (lossA + lossB) / B));
    a.At({Quantity::Head, j, i + 1});
    h[i] = a.S(0.5 * (HA + HB + B * (VA - VB) - (lossA - lossB)));
  }

  // Backward characteristic from node 2 over the first reach: H1 = CM + B·V1.
  a.At({Quantity::BackwardCharacteristic, j, 1});
  const double V2 = prevV[1];
  const double CM = a.D(prevH[1] - B * V2 + k.reach[0] * SignedSquare(V2));
  // Forward characteristic from node n over the last reach: Hf = CP - B·Vf.
  a.At({Quantity::ForwardCharacteristic, j, n + 1});
  const double Vn = prevV[n - 1];
  const double CP = a.D(prevH[n - 1] + B * Vn - k.reach[n - 1] * SignedSquare(Vn));

  // Node 1: the reservoir level.
  h[0] = static_cast<float>(k.reservoirLevel);
  a.At({Quantity::Velocity, j, 1});
  v[0] = a.S((k.reservoirLevel - CM) / B);

  // Node n+1: the forebay storage balance with the previous inflow, then the
  // forward characteristic.
  a.At({Quantity::Head, j, n + 1, InputId::ForebayArea});
  const double inflow = a.D((static_cast<double>(prevV[n]) * k.culvertArea - pump) * k.timeStep);
  h[n] = a.S(prevH[n] + a.Div(inflow, area));
  a.At({Quantity::Velocity, j, n + 1});
  v[n] = a.S((CP - h[n]) / B);
}

}  // namespace

double IntakeDesignDischarge(const PumpEvent& pump, double steady, float final) {
  double design = std::max(std::fabs(steady), std::fabs(static_cast<double>(final)));
  const PumpDischarge law(pump, steady, final);
  for (const PumpPoint& point : law.Schedule())
    design = std::max(design, std::fabs(point.discharge));
  return design;
}

float BalancedIntakeLoss(const RunParameters& p, double designDischarge) {
  if (p.SteadyDischarge == 0 || designDischarge == 0) return 0.0f;
  const double share = p.SteadyDischarge / designDischarge;
  return static_cast<float>(p.IntakeHeadLoss * (share * share));
}

std::vector<double> BalancedReachLosses(const RunParameters& p, const SolverCoefficients& c,
                                        double designDischarge) {
  const int n = std::max<int>(p.SegmentCount, 1);
  std::vector<double> losses(static_cast<std::size_t>(n), 0.0);
  // The intake loss h at the design velocity Vd: h/Vd² of V|V|.
  const double designVelocity = designDischarge / p.CulvertArea;
  const double intake =
      designVelocity == 0 ? 0.0 : p.IntakeHeadLoss / (designVelocity * designVelocity);
  // The friction of the intake's first 31 m, credited back.
  const double credit =
      static_cast<double>(p.FrictionFactor) * kIntakeCreditLength /
      ((static_cast<double>(c.HydraulicDiameter) + c.HydraulicDiameter) * kGravity);
  const double entrance = 0.5 * c.LocalLossCoefficientA / kTwoGravity;
  const double beforeEnd = c.LocalLossCoefficientB / kTwoGravity;
  const double outlet = (kOutletLossCoefficient + c.LocalLossCoefficientA) / kTwoGravity;
  // The steady profile takes the intake losses off node 2, local loss B off
  // node n (node 2 with one reach) and the outlet losses off node n+1; each
  // belongs to the reach that ends at that node.
  losses[0] += intake - credit + entrance;
  losses[static_cast<std::size_t>(std::max(n - 2, 0))] += beforeEnd;
  losses[static_cast<std::size_t>(n - 1)] += outlet;
  return losses;
}

void MarchBalanced(const RunParameters& p, const SolverCoefficients& c,
                   const std::vector<double>& reachLosses, SurgeRun& state,
                   const StepBlockObserver* observer, const ModelExtras* extras) {
  SurgeRunEditor run(state);
  const int n = state.SegmentCount();
  const int last = state.StepCount();
  if (last < 2) return;
  if (!GridsHoldRun(state) || reachLosses.size() != static_cast<std::size_t>(n))
    ThrowGridsDoNotHoldRun(state);

  BalancedConstants k;
  k.timeStep = c.TimeStep;
  k.waveCoefficient = c.WaveCoefficient;
  k.reservoirLevel = p.ReservoirLevel;
  k.culvertArea = p.CulvertArea;
  k.forebayArea = p.ForebayArea;
  k.reach = reachLosses;
  for (double& r : k.reach) r += c.HeadFrictionTerm;

  const PumpEvent noEvent;
  const PumpDischarge law(extras != nullptr ? extras->pump : noEvent, p.SteadyDischarge,
                          p.FinalPumpDischarge);
  const bool tabled = extras != nullptr && extras->forebay.Given();

  CheckedArith a;
  float* times = run.StepTimes();
  int reported = 1;
  for (int j = 2; j <= last; ++j) {
    const float* prevH = run.HeadsAt(j - 1);
    const double pump = law.Sudden() ? double{p.FinalPumpDischarge} : law.StepMean(j, c.TimeStep);
    const double area = tabled ? ForebayAreaAt(extras->forebay.areaTable, prevH[n]) : k.forebayArea;
    try {
      BalancedStep(k, n, j, prevH, run.VelocitiesAt(j - 1), run.HeadsAt(j), run.VelocitiesAt(j),
                   times[j - 1], pump, area, a);
    } catch (const RunError& error) {
      ErrorLocation at = error.location();
      const float time = static_cast<float>(static_cast<double>(j - 1) * c.TimeStep);
      if (std::isfinite(time)) at.time = time;
      throw RunError(error.code(), at);
    }
    if (observer != nullptr && *observer && (j - reported == kObservedBlock || j == last)) {
      (*observer)(reported + 1, j);
      reported = j;
    }
  }
}

}  // namespace kelvane
