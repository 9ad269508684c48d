// The window tests' program: `kelvane_ui_tests CLASS [Qt Test's options]`.
#include "test_classes.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace kelvane::ui_tests {
namespace {

std::map<std::string, ClassMain>& Classes() {
  static std::map<std::string, ClassMain> classes;
  return classes;
}

}  // namespace

bool RegisterClass(const char* name, ClassMain main) {
  if (!Classes().emplace(name, main).second) {
    std::fprintf(stderr, "two test classes named %s\n", name);
    std::abort();
  }
  return true;
}

}  // namespace kelvane::ui_tests

int main(int argc, char** argv) {
  const auto& classes = kelvane::ui_tests::Classes();
  if (argc >= 2) {
    const auto found = classes.find(argv[1]);
    if (found != classes.end()) {
      // The class's name taken out: Qt Test reads the rest.
      argv[1] = argv[0];
      return found->second(argc - 1, argv + 1);
    }
  }
  if (argc >= 2) std::fprintf(stderr, "no test class named %s\n", argv[1]);
  std::fprintf(stderr, "usage: %s CLASS [Qt Test's options]; the classes:\n", argv[0]);
  for (const auto& entry : classes) std::fprintf(stderr, "  %s\n", entry.first.c_str());
  return 2;
}
