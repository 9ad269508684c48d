#include "evaluation/report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <utility>

#include "format/number_format.h"
#include "texts/event_texts.h"

namespace kelvane {
namespace {

std::string PadLeft(std::string_view text, int width) {
  int pad = width - DisplayWidth(text);
  std::string out(pad > 0 ? pad : 0, ' ');
  out += text;
  return out;
}

// The highest and lowest value of every node of one grid, each with the first
// step that reaches it, gathered block of steps by block of steps.
//
// The grids of a large run far exceed the caches, so the pass is built to read
// each row once, best while the march has just written it: steps are taken in
// blocks, a block's extremes per node come from plain vector min/max over its
// rows, and only a block that beats the running extreme of a node is
// remembered. The step within that block is looked up at the end, for each
// node and extreme once.
using GridRow = std::span<const float> (SurgeRun::*)(int step) const;
constexpr int kStepBlock = 16;

// Where `blockValue` beats `value` (above: higher, else lower), takes it and
// the block's first step. Strict comparisons keep the earliest block.
void Improve(std::vector<float>& value, std::vector<int>& block,
             const std::vector<float>& blockValue, int blockStart, bool above) {
  float* __restrict v = value.data();
  int* __restrict b = block.data();
  const float* __restrict candidate = blockValue.data();
  for (std::size_t k = 0; k < value.size(); ++k) {
    // All ones where the block's value is better, else zero.
    const int better = -int(above ? candidate[k] > v[k] : candidate[k] < v[k]);
    v[k] = better ? candidate[k] : v[k];
    b[k] = (blockStart & better) | (b[k] & ~better);
  }
}

// The first step from `blockStart` (at most kStepBlock steps on) at which node
// k holds `value`. Blocks are never longer, so it is met inside its block.
ExtremeAt FirstStepAt(const SurgeRun& run, GridRow row, std::size_t k, float value, int blockStart,
                      int steps) {
  const int blockEnd = std::min(steps, blockStart + kStepBlock - 1);
  for (int step = blockStart; step <= blockEnd; ++step) {
    float v = (run.*row)(step)[k];
    if (v == value) return {v, step};
  }
  return {value, blockStart};  // only a NaN at step 1 is never met again
}

class GridExtremes {
 public:
  explicit GridExtremes(GridRow row) : row_(row) {}

  // Steps first..last; calls come in ascending order of steps, step 1 first.
  void Add(const SurgeRun& run, int first, int last) {
    // Step 1 alone is its own envelope: read from the grid (whose step 1
    // stays as it was when told) once more steps come or the summary asks,
    // and never where a batch's lane hands over the envelope of every step.
    if (first == 1 && last == 1) {
      startOnly_ = true;
      return;
    }
    if (first == 1 || startOnly_) {
      startOnly_ = false;
      std::span<const float> start = (run.*row_)(1);
      highest_.assign(start.begin(), start.end());
      lowest_ = highest_;
      highestBlock_.assign(highest_.size(), 1);
      lowestBlock_.assign(highest_.size(), 1);
    }
    const std::size_t n = highest_.size();
    blockHighest_.resize(n);
    blockLowest_.resize(n);
    for (int blockStart = first; blockStart <= last; blockStart += kStepBlock) {
      const int blockEnd = std::min(last, blockStart + kStepBlock - 1);
      std::span<const float> start = (run.*row_)(blockStart);
      std::copy(start.begin(), start.end(), blockHighest_.begin());
      std::copy(start.begin(), start.end(), blockLowest_.begin());
      for (int step = blockStart + 1; step <= blockEnd; ++step) {
        const float* __restrict v = (run.*row_)(step).data();
        float* __restrict high = blockHighest_.data();
        float* __restrict low = blockLowest_.data();
        for (std::size_t k = 0; k < n; ++k) {
          high[k] = high[k] < v[k] ? v[k] : high[k];
          low[k] = v[k] < low[k] ? v[k] : low[k];
        }
      }
      Improve(highest_, highestBlock_, blockHighest_, blockStart, true);
      Improve(lowest_, lowestBlock_, blockLowest_, blockStart, false);
    }
  }

  // The extremes of every step at once, each with the first step holding it.
  void Take(GridEnvelope::Extremes&& highest, GridEnvelope::Extremes&& lowest) {
    startOnly_ = false;
    highest_ = std::move(highest.value);
    highestBlock_ = std::move(highest.step);
    lowest_ = std::move(lowest.value);
    lowestBlock_ = std::move(lowest.step);
  }

