// A pump start that draws the forebay below the soffit of a box culvert's
// outlet and lets it rise again, and air running in under the soffit of a
// full box at an open end. What is held: mass to 1e-9 of the volume, the head
// inside the culvert free of swings while the forebay stands below the
// outlet's soffit, and air that enters a full cell only at the speed of a
// cavity under the soffit, never against an outflow faster than that.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "freesurface/mixed_run.h"
#include "freesurface/references.h"

namespace kelvane::freesurface {
namespace {

using namespace testing;

// The example case of a draining culvert as the program sets it up: a 6 ×
// 5.3 m box, 596.662 m, inverts -10 and -10.5 m, the reservoir at -4.34 m,
// the pumps from 20 to 41.6 m³/s at once, a forebay of 1287.414 m².
MixedCase DrainingCase(double waveSpeed) {
  MixedCase m;
  m.reach.section = {SectionKind::Box, 6, 5.3, 0};
  m.reach.length = 596.662;
  m.reach.invertUpstream = -10;
  m.reach.invertDownstream = -10.5;
  m.reach.friction = {FrictionLaw::Darcy, 0.01};
  m.reach.losses.push_back({417.663, 0.0304});
  m.reach.waveSpeed = waveSpeed;
  m.reach.vapourHead = -10.09;
  m.reach.cells = 50;
  m.reach.gravity = kG;
  m.reservoirLevel = -4.34;
  m.intakeLoss = 1.7885;
  m.outletLoss = 0.7625;
  m.steadyDischarge = 20;
  m.finalPumpDischarge = 41.6f;
  m.forebayArea = 1287.414;
  m.reaches = 5;
  m.steps = 1500;
  m.timeStep = 596.662 / (5 * waveSpeed);
  return m;
}

struct DrainingRecord {
  double worstMass = 0;       // of the culvert's and forebay's volume at the start
  double fellBelow = -1;      // s, when the forebay fell below the outlet's soffit
  double backAbove = -1;      // s, when it rose back above it
  int freeSteps = 0;          // run steps with any cell free
  std::vector<double> swing;  // m, node 3's swing beyond its net change, 10 s windows
};

DrainingRecord RunDraining(const MixedCase& m) {
  ReachModel reach(CaseReach(m));
  EXPECT_TRUE(reach.SetSteadyState(m.steadyDischarge));
  const double soffit = m.reach.invertDownstream + m.reach.section.height;
  auto volume = [&]() {
    return reach.CulvertVolume() + m.forebayArea * reach.DownstreamLevel() -
           reach.ExchangedVolume();
  };
  const double start = volume();
  DrainingRecord r;
  double previous = reach.Nodes(m.reaches)[2].level;
  double windowStart = previous;
  double variation = 0;
  double windowEnd = 0;
  for (int j = 1; j < m.steps; ++j) {
    reach.Advance(m.timeStep);
    r.worstMass = std::max(r.worstMass, std::fabs(volume() - start) / start);
    const double t = reach.Time();
    const double level = reach.Nodes(m.reaches)[2].level;
    for (int i = 0; i < reach.Cells(); ++i) {
      if (reach.CellPressurized(i)) continue;
      ++r.freeSteps;
      break;
    }
    if (r.fellBelow < 0 && reach.DownstreamLevel() < soffit) {
      r.fellBelow = t;
      windowEnd = t + 10;
      windowStart = level;
    } else if (r.fellBelow >= 0) {
      variation += std::fabs(level - previous);
      if (t >= windowEnd) {
        r.swing.push_back(variation - std::fabs(level - windowStart));
        variation = 0;
        windowStart = level;
        windowEnd += 10;
      }
    }
    previous = level;
    if (r.fellBelow >= 0 && r.backAbove < 0 && reach.DownstreamLevel() > soffit) r.backAbove = t;
  }
  return r;
}

// The forebay stands up to 9 cm below the outlet's soffit while the culvert
// runs out into it at 1.0 to 1.5 m/s: a layer of air that thin runs in at
// 1.3 m/s at most, when the water runs out at 1.3 m/s too, and it does not
// cross the 12 m end cell before the forebay rises again: the outlet stays
// full and the head inside follows the forebay smoothly. Before, the
// reflected state outside the outlet, a hair below the soffit, drained the
// end cell by metres within two sub-steps and let air in, and air then
// crossed a nearly full cell in every sub-step: cells turned free and full
// in turn along the whole culvert and node 3 swung by 9.1, 5.5 and 4.0 m in
// the first three windows.
TEST(FreeSurfaceDrainingEnd, ForebayBelowTheSoffitLeavesTheHeadSmooth) {
  const MixedCase m = DrainingCase(1000);
  const DrainingRecord r = RunDraining(m);
  std::printf(
      "draining end, a = 1000 m/s: forebay below the soffit from %.1f s to %.1f s, run steps "
      "with a free cell %d, mass %.1e of the volume; node 3's swing beyond its net change in "
      "10 s windows (m):",
      r.fellBelow, r.backAbove, r.freeSteps, r.worstMass);
  for (double v : r.swing) std::printf(" %.4f", v);
  std::printf("\n");
  EXPECT_LT(r.worstMass, 1e-9);
  ASSERT_GT(r.fellBelow, 0) << "the forebay never fell below the soffit";
  ASSERT_GT(r.backAbove, r.fellBelow) << "the forebay never rose back above the soffit";
  EXPECT_EQ(r.freeSteps, 0);
  ASSERT_GE(r.swing.size(), 8u);
  for (std::size_t k = 0; k < r.swing.size(); ++k) EXPECT_LT(r.swing[k], 0.01) << "window " << k;
}

// A full 3 × 2 m box, 100 m in 50 cells, its head 0.5 m above the soffit,
// closed upstream but for a given discharge, against a level of 1.5 m
// downstream: air may run in at the outlet, whose cavity (0.5 m of air under
// the soffit) runs at √(gD·h(2−h)(1−h)/(1+h)) = 2.27 m/s, h = 1/4, against
// still water. Still water lets it in once it has crossed the end cell; an
// outflow of 3 m/s holds it out.
TEST(FreeSurfaceDrainingEnd, AirRunsInAtTheCavitysSpeed) {
  struct Row {
    const char* name;
    double velocity;  // m/s, the outflow at the start and through the upstream end
    bool opens;       // whether the end cell runs free within the run
  };
  const Row rows[] = {{"still water", 0.0, true}, {"an outflow of 3 m/s", 3.0, false}};
  constexpr double kFullArea = 6;
  const double cavity = std::sqrt(kG * 2 * 0.25 * 1.75 * 0.75 / 1.25);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ReachSetup setup = Box(3, 2, 100, 50, 100);
    setup.upstream = SuddenDischargeEnd(row.velocity * kFullArea, row.velocity * kFullArea);
    setup.downstream = LevelEnd(1.5);
    ReachModel reach(setup);
    const double area = kFullArea + reach.CrossSection().SlotWidth() * 0.5;
    reach.SetState(std::vector<double>(50, area), std::vector<double>(50, row.velocity * area));
    double opened = -1;
    while (reach.Time() < 10 && opened < 0) {
      reach.Advance(0.01);
      if (!reach.CellPressurized(49)) opened = reach.Time();
    }
    std::printf(
        "air at the outlet, %s: end cell free at %.2f s (the cavity crosses it in %.2f s)\n",
        row.name, opened, reach.CellLength() / cavity);
    if (row.opens) {
      EXPECT_GE(opened, reach.CellLength() / cavity);
      EXPECT_LT(opened, 2 * reach.CellLength() / cavity);
    } else {
      EXPECT_LT(opened, 0) << "the air ran in against the outflow";
    }
  }
}

}  // namespace
}  // namespace kelvane::freesurface
