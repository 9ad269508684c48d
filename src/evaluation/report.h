// The reports of the batch mode drawn from the full grids of a run: the
// summary (grid, forebay extremes, envelope per node) and the CSV of every
// computed step. Qt-free; the texts are built in memory or appended through a
// ByteWriter, so the caller chooses the file or the stream.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/output.h"
#include "model/grid_envelope.h"
#include "model/model.h"
#include "model/rigid_column.h"

namespace kelvane {

// An extreme value and the first step (1-based) at which it is reached.
struct ExtremeAt {
  float value = 0;
  int step = 0;
};

// The envelope of one node over steps 1..StepCount.
struct NodeEnvelope {
  ExtremeAt highestHead;      // m
  ExtremeAt lowestHead;       // m
  ExtremeAt highestVelocity;  // m/s
  ExtremeAt lowestVelocity;   // m/s
};

struct RunSummary {
  // The grid.
  int reaches = 0;
  int nodes = 0;
  int steps = 0;             // computed steps, 1..StepCount
  float reachLength = 0;     // m
  float timeStep = 0;        // s
  float waveSpeed = 0;       // m/s
  float simulatedTime = 0;   // s, the time of the last computed step
  double waveRoundTrip = 0;  // s, 2L/a
  // The forebay: the last node.
  float forebayInitial = 0;     // m, the level at step 1
  ExtremeAt forebayHighest;     // m
  ExtremeAt forebayLowest;      // m
  int forebayReversalStep = 0;  // first step at which the culvert flow at the
                                // forebay end runs against its first direction
                                // (that of the first non-zero velocity); 0 if
                                // it never does
  // Node 1 first.
  std::vector<NodeEnvelope> envelope;
  // The pump event and area table in force (ModelExtrasLines), and how the
  // table's areas were used; both empty for the sixteen boxes alone.
  std::vector<std::string> eventLines;
  std::optional<ForebayAreaUse> forebayAreaUse;
  // The mass oscillation the run is to capture (ForecastOscillation).
  std::optional<OscillationForecast> oscillation;
  // The classic model only: the level at which friction alone carries the
  // steady velocity, less the initial forebay level; the no-change drift.
  std::optional<double> classicDrift;  // m
  // The free-surface and mixed-flow model only: each node's depth and
  // regime (RunOutcome::freeSurface).
  std::optional<FreeSurfaceRecord> freeSurface;
};

// "满流", "明流", "满流与明流交替": how a node of a free-surface run ran.
const char* NodeRegimeWord(const NodeRegime& node);
// The summary's lines on the regimes beyond the table of depths: the first
// change between full and part full, the lowest pressure head and the vapour
// limit, the steady state not found ("满流与明流转换 无", ...).
std::vector<std::string> FreeSurfaceLines(const RunSummary& summary, const SurgeRun& run);

// A drift of the classic model larger than this is noted.
inline constexpr double kNotedDrift = 0.05;  // m

// The step count a run of `summary`'s time step needs to reach `time`.
long long StepsToReach(const RunSummary& summary, double time);

// Every step from 1 to run.StepCount is considered; the grid column
// StepCount+1 (allocated, never computed) never is. `run` must hold a
// complete run (Calculate returned).
RunSummary SummarizeRun(const SurgeRun& run, const RunOutcome& outcome);

// The same summary, its envelope gathered while the march runs, so each
// block of steps is read while it is still in the caches:
//   RunSummarizer summarizer;
//   RunOutcome outcome = Calculate(texts, run, summarizer.Observer(run));
//   RunSummary summary = summarizer.Summary(run, outcome);
class RunSummarizer {
 public:
  RunSummarizer();
  ~RunSummarizer();
  StepBlockObserver Observer(const SurgeRun& run);
  // Steps first..last of `run`, in ascending order of steps, step 1 first.
  void AddSteps(const SurgeRun& run, int first, int last);
  // In place of the steps: the envelope of every step as the march gathered it.
  void TakeEnvelope(GridEnvelope envelope);
  // Once every step 1..StepCount has been added.
  RunSummary Summary(const SurgeRun& run, const RunOutcome& outcome) const;
  // The same with the run's oscillation forecast already made
  // (ForecastOscillations, for many runs at once).
  RunSummary Summary(const SurgeRun& run, const RunOutcome& outcome,
                     const std::optional<OscillationForecast>& oscillation) const;

