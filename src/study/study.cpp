// The study runner: each case as one whole Calculate, on the study's
// threads, the rows handed on in case order.
#include "study/study.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "model/march_batch.h"
#include "model/stability.h"
#include "run/run_case.h"

namespace kelvane {
namespace {

// The envelope's extreme over every node: the highest (or lowest) value,
// first reached at the earliest step, then at the lowest node.
GridExtreme OverNodes(const RunSummary& summary, const SurgeRun& run,
                      ExtremeAt NodeEnvelope::*member, bool highest) {
  std::size_t best = 0;
  for (std::size_t k = 1; k < summary.envelope.size(); ++k) {
    const ExtremeAt& a = summary.envelope[k].*member;
    const ExtremeAt& b = summary.envelope[best].*member;
    if ((highest ? a.value > b.value : a.value < b.value) ||
        (a.value == b.value && a.step < b.step)) {
      best = k;
    }
  }
  const ExtremeAt& e = summary.envelope[best].*member;
  return {e.value, static_cast<int>(best) + 1, run.StepTime(e.step)};
}

CaseExtremes ExtremesOf(const RunSummary& s, const SurgeRun& run) {
  CaseExtremes x;
  x.forebayInitial = s.forebayInitial;
  x.forebayHighest = {s.forebayHighest.value, s.nodes, run.StepTime(s.forebayHighest.step)};
  x.forebayLowest = {s.forebayLowest.value, s.nodes, run.StepTime(s.forebayLowest.step)};
  if (s.forebayReversalStep) x.forebayReversalTime = run.StepTime(s.forebayReversalStep);
  x.headMax = OverNodes(s, run, &NodeEnvelope::highestHead, true);
  x.headMin = OverNodes(s, run, &NodeEnvelope::lowestHead, false);
  x.velocityMax = OverNodes(s, run, &NodeEnvelope::highestVelocity, true);
  x.velocityMin = OverNodes(s, run, &NodeEnvelope::lowestVelocity, false);
  if (s.oscillation) {
    x.period = float(s.oscillation->period);
    x.periodFraction = float(double{s.simulatedTime} / s.oscillation->period);
  }
  return x;
}

void SetError(CaseResult& result, const RunError& error) {
  result.status = error.number();
  // The command line's two lines (number and description, location) as one.
  std::string text = RunErrorText(error, ErrorTextLayout::CommandLine);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      line += "；";
    } else {
      line += c == '\r' ? ' ' : c;
    }
  }
  result.error = std::move(line);
}

// Case numbers of a shard: shardIndex modulo shardCount, ascending.
std::int64_t FirstOfShard(std::int64_t shardIndex, std::int64_t shardCount) {
  return shardIndex == 0 ? shardCount : shardIndex;
}

// Cases a thread takes at a time: one batch.
constexpr std::int64_t kBatchCases = kMarchBatchLanes;

// Thrown from a run's observer when the study is stopped.
struct Stopped {};

bool StopAsked(const StudySettings& settings) {
  return settings.stop != nullptr && settings.stop->load(std::memory_order_relaxed) != 0;
}

// Runs a few consecutive cases of the study, their rows in order.
using BatchRunner = std::function<std::vector<CaseResult>(std::span<const std::int64_t> numbers)>;

// The state the study's threads share.
class StudyRunner {
 public:
  StudyRunner(const BatchRunner& runBatch, const StudySettings& settings, const CaseSink& sink,
              std::int64_t total, int jobs, std::size_t window)
      : runBatch_(runBatch),
        settings_(settings),
        sink_(sink),
        total_(total),
        jobs_(jobs),
        claimed_(settings.skip),
        emitted_(settings.skip),
        window_(window) {}

