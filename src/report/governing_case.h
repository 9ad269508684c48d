// Which operating case governs a design check: the worst of the cases'
// verdicts, and among equal verdicts the one nearest to failing (or failing
// by most). Qt-free.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "report/design_checks.h"
#include "solver/calculate.h"
#include "solver/design_data.h"

namespace kelvane {

// One case's result of one check.
struct CaseCheck {
  std::size_t caseIndex = 0;
  CheckVerdict verdict = CheckVerdict::Pass;
  double margin = 0;  // m: how far the value keeps within its limit; negative, the shortfall
};

// The verdict and margin of a check's row: limit less value for the checks
// that hold a value down (highest forebay level, design pressure), value
// less limit for the others.
CheckVerdict VerdictOf(const CheckRow& row);
double CheckMargin(const CheckRow& row);
CaseCheck CaseCheckOf(std::size_t caseIndex, const CheckRow& row);

// The index into `checks` (not empty) of the governing one: the worst
// verdict; among cases that fail the largest shortfall, among cases that
// pass the least margin; on a tie, the first.
std::size_t GoverningCheck(std::span<const CaseCheck> checks);

// An input a failing check's measure may name when the cases vary it.
enum class VariedItem {
  RampTime,     // the pump's ramp time Tc, s
  ForebayArea,  // the forebay's area, m²: the smallest of its level–area table when given
};
double VariedValue(const RunOutcome& outcome, VariedItem item);

// What a case was computed from, as far as its verdicts go: the run's
// parameters, pump event, area table and model, and the design data.
struct CaseGiven {
  const RunOutcome* outcome = nullptr;
  const DesignData* design = nullptr;
};

// Whether two cases differ in `item` alone: its values differ, every other
// parameter, the event, the model and the design data are the same.
bool DifferInAlone(const CaseGiven& a, const CaseGiven& b, VariedItem item);

// The case (a caseIndex, `given` being indexed by it) of least value of
// `item` among the cases that pass the check and differ from the governing
// one (checks[governing]) in that item alone; none when no such case
// passes. A case that also differs in another input shows nothing of what
// the item alone does.
std::optional<std::size_t> LeastPassingAlone(std::span<const CaseCheck> checks,
                                             std::size_t governing,
                                             std::span<const CaseGiven> given, VariedItem item);

}  // namespace kelvane
