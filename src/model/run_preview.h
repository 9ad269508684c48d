// What a run of the typed inputs would cover, known before it is calculated:
// the window's status line shows it as the user types.
#pragma once

#include <optional>

#include "model/inputs.h"
#include "model/pump_event.h"
#include "model/rigid_column.h"

namespace kelvane {

struct RunPreview {
  double timeStep = 0;        // s, L / (N a) as the run forms it (a single)
  double duration = 0;        // s, the time of the last step, (StepCount - 1) time steps
  double waveReturn = 0;      // s, 2L/a: the wave's way to the far end and back
  double stabilityLimit = 0;  // m², the smallest forebay area that stays stable
  bool steadyState = true;    // whether the steady state forms; the grid's figures do without
};

// The preview of the run the texts give; none when they give no grid (a step
// count outside 1..32766, no reach, a wave speed of 0, ...). The boxes are
// read and the coefficients formed exactly as Calculate does; where the
// steady state fails (a hydraulic radius of 0), the figures of the grid are
// still given.
std::optional<RunPreview> PreviewRun(const InputTexts& texts);

// The run length the mass oscillation asks of the run the texts give with
// `extras` (the pump event, the area table and the model), known from its
// steady state: the rigid column's forecast (ForecastOscillation), the time
// step and duration of the step count typed and, with the classic model,
// its no-change drift (ClassicDrift). None when the texts give no steady
// state or no period.
struct RunLengthPreview {
  OscillationForecast oscillation;
  double timeStep = 0;                 // s
  double duration = 0;                 // s, of the step count typed
  std::optional<double> classicDrift;  // m
  // The step count whose run covers `periods` periods; the step count whose
  // run reaches both first extremes plus a tenth of the period (what the
  // design checks ask to decide), none when the level does not turn.
  long long StepsForPeriods(double periods) const;
  std::optional<long long> StepsToDecide() const;
};
std::optional<RunLengthPreview> PreviewRunLength(const InputTexts& texts,
                                                 const ModelExtras& extras);

}  // namespace kelvane
