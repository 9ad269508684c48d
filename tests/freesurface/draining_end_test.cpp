// A pump start that draws the forebay below the soffit of a box culvert's
// outlet and lets it rise again: the end of the culvert turns free and then
// refills. What is held: mass to 1e-9 of the volume, the swing of the head
// inside the culvert dying away once the end runs free, and the end cell
// full again once the forebay stands back above its soffit.
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
  double turnedFree = -1;     // s, when the end cell first ran free
  double backAbove = -1;      // s, when the forebay rose back above the outlet's soffit
  double endAreaAfter = 0;    // m², the end cell's least area from 5 s after that on
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
  const int last = reach.Cells() - 1;
  DrainingRecord r;
  r.endAreaAfter = reach.CrossSection().FullArea() * 2;
  double previous = reach.Nodes(m.reaches)[2].level;
  double windowStart = previous;
  double variation = 0;
  double windowEnd = 0;
  bool below = false;
  for (int j = 1; j < m.steps; ++j) {
    reach.Advance(m.timeStep);
    r.worstMass = std::max(r.worstMass, std::fabs(volume() - start) / start);
    const double t = reach.Time();
    const double level = reach.Nodes(m.reaches)[2].level;
    if (r.turnedFree < 0 && !reach.CellPressurized(last)) {
      r.turnedFree = t;
      windowEnd = t + 10;
      windowStart = level;
    } else if (r.turnedFree >= 0) {
      variation += std::fabs(level - previous);
      if (t >= windowEnd) {
        r.swing.push_back(variation - std::fabs(level - windowStart));
        variation = 0;
        windowStart = level;
        windowEnd += 10;
      }
    }
    previous = level;
    below = below || reach.DownstreamLevel() < soffit;
    if (below && r.backAbove < 0 && reach.DownstreamLevel() > soffit) r.backAbove = t;
    if (r.backAbove >= 0 && t > r.backAbove + 5)
      r.endAreaAfter = std::min(r.endAreaAfter, reach.CellArea(last));
  }
  return r;
}

TEST(FreeSurfaceDrainingEnd, EndTurnsFreeAndRefillsWithoutSwinging) {
  {
    constexpr double waveSpeed = 1000;
    const MixedCase m = DrainingCase(waveSpeed);
    const DrainingRecord r = RunDraining(m);
    std::printf(
        "draining end, a = %.0f m/s: end free at %.1f s, forebay back above the soffit at %.1f s, "
        "end cell's least area after it %.4f m² (full %.4f m²), mass %.1e of the volume; node 3's "
        "swing beyond its net change in 10 s windows (m):",
        waveSpeed, r.turnedFree, r.backAbove, r.endAreaAfter, 31.8, r.worstMass);
    for (double v : r.swing) std::printf(" %.3f", v);
    std::printf("\n");
    EXPECT_LT(r.worstMass, 1e-9);
    ASSERT_GT(r.turnedFree, 0) << "the end never ran free";
    ASSERT_GT(r.backAbove, r.turnedFree) << "the forebay never rose back above the soffit";
    EXPECT_GE(r.endAreaAfter, 31.8 * (1 - 1e-12));
    // The swing while air comes and goes along the soffit is not held (see
    // the validation notes); from 50 s after the end turned free on it is
    // gone. Before, it went on to the end of the run at some 7 m a window.
    ASSERT_GE(r.swing.size(), 8u);
    for (std::size_t k = 5; k < r.swing.size(); ++k) EXPECT_LT(r.swing[k], 0.05) << "window " << k;
  }
}

}  // namespace
}  // namespace kelvane::freesurface
