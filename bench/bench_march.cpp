// The transient march: node updates per second, checked and unchecked.
#include <benchmark/benchmark.h>

#include <string>

#include "solver/march.h"
#include "solver/solver.h"

namespace {

using kelvane::SurgeRun;

// A default run with `reaches` reaches and `steps` steps, grids filled.
kelvane::RunOutcome Prepare(benchmark::State& state, SurgeRun& run) {
  kelvane::InputTexts texts = kelvane::DefaultInputTexts();
  texts[kelvane::InputId::SegmentCount] = std::to_string(state.range(0));
  texts[kelvane::InputId::StepCount] = std::to_string(state.range(1));
  return kelvane::Calculate(texts, run);
}

void SetNodeUpdates(benchmark::State& state) {
  const double updates = static_cast<double>(state.range(0) + 1) * (state.range(1) - 1);
  state.SetItemsProcessed(static_cast<std::int64_t>(updates * state.iterations()));
}

// Marches the prepared run again and again: `march` is the checked march as
// Calculate runs it, or the baseline with no check of any kind.
template <auto march>
void MarchBenchmark(benchmark::State& state) {
  SurgeRun run;
  const kelvane::RunOutcome outcome = Prepare(state, run);
  for (auto _ : state) {
    march(outcome.parameters, outcome.coefficients, run);
    benchmark::ClobberMemory();
  }
  SetNodeUpdates(state);
}

void BM_March(benchmark::State& state) {
  MarchBenchmark<[](const kelvane::RunParameters& p, const kelvane::SolverCoefficients& c,
                    SurgeRun& run) { kelvane::MarchTransient(p, c, run); }>(state);
}
BENCHMARK(BM_March)->Args({5, 1500})->Args({1000, 30000})->Unit(benchmark::kMillisecond);

void BM_MarchUnchecked(benchmark::State& state) {
  MarchBenchmark<kelvane::MarchTransientUnchecked>(state);
}
BENCHMARK(BM_MarchUnchecked)->Args({5, 1500})->Args({1000, 30000})->Unit(benchmark::kMillisecond);

}  // namespace
