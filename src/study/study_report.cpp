// The study's closing report: the tally of its rows and the report text.
#include <algorithm>
#include <string>

#include "format/number_format.h"
#include "study/study.h"

namespace kelvane {

void VerdictCount::Add(const std::optional<CheckVerdict>& verdict) {
  if (!verdict) {
    ++unjudged;
    return;
  }
  switch (*verdict) {
    case CheckVerdict::Pass:
      ++passed;
      break;
    case CheckVerdict::Fail:
      ++failed;
      break;
    case CheckVerdict::Undetermined:
      ++undetermined;
      break;
    case CheckVerdict::Invalid:
      ++invalid;
      break;
  }
}

StudyTally::StudyTally(const StudyPlan& plan, const StudyLimits& limits,
                       const std::vector<CheckKind>& checks)
    : max_(limits.forebayMaxLevel.has_value()),
      min_(limits.forebayMinLevel.has_value()),
      checks_(checks) {
  for (std::size_t c = 0; c < plan.Columns().size(); ++c) {
    seen_.emplace_back(plan.ValueCount(c));
    failing_.emplace_back(plan.ValueCount(c));
  }
  if (max_) counts_.push_back({.item = "前池最高水位限值"});
  if (min_) counts_.push_back({.item = "前池最低水位限值"});
  for (CheckKind kind : checks_) counts_.push_back({.item = CheckItemName(kind)});
}

void StudyTally::Add(const CaseResult& result) {
  ++cases_;
  failed_ += result.status != 0;
  std::size_t k = 0;
  if (max_) counts_[k++].Add(result.verdictMax);
  if (min_) counts_[k++].Add(result.verdictMin);
  for (CheckKind kind : checks_) {
    const auto check = std::find_if(result.checks.begin(), result.checks.end(),
                                    [&](const CaseResult::Check& c) { return c.kind == kind; });
    counts_[k++].Add(check == result.checks.end() ? std::nullopt : check->verdict);
  }
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

std::string StudyValuesText(const StudyPlan& plan, std::size_t column,
                            const std::vector<std::uint32_t>& values) {
  std::string out;
  for (std::size_t i = 0; i < values.size();) {
    // A run of consecutive values of one FROM:TO:STEP.
    std::size_t j = i;
    while (j + 1 < values.size() && values[j + 1] == values[j] + 1 &&
           plan.NextInRange(column, values[j])) {
      ++j;
    }
    if (!out.empty()) out += "、";
    out += plan.ValueText(column, values[i]);
    if (j >= i + 2) {
      out += " 至 " + plan.ValueText(column, values[j]);
      i = j + 1;
    } else {
      ++i;
    }
  }
  return out;
}

namespace {

// The study's own limits, "前池最高水位 ≤ -2 m，前池最低水位 ≥ -6 m"; "" for none.
std::string LimitsText(const StudyLimits& l) {
  std::string limits;
  if (l.forebayMaxLevel) limits = "前池最高水位 ≤ " + ShortestText(*l.forebayMaxLevel) + " m";
  if (l.forebayMinLevel) {
    limits += (limits.empty() ? "" : "，") + std::string("前池最低水位 ≥ ") +
              ShortestText(*l.forebayMinLevel) + " m";
  }
  return limits;
}

// Each limit and check counted apart: a case passes all only when every one
// is 满足. Nothing when the study has neither.
std::string VerdictCountsText(const StudyTally& tally, int labelWidth) {
  if (tally.Counts().empty()) return {};
  std::string out = "\n各项限值与校核的算例数\n";
  int itemWidth = labelWidth;
  for (const VerdictCount& count : tally.Counts())
    itemWidth = std::max(itemWidth, DisplayWidth(count.item) + 2);
  for (const VerdictCount& count : tally.Counts()) {
    std::string counts =
        "满足 " + std::to_string(count.passed) + "，不满足 " + std::to_string(count.failed) +
        "，未定 " + std::to_string(count.undetermined) + "，无效 " + std::to_string(count.invalid);
    if (count.unjudged != 0) counts += "，未判定 " + std::to_string(count.unjudged);
    out += "  " + PadRight(count.item, itemWidth) + counts + "\n";
  }
  return out;
}

}  // namespace

std::string StudyReportText(const StudyPlan& plan, const StudySettings& settings,
                            const StudyTally& tally, const std::vector<CheckKind>& checks) {
  int labelWidth = 16;
  for (const StudyItem& item : plan.Columns()) {
    labelWidth = std::max(labelWidth, DisplayWidth(item.Option()) + 2);
  }
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
             std::to_string(plan.CaseCount()) +
             " 个中；本概要只计本分片，--join-shards "
             "合并各分片得全研究的概要）");
  }
  line(out, "运行失败", std::to_string(tally.Failed()));
  const std::string limits = LimitsText(settings.limits);
  if (checks.empty()) {
    line(out, "限值", limits.empty() ? "无（运行完成即通过）" : limits);
  } else {
    // The design checks count as limits: a case passes when every one its
    // data gives is met.
    std::string names;
    for (CheckKind kind : checks) {
      names += (names.empty() ? "" : "、") + std::string(CheckItemName(kind));
    }
    line(out, "限值", limits.empty() ? "无" : limits);
    line(out, "设计校核", names);
  }
  line(out, passedLabel, std::to_string(tally.Passed()));
  out += VerdictCountsText(tally, labelWidth);

  out += "\n各扫描选项全部案例通过的取值\n";
  for (std::size_t c = 0; c < plan.Columns().size(); ++c) {
    const std::string values = StudyValuesText(plan, c, tally.PassingValues(c));
    line(out, plan.Columns()[c].Option(), values.empty() ? "无" : values);
  }
  return out;
}

}  // namespace kelvane
