// The input check of a study's cases and the study's warnings.
#include "study/case_warnings.h"

#include <algorithm>
#include <utility>

#include "format/user_text.h"

namespace kelvane {

InputCheckOptions StudyCheckOptions(const std::vector<ForebayPoint>& areaTable,
                                    std::optional<double> stabilityLimit) {
  // A study writes no results table, so its output steps are not in use.
  InputCheckOptions check{.outputSteps = false, .forebayStabilityLimit = stabilityLimit};
  check.forebayTableInForce = !areaTable.empty();
  return check;
}

std::vector<InputFlag> CaseInputFlags(const InputTexts& texts,
                                      const std::vector<ForebayPoint>& areaTable,
                                      std::optional<double> stabilityLimit) {
  return CheckInputs(texts, StudyCheckOptions(areaTable, stabilityLimit));
}

std::optional<FlaggedCase> FirstFlaggedCase(const StudyPlan& plan, const StudySettings& settings,
                                            const PreparedCase& base) {
  // The shard's cases: those whose number is shardIndex modulo shardCount.
  const std::int64_t first = settings.shardIndex == 0 ? settings.shardCount : settings.shardIndex;
  for (std::int64_t number = first; number <= plan.CaseCount(); number += settings.shardCount) {
    // Each case read once, its event and table its own where a factor sets
    // part of them (the values were checked before); an event that cannot be
    // read is checked as none.
    Case typed = base.typed;
    plan.SetCaseTexts(number, typed.texts, typed.design, &typed.events);
    const PreparedCase prepared = PrepareCase(std::move(typed));
    const InputTexts& texts = prepared.typed.texts;
    std::vector<InputFlag> flags = CaseInputFlags(texts, prepared.extras.forebay.areaTable);
    if (!flags.empty()) {
      const InputId id = flags.front().input;
      return FlaggedCase{number, std::move(flags.front()), texts[id], {}, {}};
    }
    if (!prepared.designFlags.empty())
      return FlaggedCase{number, {}, {}, prepared.designFlags.front(), {}};
    const EventTexts& events = prepared.typed.events;
    const std::optional<double> limit =
        events.areaTable ? RunStabilityLimit(texts) : std::optional<double>{};
    if (const std::vector<EventWarning> event = CheckEventTexts(events, limit); !event.empty()) {
      return FlaggedCase{number, {}, {}, {}, event.front()};
    }
  }
  return std::nullopt;
}

std::string FlaggedCaseText(const FlaggedCase& flagged) {
  const std::string number = "案例 " + std::to_string(flagged.number) + " 的";
  if (flagged.design) return number + " " + DesignFlagLine(*flagged.design);
  if (flagged.event) return number + EventWarningText(*flagged.event);
  return "案例 " + std::to_string(flagged.number) + " 的 --" + Field(flagged.flag.input).option +
         " " + QuotedText(flagged.text) + " 读作 " + InputValueText(flagged.flag.value) + "：" +
         InputFlagText(flagged.flag);
}

void StudyWarnings::AddOther(OtherKind& kind, const FlaggedCase& flagged) {
  if (kind.count == 0) kind.flagged = flagged;
  if (kind.count < static_cast<std::int64_t>(kFirstCases)) kind.first[kind.count] = flagged.number;
  ++kind.count;
}

void StudyWarnings::Add(const CaseResult& result) {
  flaggedCases_ += result.WarningCount() > 0;
  for (const DesignFlag& flag : result.designFlags) {
    for (InputFlagReason reason : flag.reasons) {
      DesignFlag one = flag;
      one.reasons = {reason};
      AddOther(designKinds_[{flag.item, reason}], {result.number, {}, {}, one, {}});
    }
  }
  for (const EventWarning& warning : result.eventWarnings) {
    AddOther(eventKinds_[warning.kind], {result.number, {}, {}, {}, warning});
  }
  for (const InputFlag& flag : result.flags) {
    for (InputFlagReason reason : flag.reasons) {
      // Cases of another table have another smallest area: not one kind.
      std::size_t table = 0;
      if (reason == InputFlagReason::BelowForebayStabilityLimit && result.eventCells.size() == 2) {
        const auto seen = std::find(tables_.begin(), tables_.end(), result.eventCells[1]);
        table = static_cast<std::size_t>(seen - tables_.begin()) + 1;
        if (seen == tables_.end()) tables_.push_back(result.eventCells[1]);
      }
      Kind& kind = kinds_[{flag.input, reason, table}];
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

namespace {

// One kind's line: its first case's warning, and when more cases have it,
// their count and the first case numbers.
std::string KindLine(const FlaggedCase& first, std::int64_t count,
                     const std::array<std::int64_t, StudyWarnings::kFirstCases>& numbers) {
  std::string out = "kelvane: 警告: " + FlaggedCaseText(first);
  if (count > 1) {
    out += "（此类警告共 " + std::to_string(count) + " 个案例：案例 ";
    for (std::size_t k = 0; k < numbers.size() && static_cast<std::int64_t>(k) < count; ++k) {
      out += (k > 0 ? "、" : "") + std::to_string(numbers[k]);
    }
    if (count > static_cast<std::int64_t>(numbers.size())) out += " 等";
    out += "）";
  }
  return out + '\n';
}

}  // namespace

std::string StudyWarnings::Text() const {
  std::string out;
  for (const auto& [key, kind] : kinds_) {
    const FlaggedCase first{kind.first[0],
                            kind.flag,
                            plan_.CaseTexts(settings_.base.texts, kind.first[0])[std::get<0>(key)],
                            {},
                            {}};
    out += KindLine(first, kind.count, kind.first);
  }
  for (const auto& [key, kind] : designKinds_)
    out += KindLine(kind.flagged, kind.count, kind.first);
  for (const auto& [key, kind] : eventKinds_) out += KindLine(kind.flagged, kind.count, kind.first);
  return out;
}

}  // namespace kelvane
