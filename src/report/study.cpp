#include "report/study.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

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

std::string NumberText(double value) {
  char buffer[32];
  return {buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr};
}

void AppendCell(std::string& out, std::string_view text) {
  out += ',';
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AppendNumber(std::string& out, float value) {
  char buffer[24];
  buffer[0] = ',';
  out.append(buffer, std::to_chars(buffer + 1, buffer + sizeof buffer, value).ptr);
}

void AppendExtreme(std::string& out, const GridExtreme& e) {
  AppendNumber(out, e.value);
  out += ',' + std::to_string(e.node);
  AppendNumber(out, e.time);
}

// A design check's name in the study's CSV.
const char* CheckKey(CheckKind kind) {
  switch (kind) {
    case CheckKind::ForebayHighest:
      return "forebay_highest";
    case CheckKind::ForebayLowest:
      return "forebay_lowest";
    case CheckKind::CulvertFull:
      return "culvert_full";
    case CheckKind::Vacuum:
      return "vacuum";
    case CheckKind::DesignPressure:
      return "design_pressure";
  }
  return "";
}

// Whether a check reads every node of the culvert (and so has a first
// failing node).
bool AlongCulvert(CheckKind kind) {
  return kind != CheckKind::ForebayHighest && kind != CheckKind::ForebayLowest;
}

// Case numbers of a shard: shardIndex modulo shardCount, ascending.
std::int64_t FirstOfShard(std::int64_t shardIndex, std::int64_t shardCount) {
  return shardIndex == 0 ? shardCount : shardIndex;
}

// The state the study's threads share.
class StudyRunner {
 public:
  StudyRunner(const StudyPlan& plan, const StudySettings& settings, const CaseSink& sink,
              std::int64_t total, std::size_t window)
      : plan_(plan), settings_(settings), sink_(sink), total_(total), window_(window) {}

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
      const std::int64_t position = claimed_++;
      lock.unlock();
      std::optional<CaseResult> result;
      try {
        result = RunCase(plan_, settings_, NumberAt(position));
      } catch (...) {
        lock.lock();
        Fail();
        return;
      }
      lock.lock();
      window_[Slot(position)] = std::move(result);
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
      }
      emitting_ = false;
    }
  }

  // Under the lock: the first failure ends the study.
  void Fail() {
    if (!failure_) failure_ = std::current_exception();
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

 private:
  std::int64_t NumberAt(std::int64_t position) const {
    return FirstOfShard(settings_.shardIndex, settings_.shardCount) +
           position * settings_.shardCount;
  }
  std::size_t Slot(std::int64_t position) const {
    return static_cast<std::size_t>(position % static_cast<std::int64_t>(window_.size()));
  }

  const StudyPlan& plan_;
  const StudySettings& settings_;
  const CaseSink& sink_;
  const std::int64_t total_;
  std::mutex mutex_;
  std::condition_variable moved_;
  std::int64_t claimed_ = 0;  // cases of the shard taken by a thread
  std::int64_t emitted_ = 0;  // rows handed to the sink
  std::vector<std::optional<CaseResult>> window_;
  bool emitting_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
};

constexpr std::size_t kWindowPerThread = 16;

}  // namespace

std::string ShortestText(float value) {
  char buffer[24];
  return {buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr};
}

std::vector<CheckKind> StudyChecks(const StudyPlan& plan, const StudySettings& settings) {
  DesignData given = ReadDesignData(settings.design);
  for (const StudyItem& item : plan.Columns()) {
    if (item.design) given[*item.design] = 0;
  }
  return ChecksGiven(given);
}

