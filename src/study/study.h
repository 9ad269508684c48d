// A design study: every case of a StudyPlan run as one whole Calculate, on
// any number of threads, its rows handed on in case order; the study's CSV,
// its design limits and closing report, and the numbers its chart draws.
// Qt-free; prints nothing. study.cpp runs the cases, study_csv.cpp writes
// the CSV and study_report.cpp the closing report.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "evaluation/design_checks.h"
#include "evaluation/report.h"
#include "study/study_plan.h"
#include "texts/case.h"
#include "texts/event_texts.h"
#include "texts/input_check.h"
#include "texts/prepared_case.h"

namespace kelvane {

// Each compared at the levels' precision (LevelWithin): the limit rounded to
// single.
struct StudyLimits {
  std::optional<double> forebayMaxLevel;  // m, passes when the highest level <= it
  std::optional<double> forebayMinLevel;  // m, passes when the lowest level >= it
};

struct StudySettings {
  // The case every case of the study starts from: the boxes and design data
  // no factor sweeps, the pump event and area table (a factor may set parts
  // of them), the title and notes of the study's report.
  Case base;
  StudyLimits limits;
  int jobs = 0;  // threads running cases; 0 is one for RunStudy, one per core for a session
  // Only the cases whose number is shardIndex modulo shardCount.
  std::int64_t shardIndex = 0;
  std::int64_t shardCount = 1;
  // Rows of the shard already written (a resumed study): its first `skip`
  // cases are not run.
  std::int64_t skip = 0;
  // When set and nonzero (the number of a signal), the study stops: no case
  // is started, the cases running end early and their rows are dropped.
  const std::atomic<int>* stop = nullptr;
};

// A value over the whole grid and where it is first reached: the earliest
// step, then the lowest node.
struct GridExtreme {
  float value = 0;  // m or m/s
  int node = 0;
  float time = 0;  // s, of the step
};

// What the study keeps of one complete run: no grid.
struct CaseExtremes {
  float forebayInitial = 0;                  // m
  GridExtreme forebayHighest;                // m, at the last node
  GridExtreme forebayLowest;                 // m
  std::optional<float> forebayReversalTime;  // s
  GridExtreme headMax, headMin;              // m
  GridExtreme velocityMax, velocityMin;      // m/s
  // The rigid column's period (the summary's 振荡周期) and the part of it the
  // run covers (its simulated time over the period); none when the inputs
  // give no period.
  std::optional<float> period;          // s
  std::optional<float> periodFraction;  // periods
};

struct CaseResult {
  std::int64_t number = 0;            // 1-based, in the whole study
  std::vector<std::uint32_t> values;  // the value index of each swept column
  int status = 0;                     // 0, or the error's catalogue number
  std::string error;                  // the error on one line; empty when none
  // In a study that names the pump event (StudyNamesEvent): the case's
  // event and forebay (PumpEventName, ForebayShapeName); else empty.
  std::vector<std::string> eventCells;
  std::optional<CaseExtremes> extremes;  // a complete run only
  // Per limit given, for a complete run only: its verdict, as the forebay's
  // design checks judge theirs (ForebayLimitVerdict), and whether it passed
  // (none when undetermined or invalid).
  std::optional<bool> passMax, passMin;
  std::optional<CheckVerdict> verdictMax, verdictMin;
  // Per check of the study (StudyChecks), for a complete run whose design
  // data gives that check: whether it passed, and along the culvert the
  // first node that breaks its limit (0 when none does).
  struct Check {
    CheckKind kind = CheckKind::ForebayHighest;
    std::optional<bool> pass;  // none when undetermined, invalid or not checked
    std::optional<CheckVerdict> verdict;
    int firstFailingNode = 0;
  };
  std::vector<Check> checks;
  // The input check's flags of the case's texts, design data and pump event
  // (as a single run checks them); the CSV's `warnings` counts them all.
  std::vector<InputFlag> flags;
  std::vector<DesignFlag> designFlags;
  std::vector<EventWarning> eventWarnings;
  std::size_t WarningCount() const {
    return flags.size() + designFlags.size() + eventWarnings.size();
  }

