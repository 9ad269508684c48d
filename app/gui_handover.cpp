#include "gui_handover.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>

#include "gui_handover_failure.h"

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
    if (knowSelf && info.st_dev == self.st_dev && info.st_ino == self.st_ino) {
      return GuiProgramIsThisOne(file);
    }
    ::execv(file.c_str(), argv);
    return GuiProgramWillNotStart(file, std::strerror(errno));
  }
  // Named where an installed program looks for it.
  return GuiProgramMissing(std::filesystem::path(candidates[1]).lexically_normal().string());
}

}  // namespace kelvane
