#include "run/case_run_length.h"

#include <algorithm>
#include <string>

#include "evaluation/report.h"
#include "run/mixed_case.h"
#include "run/run_case.h"

namespace kelvane {

namespace {

// The step count that decides both forebay extremes of a summary, as its
// design checks wait for them; none when neither waits or one never can.
std::optional<long long> StepsToDecide(const RunSummary& s) {
  std::optional<double> decide;
  for (const bool highest : {true, false}) {
    const std::optional<VerdictTime> t = ExtremeVerdictTime(s, highest);
    if (!t) continue;
    if (!t->time) return std::nullopt;
    decide = std::max(decide.value_or(0), *t->time);
  }
  if (!decide) return std::nullopt;
  return StepsToReach(s, *decide);
}

}  // namespace

std::optional<CaseRunLength> PreviewCaseRunLength(const PreparedCase& prepared) {
  if (prepared.extras.model != MarchModel::Mixed) {
    const std::optional<RunLengthPreview> length =
        PreviewRunLength(prepared.typed.texts, prepared.extras);
    if (!length) return std::nullopt;
    return CaseRunLength{*length, length->StepsToDecide()};
  }
  // The grid and the step count typed as the model's run reads them.
  std::optional<RunLengthPreview> length =
      PreviewRunLength(MixedRunTexts(prepared), prepared.extras);
  if (!length) return std::nullopt;
  // Step 1 of the model: its column, its forebay level and the surge's
  // round trip, which the summary forecasts and judges from.
  InputTexts firstStep = prepared.typed.texts;
  firstStep[InputId::StepCount] = std::string(1, '1');
  const CaseRun run = RunCase(WithBoxes(prepared, firstStep));
  if (!run.summary || !run.summary->oscillation) return std::nullopt;
  length->oscillation = *run.summary->oscillation;
  return CaseRunLength{*length, StepsToDecide(*run.summary)};
}

}  // namespace kelvane