CaseResult RunCase(const StudyPlan& plan, const StudySettings& settings, std::int64_t number) {
  CaseResult result;
  result.number = number;
  plan.CaseValues(number, result.values);
  InputTexts texts = settings.base;
  DesignTexts design = settings.design;
  plan.SetCaseTexts(number, texts, design);
  for (CheckKind kind : StudyChecks(plan, settings)) result.checks.push_back({.kind = kind});

  // As the batch mode runs one case with its summary asked for.
  SurgeRun run;
  RunSummarizer summarizer;
  CalculateOptions options;
  options.observer = summarizer.Observer(run);
  RunOutcome outcome;
  try {
    outcome = Calculate(texts, run, options);
  } catch (...) {
    SetError(result, CurrentExceptionAsRunError(Stage::Program));
    return result;
  }
  try {
    const RunSummary summary = summarizer.Summary(run, outcome);
    result.extremes = ExtremesOf(summary, run);
    const DesignData data = ReadDesignData(design);
    if (data.Any()) {
      const DesignCheckReport report = CheckDesign(data, summary, run, outcome);
      for (CaseResult::Check& check : result.checks) {
        for (const CheckRow& row : report.rows) {
          if (row.kind != check.kind) continue;
          check.pass = row.pass;
          if (!row.failingNodes.empty()) check.firstFailingNode = row.failingNodes.front();
        }
      }
    }
  } catch (...) {
    SetError(result, CurrentExceptionAsRunError(Stage::Report));
    return result;
  }
  const StudyLimits& limits = settings.limits;
  if (limits.forebayMaxLevel) {
    result.passMax = double(result.extremes->forebayHighest.value) <= *limits.forebayMaxLevel;
  }
  if (limits.forebayMinLevel) {
    result.passMin = double(result.extremes->forebayLowest.value) >= *limits.forebayMinLevel;
  }
  return result;
}

std::int64_t ShardCaseCount(std::int64_t cases, std::int64_t shardIndex, std::int64_t shardCount) {
  const std::int64_t first = FirstOfShard(shardIndex, shardCount);
  return cases < first ? 0 : (cases - first) / shardCount + 1;
}

void RunStudy(const StudyPlan& plan, const StudySettings& settings, const CaseSink& sink) {
  const std::int64_t total =
      ShardCaseCount(plan.CaseCount(), settings.shardIndex, settings.shardCount);
  const int jobs =
      static_cast<int>(std::max<std::int64_t>(1, std::min<std::int64_t>(settings.jobs, total)));
  StudyRunner runner(plan, settings, sink, total, kWindowPerThread * jobs);
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
}

std::string StudyCsvHeader(const StudyPlan& plan, const StudyLimits& limits,
                           const std::vector<CheckKind>& checks) {
  std::string out = "case";
  for (const StudyItem& item : plan.Columns()) out += std::string(",") + item.Option();
  out +=
      ",status,error,forebay_initial_m,forebay_highest_m,forebay_highest_time_s,"
      "forebay_lowest_m,forebay_lowest_time_s,forebay_reversal_time_s,"
      "head_max_m,head_max_node,head_max_time_s,head_min_m,head_min_node,head_min_time_s,"
      "velocity_max_m_per_s,velocity_max_node,velocity_max_time_s,"
      "velocity_min_m_per_s,velocity_min_node,velocity_min_time_s";
  if (limits.forebayMaxLevel) out += ",pass_forebay_max_level";
  if (limits.forebayMinLevel) out += ",pass_forebay_min_level";
  for (CheckKind kind : checks) {
    out += std::string(",pass_") + CheckKey(kind);
    if (AlongCulvert(kind)) out += std::string(",") + CheckKey(kind) + "_first_failing_node";
  }
  out += '\n';
  return out;
}

void AppendStudyCsvRow(const StudyPlan& plan, const StudyLimits& limits, const CaseResult& r,
                       std::string& out) {
  out += std::to_string(r.number);
  for (std::size_t c = 0; c < r.values.size(); ++c) AppendCell(out, plan.ValueText(c, r.values[c]));
  out += ',' + std::to_string(r.status);
  AppendCell(out, r.error);
  if (r.extremes) {
    const CaseExtremes& x = *r.extremes;
    AppendNumber(out, x.forebayInitial);
    for (const GridExtreme* e : {&x.forebayHighest, &x.forebayLowest}) {
      AppendNumber(out, e->value);
      AppendNumber(out, e->time);
    }
    if (x.forebayReversalTime) {
      AppendNumber(out, *x.forebayReversalTime);
    } else {
      out += ',';
    }
    for (const GridExtreme* e : {&x.headMax, &x.headMin, &x.velocityMax, &x.velocityMin}) {
      AppendExtreme(out, *e);
    }
  } else {
    out.append(18, ',');
  }
  for (const std::optional<bool>* pass : {&r.passMax, &r.passMin}) {
    if (pass == &r.passMax ? !limits.forebayMaxLevel : !limits.forebayMinLevel) continue;
    out += ',';
    if (pass->has_value()) out += **pass ? '1' : '0';
  }
  for (const CaseResult::Check& check : r.checks) {
    out += ',';
    if (check.pass) out += *check.pass ? '1' : '0';
    if (!AlongCulvert(check.kind)) continue;
    out += ',';
    if (check.firstFailingNode > 0) out += std::to_string(check.firstFailingNode);
  }
  out += '\n';
}

