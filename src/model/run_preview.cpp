#include "model/run_preview.h"

#include <algorithm>
#include <cstdint>

#include "model/model.h"
#include "model/stability.h"

namespace kelvane {

std::optional<RunPreview> PreviewRun(const InputTexts& texts) {
  std::int16_t steps = 0;
  if (!ToInt16(ReadLeadingNumber(texts[InputId::StepCount]), steps) || steps < 1 || steps == 32767)
    return std::nullopt;
  RunPreview preview;
  std::optional<RunOutcome> outcome = CalculateCoefficients(texts);
  if (!outcome) {
    // The grid's figures need only the culvert's length, its reaches and the
    // wave speed (the limit the culvert's area too): formed with every other
    // box at its default, they are this run's own even though its steady
    // state fails (a hydraulic radius of 0, say).
    preview.steadyState = false;
    InputTexts grid = DefaultInputTexts();
    for (const InputId id : {InputId::SegmentCount, InputId::WaveSpeed, InputId::CulvertLength})
      grid[id] = texts[id];
    outcome = CalculateCoefficients(grid);
    if (!outcome) return std::nullopt;
    outcome->parameters.CulvertArea = ReadLeadingNumber(texts[InputId::CulvertArea]);
  }
  const RunParameters& p = outcome->parameters;
  preview.timeStep = outcome->coefficients.TimeStep;
  preview.duration = (steps - 1) * preview.timeStep;
  preview.waveReturn = 2.0 * double(p.CulvertLength) / double(p.WaveSpeed);
  preview.stabilityLimit = ForebayStabilityLimit(p, outcome->coefficients);
  return preview;
}

std::optional<RunLengthPreview> PreviewRunLength(const InputTexts& texts,
                                                 const ModelExtras& extras) {
  std::int16_t steps = 0;
  if (!ToInt16(ReadLeadingNumber(texts[InputId::StepCount]), steps) || steps < 1 || steps == 32767)
    return std::nullopt;
  // The steady state the run starts from, with its own model.
  SurgeRun run;
  const std::optional<RunOutcome> outcome = CalculateSteadyState(texts, run, extras);
  if (!outcome) return std::nullopt;
  const std::optional<OscillationForecast> forecast =
      ForecastOscillation(outcome->parameters, extras, run);
  if (!forecast) return std::nullopt;
  RunLengthPreview preview;
  preview.oscillation = *forecast;
  preview.timeStep = outcome->coefficients.TimeStep;
  preview.duration = (steps - 1) * preview.timeStep;
  if (extras.model == MarchModel::Classic)
    preview.classicDrift = ClassicDrift(outcome->parameters, outcome->coefficients, run);
  return preview;
}

long long RunLengthPreview::StepsForPeriods(double periods) const {
  return StepsToReach(periods * oscillation.period, timeStep);
}

std::optional<long long> RunLengthPreview::StepsToDecide() const {
  const OscillationForecast& f = oscillation;
  if (!f.firstHighestTime && !f.firstLowestTime) return std::nullopt;
  const double last = std::max(f.firstHighestTime.value_or(0), f.firstLowestTime.value_or(0));
  return StepsToReach(last + f.period / 10, timeStep);
}

}  // namespace kelvane
