// The default input texts with some boxes changed, and runs made from them
// in-process.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/model.h"

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

// A run of `texts` with the pump event and area table of `extras`.
inline CompletedRun CalculateRun(const InputTexts& texts, const ModelExtras& extras = {}) {
  CompletedRun completed;
  CalculateOptions options;
  options.extras = extras;
  completed.outcome = Calculate(texts, completed.run, options);
  return completed;
}

}  // namespace kelvane::test
