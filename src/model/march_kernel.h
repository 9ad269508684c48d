// One time step of the transient march by the method of characteristics,
// written once against an arithmetic policy (see checked_arith.h).
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "model/checked_arith.h"
#include "model/pump_event.h"

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

// The constants of one run as a node's formulas take them: B both as the
// single it is and widened to double, as every division by B takes it.
struct NodeConstants {
  double waveCoefficient = 0;       // B, s
  float singleWaveCoefficient = 0;  // B, s; enters only the single product K2
  float velocityFrictionTerm = 0;   // F, -
  float headFrictionTerm = 0;       // G, s
  float timeStep = 0;               // dt, s
  double culvertSlope = 0;          // J, -
};

inline NodeConstants NodeConstantsOf(const MarchConstants& k) {
  return {k.waveCoefficient,  k.waveCoefficient, k.velocityFrictionTerm,
          k.headFrictionTerm, k.timeStep,        k.culvertSlope};
}

// Each formula of one step, for one node, in the order of its operations.
// The single march and the batch march (march_batch.cpp, one case per vector
// lane) both call these, so a case's bits are the same in either.

// Time of step j; (j-1)*dt is exact in double, then rounded once.
template <class Arith>
inline float StepTimeOf(int j, float timeStep, Arith& a) {
  a.At({kWhatTime, j, 0});
  return a.S(a.D(static_cast<double>(j - 1) * timeStep));
}

// An interior node (`node` = i+1) from the forward characteristic of node
// i-1 (A) and the backward one of node i+1 (B), both at step j-1. `Vij` is
// set before the head is formed, so that a fault of the head leaves it.
template <class Arith>
inline void InteriorNode(const NodeConstants& k, int j, int node, float HA, float VA, float HB,
                         float VB, float& Vij, float& Hij, Arith& a) {
  // V = ((P2 + P1) - F*P3 - dt*J*(VA - VB)/B) / 2, P1 = (HA - HB)/B,
  // P2 = VA + VB, P3 = VA|VA| + VB|VB|.
  a.At({kWhatVelocity, j, node});
  const float P1 = a.S(a.Div(a.D(static_cast<double>(HA) - HB), k.waveCoefficient));
  const float P2 = a.F(VA + VB);
  const float P3 = a.F(a.F(VA * std::fabs(VA)) + a.F(VB * std::fabs(VB)));
  const float X = a.S(a.D(a.D(static_cast<double>(P2) + P1) -
                          a.D(static_cast<double>(k.velocityFrictionTerm) * P3)));  // F*P3
  const float dV = a.F(VA - VB);
  const double W =
      a.Div(a.D(a.D(static_cast<double>(k.timeStep) * k.culvertSlope) * dV),  // dt*J*dV
            k.waveCoefficient);
  Vij = a.S(a.D(0.5 * a.D(X - W)));

  // H = ((K2 + K1) - K3*G - P2*J*dt) / 2, K1 = HB + HA, K2 = B*(VA - VB)
  // in single, K3 = VA|VA| - VB|VB|.
  a.At({kWhatHead, j, node});
  const float K1 = a.S(a.D(static_cast<double>(HB) + HA));
  const float K2 = a.F(k.singleWaveCoefficient * a.F(VA - VB));
  const float K3 = a.F(a.F(VA * std::fabs(VA)) - a.F(VB * std::fabs(VB)));
  const float Y = a.S(a.D(a.D(static_cast<double>(K2) + K1) -
                          a.D(static_cast<double>(K3) * k.headFrictionTerm)));       // K3*G
  const double U = a.D(a.D(static_cast<double>(P2) * k.culvertSlope) * k.timeStep);  // P2*J*dt
  Hij = a.S(a.D(0.5 * a.D(Y - U)));
}

// Backward characteristic from node 2 to node 1:
// CM = H2 - V2*(b + dt*J), b = B - |V2|*G.
template <class Arith>
inline float BackwardHead(const NodeConstants& k, int j, float H2, float V2, Arith& a) {
  a.At({kWhatBackward, j, 1});
  const float b =
      a.S(a.D(k.waveCoefficient - a.D(static_cast<double>(std::fabs(V2)) * k.headFrictionTerm)));
  return a.S(a.D(H2 - a.D(static_cast<double>(V2) * a.D(b + a.D(static_cast<double>(k.timeStep) *
                                                                k.culvertSlope)))));  // dt*J
}

