// The input check of a study's cases and the study's warnings.
#include "study/case_warnings.h"

#include "solver/user_text.h"

namespace kelvane {

std::vector<InputFlag> CaseInputFlags(const InputTexts& texts,
                                      const std::vector<ForebayPoint>& areaTable,
                                      std::optional<double> stabilityLimit) {
  // A study writes no results table, so its output steps are not in use.
  InputCheckOptions check{.outputSteps = false, .forebayStabilityLimit = stabilityLimit};
  if (!areaTable.empty()) check.forebaySmallestArea = SmallestForebayArea(areaTable);
  return CheckInputs(texts, check);
}

std::optional<FlaggedCase> FirstFlaggedCase(const StudyPlan& plan, const StudySettings& settings) {
  InputTexts texts = settings.base.texts;
  DesignTexts design = settings.base.design;
  // Each case's own table where a factor sets part of the event (the values
  // were checked before), else the base one, read once.
  const auto areaTableOf = [](const EventTexts& events) {
    try {
      return ReadModelExtras(events).forebay.areaTable;
    } catch (const RunError&) {
      return std::vector<ForebayPoint>{};
    }
  };
  const std::vector<ForebayPoint> baseTable = areaTableOf(settings.base.events);
  EventTexts events = settings.base.events;
  // The shard's cases: those whose number is shardIndex modulo shardCount.
  const std::int64_t first = settings.shardIndex == 0 ? settings.shardCount : settings.shardIndex;
  for (std::int64_t number = first; number <= plan.CaseCount(); number += settings.shardCount) {
    plan.SetCaseTexts(number, texts, design, &events);
    std::vector<InputFlag> flags =
        CaseInputFlags(texts, plan.SweepsEvent() ? areaTableOf(events) : baseTable);
    if (!flags.empty()) {
      const InputId id = flags.front().input;
      return FlaggedCase{number, std::move(flags.front()), texts[id]};
    }
  }
  return std::nullopt;
}

std::string FlaggedCaseText(const FlaggedCase& flagged) {
  return "案例 " + std::to_string(flagged.number) + " 的 --" + Field(flagged.flag.input).option +
         " " + QuotedText(flagged.text) + " 读作 " + InputValueText(flagged.flag.value) + "：" +
         InputFlagText(flagged.flag);
}

void StudyWarnings::Add(const CaseResult& result) {
  flaggedCases_ += !result.flags.empty();
  for (const InputFlag& flag : result.flags) {
    for (InputFlagReason reason : flag.reasons) {
      Kind& kind = kinds_[{flag.input, reason}];
      if (kind.count == 0) {
        kind.flag = flag;
        kind.flag.reasons = {reason};
      }
      if (kind.count < static_cast<std::int64_t>(kFirstCases))
        kind.first[kind.count] = result.number;
      ++kind.count;
    }
  }
}

std::string StudyWarnings::Text() const {
  std::string out;
  for (const auto& [key, kind] : kinds_) {
    const FlaggedCase first{kind.first[0], kind.flag,
                            plan_.CaseTexts(settings_.base.texts, kind.first[0])[key.first]};
    out += "kelvane: 警告: " + FlaggedCaseText(first);
    if (kind.count > 1) {
      out += "（此类警告共 " + std::to_string(kind.count) + " 个案例：案例 ";
      for (std::size_t k = 0; k < kFirstCases && static_cast<std::int64_t>(k) < kind.count; ++k) {
        out += (k > 0 ? "、" : "") + std::to_string(kind.first[k]);
      }
      if (kind.count > static_cast<std::int64_t>(kFirstCases)) out += " 等";
      out += "）";
    }
    out += '\n';
  }
  return out;
}

}  // namespace kelvane
