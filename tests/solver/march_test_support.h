// What the march tests share: two run states compared bit for bit, the
// default texts with some boxes changed, and inputs that fault in the march.
#pragma once

#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "solver/inputs.h"
#include "solver/run_state.h"

namespace kelvane::test {

// Both grids, all steps and the step times, compared bit for bit.
inline bool SameBits(const SurgeRun& x, const SurgeRun& y) {
  if (x.GridNodes() != y.GridNodes() || x.GridSteps() != y.GridSteps() ||
      x.TimeSteps() != y.TimeSteps())
    return false;
  auto same = [](std::span<const float> a, std::span<const float> b) {
    return std::memcmp(a.data(), b.data(), a.size_bytes()) == 0;
  };
  for (int step = 1; step <= x.GridSteps(); ++step)
    if (!same(x.HeadsAt(step), y.HeadsAt(step)) ||
        !same(x.VelocitiesAt(step), y.VelocitiesAt(step)))
      return false;
  return same(x.StepTimes(), y.StepTimes());
}

// Boxes changed from their default texts.
using BoxTexts = std::vector<std::pair<InputId, const char*>>;

inline InputTexts With(const BoxTexts& boxes) {
  InputTexts texts = DefaultInputTexts();
  for (const auto& [box, text] : boxes) texts[box] = text;
  return texts;
}

// Runs that fail inside the march, each by another road.
inline const std::vector<BoxTexts>& FaultingMarchInputs() {
  static const std::vector<BoxTexts> inputs = {
      {{InputId::ForebayArea, "1e-30"}},  // forebay level explodes
      {{InputId::ForebayArea, "1e-12"}, {InputId::StepCount, "3000"}},
      {{InputId::CulvertSlope, "1e38"}},   // slope term beyond the single range
      {{InputId::CulvertSlope, "1e300"}},  // slope product beyond the single range
      {{InputId::CulvertSlope, "1e308"},
       {InputId::CulvertLength, "5966620"}},  // dt * J beyond the double range
      {{InputId::CulvertSlope, "-3e36"}, {InputId::SegmentCount, "9"}},
      {{InputId::CulvertArea, "3e38"}, {InputId::FinalPumpDischarge, "1"}},
      {{InputId::FrictionFactor, "3e30"}, {InputId::SegmentCount, "6"}},  // friction products
  };
  return inputs;
}

}  // namespace kelvane::test
