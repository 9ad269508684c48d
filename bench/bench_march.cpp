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
  texts[3] = std::to_string(state.range(0));
  texts[4] = std::to_string(state.range(1));
  return kelvane::Calculate(texts, run);
}

void SetNodeUpdates(benchmark::State& state) {
  const double updates = static_cast<double>(state.range(0) + 1) * (state.range(1) - 1);
  state.SetItemsProcessed(static_cast<std::int64_t>(updates * state.iterations()));
}

// The march as Calculate runs it: every fault checked.
void BM_March(benchmark::State& state) {
  SurgeRun run;
  const kelvane::RunOutcome outcome = Prepare(state, run);
  for (auto _ : state) {
    kelvane::MarchTransient(outcome.parameters, outcome.coefficients, run);
    benchmark::ClobberMemory();
  }
  SetNodeUpdates(state);
}
BENCHMARK(BM_March)->Args({5, 1500})->Args({1000, 30000})->Unit(benchmark::kMillisecond);

// The baseline: the same step loop with no check of any kind.
void BM_MarchUnchecked(benchmark::State& state) {
  SurgeRun run;
  const kelvane::RunOutcome outcome = Prepare(state, run);
  for (auto _ : state) {
    kelvane::MarchTransientUnchecked(outcome.parameters, outcome.coefficients, run);
    benchmark::ClobberMemory();
  }
  SetNodeUpdates(state);
}
BENCHMARK(BM_MarchUnchecked)->Args({5, 1500})->Args({1000, 30000})->Unit(benchmark::kMillisecond);

}  // namespace