  // Claims the next case while the window has room, runs it, and hands on
  // every finished row in order unless another thread is doing so.
  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      moved_.wait(lock, [&] {
        return stop_ || claimed_ == total_ ||
               claimed_ < emitted_ + static_cast<std::int64_t>(window_.size());
      });
      if (stop_ || claimed_ == total_) return;
      if (StopAsked(settings_)) return Fail(nullptr);
      // Up to a batch of consecutive cases, fewer near the end of the study
      // so that every thread has some.
      const std::int64_t first = claimed_;
      const std::int64_t room = emitted_ + static_cast<std::int64_t>(window_.size()) - claimed_;
      const std::int64_t share = std::max<std::int64_t>(1, (total_ - claimed_) / jobs_);
      const std::int64_t take = std::min({room, total_ - claimed_, share, kBatchCases});
      claimed_ += take;
      lock.unlock();
      std::vector<std::int64_t> numbers;
      for (std::int64_t position = first; position < first + take; ++position)
        numbers.push_back(NumberAt(position));
      std::vector<CaseResult> results;
      try {
        results = runBatch_(numbers);
      } catch (...) {
        lock.lock();
        Fail();
        return;
      }
      lock.lock();
      // A row finished after the stop may be one cut short: dropped.
      if (StopAsked(settings_)) return Fail(nullptr);
      for (std::int64_t k = 0; k < take; ++k)
        window_[Slot(first + k)] = std::move(results[static_cast<std::size_t>(k)]);
      if (emitting_) continue;
      emitting_ = true;
      while (!stop_ && window_[Slot(emitted_)]) {
        CaseResult row = std::move(*window_[Slot(emitted_)]);
        window_[Slot(emitted_)].reset();
        lock.unlock();
        try {
          sink_(row);
        } catch (...) {
          lock.lock();
          Fail();
          break;
        }
        lock.lock();
        ++emitted_;
        moved_.notify_all();
        // A stop asked while rows go out ends the study at this row, not
        // after the rows the other threads have already finished.
        if (StopAsked(settings_)) {
          Fail(nullptr);
          break;
        }
      }
      emitting_ = false;
    }
  }

  // Under the lock: the first failure (or the stop, with none) ends the
  // study.
  void Fail(std::exception_ptr failure = std::current_exception()) {
    if (!failure_) failure_ = std::move(failure);
    stop_ = true;
    moved_.notify_all();
  }
  void Stop() {
    std::lock_guard lock(mutex_);
    stop_ = true;
    moved_.notify_all();
  }
  void Rethrow() {
    if (failure_) std::rethrow_exception(failure_);
  }
  std::int64_t Emitted() const { return emitted_; }

 private:
  std::int64_t NumberAt(std::int64_t position) const {
    return ShardCaseNumber(position, settings_.shardIndex, settings_.shardCount);
  }
  std::size_t Slot(std::int64_t position) const {
    return static_cast<std::size_t>(position % static_cast<std::int64_t>(window_.size()));
  }

  const BatchRunner& runBatch_;
  const StudySettings& settings_;
  const CaseSink& sink_;
  const std::int64_t total_;
  const std::int64_t jobs_;
  std::mutex mutex_;
  std::condition_variable moved_;
  std::int64_t claimed_ = 0;  // cases of the shard taken by a thread
  std::int64_t emitted_ = 0;  // rows handed to the sink
  std::vector<std::optional<CaseResult>> window_;
  bool emitting_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
};

// Rows a thread may have finished ahead of the sink: two batches.
constexpr std::size_t kWindowPerThread = 2 * kMarchBatchLanes;

}  // namespace

std::vector<CheckKind> StudyChecks(const StudyPlan& plan, const PreparedCase& base) {
  DesignData given = base.design;
  for (const StudyItem& item : plan.Columns()) {
    if (item.design) given[*item.design] = 0;
  }
  return ChecksGiven(given);
}

bool StudyNamesEvent(const StudyPlan& plan, const StudySettings& settings) {
  return settings.base.events.Given() || plan.SweepsEvent();
}

namespace {

// The study's own limits of a complete run, judged as the forebay's design
// checks are: undetermined when the run ends before the extreme, invalid
// after the model's end.
void JudgeLimits(const StudyLimits& limits, const CaseRun& done, CaseResult& result) {
  if (!limits.forebayMaxLevel && !limits.forebayMinLevel) return;
  // Where the model ends, from the run's design checks or, without design
  // data, from the run alone.
  std::optional<DesignCheckReport> none;
  const DesignCheckReport& report =
      done.checks ? *done.checks
                  : none.emplace(CheckDesign({}, *done.summary, done.run, done.outcome));
  const auto judge = [&](const std::optional<double>& limit, CheckKind kind,
                         std::optional<CheckVerdict>& verdict, std::optional<bool>& pass) {
    if (!limit) return;
    verdict = ForebayLimitVerdict(kind, *limit, *done.summary, done.run, report);
    pass = PassOf(verdict);
  };
  judge(limits.forebayMaxLevel, CheckKind::ForebayHighest, result.verdictMax, result.passMax);
  judge(limits.forebayMinLevel, CheckKind::ForebayLowest, result.verdictMin, result.passMin);
}

// The case's extremes and the outcome of each of the study's limits and
// checks, from a complete run's summary and design checks.
void JudgeCase(const StudyLimits& limits, const CaseRun& done, CaseResult& result) {
  if (done.summaryError) return SetError(result, *done.summaryError);
  try {
    result.extremes = ExtremesOf(*done.summary, done.run);
    if (!done.checksError) JudgeLimits(limits, done, result);
  } catch (...) {
    result.extremes.reset();
    result.verdictMax.reset();
    result.verdictMin.reset();
    result.passMax.reset();
    result.passMin.reset();
    return SetError(result, CurrentExceptionAsRunError(Stage::Report));
  }
  if (done.checksError) {
    // A failed case's row holds no values: none of a half-judged run.
    result.extremes.reset();
    return SetError(result, *done.checksError);
  }
  if (!done.checks) return;
  for (CaseResult::Check& check : result.checks) {
    for (const CheckRow& row : done.checks->rows) {
      if (row.kind != check.kind) continue;
      check.verdict = row.verdict;
      check.pass = PassOf(check.verdict);
      if (!row.failingNodes.empty()) check.firstFailingNode = row.failingNodes.front();
    }
  }
}

}  // namespace

