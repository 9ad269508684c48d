// Design studies: 10,000 cases of the default grid with the forebay area
// swept (600 to 2599.8 m² by 0.2), against 10,000 bare Calculate calls with
// the envelope gathered as the batch mode gathers it. Cases per second, and
// node_updates: those cases' node updates per second (6 nodes by 1,499 march
// steps each), to set beside BM_March's of one large run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "evaluation/report.h"
#include "model/model.h"
#include "study/study.h"

namespace {

constexpr const char* kSweep = "forebay-area=600:2599.8:0.2";
constexpr std::int64_t kCases = 10'000;

// The default grid's node updates per case: 6 nodes by 1,499 march steps.
constexpr double kCaseNodeUpdates = 6.0 * 1499.0;

void SetCases(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kCases);
  state.counters["node_updates"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kCases * kCaseNodeUpdates,
                         benchmark::Counter::kIsRate);
}

// The same texts through Calculate and the summary, one after another, with
// nothing else: what a study of one thread is held against.
void BM_BareCalculate(benchmark::State& state) {
  kelvane::StudyPlan plan;
  plan.Add(kelvane::ParseSweep(kSweep));
  std::vector<kelvane::InputTexts> texts;
  for (std::int64_t n = 1; n <= kCases; ++n) {
    texts.push_back(plan.CaseTexts(kelvane::DefaultInputTexts(), n));
  }
  for (auto _ : state) {
    for (const kelvane::InputTexts& t : texts) {
      kelvane::SurgeRun run;
      kelvane::RunSummarizer summarizer;
      kelvane::CalculateOptions options;
      options.observer = summarizer.Observer(run);
      const kelvane::RunOutcome outcome = kelvane::Calculate(t, run, options);
      benchmark::DoNotOptimize(summarizer.Summary(run, outcome));
    }
  }
  SetCases(state);
}
BENCHMARK(BM_BareCalculate)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole study on state.range(0) threads: every case, its CSV row and the
// closing report's tally, as `kelvane --batch --sweep ... --sweep-csv` makes
// them (the rows are kept in a buffer that is emptied as a writer would).
void BM_Sweep(benchmark::State& state) {
  kelvane::StudyPlan plan;
  plan.Add(kelvane::ParseSweep(kSweep));
  kelvane::StudySettings settings;
  settings.jobs = static_cast<int>(state.range(0));
  for (auto _ : state) {
    kelvane::StudyTally tally(plan);
    std::string rows = kelvane::StudyCsvHeader(plan, settings.limits);
    kelvane::RunStudy(plan, settings, kelvane::PrepareCase(settings.base),
                      [&](const kelvane::CaseResult& r) {
                        tally.Add(r);
                        kelvane::AppendStudyCsvRow(plan, settings.limits, r, rows);
                        if (rows.size() >= (1 << 16)) {
                          benchmark::DoNotOptimize(rows.data());
                          rows.clear();
                        }
                      });
    if (tally.Cases() != kCases || tally.Failed() != 0) state.SkipWithError("cases lost or failed");
  }
  SetCases(state);
}
BENCHMARK(BM_Sweep)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