  // Complete, and every limit and check given met (满足).
  bool Passed() const {
    for (const Check& check : checks) {
      if (check.verdict != CheckVerdict::Pass) return false;
    }
    for (const std::optional<CheckVerdict>& verdict : {verdictMax, verdictMin}) {
      if (verdict && *verdict != CheckVerdict::Pass) return false;
    }
    return status == 0 && passMax != false && passMin != false;
  }
};

// Whether the study's CSV names each case's pump event and forebay table:
// some are given, or a factor sets them.
bool StudyNamesEvent(const StudyPlan& plan, const StudySettings& settings);

// The design checks of a study: those the design data of any case may give
// (the items the base gives or a factor sweeps), in CheckKind order. `base`:
// the study's base case (settings.base) prepared once.
std::vector<CheckKind> StudyChecks(const StudyPlan& plan, const PreparedCase& base);

// Case `number` exactly as `kelvane --batch` runs its texts: the study's
// base texts and design data (settings.base, prepared once by the caller as
// `base`) with the case's swept texts, one whole Calculate with the summary's
// envelope gathered block by block, and the design checks of its summary. A
// fault is the row's error.
CaseResult RunCase(const StudyPlan& plan, const StudySettings& settings, const PreparedCase& base,
                   std::int64_t number);

// The flags of a case's texts, checked as a single run that writes no
// results table checks them (case_warnings.cpp), with the case's level–area
// table (empty for the constant area). `stabilityLimit`: the forebay
// stability limit of the case's run when it ran already (m²); none to have it
// computed.
std::vector<InputFlag> CaseInputFlags(const InputTexts& texts,
                                      const std::vector<ForebayPoint>& areaTable,
                                      std::optional<double> stabilityLimit = std::nullopt);
// The options of that check.
InputCheckOptions StudyCheckOptions(const std::vector<ForebayPoint>& areaTable,
                                    std::optional<double> stabilityLimit = std::nullopt);

// Receives the rows in ascending case order, one call at a time (from any of
// the study's threads). A throw ends the study and is rethrown by RunStudy.
using CaseSink = std::function<void(const CaseResult&)>;

// Runs every case of the shard after the first settings.skip on
// settings.jobs threads (the calling thread one of them), each taking a few consecutive cases at a
// time and marching those of small grids side by side (RunCases), every row exactly RunCase's.
// `base`: settings.base prepared once by the caller. Each thread holds the grids
// of one large run or of one batch of small ones (at most 8 MiB); finished rows wait for the
// earlier ones in a window of a few rows per thread, so memory does not grow with the number of
// cases, and what the sink sees never depends on the number of threads. Returns the rows of the
// shard written, skipped ones included: all of them unless settings.stop stopped the study.
std::int64_t RunStudy(const StudyPlan& plan, const StudySettings& settings,
                      const PreparedCase& base, const CaseSink& sink);

// The number of cases in the shard.
std::int64_t ShardCaseCount(std::int64_t cases, std::int64_t shardIndex, std::int64_t shardCount);
// The case number of the shard's row `position` (from 0).
std::int64_t ShardCaseNumber(std::int64_t position, std::int64_t shardIndex,
                             std::int64_t shardCount);

// The study's CSV: the header
//   case,<swept options>,status,error,forebay_initial_m,...,velocity_min_time_s
// (with `namesEvent`, pump_event,forebay_area_table after the swept options),
// then pass_forebay_max_level and pass_forebay_min_level for the limits
// given, then per design check of the study pass_<check> (forebay_highest,
// forebay_lowest, culvert_full, vacuum, design_pressure) and, along the
// culvert, <check>_first_failing_node; each pass_ cell (1, 0, or empty when
// undetermined or invalid) with its verdict_ cell (VerdictCell) beside it;
// then `warnings` (the number of options whose text the input check flags)
// and last period_s and period_fraction (CaseExtremes::period, after the
// columns a reader of earlier studies knows); one row per case. Numbers are the shortest text that
// reads back to the same single; cells with a comma, quote or line break are quoted; a value a
// failed case lacks is empty. LF line ends.
std::string StudyCsvHeader(const StudyPlan& plan, const StudyLimits& limits,
                           const std::vector<CheckKind>& checks = {}, bool namesEvent = false);
void AppendStudyCsvRow(const StudyPlan& plan, const StudyLimits& limits, const CaseResult& result,
                       std::string& out);
// The header's names and a row's cells one by one, as the CSV writes them
// (unquoted): what the study's calculation report shows of a case.
std::vector<std::string> StudyCsvColumns(const StudyPlan& plan, const StudyLimits& limits,
                                         const std::vector<CheckKind>& checks = {},
                                         bool namesEvent = false);
std::vector<std::string> StudyCsvCells(const StudyPlan& plan, const StudyLimits& limits,
                                       const CaseResult& result);

// A verdict as a study's CSV writes it, without its explanation: 满足,
// 不满足, 未定, 无效; empty for none.
std::string VerdictCell(const std::optional<CheckVerdict>& verdict);
// The verdict of such a cell: none for an empty cell; false for a cell that
// is no verdict.
bool ReadVerdictCell(std::string_view cell, std::optional<CheckVerdict>& verdict);
// The pass cell a verdict gives: passed for 满足, not for 不满足, none else.
std::optional<bool> PassOf(const std::optional<CheckVerdict>& verdict);

// How the cases of a study came out for one limit or check.
struct VerdictCount {
  std::string item;  // "前池最高水位限值", "前池最低水位" (CheckItemName)
  std::int64_t passed = 0, failed = 0, undetermined = 0, invalid = 0;
  // The run failed, or the case's data left the check out.
  std::int64_t unjudged = 0;
  void Add(const std::optional<CheckVerdict>& verdict);
};

// The closing report, gathered row by row: how many cases ran, failed and
// passed every limit, the verdicts of each limit and check counted apart,
// and for each swept column the values at which every case that ran passed.
class StudyTally {
 public:
  // `limits` and `checks` (StudyChecks): the items whose verdicts are counted.
  explicit StudyTally(const StudyPlan& plan, const StudyLimits& limits = {},
                      const std::vector<CheckKind>& checks = {});
  void Add(const CaseResult& result);
  std::int64_t Cases() const { return cases_; }
  std::int64_t Failed() const { return failed_; }
  std::int64_t Passed() const { return passed_; }
  // The limits given, then the checks.
  const std::vector<VerdictCount>& Counts() const { return counts_; }
  // The value indices of `column` met by some case, every one of which passed.
  std::vector<std::uint32_t> PassingValues(std::size_t column) const;