// Forward characteristic from node n to node n+1 (`node`):
// CP = Hn + Vn*(c - dt*J), c = B - |Vn|*G.
template <class Arith>
inline float ForwardHead(const NodeConstants& k, int j, int node, float Hn, float Vn, Arith& a) {
  a.At({kWhatForward, j, node});
  const float c =
      a.S(a.D(k.waveCoefficient - a.D(static_cast<double>(std::fabs(Vn)) * k.headFrictionTerm)));
  return a.S(a.D(Hn + a.D(static_cast<double>(Vn) * a.D(c - a.D(static_cast<double>(k.timeStep) *
                                                                k.culvertSlope)))));  // dt*J
}

// Node 1: the reservoir holds its level Z; V1 = (Z - CM)/B.
template <class Arith>
inline float ReservoirVelocity(const NodeConstants& k, int j, float reservoirLevel, float CM,
                               Arith& a) {
  a.At({kWhatVelocity, j, 1});
  return a.S(a.Div(a.D(static_cast<double>(reservoirLevel) - CM), k.waveCoefficient));
}

// Node n+1 (`node`): forebay storage balance over one step with the previous
// inflow and the new pump discharge, Hf = H + (V*Ac - Q)*dt/A, then the
// forward characteristic, Vf = (CP - Hf)/B. `pump` is Q1 widened, or a pump
// event's mean discharge of the step; `area` Af, or a table's area at the
// previous level. `Hf` is set before the velocity is formed.
template <class Arith>
inline void ForebayNode(const NodeConstants& k, int j, int node, float prevH, float prevV,
                        double culvertArea, double pump, double area, float CP, float& Hf,
                        float& Vf, Arith& a) {
  a.At({kWhatHead, j, node, InputId::ForebayArea});
  const double inflow = a.D(a.D(a.D(static_cast<double>(prevV) * culvertArea) - pump) * k.timeStep);
  Hf = a.S(a.D(prevH + a.Div(inflow, area)));
  a.At({kWhatVelocity, j, node});
  Vf = a.S(a.Div(a.D(static_cast<double>(CP) - Hf), k.waveCoefficient));
}

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
  const NodeConstants kn = NodeConstantsOf(k);
  std::uint32_t bad = 0;

  time = StepTimeOf(j, k.timeStep, a);
  if constexpr (kVerify != Verify::None) bad |= NonFiniteBits(time);

  for (int i = 1; i < n; ++i) {
    // Each value goes into the grid as soon as it is formed: a fault leaves
    // what was computed before it.
    InteriorNode(kn, j, i + 1, prevH[i - 1], prevV[i - 1], prevH[i + 1], prevV[i + 1], v[i], h[i],
                 a);
    if constexpr (kVerify == Verify::All) bad |= NonFiniteBits(v[i]) | NonFiniteBits(h[i]);
  }

  const float CM = BackwardHead(kn, j, prevH[1], prevV[1], a);
  const float CP = ForwardHead(kn, j, n + 1, prevH[n - 1], prevV[n - 1], a);

  h[0] = k.reservoirLevel;
  const float V1 = ReservoirVelocity(kn, j, k.reservoirLevel, CM, a);
  v[0] = V1;

  // A pump event puts the step's mean discharge in place of Q1 and an area
  // table the area at the previous level in place of Af; both are scalar per
  // step, and without them the operands and their order are those of the
  // sudden change.
  const double pump =
      k.pumpDischarges != nullptr ? k.pumpDischarges[j] : double{k.finalPumpDischarge};
  const double area = k.areaTable.empty() ? k.forebayArea : ForebayAreaAt(k.areaTable, prevH[n]);
  ForebayNode(kn, j, n + 1, prevH[n], prevV[n], k.culvertArea, pump, area, CP, h[n], v[n], a);

  if constexpr (kVerify != Verify::None)
    bad |= NonFiniteBits(V1) | NonFiniteBits(h[n]) | NonFiniteBits(v[n]);
  return bad != 0;
}

}  // namespace kelvane::detail