namespace {

// What every case of a study reads of the study, formed once.
struct StudyShape {
  std::vector<CheckKind> checks;
  bool namesEvent = false;
  // The base's boxes checked once, for every case that keeps them.
  InputCheckBase inputs;
};

StudyShape ShapeOf(const StudyPlan& plan, const StudySettings& settings, const PreparedCase& base) {
  return {StudyChecks(plan, base), StudyNamesEvent(plan, settings),
          InputCheckBase(base.typed.texts)};
}

// Case `number` read before it runs: its row's values, checks, design and
// event warnings and event cells, and the case prepared to run, what it
// shares with the base not read again (`base` is PrepareCase of
// settings.base).
PreparedCase PrepareStudyCase(const StudyPlan& plan, const PreparedCase& base,
                              const StudyShape& shape, std::int64_t number, CaseResult& result) {
  result.number = number;
  plan.CaseValues(number, result.values);
  Case typed = base.typed;
  plan.SetValueTexts(result.values, typed.texts, typed.design, &typed.events);
  for (CheckKind kind : shape.checks) {
    CaseResult::Check check;
    check.kind = kind;
    result.checks.push_back(check);
  }
  PreparedCase prepared = PrepareCase(std::move(typed), base);
  result.designFlags = prepared.designFlags;
  result.eventWarnings = prepared.eventWarnings;
  if (shape.namesEvent) {
    // Empty when the event cannot be read.
    result.eventCells.resize(2);
    if (!prepared.eventError) {
      result.eventCells = {PumpEventName(prepared.extras.pump),
                           ForebayShapeName(prepared.extras.forebay)};
    }
  }
  return prepared;
}

// As the batch mode runs one case with its summary asked for; a stopped
// study ends its running cases at their next block of steps.
RunObservers StudyObservers(const StudySettings& settings) {
  RunObservers observers;
  if (settings.stop != nullptr) {
    observers.before = [&settings](const SurgeRun&) {
      return [&settings](int, int) {
        if (StopAsked(settings)) throw Stopped{};
      };
    };
  }
  return observers;
}

// The row of a case that has run: its error, or its input flags, extremes,
// checks and limits.
void FinishStudyCase(const StudySettings& settings, const StudyShape& shape,
                     const PreparedCase& prepared, const CaseRun& done, CaseResult& result) {
  const InputTexts& texts = prepared.typed.texts;
  const std::vector<ForebayPoint>& areaTable = prepared.extras.forebay.areaTable;
  if (done.error) {
    SetError(result, *done.error);
    result.flags = shape.inputs.Check(texts, prepared.numbers, StudyCheckOptions(areaTable));
    return;
  }
  // The input check takes the stability limit of the run just made.
  const double limit = ForebayStabilityLimit(done.outcome.parameters, done.outcome.coefficients);
  result.flags = shape.inputs.Check(texts, prepared.numbers, StudyCheckOptions(areaTable, limit));
  if (!areaTable.empty()) result.eventWarnings = CheckEventTexts(prepared.typed.events, limit);
  JudgeCase(settings.limits, done, result);
}

// Grids of at most this many values per quantity go into a batch: sixteen
// runs of them hold 8 MiB. A larger run marches alone, its nodes filling the
// vectors.
constexpr double kBatchGridValues = 65536;

// Whether the case's grids are small enough to share a batch, from its two
// count boxes read as Calculate reads them (a box that does not read as a
// count only sends its case to run alone).
bool SmallGrid(const PreparedCase& prepared) {
  const double reaches = prepared.numbers[InputId::SegmentCount];
  const double steps = prepared.numbers[InputId::StepCount];
  // The batch marches the classic model only.
  return prepared.extras.model == MarchModel::Classic && reaches >= 1 && steps >= 2 &&
         (reaches + 1) * (steps + 1) <= kBatchGridValues;
}

}  // namespace

