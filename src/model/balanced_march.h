// The balanced march: the method of characteristics of the classic march
// with every loss of the steady profile carried at its place, so that the
// initial profile is a steady state of the march.
#pragma once

#include <vector>

#include "model/inputs.h"
#include "model/march_settings.h"
#include "model/pump_event.h"
#include "model/run_state.h"

namespace kelvane {

// The lengths and coefficients of the steady profile that are no inputs.
inline constexpr float kIntakeCreditLength = 31.0f;     // m of friction credited at the intake
inline constexpr double kOutletLossCoefficient = 0.58;  // -, at the forebay end

// The discharge the intake head loss belongs to: the largest discharge of
// the run (the steady one, the final one, every point of a schedule), m³/s.
double IntakeDesignDischarge(const PumpEvent& pump, double steady, float final);

// The intake head loss of the balanced steady state: the given loss scaled
// from the design discharge to the steady one, (Q0/Qd)² of it; 0 when the
// steady discharge is 0 (the profile is then level at the reservoir).
float BalancedIntakeLoss(const RunParameters& p, double designDischarge);

// The head-loss coefficient of each reach beyond its friction (element r
// for the reach from node r+1 to node r+2), s²/m: the loss of the reach is
// (G + K[r])·V|V|. They hold the intake loss at the design discharge, the
// friction credit of the intake's first 31 m, the entrance, the local and
// the outlet losses where the steady profile takes them off.
std::vector<double> BalancedReachLosses(const RunParameters& p, const SolverCoefficients& c,
                                        double designDischarge);

// Fills steps 2..StepCount of both grids and of StepTimes as MarchTransient
// does, with the losses `reachLosses` (BalancedReachLosses) on the reaches.
// The bed slope term of the classic march is left out: in a march on the
// piezometric head it is of the order V/a of the convective terms that the
// scheme neglects, and it alone would drive a uniform flow away from rest.
// Every operation is checked; the first fault throws RunError with its step,
// node and time, after the blocks before it have been reported.
void MarchBalanced(const RunParameters& parameters, const SolverCoefficients& coefficients,
                   const std::vector<double>& reachLosses, SurgeRun& run,
                   const StepBlockObserver* observer = nullptr,
                   const ModelExtras* extras = nullptr);

}  // namespace kelvane
