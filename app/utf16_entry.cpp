#include "utf16_entry.h"

#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/utf16_win32.h"

namespace kelvane {
namespace {

UINT savedOutputCodePage = 0;

void RestoreConsoleCodePage() {
  std::fflush(stdout);
  std::fflush(stderr);
  if (savedOutputCodePage != 0) ::SetConsoleOutputCP(savedOutputCodePage);
}

}  // namespace

void TakeUtf16CommandLine(int& argc, char**& argv) {
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide != nullptr) {
    texts.clear();
    for (int i = 0; i < count; ++i) texts.push_back(WideToUtf8(wide[i]));
    ::LocalFree(wide);
    pointers.clear();
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    argc = count;
    argv = pointers.data();
  }

  ::_setmode(::_fileno(stdin), _O_BINARY);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);

  // The console shows the program's UTF-8 as it is; the console's own code
  // page comes back when the program ends.
  const UINT current = ::GetConsoleOutputCP();
  if (current != 0 && current != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
    savedOutputCodePage = current;
    std::atexit(RestoreConsoleCodePage);
  }
}

}  // namespace kelvane
