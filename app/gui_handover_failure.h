// How a hand-over that cannot start the GUI program fails, in the same
// words on every system: the file named, opened, and the reason.
#pragma once

#include <string>

#include "model/errors.h"

namespace kelvane {

inline RunError GuiProgramFailure(ErrorCode code, const std::string& file,
                                  const std::string& detail) {
  ErrorLocation at;
  at.file = file;
  at.fileAction = FileAction::Open;
  at.detail = detail;
  return RunError(code, at);
}

// 53: no GUI program where this one looks for it.
inline RunError GuiProgramMissing(const std::string& file) {
  return GuiProgramFailure(ErrorCode::FileNotFound, file, "未找到窗口程序");
}

// 75: the GUI program found is this program itself (a copy under its name),
// which would pass the command on to itself for ever.
inline RunError GuiProgramIsThisOne(const std::string& file) {
  return GuiProgramFailure(ErrorCode::PathFileAccess, file, "窗口程序即本程序");
}

// 75: the GUI program is there but will not start, with the system's reason.
inline RunError GuiProgramWillNotStart(const std::string& file, const std::string& reason) {
  return GuiProgramFailure(ErrorCode::PathFileAccess, file, reason);
}

}  // namespace kelvane
