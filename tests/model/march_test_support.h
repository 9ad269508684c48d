// What the march tests share: two run states compared bit for bit, random
// starting states, and inputs that fault in the march.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <span>
#include <utility>
#include <vector>

#include "model/inputs.h"
#include "model/run_editor.h"
#include "model/run_state.h"
#include "support/texts.h"

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

// A run of `steps` steps over `heads.size() - 1` reaches, zero-filled but for
// step 1.
inline SurgeRun StartedRun(std::span<const float> heads, std::span<const float> velocities,
                           int steps) {
  SurgeRun run;
  SurgeRunEditor editor(run);
  editor.Resize(static_cast<std::int16_t>(heads.size() - 1), static_cast<std::int16_t>(steps));
  std::memcpy(editor.HeadsAt(1), heads.data(), heads.size_bytes());
  std::memcpy(editor.VelocitiesAt(1), velocities.data(), velocities.size_bytes());
  return run;
}

// Random step-1 states for 1 to 60 reaches, the rows of every length that a
// vector loop splits differently into a main part and a remainder, each
// handed to `check(start, reaches, planted)`: first 8 steps of plain values,
// then 2 to 13 steps with a value too large to square planted at a random
// node (a fault in the middle reaches a boundary only steps later; one near
// the last step never does).
template <class Check>
void ForEachRandomStart(std::uint32_t seed, Check&& check) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> head(-8.0f, 3.0f), velocity(-4.0f, 4.0f);
  for (int planted = 0; planted < 2; ++planted) {
    for (int reaches = 1; reaches <= 60; ++reaches) {
      float heads[61], velocities[61];
      for (int node = 0; node <= reaches; ++node) {
        heads[node] = head(random);
        velocities[node] = velocity(random);
      }
      const int steps = planted ? 2 + static_cast<int>(random() % 12) : 8;
      if (planted) velocities[random() % (reaches + 1)] = 3e19f;
      check(StartedRun(std::span(heads, reaches + 1), std::span(velocities, reaches + 1), steps),
            reaches, planted == 1);
    }
  }
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