 private:
  std::vector<std::vector<std::uint8_t>> seen_, failing_;  // per column, per value
  std::int64_t cases_ = 0, failed_ = 0, passed_ = 0;
  bool max_ = false, min_ = false;  // the limits given
  std::vector<CheckKind> checks_;
  std::vector<VerdictCount> counts_;
};

// The report as UTF-8 text with LF line ends, `checks` the study's
// (StudyChecks). Consecutive passing values of one FROM:TO:STEP are written
// as one range.
std::string StudyReportText(const StudyPlan& plan, const StudySettings& settings,
                            const StudyTally& tally, const std::vector<CheckKind>& checks);
// Values of `column` (ascending indices) as the report lists them: "、"
// between them, and three or more consecutive values of one FROM:TO:STEP as
// "FROM 至 TO".
std::string StudyValuesText(const StudyPlan& plan, std::size_t column,
                            const std::vector<std::uint32_t>& values);

// What the study's chart draws: the forebay's highest and lowest level of
// each complete case, by its values of the first two swept columns (the
// second 0 when there is only one), in case order. `decided`: no verdict
// on the forebay's levels (the limits, the forebay's checks) is undetermined
// or invalid, so the levels drawn are the run's extremes.
struct ForebayExtremesPoint {
  std::uint32_t firstValue = 0;
  std::uint32_t secondValue = 0;
  float highest = 0;  // m
  float lowest = 0;   // m
  bool decided = true;
};
std::optional<ForebayExtremesPoint> ChartPoint(const CaseResult& result);

}  // namespace kelvane
