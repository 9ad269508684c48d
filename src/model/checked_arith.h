// Floating-point operations of the solver, with and without fault checks.
//
// Every formula is written once, against an arithmetic policy: CheckedArith
// tests each result and throws the first fault as a RunError naming the site;
// PlainArith returns the bare results, so the same formula compiles to the
// unchecked arithmetic. Both give bit-identical values on every finite path.
#pragma once

#include <cmath>
#include <optional>

#include "model/errors.h"

namespace kelvane::detail {

// Where an operation stands, for the report: one quantity of one node at one
// step (step 1 is the steady state, later steps the march; node 0 for the
// step's time), or a coefficient; either with the input box whose value
// divides in it.
struct Site {
  Quantity what = Quantity::None;
  int step = 0;
  int node = 0;
  Term term = Term::None;
  std::optional<InputId> divisorBox;

  Site() = default;
  Site(Quantity quantity, int atStep, int atNode, std::optional<InputId> box = std::nullopt)
      : what(quantity), step(atStep), node(atNode), divisorBox(box) {}
  static Site Coefficient(Term coefficient, std::optional<InputId> box = std::nullopt) {
    Site site;
    site.term = coefficient;
    site.divisorBox = box;
    return site;
  }
  ErrorLocation Location(bool divisionByZero) const;
};

class CheckedArith {
 public:
  void At(Site site) { site_ = site; }

  // A double result: an overflow shows as infinity, an invalid operation as NaN.
  double D(double r) const {
    if (!std::isfinite(r)) Fail(ErrorCode::Overflow);
    return r;
  }
  // A single-precision operation's result.
  float F(float r) const {
    if (!std::isfinite(r)) Fail(ErrorCode::Overflow);
    return r;
  }
  // Rounding a double to single; beyond the single range it overflows.
  float S(double r) const { return F(static_cast<float>(D(r))); }
  // Division: a finite non-zero dividend over zero is a division by zero,
  // zero over zero an invalid operation.
  double Div(double a, double b) const {
    if (b == 0) FailDivision(a == 0 ? ErrorCode::Overflow : ErrorCode::DivisionByZero);
    return D(a / b);
  }
  float DivF(float a, float b) const {
    if (b == 0) FailDivision(a == 0 ? ErrorCode::Overflow : ErrorCode::DivisionByZero);
    return F(a / b);
  }

  [[noreturn]] void Fail(ErrorCode code) const;
  // A fault of a division by zero (x/0 or 0/0).
  [[noreturn]] void FailDivision(ErrorCode code) const;

 private:
  Site site_;
};

struct PlainArith {
  void At(Site) {}
  double D(double r) const { return r; }
  float F(float r) const { return r; }
  float S(double r) const { return static_cast<float>(r); }
  double Div(double a, double b) const { return a / b; }
  float DivF(float a, float b) const { return a / b; }
};

}  // namespace kelvane::detail
