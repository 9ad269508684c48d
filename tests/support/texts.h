// The default input texts with some boxes changed, and runs made from them
// in-process.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "solver/solver.h"

namespace kelvane::test {

// Boxes changed from their default texts: {box, text}.
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

}  // namespace kelvane::test
