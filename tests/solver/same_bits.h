// What the march tests compare: two run states bit for bit.
#pragma once

#include <cstring>
#include <span>

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

}  // namespace kelvane::test
