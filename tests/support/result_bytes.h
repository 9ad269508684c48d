// What the writers of the output library append, caught in memory: what the
// tests compare the program's files with.
#pragma once

#include <string>
#include <string_view>

#include "files/output.h"
#include "support/texts.h"

namespace kelvane::test {

// Everything a ByteWriter body appends, in memory.
template <typename Body>
std::string Collect(Body&& body) {
  std::string bytes;
  body([&](std::string_view more) { bytes += more; });
  return bytes;
}

// The result file of a run, as the window would save it.
inline std::string ResultFileBytes(const CompletedRun& c) {
  return Collect([&](const ByteWriter& write) {
    WriteResultText(c.run, c.outcome.parameters.OutputInterval, write, NoProgress());
  });
}

}  // namespace kelvane::test
