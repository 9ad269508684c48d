#include "solver/march.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "solver/march_kernel.h"
#include "solver/run_editor.h"

namespace kelvane {

namespace {

void ClearStep(SurgeRunEditor& run, int n, int j) {
  float* h = run.HeadsAt(j);
  float* v = run.VelocitiesAt(j);
  std::fill(h, h + n + 1, 0.0f);
  std::fill(v, v + n + 1, 0.0f);
  run.StepTimes()[j - 1] = 0.0f;
}

// The fault of step j, with the step's time added to its location.
[[noreturn]] void RethrowWithTime(const RunError& error, const detail::MarchConstants& k, int j) {
  ErrorLocation at = error.location();
  const double time = static_cast<double>(j - 1) * k.dt;
  if (std::isfinite(static_cast<float>(time))) at.time = static_cast<float>(time);
  throw RunError(error.code(), at);
}

// Steps first..last with every operation checked. The first fault throws;
// the failing step keeps what was computed before the fault and every step
// after it is cleared, which is what the plain order of work leaves.
void CheckedSteps(const detail::MarchConstants& k, int n, int first, int last,
                  SurgeRunEditor& run) {
  for (int j = first; j <= last; ++j) {
    ClearStep(run, n, j);
    detail::CheckedArith arith;
    try {
      detail::MarchStep<detail::Verify::None>(k, n, j, run.HeadsAt(j - 1), run.VelocitiesAt(j - 1),
                                              run.HeadsAt(j), run.VelocitiesAt(j),
                                              run.StepTimes()[j - 1], arith);
    } catch (const RunError& error) {
      for (int later = j + 1; later <= last; ++later) ClearStep(run, n, later);
      RethrowWithTime(error, k, j);
    }
  }
}

// Steps first..last with no per-operation checks, each verified as `kVerify`
// says. Returns the first step whose verified values are not all finite, or
// 0. The verified and the unchecked march run this same loop.
template <detail::Verify kVerify>
int FastSteps(const detail::MarchConstants& k, int n, int first, int last, SurgeRunEditor& run) {
  if (first > last) return 0;
  float* times = run.StepTimes();
  float* prevH = run.HeadsAt(first - 1);
  float* prevV = run.VelocitiesAt(first - 1);
  const std::size_t stride = static_cast<std::size_t>(n) + 1;
  detail::PlainArith arith;
  for (int j = first; j <= last; ++j) {
    float* h = prevH + stride;
    float* v = prevV + stride;
    if (detail::MarchStep<kVerify>(k, n, j, prevH, prevV, h, v, times[j - 1], arith)) return j;
    prevH = h;
    prevV = v;
  }
  return 0;
}

// Steps of a block: 64 steps of a 1000-reach grid (512 KiB of heads and
// velocities) still sit in the second-level cache when the observer reads
// them.
constexpr int kObservedBlock = 64;

// FastSteps over first..last, telling `observer` of each block that passed
// its verification.
template <detail::Verify kVerify>
int ObservedFastSteps(const detail::MarchConstants& k, int n, int first, int last,
                      SurgeRunEditor& run, const StepBlockObserver* observer) {
  if (observer == nullptr || !*observer) return FastSteps<kVerify>(k, n, first, last, run);
  for (int from = first; from <= last; from += kObservedBlock) {
    const int to = std::min(last, from + kObservedBlock - 1);
    if (const int failed = FastSteps<kVerify>(k, n, from, to, run)) return failed;
    (*observer)(from, to);
  }
  return 0;
}

[[noreturn]] void Unexplained(int step) {
  // Not reached: a non-finite value always comes from a fault that the
  // checked steps report.
  ErrorLocation at;
  at.stage = Stage::March;
  at.step = step;
  throw RunError(ErrorCode::Overflow, at);
}

}  // namespace

void MarchTransient(const RunParameters& parameters, const SolverCoefficients& coefficients,
                    SurgeRun& state, MarchChecking checking, const StepBlockObserver* observer) {
  SurgeRunEditor run(state);
  const int n = state.SegmentCount();
  const int last = state.StepCount();  // read once, when the loop starts
  if (last < 2) return;

  // The indices of the march are affine in its 16-bit counters: node i-1..i+1
  // for i in 2..n, nodes 1, 2, n, n+1, steps j-1 and j for j in 2..N, and the
  // counter j+1 after the last step. Every one of them lies inside the grids
  // and the 16-bit range exactly when these bounds hold, so they are checked
  // here once instead of at each access.
  if (n + 1 > 32767 || last + 1 > 32767) {
    ErrorLocation at;
    at.stage = Stage::March;
    at.step = last;
    at.input = InputId::StepCount;
    throw RunError(ErrorCode::Overflow, at);
  }
  if (n < 1 || state.GridNodes() != n + 1 || state.GridSteps() < last || state.TimeSteps() < last) {
    ErrorLocation at;
    at.stage = Stage::March;
    at.step = 2;
    at.node = std::max(n + 1, 1);
    at.input = InputId::SegmentCount;
    throw RunError(ErrorCode::SubscriptOutOfRange, at);
  }

  const detail::MarchConstants k = detail::MarchConstantsOf(parameters, coefficients);
  if (checking == MarchChecking::EveryOperation) {
    CheckedSteps(k, n, 2, last, run);
    if (observer != nullptr && *observer) (*observer)(2, last);
    return;
  }

  // The fast road. The only divisors of a step are the constants B and Af,
  // so a fault (overflow, division by zero, invalid operation) always leaves
  // an infinity or a NaN, and every operation of the step carries it on into
  // a stored value. A non-finite head or velocity at interior node i makes
  // both values of nodes i-1 and i+1 non-finite one step later, so it reaches
  // node 2 or node n within n-2 steps and the velocity of node 1 or n+1 one
  // step after that. Only the time and the boundary values are therefore
  // tested each step: when a test first fails at step m, the first fault lies
  // in steps m-n..m, which are run again with every operation checked to
  // report it exactly. The last n steps, whose faults may not reach a
  // boundary before the march ends, are tested in full as they are computed.
  const int fullFrom = std::max(2, last - n);
  int failed = ObservedFastSteps<detail::Verify::Boundaries>(k, n, 2, fullFrom - 1, run, observer);
  if (failed == 0) {
    failed = ObservedFastSteps<detail::Verify::All>(k, n, fullFrom, last, run, observer);
  }
  if (failed != 0) {
    CheckedSteps(k, n, std::max(2, failed - n), failed, run);
    Unexplained(failed);
  }
}

void MarchTransientUnchecked(const RunParameters& parameters,
                             const SolverCoefficients& coefficients, SurgeRun& state) {
  SurgeRunEditor run(state);
  FastSteps<detail::Verify::None>(detail::MarchConstantsOf(parameters, coefficients),
                                  state.SegmentCount(), 2, state.StepCount(), run);
}

}  // namespace kelvane
