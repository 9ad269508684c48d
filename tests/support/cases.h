// Cases for the tests: the default case with boxes, design items and events
// changed, and the bits of a run to compare two runs by.
#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "model/run_state.h"
#include "support/texts.h"
#include "texts/case.h"

namespace kelvane::test {

// Design items given: {item, text}.
using DesignItems = std::vector<std::pair<DesignId, std::string>>;

inline Case CaseWith(const BoxTexts& boxes, const DesignItems& design = {},
                     const EventTexts& events = {}) {
  Case typed;
  typed.texts = TextsWith(boxes);
  for (const auto& [item, text] : design) typed.design[item] = text;
  typed.events = events;
  return typed;
}

// Whether two run states hold the same bits, step times included.
inline bool SameGrids(const SurgeRun& a, const SurgeRun& b) {
  if (a.GridNodes() != b.GridNodes() || a.TimeSteps() != b.TimeSteps()) return false;
  const auto same = [](std::span<const float> x, std::span<const float> y) {
    return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size_bytes()) == 0;
  };
  for (int step = 1; step <= a.TimeSteps(); ++step) {
    if (!same(a.HeadsAt(step), b.HeadsAt(step)) ||
        !same(a.VelocitiesAt(step), b.VelocitiesAt(step)))
      return false;
  }
  return same(a.StepTimes(), b.StepTimes());
}

}  // namespace kelvane::test
