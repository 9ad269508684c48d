#include "model/march.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/march_kernel.h"
#include "model/run_editor.h"

// The AVX2 and AVX-512 variants of the step loop exist on x86-64 only;
// elsewhere every MarchIsa runs the baseline build.
#if defined(__x86_64__)
#define KELVANE_MARCH_X86 1
#endif

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
  const double time = static_cast<double>(j - 1) * k.timeStep;
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
// 0. The verified and the unchecked march run this same loop, in every
// instruction-set variant below.
template <detail::Verify kVerify>
[[gnu::always_inline]] inline int FastSteps(const detail::MarchConstants& k, int n, int first,
                                            int last, SurgeRunEditor& run) {
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

// The variants of FastSteps. Each is FastSteps inlined whole (flatten) into a
// function built for its instruction set by GCC's target attribute; the rest
// of the program, the inline functions that FastSteps calls included, keeps
// the baseline flags, so an instruction of a wider set can run only inside
// these functions, which are called only when the processor has the set
// (separate objects built with -mavx2 would also hold AVX2 copies of shared
// inline functions, of which the linker may keep any one for every caller).
// The flags of this file apply to each: the attribute only adds instruction
// sets (AVX-512F brings FMA), and -ffp-contract=off keeps any product from
// being fused, so every lane rounds as the scalar code does.
using FastStepsFunction = int (*)(const detail::MarchConstants&, int, int, int, SurgeRunEditor&);

template <detail::Verify kVerify>
[[gnu::flatten]] int FastStepsBaseline(const detail::MarchConstants& k, int n, int first, int last,
                                       SurgeRunEditor& run) {
  return FastSteps<kVerify>(k, n, first, last, run);
}

#ifdef KELVANE_MARCH_X86
template <detail::Verify kVerify>
[[gnu::target("avx2"), gnu::flatten]] int FastStepsAvx2(const detail::MarchConstants& k, int n,
                                                        int first, int last, SurgeRunEditor& run) {
  return FastSteps<kVerify>(k, n, first, last, run);
}

template <detail::Verify kVerify>
[[gnu::target("avx2,avx512f,avx512cd,avx512bw,avx512dq,avx512vl"), gnu::flatten]] int
FastStepsAvx512(const detail::MarchConstants& k, int n, int first, int last, SurgeRunEditor& run) {
  return FastSteps<kVerify>(k, n, first, last, run);
}
#endif

// One variant's FastSteps for each verification.
struct FastStepsVariant {
  FastStepsFunction none;
  FastStepsFunction boundaries;
  FastStepsFunction all;
};

// The widest variant this processor and its operating system can run (the
// checks include the operating system's saving of the wider registers).
MarchIsa WidestSupported() {
#ifdef KELVANE_MARCH_X86
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("avx2")) return MarchIsa::Baseline;
  if (!(__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512cd") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vl")))
    return MarchIsa::Avx2;
  return MarchIsa::Avx512;
#else
  return MarchIsa::Baseline;
#endif
}

// The functions of variant `isa`, replaced by the widest supported variant
// when the processor cannot run it.
FastStepsVariant VariantOf(MarchIsa isa) {
  switch (std::min(isa, WidestSupported())) {
#ifdef KELVANE_MARCH_X86
    case MarchIsa::Avx512:
      return {FastStepsAvx512<detail::Verify::None>, FastStepsAvx512<detail::Verify::Boundaries>,
              FastStepsAvx512<detail::Verify::All>};
    case MarchIsa::Avx2:
      return {FastStepsAvx2<detail::Verify::None>, FastStepsAvx2<detail::Verify::Boundaries>,
              FastStepsAvx2<detail::Verify::All>};
#endif
    default:
      return {FastStepsBaseline<detail::Verify::None>,
              FastStepsBaseline<detail::Verify::Boundaries>,
              FastStepsBaseline<detail::Verify::All>};
  }
}

// Steps of a block: 64 steps of a 1000-reach grid (512 KiB of heads and
// velocities) still sit in the second-level cache when the observer reads
// them.
constexpr int kObservedBlock = 64;

// `steps` (one of a variant's FastSteps) over first..last, telling
// `observer` of each block that passed its verification.
int ObservedFastSteps(FastStepsFunction steps, const detail::MarchConstants& k, int n, int first,
                      int last, SurgeRunEditor& run, const StepBlockObserver* observer) {
  if (observer == nullptr || !*observer) return steps(k, n, first, last, run);
  for (int from = first; from <= last; from += kObservedBlock) {
    const int to = std::min(last, from + kObservedBlock - 1);
    if (const int failed = steps(k, n, from, to, run)) return failed;
    (*observer)(from, to);
  }
  return 0;
}