 private:
  struct Envelope;
  std::unique_ptr<Envelope> envelope_;
};

// The summary as UTF-8 text with LF line ends, laid out for a terminal
// (design_checks.h adds its 校核 section when design data is given).
std::string SummaryText(const RunSummary& summary, const SurgeRun& run);
// The same with the envelope's 内水压力水头 column when `soffits` holds the
// soffit of every node (m, node 1 first); without it when `soffits` is empty.
std::string SummaryText(const RunSummary& summary, const SurgeRun& run,
                        std::span<const double> soffits);

// The highest pressure head above the soffit at a node (内水压力水头): its
// highest head less the soffit there, m. The summary, the envelope CSV and
// the calculation report all print this one value.
double InternalPressureHead(const NodeEnvelope& node, double soffit);

// The summary's number texts, for every text that shows the same values (the
// design checks, the calculation report): fixed-point digits independent of
// the C locale, no "-" before a zero; "时段 1065，126.970 s".
std::string FixedText(double value, int decimals);
// When a verdict on a forebay extreme (the highest level for `highest`, the
// lowest otherwise) is decided: the run must reach the rigid column's
// predicted time of that first extreme plus a tenth of the period. A
// free-surface run with a node part full at step 1 must also reach the end of
// the pump event plus the surge's round trip over the reach (plus the same
// tenth), the later of the two; where that trip or the period cannot be
// given, no time is (`why` says why, and the verdict is undetermined).
// None: nothing to wait for (no forecast or no such extreme of a full
// column).
struct VerdictTime {
  std::optional<double> time;         // s, the run must reach it
  std::optional<double> extremeTime;  // s, the rigid column's predicted extreme
  double surgeTime = 0;               // s, the surge's return (0: a full column's run)
  std::string why;                    // no time: "节点 3 初始干涸，涌波不能通过"
  // Whether the surge's return, not the rigid column, sets the time.
  bool BySurge() const { return surgeTime > extremeTime.value_or(0); }
};
std::optional<VerdictTime> ExtremeVerdictTime(const RunSummary& summary, bool highest);

// The lines on the run length: the period, the share of it the run covers and
// the predicted first extremes with the steps that reach them (and the
// surge's round trip of a free-surface run that sets them); for the summary
// and the status line alike ("振荡周期 414.620 s，…").
std::vector<std::string> RunLengthLines(const RunSummary& summary);
// The note on the classic model's drift, empty when it is below kNotedDrift:
// its first clause up to the amount (kDriftNoteLead), the run's own amount
// and level (DriftAmountText: "约 0.366 m（趋向 -4.882 m）"), then what the
// balanced model does (kDriftNoteClose). A book of several cases writes the
// shared words once and each case's amount alone.
inline constexpr const char* kDriftNoteLead =
    "注：经典模型只计沿程损失，泵流量不变时前池水位也将偏离初始水位";
inline constexpr const char* kDriftNoteClose = "平衡模型（balanced）计入全部恒定流损失，无此漂移";
std::string DriftNote(const RunSummary& summary);
std::string DriftAmountText(const RunSummary& summary);
std::string StepTimeText(const SurgeRun& run, int step);

// The CSV of every computed step: a header row
//   step,time_s,H1_m,V1_m_per_s,H2_m,V2_m_per_s,...
// then one row per step 1..StepCount; each value is the shortest text that
// reads back to the same single. Comma-separated, "." as decimal mark, LF
// line ends.
void WriteCsv(const SurgeRun& run, const ByteWriter& write);

// Columns a UTF-8 text takes in a terminal: East Asian wide characters
// (CJK ideographs, full-width forms) count two, others one.
int DisplayWidth(std::string_view utf8);
// `text` followed by spaces up to `width` columns (nothing cut).
std::string PadRight(std::string_view text, int width);

}  // namespace kelvane
