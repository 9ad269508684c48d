#include "solver/march.h"

#include <algorithm>
#include <string>

#include "solver/march_kernel.h"

namespace kelvane {

namespace {

// Step j with every operation checked. The row is cleared first, so that a
// fault leaves what the plain order of work would: the values before the
// fault written, the rest of the step still zero.
void CheckedStep(const detail::MarchConstants& k, int n, int j, SurgeRun& run) {
  float* h = run.MutableHeadsAt(j);
  float* v = run.MutableVelocitiesAt(j);
  float& time = run.MutableStepTimes()[j - 1];
  std::fill(h, h + n + 1, 0.0f);
  std::fill(v, v + n + 1, 0.0f);
  time = 0.0f;
  detail::CheckedArith arith;
  detail::MarchStep<false>(k, n, j, run.MutableHeadsAt(j - 1), run.MutableVelocitiesAt(j - 1), h, v,
                           time, arith);
}

}  // namespace

void MarchTransient(const RunParameters& parameters, const SolverCoefficients& coefficients,
                    SurgeRun& run, MarchChecking checking) {
  const int n = run.SegmentCount;
  const int last = run.StepCount;  // read once, when the loop starts
  if (last < 2) return;

  // The indices of the march are affine in its 16-bit counters: node i-1..i+1
  // for i in 2..n, nodes 1, 2, n, n+1, steps j-1 and j for j in 2..N, and the
  // counter j+1 after the last step. Every one of them lies inside the grids
  // and the 16-bit range exactly when these bounds hold, so they are checked
  // here once instead of at each access.
  if (n + 1 > 32767 || last + 1 > 32767) {
    throw RunError(ErrorCode::Overflow, "第 " + std::to_string(last) + " 时段（时段计数）");
  }
  if (n < 1 || run.GridNodes() != n + 1 || run.GridSteps() < last || run.TimeSteps() < last) {
    throw RunError(ErrorCode::SubscriptOutOfRange,
                   "第 2 时段，节点 " + std::to_string(std::max(n + 1, 1)) + "（网格大小）");
  }

  const detail::MarchConstants k = detail::MarchConstantsOf(parameters, coefficients);
  float* times = run.MutableStepTimes();
  float* prevH = run.MutableHeadsAt(1);
  float* prevV = run.MutableVelocitiesAt(1);
  const std::size_t stride = static_cast<std::size_t>(n) + 1;

  for (int j = 2; j <= last; ++j) {
    float* h = prevH + stride;
    float* v = prevV + stride;
    if (checking == MarchChecking::EveryOperation) {
      CheckedStep(k, n, j, run);
    } else {
      detail::PlainArith arith;
      if (detail::MarchStep<true>(k, n, j, prevH, prevV, h, v, times[j - 1], arith)) {
        CheckedStep(k, n, j, run);
        // Not reached: a non-finite value always comes from a checked fault.
        throw RunError(ErrorCode::Overflow, "第 " + std::to_string(j) + " 时段");
      }
    }
    prevH = h;
    prevV = v;
  }
}

}  // namespace kelvane
