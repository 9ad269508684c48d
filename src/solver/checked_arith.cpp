#include "solver/checked_arith.h"

namespace kelvane::detail {

std::string Site::Text() const {
  if (step == 0) return std::string("计算 ") + what;
  std::string text = "第 " + std::to_string(step) + " 时段";
  if (node != 0) text += "，节点 " + std::to_string(node);
  return text + "（" + what + "）";
}

void CheckedArith::Fail(ErrorCode code) const { throw RunError(code, site_.Text()); }

}  // namespace kelvane::detail