// The march's constants with the pump event and the area table of `extras`:
// the mean pump discharge of every step 2..last goes into `pumpDischarges`
// (step j covers the times (j-2)dt to (j-1)dt, exact in double), unless the
// event is the sudden change.
detail::MarchConstants ConstantsWith(const RunParameters& p, const SolverCoefficients& c,
                                     const ModelExtras* extras, int last,
                                     std::vector<double>& pumpDischarges) {
  detail::MarchConstants k = detail::MarchConstantsOf(p, c);
  if (extras == nullptr) return k;
  const PumpDischarge law(extras->pump, p.SteadyDischarge, p.FinalPumpDischarge);
  if (!law.Sudden()) {
    pumpDischarges.assign(static_cast<std::size_t>(last) + 1, 0.0);
    for (int j = 2; j <= last; ++j) {
      pumpDischarges[j] = law.StepMean(j, k.timeStep);
    }
    k.pumpDischarges = pumpDischarges.data();
  }
  k.areaTable = extras->forebay.areaTable;
  return k;
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

std::string_view MarchIsaName(MarchIsa isa) {
  switch (isa) {
    case MarchIsa::Baseline:
      return "baseline";
    case MarchIsa::Avx2:
      return "avx2";
    case MarchIsa::Avx512:
      return "avx512";
  }
  return "";
}

std::vector<MarchIsa> SupportedMarchIsas() {
  std::vector<MarchIsa> isas;
  const MarchIsa widest = WidestSupported();
  for (MarchIsa isa : {MarchIsa::Baseline, MarchIsa::Avx2, MarchIsa::Avx512})
    if (isa <= widest) isas.push_back(isa);
  return isas;
}

MarchIsa ResolveMarchIsa(std::string_view requested, MarchIsa best) {
  for (MarchIsa isa : {MarchIsa::Baseline, MarchIsa::Avx2, MarchIsa::Avx512})
    if (requested == MarchIsaName(isa)) return std::min(isa, best);
  return best;
}

MarchIsa SelectedMarchIsa() {
  const char* requested = std::getenv("KELVANE_ISA");
  return ResolveMarchIsa(requested != nullptr ? requested : "", WidestSupported());
}

void MarchTransient(const RunParameters& parameters, const SolverCoefficients& coefficients,
                    SurgeRun& run, MarchChecking checking, const StepBlockObserver* observer,
                    const ModelExtras* extras) {
  MarchTransient(parameters, coefficients, run, SelectedMarchIsa(), checking, observer, extras);
}

void MarchTransient(const RunParameters& parameters, const SolverCoefficients& coefficients,
                    SurgeRun& state, MarchIsa isa, MarchChecking checking,
                    const StepBlockObserver* observer, const ModelExtras* extras) {
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
  if (!GridsHoldRun(state)) ThrowGridsDoNotHoldRun(state);

  std::vector<double> pumpDischarges;
  const detail::MarchConstants k =
      ConstantsWith(parameters, coefficients, extras, last, pumpDischarges);
  if (checking == MarchChecking::EveryOperation) {
    CheckedSteps(k, n, 2, last, run);
    if (observer != nullptr && *observer) (*observer)(2, last);
    return;
  }

  // The fast road. The only divisors of a step are the constant B and the
  // forebay area (Af, or a table's area, which is > 0 and finite), so a
  // fault (overflow, division by zero, invalid operation) always leaves an
  // infinity or a NaN, and every operation of the step carries it on into a
  // stored value. A non-finite head or velocity at interior node i makes
  // both values of nodes i-1 and i+1 non-finite one step later, so it reaches
  // node 2 or node n within n-2 steps and the velocity of node 1 or n+1 one
  // step after that. Only the time and the boundary values are therefore
  // tested each step: when a test first fails at step m, the first fault lies
  // in steps m-n..m, which are run again with every operation checked to
  // report it exactly. The last n steps, whose faults may not reach a
  // boundary before the march ends, are tested in full as they are computed.
  const FastStepsVariant fast = VariantOf(isa);
  const int fullFrom = std::max(2, last - n);
  int failed = ObservedFastSteps(fast.boundaries, k, n, 2, fullFrom - 1, run, observer);
  if (failed == 0) failed = ObservedFastSteps(fast.all, k, n, fullFrom, last, run, observer);
  if (failed != 0) {
    CheckedSteps(k, n, std::max(2, failed - n), failed, run);
    Unexplained(failed);
  }
}

void MarchTransientUnchecked(const RunParameters& parameters,
                             const SolverCoefficients& coefficients, SurgeRun& state, MarchIsa isa,
                             const ModelExtras* extras) {
  SurgeRunEditor run(state);
  std::vector<double> pumpDischarges;
  VariantOf(isa).none(
      ConstantsWith(parameters, coefficients, extras, state.StepCount(), pumpDischarges),
      state.SegmentCount(), 2, state.StepCount(), run);
}

}  // namespace kelvane
