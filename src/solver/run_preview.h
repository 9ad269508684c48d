// What a run of the typed inputs would cover, known before it is calculated:
// the window's status line shows it as the user types.
#pragma once

#include <optional>

#include "solver/inputs.h"

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

}  // namespace kelvane
