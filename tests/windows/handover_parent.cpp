// The hand-over as kelvane.exe makes it, alone: the command line passed to
// kelvane-gui.exe beside this program, whose exit status becomes ours.
#include <cstdio>

#include "gui_handover.h"
#include "utf16_entry.h"

int main(int argc, char** argv) {
  kelvane::TakeUtf16CommandLine(argc, argv);
  const kelvane::RunError error = kelvane::RunInGuiProgram(argv);
  std::fprintf(stderr, "%d %s\n", error.number(), error.location().file.c_str());
  return 100;
}
