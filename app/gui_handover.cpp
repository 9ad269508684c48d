#include "gui_handover.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>

namespace kelvane {
namespace {

// The folder of the running program, with a trailing slash.
std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "./";
  const std::string program(path, static_cast<std::size_t>(length));
  return program.substr(0, program.rfind('/') + 1);
}

RunError Failure(ErrorCode code, const std::string& file, const std::string& detail) {
  ErrorLocation at;
  at.file = file;
  at.fileAction = FileAction::Open;
  at.detail = detail;
  return RunError(code, at);
}

}  // namespace

RunError RunInGuiProgram(char** argv) {
  const std::string folder = ProgramFolder();
  const std::string candidates[] = {
      folder + "kelvane-gui",
      folder + KELVANE_GUI_FROM_PROGRAM "/kelvane-gui",
  };
  struct stat self {};
  const bool knowSelf = ::stat("/proc/self/exe", &self) == 0;
  for (const std::string& file : candidates) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) continue;
    // A copy of this program under that name would pass the command on to
    // itself for ever.
    if (knowSelf && info.st_dev == self.st_dev && info.st_ino == self.st_ino) {
      return Failure(ErrorCode::PathFileAccess, file, "窗口程序即本程序");
    }
    ::execv(file.c_str(), argv);
    return Failure(ErrorCode::PathFileAccess, file, std::strerror(errno));
  }
  // Named where an installed program looks for it.
  return Failure(ErrorCode::FileNotFound,
                 std::filesystem::path(candidates[1]).lexically_normal().string(),
                 "未找到窗口程序");
}

}  // namespace kelvane
