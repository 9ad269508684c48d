// The one numbered error catalogue and the run-time error that carries it.
#include <string>

#include "solver/solver.h"

namespace kelvane {

std::string_view ErrorDescription(ErrorCode code) {
  switch (code) {
    case ErrorCode::Overflow:
      return "溢出";
    case ErrorCode::OutOfMemory:
      return "内存不够";
    case ErrorCode::SubscriptOutOfRange:
      return "下标越界";
    case ErrorCode::DivisionByZero:
      return "除数为零";
    case ErrorCode::BadFileName:
      return "文件名或文件号错误";
    case ErrorCode::FileNotFound:
      return "文件未找到";
    case ErrorCode::DiskFull:
      return "磁盘已满";
    case ErrorCode::PermissionDenied:
      return "没有权限";
    case ErrorCode::PathFileAccess:
      return "路径/文件访问错误";
    case ErrorCode::PathNotFound:
      return "路径未找到";
  }
  return "未知错误";
}

namespace {
std::string Message(ErrorCode code, const std::string& where) {
  std::string text = "运行时错误 " + std::to_string(static_cast<int>(code)) + "：";
  text += ErrorDescription(code);
  if (!where.empty()) text += "（" + where + "）";
  return text;
}
}  // namespace

RunError::RunError(ErrorCode code, std::string where)
    : std::runtime_error(Message(code, where)), code_(code), where_(std::move(where)) {}

}  // namespace kelvane
