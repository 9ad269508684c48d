// What a calculation book says of the project beyond its cases: the names on
// its cover and sign-off page and the basis it rests on, as typed (UTF-8).
// The case file keeps it as its [project] table; the book fills what is left
// empty with its own default words.
#pragma once

#include <string>
#include <vector>

namespace kelvane {

struct ProjectInfo {
  std::string name;                                             // 工程名称
  std::string stage;                                            // 设计阶段
  std::string number;                                           // 计算书编号
  std::string calculatedBy, checkedBy, reviewedBy, approvedBy;  // 计算, 校核, 审核, 审定
  std::vector<std::string> basis;  // the standards and documents relied on; empty: the default
  std::string frictionBasis;       // where the friction factor comes from; "": the user's value
  std::string waveSpeedBasis;      // where the wave speed comes from; "": the user's value

  bool Any() const { return *this != ProjectInfo{}; }
  bool operator==(const ProjectInfo&) const = default;
};

// The one-line texts of ProjectInfo (all but the basis list), in the order
// the case file writes them and the 工程信息 dialog shows them: the case
// file's key and the caption the user sees.
struct ProjectText {
  const char* key;
  const char* caption;
  std::string ProjectInfo::*text;
};
inline constexpr ProjectText kProjectTexts[] = {
    {"name", "工程名称", &ProjectInfo::name},
    {"stage", "设计阶段", &ProjectInfo::stage},
    {"number", "计算书编号", &ProjectInfo::number},
    {"calculated_by", "计算", &ProjectInfo::calculatedBy},
    {"checked_by", "校核", &ProjectInfo::checkedBy},
    {"reviewed_by", "审核", &ProjectInfo::reviewedBy},
    {"approved_by", "审定", &ProjectInfo::approvedBy},
    {"friction_basis", "摩阻系数依据", &ProjectInfo::frictionBasis},
    {"wave_speed_basis", "波速依据", &ProjectInfo::waveSpeedBasis},
};

}  // namespace kelvane
