// The run length a case asks of its run under its own model, known before
// it is calculated: the window's 工况 → 计算时长 offers the step counts it
// names.
#pragma once

#include <optional>

#include "model/run_preview.h"
#include "texts/prepared_case.h"

namespace kelvane {

struct CaseRunLength {
  // The rigid column's period and the step counts of periods; for the
  // free-surface and mixed-flow model the column of the model's own step 1
  // (its wetted area and its discharge into the forebay).
  RunLengthPreview preview;
  // The step count whose run decides the forebay checks as the run's
  // summary judges them (ExtremeVerdictTime, the later of the highest and
  // the lowest level): with a node free at step 1 that waits for the surge's
  // round trip after the event too. None when no check waits, or when one
  // cannot be decided by any run length (the surge cannot make its trip).
  std::optional<long long> stepsToDecide;
};

// None when the texts give no steady state or no period (PreviewRunLength),
// or when the mixed model's step 1 fails. A mixed case is run for its step
// 1 alone: the model's steady state, not the run.
std::optional<CaseRunLength> PreviewCaseRunLength(const PreparedCase& prepared);

}  // namespace kelvane
