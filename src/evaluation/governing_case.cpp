#include "evaluation/governing_case.h"

namespace kelvane {

CheckVerdict VerdictOf(const CheckRow& row) { return row.verdict; }

double CheckMargin(const CheckRow& row) {
  const bool atMost = Field(row.kind).atMost;
  return atMost ? double(row.limit) - double(row.value) : double(row.value) - double(row.limit);
}

CaseCheck CaseCheckOf(std::size_t caseIndex, const CheckRow& row) {
  return {caseIndex, VerdictOf(row), CheckMargin(row)};
}

std::size_t GoverningCheck(std::span<const CaseCheck> checks) {
  std::size_t governing = 0;
  for (std::size_t i = 1; i < checks.size(); ++i) {
    const CaseCheck& c = checks[i];
    const CaseCheck& g = checks[governing];
    if (c.verdict != g.verdict) {
      if (c.verdict < g.verdict) governing = i;
      continue;
    }
    // Within one verdict the margin decides where it means something: the
    // largest shortfall, the least margin kept.
    const bool byMargin = c.verdict == CheckVerdict::Fail || c.verdict == CheckVerdict::Pass;
    if (byMargin && c.margin < g.margin) governing = i;
  }
  return governing;
}

}  // namespace kelvane
