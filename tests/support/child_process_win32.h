// The built programs run as child processes on Windows (and under Wine): the
// command line in UTF-16, standard output and error caught in files.
#pragma once

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "files/utf16_win32.h"

namespace kelvane::test {

struct WindowsProcessResult {
  DWORD status = 0xFFFFFFFF;  // exit status; all ones when it did not start
  std::string out;
  std::string err;
};

// A program built on this machine, by the name the build gave it: a path of
// the build machine when cross-built and run under Wine, whose drive Z: is
// that machine's root.
inline std::string BuiltProgram(std::string path) {
  if (path.starts_with('/')) path = "Z:" + path;
  return path;
}

// One argument quoted as CommandLineToArgvW reads it back.
inline std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');  // before the closing quote
  quoted.push_back(L'"');
  return quoted;
}

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::string bytes;
  if (std::FILE* in = ::_wfopen(path.c_str(), L"rb")) {
    char buffer[1 << 16];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, in))
      bytes.append(buffer, got);
    std::fclose(in);
  }
  return bytes;
}

// Runs `words` (the program, then its arguments, UTF-8) in `folder` (empty:
// the test's own), standard input empty, and waits for it.
inline WindowsProcessResult RunWindowsProcess(const std::vector<std::string>& words,
                                              const std::filesystem::path& folder = {}) {
  namespace fs = std::filesystem;
  static int serial = 0;
  const fs::path outName =
      fs::temp_directory_path() / (L"kelvane-out-" + std::to_wstring(::GetCurrentProcessId()) +
                                   L"-" + std::to_wstring(++serial));
  const fs::path errName = outName.wstring() + L".err";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const auto open = [&](const fs::path& name) {
    return ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  const HANDLE out = open(outName), err = open(errName);
  const HANDLE in = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, OPEN_EXISTING, 0, nullptr);
  std::wstring line;
  for (const std::string& word : words) {
    if (!line.empty()) line.push_back(L' ');
    line += QuoteArgument(Utf8ToWide(word));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION child{};
  WindowsProcessResult result;
  const std::wstring program = Utf8ToWide(words.front());
  if (::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &child)) {
    ::WaitForSingleObject(child.hProcess, INFINITE);
    ::GetExitCodeProcess(child.hProcess, &result.status);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
  }
  ::CloseHandle(in);
  ::CloseHandle(out);
  ::CloseHandle(err);
  result.out = ReadWholeFile(outName);
  result.err = ReadWholeFile(errName);
  std::error_code ignored;
  fs::remove(outName, ignored);
  fs::remove(errName, ignored);
  return result;
}

}  // namespace kelvane::test
