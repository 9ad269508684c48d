// The input check of a study's cases: each case's texts get the check a
// single batch run gets (CheckInputs), and the study's warnings are told per
// option and kind of warning, by their first cases and a count, however
// many cases there are. Qt-free; prints nothing.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "study/study.h"
#include "texts/event_texts.h"
#include "texts/input_check.h"

namespace kelvane {

// A case of the shard and one of its flags: a box's, or else an item of
// design data's or the pump event's.
struct FlaggedCase {
  std::int64_t number = 0;
  InputFlag flag;
  std::string text;  // the box's text in that case
  std::optional<DesignFlag> design;
  std::optional<EventWarning> event;
};

// The first case of the shard (in case order) whose texts are flagged, and
// its first flag; none when every case is clean. Checks the cases without
// running them: --strict refuses a study before its first case.
// `base`: settings.base prepared once by the caller.
std::optional<FlaggedCase> FirstFlaggedCase(const StudyPlan& plan, const StudySettings& settings,
                                            const PreparedCase& base);

// A flagged case on one line: "案例 2 的 --forebay-area “1,287.414” 读作 1：
// 从 “,287.414” 起未读入" (the flag's every reason); "案例 1 的
// --culvert-height 读作 -1：应大于 0"; "案例 3 的泵流量过程第 2 行：...".
std::string FlaggedCaseText(const FlaggedCase& flagged);

// The warnings of a study, gathered row by row: per option and kind of
// warning (and per level–area table where the warning reads the table), the
// first kFirstCases cases and how many there are.
class StudyWarnings {
 public:
  static constexpr std::size_t kFirstCases = 3;

  // `plan` and `settings` give the texts of the first case of each kind.
  StudyWarnings(const StudyPlan& plan, const StudySettings& settings)
      : plan_(plan), settings_(settings) {}
  void Add(const CaseResult& result);
  // The number of cases with at least one warning.
  std::int64_t FlaggedCases() const { return flaggedCases_; }
  // One line per option and kind (option order, then kind): the first
  // case's warning, and when more cases have it, their count and the first
  // case numbers. UTF-8, LF line ends, each line starting "kelvane: 警告: ".
  std::string Text() const;

 private:
  struct Kind {
    std::int64_t count = 0;
    std::array<std::int64_t, kFirstCases> first{};
    InputFlag flag;  // of the first case, its reason alone
  };
  const StudyPlan& plan_;
  const StudySettings& settings_;
  // Design data and pump event warnings, each with its first case.
  struct OtherKind {
    std::int64_t count = 0;
    std::array<std::int64_t, kFirstCases> first{};
    FlaggedCase flagged;
  };
  void AddOther(OtherKind& kind, const FlaggedCase& flagged);
  // Per option and kind; a stability warning also per level–area table (its
  // value is the table's smallest area), numbered as the tables come (0:
  // none).
  std::map<std::tuple<InputId, InputFlagReason, std::size_t>, Kind> kinds_;
  std::vector<std::string> tables_;
  std::map<std::pair<DesignId, InputFlagReason>, OtherKind> designKinds_;
  std::map<EventWarningKind, OtherKind> eventKinds_;
  std::int64_t flaggedCases_ = 0;
};

}  // namespace kelvane