  ExtremeAt Highest(const SurgeRun& run, std::size_t k, int steps) const {
    if (startOnly_) return FirstStepAt(run, row_, k, (run.*row_)(1)[k], 1, steps);
    return FirstStepAt(run, row_, k, highest_[k], highestBlock_[k], steps);
  }
  ExtremeAt Lowest(const SurgeRun& run, std::size_t k, int steps) const {
    if (startOnly_) return FirstStepAt(run, row_, k, (run.*row_)(1)[k], 1, steps);
    return FirstStepAt(run, row_, k, lowest_[k], lowestBlock_[k], steps);
  }

 private:
  GridRow row_;
  bool startOnly_ = false;  // only step 1 added, not yet read
  std::vector<float> highest_, lowest_, blockHighest_, blockLowest_;
  // Where each extreme is first held: the first step of its block of steps,
  // or the step itself when the march gathered it.
  std::vector<int> highestBlock_, lowestBlock_;
};

int Sign(float value) { return (value > 0) - (value < 0); }

// The first of steps first..last whose value at(step) is below zero
// (`kBelow`) or above it; 0 when none is. Blocks of steps are passed over
// by their least (greatest) value, formed without a branch: a NaN is never
// kept, as it is never beyond zero, and -0 is not beyond zero either. The
// block that holds a value beyond zero is then read step by step.
template <bool kBelow, class At>
int FirstAgainst(const At& at, int first, int last) {
  constexpr int kBlock = 16;
  constexpr float kNone =
      kBelow ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
  int step = first;
  for (; step + kBlock - 1 <= last; step += kBlock) {
    float extreme = kNone;
    for (int k = 0; k < kBlock; ++k) {
      const float v = at(step + k);
      if constexpr (kBelow) {
        extreme = v < extreme ? v : extreme;
      } else {
        extreme = v > extreme ? v : extreme;
      }
    }
    if (kBelow ? extreme < 0 : extreme > 0) break;
  }
  for (; step <= last; ++step) {
    const float v = at(step);
    if (kBelow ? v < 0 : v > 0) return step;
  }
  return 0;
}

// The first step at which `velocity(step)` runs against the direction of the
// first non-zero velocity; 0 when it never does.
int FirstReversal(const SurgeRun& run, int node, int steps) {
  // The steps inside the grids read straight from them, a node's values one
  // step apart; any step beyond them through the checked accessor, which
  // reports it.
  const int nodes = run.GridNodes();
  const int inGrids = node >= 1 && node <= nodes ? std::min(steps, run.GridSteps()) : 0;
  const float* velocity = inGrids > 0 ? run.VelocitiesAt(1).data() + (node - 1) : nullptr;
  const auto at = [&](int step) {
    return velocity[static_cast<std::size_t>(step - 1) * static_cast<std::size_t>(nodes)];
  };
  int direction = 0;
  int step = 1;
  // Within the grids: the direction, then the first step against it (a NaN
  // has neither sign).
  for (; step <= inGrids && direction == 0; ++step) direction = Sign(at(step));
  if (direction != 0) {
    const int against = direction > 0 ? FirstAgainst<true>(at, step, inGrids)
                                      : FirstAgainst<false>(at, step, inGrids);
    if (against != 0) return against;
    step = inGrids + 1;
  }
  for (; step <= steps; ++step) {
    const int sign = Sign(run.Velocity(node, step));
    if (direction == 0) {
      direction = sign;
    } else if (sign == -direction) {
      return step;
    }
  }
  return 0;
}

bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// One labelled line of the summary: the label padded to a fixed column.
void Line(std::string& out, std::string_view label, std::string_view value) {
  out += "  ";
  out += PadRight(label, 16);
  out += value;
  out += '\n';
}

std::string StepAndTime(const SurgeRun& run, int step) {
  return "时段 " + std::to_string(step) + "，" + Fixed(run.StepTime(step), 3, NegativeZero::Drop) +
         " s";
}

std::string ExtremeLine(const SurgeRun& run, const ExtremeAt& extreme) {
  return PadLeft(Fixed(extreme.value, 3, NegativeZero::Drop), 8) + " m   " +
         StepAndTime(run, extreme.step);
}

// The depths and regimes of a free-surface run, after the envelope.
void AppendFreeSurface(std::string& out, const RunSummary& s, const SurgeRun& run) {
  const FreeSurfaceRecord& f = *s.freeSurface;
  out += "\n水深与流态（混合流模型；水深为水面或测压管水头高出底板的高度，m）\n";
  const char* headings[] = {"节点", "底高程", "初始水深", "最大水深", "时段", "最小水深", "时段"};
  const int widths[] = {6, 11, 11, 11, 6, 11, 6};
  for (int c = 0; c < 7; ++c) out += PadLeft(headings[c], widths[c]);
  out += "  流态\n";
  const auto number = [&](float value) { return PadLeft(Fixed(value, 3, NegativeZero::Drop), 11); };
  for (std::size_t k = 0; k < f.nodes.size(); ++k) {
    const NodeRegime& node = f.nodes[k];
    out += PadLeft(std::to_string(k + 1), 6) + number(k < f.invert.size() ? f.invert[k] : 0) +
           number(node.initialDepth) + number(node.highestDepth) +
           PadLeft(std::to_string(node.highestDepthStep), 6) + number(node.lowestDepth) +
           PadLeft(std::to_string(node.lowestDepthStep), 6) + "  " + NodeRegimeWord(node) + "\n";
  }
  for (const std::string& line : FreeSurfaceLines(s, run)) out += "  " + line + "\n";
}

}  // namespace

int DisplayWidth(std::string_view utf8) {
  int width = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (int k = 1; k < length && i + k < utf8.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    width += IsWide(c) ? 2 : 1;
    i += length;
  }
  return width;
}

std::string PadRight(std::string_view text, int width) {
  std::string out(text);
  int pad = width - DisplayWidth(text);
  if (pad > 0) out.append(pad, ' ');
  return out;
}

namespace {

// The rigid column's forecast, of the section's own column in a free-surface
// run (none where a node starts dry).
std::optional<OscillationForecast> Forecast(const SurgeRun& run, const RunOutcome& outcome) {
  const std::optional<FreeSurfaceRecord>& free = outcome.freeSurface;
  if (!free) return ForecastOscillation(outcome.parameters, outcome.extras, run);
  if (!(free->columnArea > 0)) return std::nullopt;
  return ForecastOscillation(outcome.parameters, outcome.extras, run,
                             ColumnSection{free->columnArea, free->startDischarge});
}

}  // namespace

struct RunSummarizer::Envelope {
  GridExtremes heads{&SurgeRun::HeadsAt};
  GridExtremes velocities{&SurgeRun::VelocitiesAt};
};

RunSummarizer::RunSummarizer() : envelope_(std::make_unique<Envelope>()) {}
RunSummarizer::~RunSummarizer() = default;

StepBlockObserver RunSummarizer::Observer(const SurgeRun& run) {
  return [this, &run](int first, int last) { AddSteps(run, first, last); };
}

void RunSummarizer::AddSteps(const SurgeRun& run, int first, int last) {
  envelope_->heads.Add(run, first, last);
  envelope_->velocities.Add(run, first, last);
}

void RunSummarizer::TakeEnvelope(GridEnvelope envelope) {
  envelope_->heads.Take(std::move(envelope.highestHead), std::move(envelope.lowestHead));
  envelope_->velocities.Take(std::move(envelope.highestVelocity),
                             std::move(envelope.lowestVelocity));
}

RunSummary RunSummarizer::Summary(const SurgeRun& run, const RunOutcome& outcome) const {
  return Summary(run, outcome, Forecast(run, outcome));
}

RunSummary RunSummarizer::Summary(const SurgeRun& run, const RunOutcome& outcome,
                                  const std::optional<OscillationForecast>& oscillation) const {
  RunSummary summary;
  summary.reaches = run.SegmentCount();
  summary.nodes = run.GridNodes();
  summary.steps = run.StepCount();
  summary.reachLength = outcome.coefficients.ReachLength;
  summary.timeStep = outcome.coefficients.TimeStep;
  summary.waveSpeed = outcome.parameters.WaveSpeed;
  summary.simulatedTime = run.StepTime(summary.steps);
  summary.waveRoundTrip =
      2.0 * double(outcome.parameters.CulvertLength) / double(outcome.parameters.WaveSpeed);

  auto& envelope = summary.envelope;
  envelope.resize(summary.nodes);
  for (int k = 0; k < summary.nodes; ++k) {
    envelope[k] = {envelope_->heads.Highest(run, k, summary.steps),
                   envelope_->heads.Lowest(run, k, summary.steps),
                   envelope_->velocities.Highest(run, k, summary.steps),
                   envelope_->velocities.Lowest(run, k, summary.steps)};
  }

  const NodeEnvelope& forebay = envelope.back();
  summary.forebayInitial = run.Head(summary.nodes, 1);
  summary.forebayHighest = forebay.highestHead;
  summary.forebayLowest = forebay.lowestHead;
  summary.forebayReversalStep = FirstReversal(run, summary.nodes, summary.steps);
  summary.eventLines = ModelExtrasLines(outcome.extras);
  summary.forebayAreaUse = outcome.forebayAreaUse;
  summary.oscillation = oscillation;
  if (outcome.extras.model == MarchModel::Classic)
    summary.classicDrift = ClassicDrift(outcome.parameters, outcome.coefficients, run);
  summary.freeSurface = outcome.freeSurface;
  return summary;
}

long long StepsToReach(const RunSummary& summary, double time) {
  return StepsToReach(time, summary.timeStep);
}

namespace {

// Whether the run's column starts part full somewhere: a free-surface run
// with a node not full at step 1.
bool FreeAtStart(const RunSummary& s) {
  if (!s.freeSurface) return false;
  return std::any_of(s.freeSurface->nodes.begin(), s.freeSurface->nodes.end(),
                     [](const NodeRegime& node) { return !node.fullAtStart; });
}

// Why a free-surface run's surge gives no time, or empty when it gives one.
std::string SurgeGap(const FreeSurfaceRecord& f) {
  if (f.surgeRoundTrip) return "";
  const std::string node = "节点 " + std::to_string(f.surgeBlockedNode);
  return f.surgeBlockedDry ? node + " 初始干涸，涌波不能通过"
                           : node + " 初始流速不小于其重力波速（急流），涌波不能上溯";
}

}  // namespace

std::optional<VerdictTime> ExtremeVerdictTime(const RunSummary& s, bool highest) {
  const std::optional<OscillationForecast>& f = s.oscillation;
  const std::optional<double> extreme =
      f ? (highest ? f->firstHighestTime : f->firstLowestTime) : std::nullopt;
  VerdictTime t;
  t.extremeTime = extreme;
  if (!FreeAtStart(s)) {
    if (!extreme) return std::nullopt;
    t.time = *extreme + f->period / 10;
    return t;
  }
  if (std::string gap = SurgeGap(*s.freeSurface); !gap.empty()) {
    t.why = std::move(gap);
    return t;
  }
  if (!f) {
    t.why = "刚性水柱估计不出振荡周期";
    return t;
  }
  t.surgeTime = f->eventEnd + *s.freeSurface->surgeRoundTrip;
  t.time = std::max(t.surgeTime, extreme.value_or(0)) + f->period / 10;
  return t;
}

std::vector<std::string> RunLengthLines(const RunSummary& s) {
  std::vector<std::string> lines;
  const auto number = [](double value) { return Fixed(value, 3, NegativeZero::Drop); };
  if (s.oscillation) {
    lines.push_back("振荡周期 " + number(s.oscillation->period) + " s（刚性水柱估计），" +
                    "模拟时长为其 " + number(s.simulatedTime / s.oscillation->period) + " 倍");
  }
  if (FreeAtStart(s)) {
    const FreeSurfaceRecord& free = *s.freeSurface;
    const char* along = free.section == CulvertSection::Channel ? "引渠" : "箱涵";
    lines.push_back(
        free.surgeRoundTrip
            ? std::string("涌波往返 ") + number(*free.surgeRoundTrip) + " s（" + along +
                  "内按初始水深与流速），前池极值的判定时刻不早于泵流量变化结束后一个往返"
            : std::string("涌波往返时间无法估计：") + SurgeGap(free) + "，前池极值的结论未定");
  }
  const auto extreme = [&](const char* name, bool highest) {
    const std::optional<VerdictTime> t = ExtremeVerdictTime(s, highest);
    if (!t || !t->time || !t->extremeTime) return;
    lines.push_back(std::string("预计") + name + " " + number(*t->extremeTime) + " s，判定需算至 " +
                    number(*t->time) + " s（计算时段数 " +
                    std::to_string(StepsToReach(s, *t->time)) + "）");
  };
  extreme("首个最高水位", true);
  extreme("首个最低水位", false);
  return lines;
}

std::string DriftAmountText(const RunSummary& s) {
  if (!s.classicDrift || !(std::fabs(*s.classicDrift) > kNotedDrift)) return "";
  return "约 " + Fixed(std::fabs(*s.classicDrift), 3, NegativeZero::Drop) + " m（趋向 " +
         Fixed(s.forebayInitial + *s.classicDrift, 3, NegativeZero::Drop) + " m）";
}

std::string DriftNote(const RunSummary& s) {
  const std::string amount = DriftAmountText(s);
  if (amount.empty()) return "";
  return std::string(kDriftNoteLead) + amount + "；" + kDriftNoteClose;
}

const char* NodeRegimeWord(const NodeRegime& node) {
  if (!node.everFree) return "满流";
  if (!node.everFull) return "明流";
  return "满流与明流交替";
}

std::vector<std::string> FreeSurfaceLines(const RunSummary& s, const SurgeRun& run) {
  std::vector<std::string> lines;
  const FreeSurfaceRecord& f = *s.freeSurface;
  lines.push_back(f.firstChangeStep == 0 ? std::string("满流与明流转换 无")
                                         : "满流与明流转换 " + StepAndTime(run, f.firstChangeStep) +
                                               " 起于节点 " + std::to_string(f.firstChangeNode) +
                                               "（压力前锋移动与箱涵泄空的计算尚未验证）");
  if (f.section == CulvertSection::Box) {
    lines.push_back("最低压力水头 " +
                    (f.lowestPressureHead < 0
                         ? Fixed(f.lowestPressureHead, 3, NegativeZero::Drop) + " m（相对顶板）"
                         : std::string("不低于顶板")) +
                    "，汽化限值" +
                    (f.vapourLimitReached ? "已达到（该处水体分离，按明流计算）" : "未达到"));
  }
  if (!f.steadyConverged) lines.emplace_back("警告：初始恒定流未收敛，计算自近似的恒定状态开始");
  return lines;
}

RunSummary SummarizeRun(const SurgeRun& run, const RunOutcome& outcome) {
  RunSummarizer summarizer;
  summarizer.AddSteps(run, 1, run.StepCount());
  return summarizer.Summary(run, outcome);
}

std::string FixedText(double value, int decimals) {
  return Fixed(value, decimals, NegativeZero::Drop);
}
std::string StepTimeText(const SurgeRun& run, int step) { return StepAndTime(run, step); }

double InternalPressureHead(const NodeEnvelope& node, double soffit) {
  return double{node.highestHead.value} - soffit;
}

std::string SummaryText(const RunSummary& s, const SurgeRun& run) {
  return SummaryText(s, run, {});
}

std::string SummaryText(const RunSummary& s, const SurgeRun& run, std::span<const double> soffits) {
  std::string out = "运行概要\n\n网格\n";
  Line(out, "管段数", std::to_string(s.reaches));
  Line(out, "节点数", std::to_string(s.nodes));
  Line(out, "计算时段数", std::to_string(s.steps));
  Line(out, "管段长度", Fixed(s.reachLength, 3, NegativeZero::Drop) + " m");
  Line(out, "时间步长", Fixed(s.timeStep, 6, NegativeZero::Drop) + " s");
  Line(out, "弹性波速", Fixed(s.waveSpeed, 1, NegativeZero::Drop) + " m/s");
  Line(out, "模拟时长",
       Fixed(s.simulatedTime, 3, NegativeZero::Drop) + " s（时段 1 至 " + std::to_string(s.steps) +
           "）");
  Line(out, "相长 2L/a", Fixed(s.waveRoundTrip, 3, NegativeZero::Drop) + " s");
  const std::vector<std::string> lengthLines = RunLengthLines(s);
  std::size_t lengthLine = 0;
  if (s.oscillation) {
    Line(out, "振荡周期", lengthLines[0].substr(std::string_view("振荡周期 ").size()));
    lengthLine = 1;
  }
  for (; lengthLine < lengthLines.size(); ++lengthLine)
    out += "  " + lengthLines[lengthLine] + "\n";
  if (const std::string note = DriftNote(s); !note.empty()) out += "  " + note + "\n";

  if (!s.eventLines.empty()) {
    out += "\n工况\n";
    for (const std::string& line : s.eventLines) out += "  " + line + "\n";
    if (const auto& use = s.forebayAreaUse; use && use->step != 0) {
      out += "  所用最小前池面积 " + Fixed(use->smallestArea, 3, NegativeZero::Drop) + " m²（" +
             StepAndTime(run, use->step) + "），最大 " +
             Fixed(use->largestArea, 3, NegativeZero::Drop) + " m²（" +
             StepAndTime(run, use->largestStep) + "），稳定限 " +
             Fixed(use->limit, 6, NegativeZero::Drop) + " m²\n";
      if (use->BelowLimit()) out += "  警告：有时段所用前池面积小于稳定限，结果不可信\n";
    }
  }

  out += "\n前池水位（节点 " + std::to_string(s.nodes) + "）\n";
  Line(out, "初始", PadLeft(Fixed(s.forebayInitial, 3, NegativeZero::Drop), 8) + " m");
  Line(out, "最高", ExtremeLine(run, s.forebayHighest));
  Line(out, "最低", ExtremeLine(run, s.forebayLowest));
  if (s.forebayReversalStep) {
    // The velocity of the reversing step, in the column of the levels above.
    float velocity = run.Velocity(s.nodes, s.forebayReversalStep);
    Line(out, "末端流速反向",
         PadLeft(Fixed(velocity, 3, NegativeZero::Drop), 8) + " m/s " +
             StepAndTime(run, s.forebayReversalStep));
  } else {
    Line(out, "末端流速反向", "无");
  }

  // The soffit of every node, or none: a column for some nodes only would
  // not line up.
  const bool soffit = !soffits.empty() && soffits.size() >= s.envelope.size();
  out += "\n包络（时段 1 至 " + std::to_string(s.steps) + "；水头 m，流速 m/s" +
         (soffit ? "；内水压力水头 = 最高水头 - 顶板高程，m" : "") + "）\n";
  const char* headings[] = {"节点",     "最高水头", "时段",     "最低水头", "时段",
                            "最大流速", "时段",     "最小流速", "时段"};
  out += PadLeft(headings[0], 6);
  for (int c = 1; c < 9; ++c) out += PadLeft(headings[c], c % 2 ? 11 : 6);
  if (soffit) out += PadLeft("内水压力水头", 14);
  out += '\n';
  for (std::size_t k = 0; k < s.envelope.size(); ++k) {
    const NodeEnvelope& e = s.envelope[k];
    out += PadLeft(std::to_string(k + 1), 6);
    for (const ExtremeAt* x :
         {&e.highestHead, &e.lowestHead, &e.highestVelocity, &e.lowestVelocity}) {
      out += PadLeft(Fixed(x->value, 3, NegativeZero::Drop), 11);
      out += PadLeft(std::to_string(x->step), 6);
    }
    if (soffit)
      out += PadLeft(Fixed(InternalPressureHead(e, soffits[k]), 3, NegativeZero::Drop), 14);
    out += '\n';
  }
  if (s.freeSurface) AppendFreeSurface(out, s, run);
  return out;
}

void WriteCsv(const SurgeRun& run, const ByteWriter& write) {
  constexpr std::size_t kChunk = 1 << 20;
  // A field is a comma and at most 15 characters ("-1.17549435e-38").
  constexpr std::size_t kFieldMax = 24;
  std::string buffer;
  buffer.reserve(kChunk + kFieldMax);
  auto flush = [&] {
    write(buffer);
    buffer.clear();
  };
  auto flushIfFull = [&] {
    if (buffer.size() >= kChunk) flush();
  };

  const int nodes = run.GridNodes();
  buffer += "step,time_s";
  for (int k = 1; k <= nodes; ++k) {
    buffer += ",H" + std::to_string(k) + "_m,V" + std::to_string(k) + "_m_per_s";
    flushIfFull();
  }
  buffer += '\n';

  auto append = [&](float value) {
    buffer += ',';
    AppendShortest(buffer, value);
    flushIfFull();
  };
  for (int step = 1; step <= run.StepCount(); ++step) {
    buffer += std::to_string(step);
    append(run.StepTime(step));
    std::span<const float> heads = run.HeadsAt(step);
    std::span<const float> velocities = run.VelocitiesAt(step);
    for (int k = 0; k < nodes; ++k) {
      append(heads[k]);
      append(velocities[k]);
    }
    buffer += '\n';
  }
  flush();
}

}  // namespace kelvane
