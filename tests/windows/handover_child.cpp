// Stands in for the GUI program in the hand-over test: prints its
// arguments (UTF-8, one a line) and exits with the status its last argument
// names.
#include <cstdio>
#include <cstdlib>

#include "utf16_entry.h"

int main(int argc, char** argv) {
  kelvane::TakeUtf16CommandLine(argc, argv);
  for (int i = 1; i < argc; ++i) std::printf("%s\n", argv[i]);
  std::fputs("child on standard error\n", stderr);
  return argc > 1 ? std::atoi(argv[argc - 1]) : 0;
}
