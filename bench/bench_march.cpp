// The transient march: node updates per second, checked and unchecked, for
// each instruction-set variant of its step loop.
//
//   BM_March               the checked march as Calculate runs it (the variant
//                          KELVANE_ISA or the processor selects)
//   BM_March_<variant>     the checked march with each variant this processor
//                          can run
//   BM_MarchUnchecked      the step loop with no check of any kind, built for
//                          the selected variant: the baseline of BM_March
//   BM_MarchScheduled      BM_March with a pump schedule (four units stopping
//                          one after another), the mean discharge of every
//                          step included
//   BM_MarchScheduledTable the same with a forebay level–area table too
//   BM_MarchBatch          16 runs of the grid side by side (MarchBatch), the
//                          forebay area different in each; node updates of
//                          all 16
//
// The label names the variant that ran. peak_rss_MiB is the process's peak
// resident size so far and grids_MiB what the run's grids hold.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "model/march.h"
#include "model/march_batch.h"
#include "model/model.h"

namespace {

using kelvane::MarchIsa;
using kelvane::SurgeRun;

// A default run with `reaches` reaches and `steps` steps, grids filled.
kelvane::RunOutcome Prepare(benchmark::State& state, SurgeRun& run) {
  kelvane::InputTexts texts = kelvane::DefaultInputTexts();
  texts[kelvane::InputId::SegmentCount] = std::to_string(state.range(0));
  texts[kelvane::InputId::StepCount] = std::to_string(state.range(1));
  return kelvane::Calculate(texts, run);
}

void SetCounters(benchmark::State& state, const SurgeRun& run) {
  const double updates = static_cast<double>(state.range(0) + 1) * (state.range(1) - 1);
  state.SetItemsProcessed(static_cast<std::int64_t>(updates * state.iterations()));
  state.counters["node_updates"] =
      benchmark::Counter(updates * state.iterations(), benchmark::Counter::kIsRate);
  constexpr double kMiB = 1024.0 * 1024.0;
  const double gridValues =
      2.0 * run.GridNodes() * static_cast<double>(run.GridSteps()) + run.TimeSteps();
  state.counters["grids_MiB"] = gridValues * sizeof(float) / kMiB;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) * 1024.0 / kMiB;
}

// Marches the prepared run again and again with `march`.
template <class March>
void MarchBenchmark(benchmark::State& state, MarchIsa isa, March march) {
  SurgeRun run;
  const kelvane::RunOutcome outcome = Prepare(state, run);
  for (auto _ : state) {
    march(outcome.parameters, outcome.coefficients, run);
    benchmark::ClobberMemory();
  }
  SetCounters(state, run);
  state.SetLabel(std::string(kelvane::MarchIsaName(isa)));
}

void BM_March(benchmark::State& state) {
  MarchBenchmark(state, kelvane::SelectedMarchIsa(),
                 [](const kelvane::RunParameters& p, const kelvane::SolverCoefficients& c,
                    SurgeRun& run) { kelvane::MarchTransient(p, c, run); });
}
BENCHMARK(BM_March)->Args({5, 1500})->Args({1000, 30000})->Unit(benchmark::kMillisecond);

void BM_MarchUnchecked(benchmark::State& state) {
  const MarchIsa isa = kelvane::SelectedMarchIsa();
  MarchBenchmark(state, isa,
                 [isa](const kelvane::RunParameters& p, const kelvane::SolverCoefficients& c,
                       SurgeRun& run) { kelvane::MarchTransientUnchecked(p, c, run, isa); });
}
BENCHMARK(BM_MarchUnchecked)->Args({5, 1500})->Args({1000, 30000})->Unit(benchmark::kMillisecond);

void BM_MarchBatch(benchmark::State& state) {
  constexpr int kRuns = kelvane::kMarchBatchLanes;
  std::vector<SurgeRun> runs(kRuns);
  std::vector<kelvane::RunOutcome> outcomes;
  for (int k = 0; k < kRuns; ++k) {
    kelvane::InputTexts texts = kelvane::DefaultInputTexts();
    texts[kelvane::InputId::SegmentCount] = std::to_string(state.range(0));
    texts[kelvane::InputId::StepCount] = std::to_string(state.range(1));
    texts[kelvane::InputId::ForebayArea] = std::to_string(900 + 10 * k);
    outcomes.push_back(kelvane::Calculate(texts, runs[k]));
  }
  std::vector<kelvane::MarchLane> lanes(kRuns);
  for (int k = 0; k < kRuns; ++k) {
    lanes[k].parameters = &outcomes[k].parameters;
    lanes[k].coefficients = &outcomes[k].coefficients;
    lanes[k].run = &runs[k];
  }
  for (auto _ : state) {
    kelvane::MarchBatch(lanes);
    benchmark::ClobberMemory();
  }
  const double updates =
      static_cast<double>(state.range(0) + 1) * (state.range(1) - 1) * kRuns * state.iterations();
  state.SetItemsProcessed(static_cast<std::int64_t>(updates));
  state.counters["node_updates"] = benchmark::Counter(updates, benchmark::Counter::kIsRate);
  state.SetLabel(std::string(kelvane::MarchIsaName(kelvane::SelectedMarchIsa())));
}
BENCHMARK(BM_MarchBatch)->Args({5, 1500})->Unit(benchmark::kMillisecond);

kelvane::ModelExtras FourUnitsStopping(bool areaTable) {
  kelvane::ModelExtras extras;
  extras.pump.units = kelvane::UnitSequence{4, -10.4, 0, 30, 10};
  if (areaTable)
    extras.forebay.areaTable = {{-10, 450}, {-8, 720}, {-6, 1080}, {-4, 1530}, {-2, 2070}};
  return extras;
}

void BM_MarchScheduled(benchmark::State& state) {
  const kelvane::ModelExtras extras = FourUnitsStopping(false);
  MarchBenchmark(
      state, kelvane::SelectedMarchIsa(),
      [&](const kelvane::RunParameters& p, const kelvane::SolverCoefficients& c, SurgeRun& run) {
        kelvane::MarchTransient(p, c, run, kelvane::MarchChecking::VerifyEachStep, nullptr,
                                &extras);
      });
}
BENCHMARK(BM_MarchScheduled)->Args({5, 1500})->Args({1000, 30000})->Unit(benchmark::kMillisecond);

void BM_MarchScheduledTable(benchmark::State& state) {
  const kelvane::ModelExtras extras = FourUnitsStopping(true);
  MarchBenchmark(
      state, kelvane::SelectedMarchIsa(),
      [&](const kelvane::RunParameters& p, const kelvane::SolverCoefficients& c, SurgeRun& run) {
        kelvane::MarchTransient(p, c, run, kelvane::MarchChecking::VerifyEachStep, nullptr,
                                &extras);
      });
}
BENCHMARK(BM_MarchScheduledTable)
    ->Args({5, 1500})
    ->Args({1000, 30000})
    ->Unit(benchmark::kMillisecond);

// BM_March_<variant> for each variant this processor can run.
const bool kVariantsRegistered = [] {
  for (const MarchIsa isa : kelvane::SupportedMarchIsas()) {
    const std::string name = "BM_March_" + std::string(kelvane::MarchIsaName(isa));
    benchmark::RegisterBenchmark(
        name.c_str(),
        [isa](benchmark::State& state) {
          MarchBenchmark(
              state, isa,
              [isa](const kelvane::RunParameters& p, const kelvane::SolverCoefficients& c,
                    SurgeRun& run) { kelvane::MarchTransient(p, c, run, isa); });
        })
        ->Args({1000, 30000})
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