StudyTally::StudyTally(const StudyPlan& plan) {
  for (std::size_t c = 0; c < plan.Columns().size(); ++c) {
    seen_.emplace_back(plan.ValueCount(c));
    failing_.emplace_back(plan.ValueCount(c));
  }
}

void StudyTally::Add(const CaseResult& result) {
  ++cases_;
  failed_ += result.status != 0;
  const bool passed = result.Passed();
  passed_ += passed;
  for (std::size_t c = 0; c < result.values.size(); ++c) {
    seen_[c][result.values[c]] = 1;
    if (!passed) failing_[c][result.values[c]] = 1;
  }
}

std::vector<std::uint32_t> StudyTally::PassingValues(std::size_t column) const {
  std::vector<std::uint32_t> values;
  for (std::size_t v = 0; v < seen_[column].size(); ++v) {
    if (seen_[column][v] && !failing_[column][v]) values.push_back(static_cast<std::uint32_t>(v));
  }
  return values;
}

std::string StudyReportText(const StudyPlan& plan, const StudySettings& settings,
                            const StudyTally& tally) {
  int labelWidth = 16;
  for (const StudyItem& item : plan.Columns()) {
    labelWidth = std::max(labelWidth, DisplayWidth(item.Option()) + 2);
  }
  const std::vector<CheckKind> checks = StudyChecks(plan, settings);
  const std::string passedLabel = checks.empty() ? "全部限值通过" : "全部限值与校核通过";
  labelWidth = std::max(labelWidth, DisplayWidth(passedLabel) + 2);
  auto line = [&](std::string& out, std::string_view label, std::string_view value) {
    out += "  " + PadRight(label, labelWidth) + std::string(value) + "\n";
  };
  std::string out = "设计研究概要\n\n";
  line(out, "案例", std::to_string(tally.Cases()));
  if (settings.shardCount > 1) {
    line(out, "分片",
         std::to_string(settings.shardIndex) + "/" + std::to_string(settings.shardCount) +
             "（案例号除以 " + std::to_string(settings.shardCount) + " 余 " +
             std::to_string(settings.shardIndex) + " 的案例，共 " +
             std::to_string(plan.CaseCount()) + " 个中）");
  }
  line(out, "运行失败", std::to_string(tally.Failed()));
  std::string limits;
  const StudyLimits& l = settings.limits;
  if (l.forebayMaxLevel) limits = "前池最高水位 ≤ " + NumberText(*l.forebayMaxLevel) + " m";
  if (l.forebayMinLevel) {
    limits += (limits.empty() ? "" : "，") + std::string("前池最低水位 ≥ ") +
              NumberText(*l.forebayMinLevel) + " m";
  }
  if (checks.empty()) {
    line(out, "限值", limits.empty() ? "无（运行完成即通过）" : limits);
  } else {
    // The design checks count as limits: a case passes when every one its
    // data gives is met.
    std::string names;
    for (CheckKind kind : checks)
      names += (names.empty() ? "" : "、") + std::string(CheckItemName(kind));
    line(out, "限值", limits.empty() ? "无" : limits);
    line(out, "设计校核", names);
  }
  line(out, passedLabel, std::to_string(tally.Passed()));

  out += "\n各扫描选项全部案例通过的取值\n";
  for (std::size_t c = 0; c < plan.Columns().size(); ++c) {
    const std::vector<std::uint32_t> passing = tally.PassingValues(c);
    std::string values;
    for (std::size_t i = 0; i < passing.size();) {
      // A run of consecutive values of one FROM:TO:STEP.
      std::size_t j = i;
      while (j + 1 < passing.size() && passing[j + 1] == passing[j] + 1 &&
             plan.NextInRange(c, passing[j])) {
        ++j;
      }
      if (!values.empty()) values += "、";
      values += plan.ValueText(c, passing[i]);
      if (j >= i + 2) {
        values += " 至 " + plan.ValueText(c, passing[j]);
        i = j + 1;
      } else {
        ++i;
      }
    }
    line(out, plan.Columns()[c].Option(), values.empty() ? "无" : values);
  }
  return out;
}

std::optional<ForebayExtremesPoint> ChartPoint(const CaseResult& result) {
  if (!result.extremes || result.values.empty()) return std::nullopt;
  return ForebayExtremesPoint{result.values[0], result.values.size() > 1 ? result.values[1] : 0,
                              result.extremes->forebayHighest.value,
                              result.extremes->forebayLowest.value};
}

}  // namespace kelvane
