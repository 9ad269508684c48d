// A command line that cannot be run as given.
#pragma once

#include <stdexcept>

namespace kelvane {

// The batch mode's exit status for a usage error (--strict's warnings too).
constexpr int kExitUsage = 2;

// An unknown option, a missing or empty value, a repeated option, an output
// this build cannot make, a case file that cannot be read (with its file and
// line). The message is short, UTF-8, without the program name.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace kelvane
