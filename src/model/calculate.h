// Calculate: the sixteen boxes' numbers in, the grids of one run out.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "model/inputs.h"
#include "model/march_settings.h"
#include "model/pump_event.h"
#include "model/run_state.h"

namespace kelvane {

// How the nodes of a free-surface run ran (run/mixed_case.h): each node's
// depth above its invert, and whether it ran full (pressurized) or part full.
struct NodeRegime {
  float initialDepth = 0;  // m, at step 1
  float highestDepth = 0;  // m
  int highestDepthStep = 0;
  float lowestDepth = 0;  // m
  int lowestDepthStep = 0;
  bool fullAtStart = false;
  bool everFull = false;  // pressurized at some step
  bool everFree = false;  // part full at some step
};
struct FreeSurfaceRecord {
  CulvertSection section = CulvertSection::None;
  std::vector<float> invert;  // m, node by node
  std::vector<NodeRegime> nodes;
  // The first step at which a node runs otherwise (full or part full) than
  // at step 1, and that node; 0 when none ever does.
  int firstChangeStep = 0;
  int firstChangeNode = 0;
  // The lowest pressure head against the soffit of any full cell (m; 0
  // without one), and whether a cell reached the vapour limit.
  double lowestPressureHead = 0;
  bool vapourLimitReached = false;
  bool steadyConverged = true;  // the initial state is the scheme's steady one
  // The wetted area of every node at every step (m², step by step, each
  // step's nodes together): a discharge is the velocity times it. Shared, as
  // the run's grids are not copied with the record.
  std::shared_ptr<const std::vector<float>> wettedArea;
  // The area of the rigid column between the reservoir and the forebay at
  // step 1, L / ∫dx/A over the reach (m²), and the discharge into the
  // forebay then (m³/s).
  double columnArea = 0;
  double startDischarge = 0;
  // The time a surge takes from the forebay to the reservoir and back over
  // the state of step 1: ∫dx/(c − |V|) + ∫dx/(c + |V|), c = √(gA/T) where a
  // node runs part full and the pressure wave speed where it runs full (s).
  // None where no wave can make the trip: a node dry, or one whose flow is
  // not slower than its wave (the surge cannot run up it); that node then.
  std::optional<double> surgeRoundTrip;
  int surgeBlockedNode = 0;
  bool surgeBlockedDry = false;  // dry; otherwise not slower than its wave
};

// What a Calculate leaves besides the run state.
struct RunOutcome {
  RunParameters parameters;
  SolverCoefficients coefficients;
  ModelExtras extras;  // the pump event and area table of the run, as given
  // With an area table: the smallest area a march step used, against the
  // stability limit of the forebay update.
  std::optional<ForebayAreaUse> forebayAreaUse;
  // The free-surface and mixed-flow model's run only.
  std::optional<FreeSurfaceRecord> freeSurface;
};

struct CalculateOptions {
  StepBlockObserver observer;  // none when empty
  MarchChecking checking = MarchChecking::VerifyEachStep;
  // The pump event and the forebay area table; empty: the sudden change to
  // FinalPumpDischarge and the constant ForebayArea.
  ModelExtras extras = {};
  GridFill gridFill = GridFill::Zeros;
};

// Takes the sixteen boxes' numbers in a fixed order, forms the coefficients,
// sizes `run`, computes the steady state and marches every step. The first
// fault throws RunError, a box that gives no value in its precision at its
// turn in that order; nothing is rolled back (the run state is then
// incomplete and must not be read).
RunOutcome Calculate(const InputNumbers& numbers, SurgeRun& run,
                     const CalculateOptions& options = {});
// The same of the texts' numbers (ReadInputNumbers).
RunOutcome Calculate(const InputTexts& texts, SurgeRun& run, const CalculateOptions& options = {});

// Calculate in its two halves, for a caller that marches many runs at once
// (MarchBatch): everything before the march (the observer told of step 1),
// then, once the march has filled `run` without a fault, what the outcome
// records of it. Between them the march takes the parameters and
// coefficients of the outcome and MarchExtras(options).
RunOutcome CalculateBeforeMarch(const InputNumbers& numbers, SurgeRun& run,
                                const CalculateOptions& options = {});
void CalculateAfterMarch(const SurgeRun& run, const CalculateOptions& options, RunOutcome& outcome);
// The pump event and area table the march takes: none for the sudden change
// and the constant area.
const ModelExtras* MarchExtras(const CalculateOptions& options);

// The run of `texts` with `extras` up to its steady state alone (one step,
// whatever the step count typed: the time step does not depend on it), into
// `run`; none when a fault comes first. What a check before the run reads of
// it (the profile the march starts from, the forecast of its oscillation).
std::optional<RunOutcome> CalculateSteadyState(const InputTexts& texts, SurgeRun& run,
                                               const ModelExtras& extras);

// The parameters and coefficients of the run of `texts` with `extras`,
// formed as CalculateSteadyState forms them (the reach's head loss with the
// steady state), the grids then dropped; none when a fault comes first. What
// a check reads of a run it does not march (the forebay stability limit).
std::optional<RunOutcome> CalculateCoefficients(const InputTexts& texts,
                                                const ModelExtras& extras = {});

}  // namespace kelvane
