// Benchmarks of the output part: the number-to-text rule and the result file.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "files/output.h"
#include "model/run_editor.h"

namespace {

// Heads of a few metres either side of 0 up to some hundreds, and times up to
// a few thousand seconds, as a run writes them.
std::vector<float> TypicalValues() {
  std::mt19937 random(20261208);
  std::uniform_real_distribution<float> head(-12.0f, 250.0f);
  std::uniform_real_distribution<float> time(0.0f, 3600.0f);
  std::vector<float> values(1 << 14);
  for (std::size_t i = 0; i < values.size(); ++i)
    values[i] = (i % 4 == 0) ? time(random) : head(random);
  return values;
}

void BM_FormatHundredths(benchmark::State& state) {
  const std::vector<float> values = TypicalValues();
  char buffer[kelvane::kFormatHundredthsMax];
  std::size_t i = 0;
  for (auto _ : state) {
    char* end = kelvane::FormatHundredthsTo(values[i], buffer);
    benchmark::DoNotOptimize(end);
    benchmark::ClobberMemory();
    i = (i + 1) & (values.size() - 1);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_FormatHundredths);

// 1000 reaches by 30000 steps, every step written.
// Saves the result file of `run` over itself in a fresh folder, once per
// iteration, counting the bytes written.
void WriteResultFileRepeatedly(benchmark::State& state, const kelvane::SurgeRun& run,
                               double interval) {
  char folder[] = "/tmp/kelvane-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string path = std::string(folder) + "/result.txt";
  std::int64_t bytes = 0;
  for (auto _ : state) {
    kelvane::WriteResultFile(run, interval, path, kelvane::NoProgress());
    struct stat info {};
    ::stat(path.c_str(), &info);
    bytes += info.st_size;
  }
  state.SetBytesProcessed(bytes);
  ::unlink(path.c_str());
  ::rmdir(folder);
}

void BM_WriteResultFile(benchmark::State& state) {
  constexpr int kReaches = 1000;
  constexpr int kSteps = 30000;
  kelvane::SurgeRun run;
  kelvane::SurgeRunEditor editor(run);
  editor.Resize(kReaches, kSteps);
  float* times = editor.StepTimes();
  for (int step = 1; step <= kSteps; ++step) {
    times[step - 1] = static_cast<float>(step - 1) * 0.1193324f;
    float* heads = editor.HeadsAt(step);
    for (int node = 0; node <= kReaches; ++node) {
      heads[node] = -4.34f - 0.00731f * static_cast<float>(node) +
                    0.37f * static_cast<float>((step * 7 + node * 3) % 101) / 101.0f;
    }
  }

  WriteResultFileRepeatedly(state, run, 1.0);
}
BENCHMARK(BM_WriteResultFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The file a user gets most often: every box at its default text (5 reaches,
// 1500 steps, every fifth written), saved over the previous one. Dominated by
// the file system's own work (creating, flushing, renaming), not by the text.
void BM_WriteDefaultResultFile(benchmark::State& state) {
  kelvane::SurgeRun run;
  const kelvane::RunOutcome outcome = kelvane::Calculate(kelvane::DefaultInputTexts(), run);
  WriteResultFileRepeatedly(state, run, outcome.parameters.OutputInterval);
}
BENCHMARK(BM_WriteDefaultResultFile)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
