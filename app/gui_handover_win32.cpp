// The hand-over to the GUI program on Windows, which has no execv that
// keeps the process: kelvane-gui.exe is started with the same command
// line and this program's standard handles, waited for, and its exit status
// becomes this program's.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/utf16_win32.h"
#include "gui_handover.h"
#include "gui_handover_failure.h"

namespace kelvane {
namespace {

// The full name of the running program.
std::wstring ProgramName() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return L"";
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    name.resize(name.size() * 2);
  }
}

// The command line after the program's own name, as the system handed it
// over: the arguments keep their quoting exactly. The name ends at the
// closing quote when it is quoted, else at the first blank.
std::wstring ArgumentsOfCommandLine(const wchar_t* line) {
  const wchar_t* p = line;
  if (*p == L'"') {
    ++p;
    while (*p != L'\0' && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
  }
  return p;
}

// Makes a standard handle inheritable; the child gets it through STARTUPINFO.
HANDLE Inheritable(DWORD which) {
  const HANDLE handle = ::GetStdHandle(which);
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
    ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
  return handle;
}

}  // namespace

RunError RunInGuiProgram(char** /*argv: the UTF-16 command line is passed on as it is*/) {
  const std::wstring self = ProgramName();
  const std::wstring program = self.substr(0, self.find_last_of(L"\\/") + 1) + L"kelvane-gui.exe";
  const std::string programUtf8 = WideToUtf8(program);
  const DWORD attributes = ::GetFileAttributesW(program.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return GuiProgramMissing(programUtf8);
  }
  if (::CompareStringOrdinal(self.c_str(), -1, program.c_str(), -1, TRUE) == CSTR_EQUAL) {
    return GuiProgramIsThisOne(programUtf8);
  }

  std::wstring commandLine = L"\"" + program + L"\"" + ArgumentsOfCommandLine(::GetCommandLineW());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = Inheritable(STD_INPUT_HANDLE);
  startup.hStdOutput = Inheritable(STD_OUTPUT_HANDLE);
  startup.hStdError = Inheritable(STD_ERROR_HANDLE);
  std::fflush(stdout);
  std::fflush(stderr);
  PROCESS_INFORMATION child{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &child)) {
    return GuiProgramWillNotStart(
        programUtf8, "无法启动窗口程序（错误 " + std::to_string(::GetLastError()) + "）");
  }
  ::CloseHandle(child.hThread);
  // Ctrl+C reaches the child on the same console; this process waits for
  // the child's answer to it.
  ::SetConsoleCtrlHandler(nullptr, TRUE);
  ::WaitForSingleObject(child.hProcess, INFINITE);
  DWORD status = 1;
  ::GetExitCodeProcess(child.hProcess, &status);
  ::CloseHandle(child.hProcess);
  std::exit(static_cast<int>(status));
}

}  // namespace kelvane