CaseResult RunCase(const StudyPlan& plan, const StudySettings& settings, const PreparedCase& base,
                   std::int64_t number) {
  CaseResult result;
  const StudyShape shape = ShapeOf(plan, settings, base);
  const PreparedCase prepared = PrepareStudyCase(plan, base, shape, number, result);
  FinishStudyCase(settings, shape, prepared, RunCase(prepared, StudyObservers(settings)), result);
  return result;
}

namespace {

// The cases `numbers` of a study whose base is `base` and whose shape is `shape`.
std::vector<CaseResult> RunBatchOf(const StudySettings& settings, const PreparedCase& base,
                                   const StudyPlan& plan, const StudyShape& shape,
                                   std::span<const std::int64_t> numbers) {
  const RunObservers observers = StudyObservers(settings);
  std::vector<CaseResult> results(numbers.size());
  std::vector<PreparedCase> cases;
  cases.reserve(numbers.size());  // the pointers below stay valid
  std::vector<const PreparedCase*> small;
  std::vector<std::size_t> smallAt;
  for (std::size_t k = 0; k < numbers.size(); ++k) {
    const PreparedCase& prepared =
        cases.emplace_back(PrepareStudyCase(plan, base, shape, numbers[k], results[k]));
    if (SmallGrid(prepared)) {
      small.push_back(&prepared);
      smallAt.push_back(k);
    } else {
      FinishStudyCase(settings, shape, prepared, RunCase(prepared, observers), results[k]);
    }
  }
  const std::vector<CaseRun> runs = RunCases(small, observers);
  for (std::size_t n = 0; n < small.size(); ++n) {
    const std::size_t k = smallAt[n];
    FinishStudyCase(settings, shape, cases[k], runs[n], results[k]);
  }
  return results;
}

}  // namespace

std::int64_t ShardCaseCount(std::int64_t cases, std::int64_t shardIndex, std::int64_t shardCount) {
  const std::int64_t first = FirstOfShard(shardIndex, shardCount);
  return cases < first ? 0 : (cases - first) / shardCount + 1;
}

std::int64_t ShardCaseNumber(std::int64_t position, std::int64_t shardIndex,
                             std::int64_t shardCount) {
  return FirstOfShard(shardIndex, shardCount) + position * shardCount;
}

std::int64_t RunStudy(const StudyPlan& plan, const StudySettings& settings,
                      const PreparedCase& base, const CaseSink& sink) {
  // What every case reads of the study, formed once for all of them.
  const StudyShape shape = ShapeOf(plan, settings, base);
  const BatchRunner runBatch = [&](std::span<const std::int64_t> numbers) {
    return RunBatchOf(settings, base, plan, shape, numbers);
  };
  const std::int64_t total =
      ShardCaseCount(plan.CaseCount(), settings.shardIndex, settings.shardCount);
  const int jobs = static_cast<int>(
      std::max<std::int64_t>(1, std::min<std::int64_t>(settings.jobs, total - settings.skip)));
  StudyRunner runner(runBatch, settings, sink, total, jobs, kWindowPerThread * jobs);
  std::vector<std::thread> threads;
  try {
    for (int k = 1; k < jobs; ++k) threads.emplace_back([&] { runner.Work(); });
  } catch (...) {
    runner.Stop();
    for (std::thread& t : threads) t.join();
    throw;
  }
  runner.Work();
  for (std::thread& t : threads) t.join();
  runner.Rethrow();
  return runner.Emitted();
}

std::optional<ForebayExtremesPoint> ChartPoint(const CaseResult& result) {
  if (!result.extremes || result.values.empty()) return std::nullopt;
  const auto undecided = [](const std::optional<CheckVerdict>& verdict) {
    return verdict == CheckVerdict::Undetermined || verdict == CheckVerdict::Invalid;
  };
  bool decided = !undecided(result.verdictMax) && !undecided(result.verdictMin);
  for (const CaseResult::Check& check : result.checks) {
    if (!Field(check.kind).alongCulvert) decided = decided && !undecided(check.verdict);
  }
  return ForebayExtremesPoint{result.values[0], result.values.size() > 1 ? result.values[1] : 0,
                              result.extremes->forebayHighest.value,
                              result.extremes->forebayLowest.value, decided};
}

}  // namespace kelvane
