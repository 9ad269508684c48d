// Which operating case governs a design check: the worst of the cases'
// verdicts, and among equal verdicts the one nearest to failing (or failing
// by most). Qt-free.
#pragma once

#include <cstddef>
#include <span>

#include "evaluation/design_checks.h"

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

}  // namespace kelvane
