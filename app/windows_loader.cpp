#include "windows_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
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

[[noreturn]] void Fail(ErrorCode code, const std::string& file, const std::string& detail) {
  ErrorLocation at;
  at.file = file;
  at.fileAction = FileAction::Open;
  at.detail = detail;
  throw RunError(code, at);
}

const ui::WindowsModule& Load() {
  const std::string folder = ProgramFolder();
  const std::string candidates[] = {
      folder + "kelvane-windows.so",
      folder + KELVANE_MODULE_FROM_PROGRAM "/kelvane-windows.so",
  };
  for (const std::string& file : candidates) {
    if (::access(file.c_str(), F_OK) != 0) continue;
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) Fail(ErrorCode::PathFileAccess, file, ::dlerror());
    using Entry = const ui::WindowsModule* (*)();
    auto entry = reinterpret_cast<Entry>(::dlsym(handle, "KelvaneWindowsModule"));
    const ui::WindowsModule* module = entry ? entry() : nullptr;
    if (module == nullptr || module->version != ui::kWindowsModuleVersion) {
      Fail(ErrorCode::PathFileAccess, file, "窗口模块版本不符");
    }
    return *module;  // stays loaded for the life of the process
  }
  Fail(ErrorCode::FileNotFound, candidates[0], "未找到窗口模块");
}

}  // namespace

const ui::WindowsModule& WindowsModule() {
  static const ui::WindowsModule& module = Load();
  return module;
}

}  // namespace kelvane
