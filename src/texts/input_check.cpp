// The input check: where the leading-number rule stopped, and the values
// no culvert can have.
#include "texts/input_check.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "format/number_format.h"
#include "format/user_text.h"
#include "model/calculate.h"
#include "model/stability.h"

namespace kelvane {
namespace {

// The next code point of UTF-8 text, advancing `pos`; a byte that does not
// start a valid sequence is returned alone.
char32_t NextCodePoint(std::string_view s, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  const std::size_t more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  char32_t code = lead & (0x3F >> more);
  for (std::size_t k = 1; k <= more; ++k) {
    if (pos + k >= s.size() || (static_cast<unsigned char>(s[pos + k]) & 0xC0) != 0x80) {
      ++pos;
      return lead;
    }
    code = (code << 6) | (static_cast<unsigned char>(s[pos + k]) & 0x3F);
  }
  pos += more + 1;
  return code;
}

// Characters of a number typed with a Chinese input method or copied from a
// typeset document: full-width digits, signs, point, exponent letter and
// space, the ideographic full stop, and the minus signs and dashes that are
// not the ASCII hyphen-minus.
bool LooksLikeNonAsciiNumber(char32_t c) {
  return (c >= U'\uFF10' && c <= U'\uFF19') || c == U'\uFF0B' || c == U'\uFF0D' || c == U'\uFF0E' ||
         c == U'\uFF25' || c == U'\uFF45' || c == U'\u3000' || c == U'\u3002' ||
         (c >= U'\u2010' && c <= U'\u2015') || c == U'\u2212' || c == U'\uFE62' || c == U'\uFE63';
}

bool HasNonAsciiNumber(std::string_view s) {
  for (std::size_t pos = 0; pos < s.size();)
    if (LooksLikeNonAsciiNumber(NextCodePoint(s, pos))) return true;
  return false;
}

// The run's step count when the step count box, read as `value`, gives one
// that sizes a run, else 0.
int StepCountOf(double value) {
  std::int16_t steps = 0;
  if (!ToInt16(value, steps)) return 0;
  return steps >= 1 && steps < 32767 ? steps : 0;
}
int RunStepCount(const InputTexts& texts) {
  return StepCountOf(ReadLeadingNumber(texts[InputId::StepCount]));
}

// The forebay stability limit of the run the texts give, in m²; none when
// they give no run up to its steady state. The boxes are read and the
// coefficients formed exactly as for the run, and the time step does not
// depend on the step count.
std::optional<double> Limit(const InputTexts& texts) {
  if (RunStepCount(texts) == 0) return std::nullopt;
  const std::optional<RunOutcome> outcome = CalculateCoefficients(texts);
  if (!outcome) return std::nullopt;
  return ForebayStabilityLimit(outcome->parameters, outcome->coefficients);
}

std::string FixedText3(double value) { return Fixed(value, 3, NegativeZero::Drop); }

// How a text was read, as at most one reason: where the reading stopped
// before the text's end.
void AddReadingReason(const LeadingNumberScan& reading, std::vector<InputFlagReason>& reasons,
                      std::string& unread) {
  if (reading.length >= reading.clean.size()) return;
  unread = reading.clean.substr(reading.length);
  if (HasNonAsciiNumber(unread)) {
    reasons.push_back(InputFlagReason::NonAsciiNumber);
  } else {
    reasons.push_back(reading.digits ? InputFlagReason::TextNotReadWhole
                                     : InputFlagReason::NoDigitRead);
  }
}

// The first node whose head at step 1 of the run the texts give (with
// `extras`) lies below the culvert's soffit; none when every node runs full
// or the texts give no run up to its steady state. Calculate forms the
// steady profile exactly as for the run, which then starts from it; the
// heads compare with the soffit at the run's single precision, as the
// design checks compare them.
struct NodeBelowSoffit {
  int node = 0;
  float head = 0;    // m
  float soffit = 0;  // m
};
std::optional<NodeBelowSoffit> FirstNodeBelowSoffit(const DesignData& data, const InputTexts& texts,
                                                    const ModelExtras& extras) {
  if (RunStepCount(texts) == 0) return std::nullopt;
  SurgeRun run;
  if (!CalculateSteadyState(texts, run, extras)) return std::nullopt;
  const std::span<const float> heads = run.HeadsAt(1);
  for (std::size_t k = 0; k < heads.size(); ++k) {
    const int node = static_cast<int>(k) + 1;
    const auto soffit = float(SoffitAt(data, node, run.SegmentCount()));
    if (heads[k] < soffit) return NodeBelowSoffit{node, heads[k], soffit};
  }
  return std::nullopt;
}

// Every reason in the user's words, joined by "；"; `bound` as InputFlag::bound,
// `node` and `head` as DesignFlag's.
std::string ReasonsText(const std::vector<InputFlagReason>& reasons, const std::string& unreadText,
                        double bound, int node = 0, double head = 0) {
  const std::string unread = QuotedText(unreadText, 16);
  std::string text;
  for (InputFlagReason reason : reasons) {
    if (!text.empty()) text += "；";
    switch (reason) {
      case InputFlagReason::TextNotReadWhole:
        text += "从 " + unread + " 起未读入";
        break;
      case InputFlagReason::NoDigitRead:
        text += "没有读到数字";
        break;
      case InputFlagReason::NonAsciiNumber:
        text += "看起来是全角数字或非 ASCII 减号（从 " + unread + " 起未读入）";
        break;
      case InputFlagReason::NotPositive:
        text += "应大于 0";
        break;
      case InputFlagReason::Negative:
        text += "不应为负";
        break;
      case InputFlagReason::StepOutsideRun:
        text += "不在计算时段 1 至 " + ShortestText(bound) + " 之内";
        break;
      case InputFlagReason::StepCountOutOfRange:
        text += "不在 1 至 32766 之内，无法计算";
        break;
      case InputFlagReason::FirstAfterLastOutputStep:
        text += "晚于终端输出时段 " + ShortestText(bound) + "，结果查询表将没有任何一行";
        break;
      case InputFlagReason::BelowForebayStabilityLimit:
        text += "低于稳定下限 " + SignificantText(bound, 4) + " m²，前池水位计算会发散";
        break;
      case InputFlagReason::ReverseFlow:
        text += "泵流量为负，即水经水泵倒流";
        break;
      case InputFlagReason::InvertsDisagreeWithSlope:
        text += "两端底高程之差与箱涵坡降不符：坡降乘箱涵总长为 " + FixedText3(bound) +
                " m，相差超过其 10%";
        break;
      case InputFlagReason::CulvertNotFullAtStart: {
        const int decimals = VerdictDecimals(float(head), float(bound));
        text += "第 1 时段节点 " + std::to_string(node) + " 的水头 " +
                Fixed(head, decimals, NegativeZero::Drop) + " m 低于顶板高程 " +
                Fixed(bound, decimals, NegativeZero::Drop) +
                " m：箱涵自计算开始即未满流，有压满流模型不适用";
        break;
      }
      case InputFlagReason::TemperatureOutsideTable:
        text += "不在 0 至 40 °C 之内，汽化压力水头按 " + ShortestText(bound) + " °C 计";
        break;
      case InputFlagReason::ElevationOutsideRange:
        text += "不在 -100 至 5000 m 之内，大气压水头按 10.33 - 站址高程/900 外推";
        break;
    }
  }
  return text;
}

}  // namespace

InputCheckOptions CaseCheckOptions(const ModelExtras& extras, InputCheckOptions options) {
  options.forebayTableInForce = extras.forebay.Given();
  options.sectionInForce = extras.model == MarchModel::Mixed;
  return options;
}

bool InputUnread(InputId id, const InputCheckOptions& options) {
  switch (id) {
    case InputId::ForebayArea:
      return options.forebayTableInForce;
    case InputId::CulvertArea:
    case InputId::HydraulicRadius:
      return options.sectionInForce;
    default:
      return false;
  }
}

namespace {

// The reasons of box `id` that read its own text alone, `value` what it
// reads as: how it was read, the impossible values, a step count that sizes
// no run and reverse flow.
InputFlag OwnFlag(InputId id, const std::string& text, double value) {
  InputFlag flag{id, value, {}, {}, 0};
  const LeadingNumberScan reading = ScanLeadingNumber(text);
  AddReadingReason(reading, flag.reasons, flag.unread);
  const ImpossibleValues impossible = Field(id).impossible;
  if (impossible == ImpossibleValues::NotPositive && !(value > 0))
    flag.reasons.push_back(InputFlagReason::NotPositive);
  if (impossible == ImpossibleValues::Negative && value < 0)
    flag.reasons.push_back(InputFlagReason::Negative);
  if (id == InputId::StepCount && reading.digits && StepCountOf(value) == 0)
    flag.reasons.push_back(InputFlagReason::StepCountOutOfRange);
  if (id == InputId::FinalPumpDischarge && value < 0)
    flag.reasons.push_back(InputFlagReason::ReverseFlow);
  return flag;
}

// The reasons of a box that read the other boxes, after its own (no box has
// both kinds but the output steps, whose own reasons come first): the
// output steps against the step count and each other, the forebay area
// against the stability limit. `numbers`: what every box reads as.
void AddReasonsOfOthers(InputFlag& flag, const InputTexts& texts, const InputNumbers& numbers,
                        const InputCheckOptions& options) {
  const InputId id = flag.input;
  const double v = flag.value;
  if ((id == InputId::FirstOutputStep || id == InputId::LastOutputStep) && options.outputSteps) {
    const int steps = StepCountOf(numbers[InputId::StepCount]);
    std::int16_t step = 0;
    if (steps > 0 && (!ToInt16(v, step) || step < 1 || step > steps)) {
      flag.reasons.push_back(InputFlagReason::StepOutsideRun);
      flag.bound = steps;
    }
  }
  // With an interval that counts upwards (0 lists every step), a first
  // step after the last gives a table of no rows.
  if (id == InputId::FirstOutputStep && options.outputSteps &&
      numbers[InputId::OutputInterval] >= 0) {
    const double last = numbers[InputId::LastOutputStep];
    if (v > last) {
      flag.reasons.push_back(InputFlagReason::FirstAfterLastOutputStep);
      flag.bound = last;
    }
  }
  if (id == InputId::ForebayArea && v > 0) {
    const std::optional<double> limit =
        options.forebayStabilityLimit ? options.forebayStabilityLimit : Limit(texts);
    if (limit && std::isfinite(*limit) && v < *limit) {
      flag.reasons.push_back(InputFlagReason::BelowForebayStabilityLimit);
      flag.bound = *limit;
    }
  }
}

}  // namespace

std::vector<InputFlag> CheckInputs(const InputTexts& texts, const InputCheckOptions& options) {
  const InputNumbers numbers = ReadInputNumbers(texts);
  std::vector<InputFlag> flags;
  for (InputId id : AllInputs()) {
    if (InputUnread(id, options)) continue;
    InputFlag flag = OwnFlag(id, texts[id], numbers[id]);
    AddReasonsOfOthers(flag, texts, numbers, options);
    if (!flag.reasons.empty()) flags.push_back(std::move(flag));
  }
  return flags;
}

InputCheckBase::InputCheckBase(const InputTexts& base) : texts_(base) {
  const InputNumbers numbers = ReadInputNumbers(base);
  for (InputId id : AllInputs())
    own_[static_cast<std::size_t>(id)] = OwnFlag(id, base[id], numbers[id]);
}

std::vector<InputFlag> InputCheckBase::Check(const InputTexts& texts, const InputNumbers& numbers,
                                             const InputCheckOptions& options) const {
  std::vector<InputFlag> flags;
  for (InputId id : AllInputs()) {
    if (InputUnread(id, options)) continue;
    InputFlag flag = texts[id] == texts_[id] ? own_[static_cast<std::size_t>(id)]
                                             : OwnFlag(id, texts[id], numbers[id]);
    AddReasonsOfOthers(flag, texts, numbers, options);
    if (!flag.reasons.empty()) flags.push_back(std::move(flag));
  }
  return flags;
}

std::optional<double> RunStabilityLimit(const InputTexts& texts) { return Limit(texts); }

std::vector<EventWarning> CaseEventWarnings(const EventTexts& events, const InputTexts& texts) {
  return CheckEventTexts(events, events.areaTable ? Limit(texts) : std::nullopt);
}

std::string InputValueText(double value) { return ShortestText(value); }

std::string InputFlagText(const InputFlag& flag) {
  return ReasonsText(flag.reasons, flag.unread, flag.bound);
}

bool InvertsDisagree(double drop, double slopeDrop) {
  return std::fabs(std::fabs(drop) - std::fabs(slopeDrop)) > 0.1 * std::fabs(slopeDrop);
}

std::vector<DesignFlag> CheckDesignTexts(const DesignTexts& texts, const InputTexts& inputs,
                                         const ModelExtras& extras) {
  std::vector<DesignFlag> flags;
  const DesignData data = ReadDesignData(texts);
  for (const DesignField& field : DesignFields()) {
    if (!texts[field.id]) continue;
    const LeadingNumberScan reading = ScanLeadingNumber(*texts[field.id]);
    if (reading.clean.empty()) continue;  // left empty: not given
    DesignFlag flag{field.id, ReadLeadingNumber(*texts[field.id]), {}, {}};
    AddReadingReason(reading, flag.reasons, flag.unread);
    if ((field.id == DesignId::CulvertHeight || field.id == DesignId::CulvertWidth ||
         field.id == DesignId::ManningN) &&
        !(flag.value > 0))
      flag.reasons.push_back(InputFlagReason::NotPositive);
    if ((field.id == DesignId::ForebayFreeboard ||
         field.id == DesignId::CulvertDesignPressureHead ||
         field.id == DesignId::ChannelSideSlope || field.id == DesignId::ChannelFreeboard) &&
        flag.value < 0)
      flag.reasons.push_back(InputFlagReason::Negative);
    if (field.id == DesignId::WaterTemperature &&
        !(flag.value >= kLowestTabledTemperature && flag.value <= kHighestTabledTemperature)) {
      flag.reasons.push_back(InputFlagReason::TemperatureOutsideTable);
      flag.bound = flag.value < kLowestTabledTemperature ? kLowestTabledTemperature
                                                         : kHighestTabledTemperature;
    }
    if (field.id == DesignId::SiteElevation &&
        !(flag.value >= kLowestSiteElevation && flag.value <= kHighestSiteElevation))
      flag.reasons.push_back(InputFlagReason::ElevationOutsideRange);
    const auto& upstream = data[DesignId::CulvertInvertUpstream];
    if (field.id == DesignId::CulvertInvertDownstream && upstream) {
      const double slopeDrop = ReadLeadingNumber(inputs[InputId::CulvertSlope]) *
                               ReadLeadingNumber(inputs[InputId::CulvertLength]);
      if (InvertsDisagree(*upstream - flag.value, slopeDrop)) {
        flag.reasons.push_back(InputFlagReason::InvertsDisagreeWithSlope);
        flag.bound = std::fabs(slopeDrop);
      }
    }
    // A soffit above the head the run starts with: told on the clear height,
    // once the whole soffit is known and can be one.
    // The mixed model runs part full as it runs full: nothing to tell.
    if (field.id == DesignId::CulvertHeight && CulvertGiven(data) && flag.value > 0 &&
        extras.model != MarchModel::Mixed) {
      if (const auto below = FirstNodeBelowSoffit(data, inputs, extras)) {
        flag.reasons.push_back(InputFlagReason::CulvertNotFullAtStart);
        flag.bound = below->soffit;
        flag.node = below->node;
        flag.head = below->head;
      }
    }
    if (!flag.reasons.empty()) flags.push_back(std::move(flag));
  }
  return flags;
}

bool DesignCheckReadsInputs(const DesignTexts& texts) {
  return texts[DesignId::CulvertInvertDownstream] || texts[DesignId::CulvertHeight];
}

std::string DesignFlagText(const DesignFlag& flag) {
  return ReasonsText(flag.reasons, flag.unread, flag.bound, flag.node, flag.head);
}

std::string DesignFlagLine(const DesignFlag& flag) {
  return std::string("--") + Field(flag.item).option + " 读作 " + InputValueText(flag.value) +
         "：" + DesignFlagText(flag);
}

}  // namespace kelvane
