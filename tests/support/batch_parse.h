// The batch options of a command line given as its words after the
// program's name, for the tests of the batch mode in-process.
#pragma once

#include <string>
#include <vector>

#include "batch_options.h"
#include "usage_error.h"

namespace kelvane::test {

inline BatchOptions ParseArgs(std::vector<std::string> args) {
  args.insert(args.begin(), "kelvane");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return ParseBatchOptions(static_cast<int>(argv.size()), argv.data());
}

// The usage error the words give, "" for none.
inline std::string UsageErrorOf(const std::vector<std::string>& args) {
  try {
    ParseArgs(args);
  } catch (const UsageError& error) {
    return error.what();
  }
  return "";
}

}  // namespace kelvane::test
