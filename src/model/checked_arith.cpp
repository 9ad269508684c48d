#include "model/checked_arith.h"

namespace kelvane::detail {

ErrorLocation Site::Location(bool divisionByZero) const {
  ErrorLocation at;
  if (term != Term::None) {
    at.stage = Stage::Coefficients;
    at.term = term;
    // The box is named when its zero value is the divisor.
    if (divisionByZero && divisorBox) {
      at.input = divisorBox;
      at.zeroDivisor = true;
    }
    return at;
  }
  at.stage = step <= 1 ? Stage::SteadyState : Stage::March;
  at.quantity = what;
  at.step = step;
  at.node = node;
  if (divisionByZero && divisorBox) {
    at.input = divisorBox;
    at.zeroDivisor = true;
  }
  return at;
}

void CheckedArith::Fail(ErrorCode code) const { throw RunError(code, site_.Location(false)); }

void CheckedArith::FailDivision(ErrorCode code) const {
  throw RunError(code, site_.Location(true));
}

}  // namespace kelvane::detail
