#include "solver/run_preview.h"

#include <cstdint>
#include <exception>
#include <string>

#include "solver/solver.h"
#include "solver/stability.h"

namespace kelvane {

std::optional<RunPreview> PreviewRun(const InputTexts& texts) {
  std::int16_t steps = 0;
  if (!ToInt16(ReadLeadingNumber(texts[InputId::StepCount]), steps) || steps < 1 || steps == 32767)
    return std::nullopt;
  // One step stops after the steady state; the time step does not depend on
  // the count.
  InputTexts probe = texts;
  probe[InputId::StepCount] = std::string(1, '1');
  try {
    SurgeRun run;
    const RunOutcome outcome = Calculate(probe, run);
    const RunParameters& p = outcome.parameters;
    RunPreview preview;
    preview.timeStep = outcome.coefficients.TimeStep;
    preview.duration = (steps - 1) * preview.timeStep;
    preview.waveReturn = 2.0 * double(p.CulvertLength) / double(p.WaveSpeed);
    preview.stabilityLimit = ForebayStabilityLimit(p, outcome.coefficients);
    return preview;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace kelvane
