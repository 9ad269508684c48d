// The design checks of a run against the structure: the forebay between its
// wall top (less the freeboard) and the pumps' minimum level, the culvert
// running full, no column separation, the culvert's design internal
// pressure, and an open channel's freeboard below its banks and the surge
// at its end. Each check reads the envelope of the run (RunSummary) and its step
// times; nothing is computed again. Each result is a row of data with the
// texts that the summary and the calculation report print, so that both show
// the same words and digits. Qt-free.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "evaluation/report.h"
#include "evaluation/run_geometry.h"
#include "format/number_format.h"
#include "model/model.h"
#include "texts/design_data.h"

namespace kelvane {

// The checks; the rows are in evaluation/design_checks.def.
enum class CheckKind {
#define KELVANE_CHECK(id, item, key, along, atMost) id,
#include "evaluation/design_checks.def"
};
constexpr int kCheckCount = 0
#define KELVANE_CHECK(id, item, key, along, atMost) +1  // NOLINT(bugprone-macro-parentheses)
#include "evaluation/design_checks.def"
    ;

struct CheckField {
  CheckKind kind;
  const char* item;   // "前池最高水位"
  const char* key;    // "forebay_highest", in a study's CSV
  bool alongCulvert;  // reads every node of the culvert
  bool atMost;        // bounds a highest value from above, else a lowest from below
};
const CheckField& Field(CheckKind kind);

// What a check concludes. A limit broken within the run is a failure
// however long the run; a limit kept is a pass only when the run reaches the
// extreme that decides it (RunLengthNeeded), else it is undetermined.
// The order is the worst first (the governing case of several is the least).
enum class CheckVerdict {
  Invalid,       // 无效: the extreme lies beyond the model's reach
  Fail,          // 不满足
  Undetermined,  // 未定: the run ends before the extreme
  Pass,          // 满足
};

// "满足", "不满足", "未定", "无效（超出模型适用范围）".
const char* CheckVerdictWord(CheckVerdict verdict);

// The most steps a run can have.
inline constexpr long long kMostSteps = 32766;

// One check. For the checks along the culvert the row is that of the node
// with the least margin (the first such node on a tie), where the limit is
// that node's own.
struct CheckRow {
  CheckKind kind = CheckKind::ForebayHighest;
  bool pass = false;
  float limit = 0;                // m, rounded to single: levels compare at their own precision
  float value = 0;                // m, the extreme the check reads
  int node = 0;                   // 1-based
  double distance = 0;            // m from the reservoir
  int step = 0;                   // the first step at which `value` is reached
  float time = 0;                 // s, of that step
  std::vector<int> failingNodes;  // every node that breaks its limit, ascending
  CheckVerdict verdict = CheckVerdict::Fail;
  // Undetermined: the time the run must reach and the step count that
  // reaches it.
  double neededTime = 0;      // s
  long long neededSteps = 0;  // steps

  // The texts, built by the summary's own number functions.
  std::string item;         // "前池最高水位"
  std::string rule;         // "≤ 墙顶高程 - 安全超高"
  std::string limitText;    // "-2.000"
  std::string valueText;    // "-2.531"
  std::string whereText;    // "节点 6（596.662 m）"
  std::string whenText;     // "时段 1065，126.970 s"
  std::string verdictText;  // CheckVerdictWord
  std::string sentence;     // the conclusion, one sentence
};

struct DesignCheckReport {
  DesignData data;
  std::vector<CheckRow> rows;  // in CheckKind order, only the checks whose data is given
  // Items a check needs whose other items are given (the check is left out).
  std::vector<DesignId> missing;
  // Whether the run stays within the model: the culvert full and no column
  // separation wherever those were checked.
  bool withinModel = true;
  // The first step at which a head falls below the soffit at some node (the
  // culvert no longer runs full), and that node; 0 when it never does or no
  // culvert is given. A verdict that rests on later steps is invalid.
  int modelEndStep = 0;
  int modelEndNode = 0;
  // The free-surface and mixed-flow model's run: its end is the first step
  // at which a node changes between full and part full (a moving front or a
  // draining culvert, which its validation does not yet cover).
  bool freeSurfaceModel = false;
  // The vacuum limit as used (VacuumLimitText); empty when no culvert check
  // runs.
  std::string vapourHeadText;
  // The conclusions: each row's sentence, then a plain statement when a
  // result lies outside the model, then the overall verdict.
  std::vector<std::string> conclusions;
};

// The vacuum limit of `data` (VacuumLimitOf) as the summary and the report
// show it: "10.33 - 0.24 = 10.09 m，水温 20 °C" without the site's elevation
// and the water's temperature; with either, three decimals and both named
// ("10.219 - 0.239 = 9.980 m，站址高程 100 m，水温 20 °C").
std::string VacuumLimitText(const DesignData& data);

// The soffit at every node of the run (m, double; node 1 first) when it is
// known: both inverts and the clear height given, and a box section (the
// mixed model's open channel has none). Empty otherwise.
std::vector<double> KnownSoffits(const DesignData& data, const RunSummary& summary);

// A check's name, as its row shows it: "前池最高水位".
const char* CheckItemName(CheckKind kind);

// The checks whose data is given, in CheckKind order: the rows CheckDesign
// gives for `data`, whatever the run.
std::vector<CheckKind> ChecksGiven(const DesignData& data);

// Every check whose data is given. `summary` is the run's (SummarizeRun);
// `run` holds the same complete run.
DesignCheckReport CheckDesign(const DesignData& data, const RunSummary& summary,
                              const SurgeRun& run, const RunOutcome& outcome);

// The forebay's highest (ForebayHighest) or lowest level (ForebayLowest)
// against a limit that is not of the design data (a study's own), judged as
// that check judges its own: kept only when the run reaches the extreme,
// invalid after the model's end. `report`: the run's CheckDesign (of no
// design data when none is given), for where the model ends.
CheckVerdict ForebayLimitVerdict(CheckKind kind, double limit, const RunSummary& summary,
                                 const SurgeRun& run, const DesignCheckReport& report);

// Whether a level keeps to a limit: at most `limit` (atMost) or at least it.
// Levels are singles, so the limit is rounded to single and the two compare
// at the levels' own precision: a level that prints as the limit meets it.
bool LevelWithin(float level, double limit, bool atMost);

// The highest forebay level allowed: the wall top less the freeboard (none
// when not given); nullopt without a wall top.
std::optional<double> ForebayHighestAllowed(const DesignData& data);

// The limit of a check along the culvert at `node` (1-based) of `reaches`,
// m (double): the soffit (CulvertFull), the soffit less the vapour head
// (Vacuum), the soffit plus the design pressure head (DesignPressure), the
// bank top less the channel's freeboard (ChannelFreeboard).
double CulvertLimitAt(CheckKind kind, const DesignData& data, int node, int reaches);
// The channel's bank top at `node` (1-based) of `reaches`, linear between
// its two ends, m (double); ChannelFreeboard's limit is it less the freeboard.
double BankTopAt(const DesignData& data, int node, int reaches);
// The summary's 校核 section: the design data, the rows as a table and the
// conclusions (UTF-8, LF line ends, starting with a blank line).
std::string CheckSectionText(const DesignCheckReport& report);

// The summary (report.h) with, when `checks` holds design data, its 校核
// section at the end.
std::string SummaryText(const RunSummary& summary, const SurgeRun& run,
                        const DesignCheckReport* checks);

}  // namespace kelvane
