// The transient march: steps 2..StepCount of the grids from step 1.
#pragma once

#include <string_view>
#include <vector>

#include "model/inputs.h"
#include "model/march_settings.h"
#include "model/pump_event.h"
#include "model/run_state.h"

namespace kelvane {

// The instruction sets the march's fast step loop is built for. Each variant
// runs the same operations in the same order, lane by lane, and gives the same
// bits; only the vector width differs. The fully checked steps (the reference,
// and the re-run that reports a fault) always run the baseline build.
enum class MarchIsa {
  Baseline,  // x86-64: SSE2
  Avx2,      // AVX2 (the processor must have AVX2)
  Avx512,    // AVX-512 F, CD, BW, DQ and VL (512-bit vectors)
};

// "baseline", "avx2", "avx512": the names KELVANE_ISA takes.
std::string_view MarchIsaName(MarchIsa isa);

// The variants this processor (and its operating system) can run, in the
// order of the enum: Baseline first, then each wider set as long as the
// narrower ones are there too.
std::vector<MarchIsa> SupportedMarchIsas();

// The variant that `requested`, a value of KELVANE_ISA, selects when `best` is
// the widest variant the processor can run: the named variant, but never one
// wider than `best` (a variant the processor lacks falls back to `best`); an
// empty or unknown name selects `best`.
MarchIsa ResolveMarchIsa(std::string_view requested, MarchIsa best);

// The variant MarchTransient runs: the environment variable KELVANE_ISA
// resolved against this processor as above. Read at each call.
MarchIsa SelectedMarchIsa();

// Fills steps 2..StepCount of both grids and of StepTimes. The grids must be
// sized for `run.SegmentCount()` and `run.StepCount()`, with step 1 filled.
// `observer`, when set, is told of each block of finished steps; `extras`,
// when set, gives the pump event and the forebay area table. Runs the
// variant SelectedMarchIsa() names.
void MarchTransient(const RunParameters& parameters, const SolverCoefficients& coefficients,
                    SurgeRun& run, MarchChecking checking = MarchChecking::VerifyEachStep,
                    const StepBlockObserver* observer = nullptr,
                    const ModelExtras* extras = nullptr);

// The same with the fast step loop of variant `isa`, for tests and
// benchmarks; a variant wider than the processor can run is replaced by the
// widest it can.
void MarchTransient(const RunParameters& parameters, const SolverCoefficients& coefficients,
                    SurgeRun& run, MarchIsa isa,
                    MarchChecking checking = MarchChecking::VerifyEachStep,
                    const StepBlockObserver* observer = nullptr,
                    const ModelExtras* extras = nullptr);

// The same step loop with no check of any kind, built with the same flags
// for variant `isa` (replaced as above): the baseline that the checked
// march's speed is measured against.
void MarchTransientUnchecked(const RunParameters& parameters,
                             const SolverCoefficients& coefficients, SurgeRun& run, MarchIsa isa,
                             const ModelExtras* extras = nullptr);

}  // namespace kelvane
