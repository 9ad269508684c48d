// Runs made in-process for the app tests: what the batch mode must reproduce.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "output/output.h"
#include "solver/solver.h"

namespace kelvane::test {

// Default texts with some boxes changed: {box, text}.
using BoxTexts = std::vector<std::pair<InputId, std::string>>;

inline InputTexts TextsWith(const BoxTexts& changes) {
  InputTexts texts = DefaultInputTexts();
  for (const auto& [box, text] : changes) texts[box] = text;
  return texts;
}

struct CompletedRun {
  SurgeRun run;
  RunOutcome outcome;
};

inline CompletedRun CalculateRun(const InputTexts& texts) {
  CompletedRun completed;
  completed.outcome = Calculate(texts, completed.run);
  return completed;
}

// Everything a ByteWriter body appends, in memory.
template <typename Body>
std::string Collect(Body&& body) {
  std::string bytes;
  body([&](std::string_view more) { bytes += more; });
  return bytes;
}

inline std::string ResultFileBytes(const CompletedRun& c) {
  return Collect([&](const ByteWriter& write) {
    WriteResultText(c.run, c.outcome.parameters.OutputInterval, write, NoProgress());
  });
}

}  // namespace kelvane::test
