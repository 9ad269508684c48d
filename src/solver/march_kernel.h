// One time step of the transient march by the method of characteristics,
// written once against an arithmetic policy (see checked_arith.h).
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "solver/checked_arith.h"
#include "solver/pump_event.h"

namespace kelvane::detail {

// The constants of the march, with the precision of the run's fields. The
// comments give each one's symbol in the formulas below.
struct MarchConstants {
  float timeStep = 0;              // dt, s
  float waveCoefficient = 0;       // B = a/g, s
  float velocityFrictionTerm = 0;  // F = lambda*dt/(2D), -
  float headFrictionTerm = 0;      // G = F*B, s
  float reservoirLevel = 0;        // Z, m
  float finalPumpDischarge = 0;    // Q1, m³/s
  double culvertSlope = 0;         // J, -
  double culvertArea = 0;          // Ac, m²
  double forebayArea = 0;          // Af, m²
  // With a pump event: the mean pump discharge over each step (element j
  // for step j), in place of Q1; none for the sudden change.
  const double* pumpDischarges = nullptr;  // m³/s
  // With a level–area table: the area at the previous step's level, in place
  // of Af; empty without one.
  std::span<const ForebayPoint> areaTable;
};

inline MarchConstants MarchConstantsOf(const RunParameters& p, const SolverCoefficients& c) {
  MarchConstants k;
  k.timeStep = c.TimeStep;
  k.waveCoefficient = c.WaveCoefficient;
  k.velocityFrictionTerm = c.VelocityFrictionTerm;
  k.headFrictionTerm = c.HeadFrictionTerm;
  k.reservoirLevel = p.ReservoirLevel;
  k.finalPumpDischarge = p.FinalPumpDischarge;
  k.culvertSlope = p.CulvertSlope;
  k.culvertArea = p.CulvertArea;
  k.forebayArea = p.ForebayArea;
  return k;
}

// The quantities named in a report.
inline constexpr Quantity kWhatTime = Quantity::Time;
inline constexpr Quantity kWhatVelocity = Quantity::Velocity;
inline constexpr Quantity kWhatHead = Quantity::Head;
inline constexpr Quantity kWhatBackward = Quantity::BackwardCharacteristic;
inline constexpr Quantity kWhatForward = Quantity::ForwardCharacteristic;

// Zero for a finite value; the bits of a NaN for infinity and NaN (x - x is
// +0 for every finite x in round-to-nearest). ORed over a row, the test costs
// one subtraction and one OR per value and vectorises.
inline std::uint32_t NonFiniteBits(float x) { return std::bit_cast<std::uint32_t>(x - x); }

// Step j from step j-1. `prevH`/`prevV` hold step j-1 and `h`/`v` step j,
// nodes 1..n+1 at elements 0..n. Items run in the order of the algorithm:
// the step time, the interior nodes ascending, the two characteristic heads,
// node 1, node n+1. The return value tells whether a value of the step that
// `verify` names is not finite; march.cpp says why testing the boundaries
// mostly suffices.
enum class Verify {
  None,        // nothing
  Boundaries,  // the time, V at node 1, H and V at node n+1
  All,         // the boundaries and every interior node
};

template <Verify kVerify, class Arith>
inline bool MarchStep(const MarchConstants& k, int n, int j, const float* __restrict prevH,
                      const float* __restrict prevV, float* __restrict h, float* __restrict v,
                      float& time, Arith& a) {
  // B widened to double, as every division by B takes it; the single
  // k.waveCoefficient enters only the single product K2.
  const double waveCoefficient = k.waveCoefficient;
  std::uint32_t bad = 0;

  // Time of step j; (j-1)*dt is exact in double, then rounded once.
  a.At({kWhatTime, j, 0});
  time = a.S(a.D(static_cast<double>(j - 1) * k.timeStep));
  if constexpr (kVerify != Verify::None) bad |= NonFiniteBits(time);

  // Interior nodes: forward characteristic from node i-1 (A), backward from
  // node i+1 (B), both at step j-1.
  for (int i = 1; i < n; ++i) {
    const float HA = prevH[i - 1], VA = prevV[i - 1];
    const float HB = prevH[i + 1], VB = prevV[i + 1];

    // V = ((P2 + P1) - F*P3 - dt*J*(VA - VB)/B) / 2, P1 = (HA - HB)/B,
    // P2 = VA + VB, P3 = VA|VA| + VB|VB|.
    a.At({kWhatVelocity, j, i + 1});
    const float P1 = a.S(a.Div(a.D(static_cast<double>(HA) - HB), waveCoefficient));
    const float P2 = a.F(VA + VB);
    const float P3 = a.F(a.F(VA * std::fabs(VA)) + a.F(VB * std::fabs(VB)));
    const float X = a.S(a.D(a.D(static_cast<double>(P2) + P1) -
                            a.D(static_cast<double>(k.velocityFrictionTerm) * P3)));  // F*P3
    const float dV = a.F(VA - VB);
    const double W =
        a.Div(a.D(a.D(static_cast<double>(k.timeStep) * k.culvertSlope) * dV),  // dt*J*dV
              waveCoefficient);
    const float Vij = a.S(a.D(0.5 * a.D(X - W)));
    v[i] = Vij;

    // H = ((K2 + K1) - K3*G - P2*J*dt) / 2, K1 = HB + HA, K2 = B*(VA - VB)
    // in single, K3 = VA|VA| - VB|VB|.
    a.At({kWhatHead, j, i + 1});
    const float K1 = a.S(a.D(static_cast<double>(HB) + HA));
    const float K2 = a.F(k.waveCoefficient * a.F(VA - VB));
    const float K3 = a.F(a.F(VA * std::fabs(VA)) - a.F(VB * std::fabs(VB)));
    const float Y = a.S(a.D(a.D(static_cast<double>(K2) + K1) -
                            a.D(static_cast<double>(K3) * k.headFrictionTerm)));       // K3*G
    const double U = a.D(a.D(static_cast<double>(P2) * k.culvertSlope) * k.timeStep);  // P2*J*dt
    const float Hij = a.S(a.D(0.5 * a.D(Y - U)));
    h[i] = Hij;
    if constexpr (kVerify == Verify::All) bad |= NonFiniteBits(Vij) | NonFiniteBits(Hij);
  }

  // Backward characteristic from node 2 to node 1:
  // CM = H2 - V2*(b + dt*J), b = B - |V2|*G.
  a.At({kWhatBackward, j, 1});
  const float H2 = prevH[1], V2 = prevV[1];
  const float b =
      a.S(a.D(waveCoefficient - a.D(static_cast<double>(std::fabs(V2)) * k.headFrictionTerm)));
  const float CM =
      a.S(a.D(H2 - a.D(static_cast<double>(V2) *
                       a.D(b + a.D(static_cast<double>(k.timeStep) * k.culvertSlope)))));  // dt*J

  // Forward characteristic from node n to node n+1:
  // CP = Hn + Vn*(c - dt*J), c = B - |Vn|*G.
  a.At({kWhatForward, j, n + 1});
  const float Hn = prevH[n - 1], Vn = prevV[n - 1];
  const float c =
      a.S(a.D(waveCoefficient - a.D(static_cast<double>(std::fabs(Vn)) * k.headFrictionTerm)));
  const float CP =
      a.S(a.D(Hn + a.D(static_cast<double>(Vn) *
                       a.D(c - a.D(static_cast<double>(k.timeStep) * k.culvertSlope)))));  // dt*J

  // Node 1: the reservoir holds its level Z; V1 = (Z - CM)/B.
  h[0] = k.reservoirLevel;
  a.At({kWhatVelocity, j, 1});
  const float V1 = a.S(a.Div(a.D(static_cast<double>(k.reservoirLevel) - CM), waveCoefficient));
  v[0] = V1;

  // Node n+1: forebay storage balance over one step with the previous
  // inflow and the new pump discharge, Hf = H + (V*Ac - Q1)*dt/Af, then the
  // forward characteristic, Vf = (CP - Hf)/B. A pump event puts the step's
  // mean discharge in place of Q1 and an area table the area at the previous
  // level in place of Af; both are scalar per step, and without them the
  // operands and their order are those of the sudden change.
  const double pump =
      k.pumpDischarges != nullptr ? k.pumpDischarges[j] : double{k.finalPumpDischarge};
  const double area = k.areaTable.empty() ? k.forebayArea : ForebayAreaAt(k.areaTable, prevH[n]);
  a.At({kWhatHead, j, n + 1, InputId::ForebayArea});
  const double inflow =
      a.D(a.D(a.D(static_cast<double>(prevV[n]) * k.culvertArea) - pump) * k.timeStep);
  const float Hf = a.S(a.D(prevH[n] + a.Div(inflow, area)));
  h[n] = Hf;
  a.At({kWhatVelocity, j, n + 1});
  const float Vf = a.S(a.Div(a.D(static_cast<double>(CP) - Hf), waveCoefficient));
  v[n] = Vf;

  if constexpr (kVerify != Verify::None)
    bad |= NonFiniteBits(V1) | NonFiniteBits(Hf) | NonFiniteBits(Vf);
  return bad != 0;
}

}  // namespace kelvane::detail
