// The scheme against still water, an exact dam break and the theory of
// surges and water hammer.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "freesurface/reach.h"
#include "freesurface/references.h"

namespace kelvane::freesurface {
namespace {

using namespace testing;

struct AtRestCase {
  const char* name;
  ReachSetup setup;
  double level;
};

ReachSetup Sloped(ReachSetup s, double up, double down) {
  s.invertUpstream = up;
  s.invertDownstream = down;
  s.friction = {FrictionLaw::Manning, 0.014};
  return s;
}

// Still water on a sloping bed, the channel partly dry at its upper end, the
// culvert full at its lower end and free at its upper: nothing may move.
TEST(FreeSurfaceScheme, StillWaterStaysStillOnSlopingBeds) {
  const std::vector<AtRestCase> cases = {
      {"trapezoidal channel, dry upper end", Sloped(Channel(4, 500, 50, 1.5), 2.0, -1.0), 1.0},
      {"box culvert, full lower end", Sloped(Box(3, 2, 600, 40, 1000), 0.0, -4.0), -1.0},
      {"box culvert, wholly full", Sloped(Box(3, 2, 600, 40, 1000), 0.0, -4.0), 5.0},
  };
  for (const AtRestCase& c : cases) {
    ReachSetup setup = c.setup;
    setup.upstream = LevelEnd(c.level, 0.5);
    setup.downstream = StorageEnd(
        1000, [](double) { return 0.0; }, 1.0);
    ReachModel reach(setup);
    reach.SetAtRest(c.level);
    const double dt = reach.StableStep();
    double fastest = 0;
    for (int step = 0; step < 100000; ++step) {
      reach.Step(dt);
      if (step % 1000 == 999)
        for (int i = 0; i < reach.Cells(); ++i)
          fastest = std::max(fastest, std::fabs(reach.CellVelocity(i)));
    }
    for (int i = 0; i < reach.Cells(); ++i)
      fastest = std::max(fastest, std::fabs(reach.CellVelocity(i)));
    EXPECT_LT(fastest, 1e-9) << c.name;
    EXPECT_NEAR(reach.DownstreamLevel(), c.level, 1e-9) << c.name;
  }
}

// L1 errors of depth against Stoker's solution (2 m over 1 m) at 40 s.
TEST(FreeSurfaceScheme, DamBreakConvergesToStokersSolution) {
  const Stoker exact(2.0, 1.0);
  const double length = 1000;
  const double time = 40;
  std::vector<double> depthErrors;
  std::vector<double> velocityErrors;
  for (int cells : {100, 200, 400, 800}) {
    ReachSetup setup = Channel(1, length, cells);
    setup.upstream = SuddenDischargeEnd(0, 0);
    setup.downstream = SuddenDischargeEnd(0, 0);
    ReachModel reach(setup);
    std::vector<double> area(cells);
    for (int i = 0; i < cells; ++i) area[i] = (i + 0.5) * length / cells < length / 2 ? 2.0 : 1.0;
    reach.SetState(area, std::vector<double>(cells, 0.0));
    reach.Advance(time);
    double eh = 0;
    double eu = 0;
    for (int i = 0; i < cells; ++i) {
      double h, u;
      exact.At((i + 0.5) * reach.CellLength() - length / 2, time, h, u);
      eh += std::fabs(reach.CellDepth(i) - h) * reach.CellLength();
      eu += std::fabs(reach.CellVelocity(i) - u) * reach.CellLength();
    }
    depthErrors.push_back(eh);
    velocityErrors.push_back(eu);
  }
  for (std::size_t k = 1; k < depthErrors.size(); ++k) {
    const double depthOrder = std::log2(depthErrors[k - 1] / depthErrors[k]);
    const double velocityOrder = std::log2(velocityErrors[k - 1] / velocityErrors[k]);
    std::printf("dam break: cells %d  L1(h) %.5f m²  order %.3f   L1(u) %.5f m²/s  order %.3f\n",
                100 << k, depthErrors[k], depthOrder, velocityErrors[k], velocityOrder);
    // Each doubling still gains (the coarsest grid is not yet asymptotic).
    EXPECT_GE(depthOrder, 0.7);
    EXPECT_GE(velocityOrder, 0.7);
  }
  // The order over the whole range, 100 to 800 cells.
  EXPECT_GE(std::log2(depthErrors.front() / depthErrors.back()) / 3, 0.8);
  EXPECT_GE(std::log2(velocityErrors.front() / velocityErrors.back()) / 3, 0.8);
}

struct SurgeCase {
  const char* name;
  double after;  // m³/s drawn at the channel's end from time 0
};

// A uniform flow of 1 m/s at 2 m depth (2 m³/s in a 1 m wide channel) whose
// end discharge changes at once: the bore of a stop against the momentum
// jump, the mid-depth of the falling wave of a start against the simple
// wave's characteristic speed.
TEST(FreeSurfaceScheme, SurgeFrontsTravelAtTheirTheoreticalSpeeds) {
  const double h1 = 2, u1 = 1;
  for (const SurgeCase& c : {SurgeCase{"pump stop", 0.0}, SurgeCase{"pump start", 3.0}}) {
    ReachSetup setup = Channel(1, 2000, 1000);
    setup.upstream = LevelEnd(h1);
    setup.downstream = SuddenDischargeEnd(h1 * u1, c.after);
    ReachModel reach(setup);
    ASSERT_TRUE(reach.SetSteadyState(h1 * u1)) << c.name;
    double theory;
    double behind;
    if (c.after == 0) {
      BoreJump(h1, u1, 0.0, behind, theory);
    } else {
      // The depth behind the wave carries `after` with u + 2c unchanged.
      const double invariant = u1 + 2 * std::sqrt(kG * h1);
      behind = Bisect([&](double h) { return (invariant - 2 * std::sqrt(kG * h)) * h - c.after; },
                      0.5 * h1, h1);
      const double mid = 0.5 * (h1 + behind);
      theory = invariant - 3 * std::sqrt(kG * mid);
    }
    const double mid = 0.5 * (h1 + behind);
    reach.Advance(60);
    const double x60 = FrontPosition(reach, mid);
    reach.Advance(60);
    const double x120 = FrontPosition(reach, mid);
    const double speed = (x120 - x60) / 60;
    std::printf("%s: depth behind %.4f m, front %.4f m/s, theory %.4f m/s (%+.2f %%)\n", c.name,
                behind, speed, theory, 100 * (speed / theory - 1));
    EXPECT_NEAR(speed / theory, 1.0, 0.02) << c.name;
  }
}

// A full box culvert at 2 m/s closed at once at its downstream end: the head
// there rises by a·V0/g, and the front crosses the culvert at a.
TEST(FreeSurfaceScheme, WaterHammerFollowsJoukowsky) {
  const double a = 1000, v0 = 2, length = 600;
  ReachSetup setup = Box(6, 3, length, 600, a);
  setup.upstream = LevelEnd(20);
  setup.downstream = SuddenDischargeEnd(18 * v0, 0);
  ReachModel reach(setup);
  ASSERT_TRUE(reach.SetSteadyState(18 * v0));
  const double start = reach.CellLevel(reach.Cells() - 1);
  const double joukowsky = a * v0 / kG;
  double highest = start;
  double crossing = -1;
  const int middle = reach.Cells() / 2;
  const double startMiddle = reach.CellLevel(middle);
  while (reach.Time() < 0.9 * length / a) {
    reach.Advance(0.001);
    highest = std::max(highest, reach.CellLevel(reach.Cells() - 1));
    if (crossing < 0 && reach.CellLevel(middle) - startMiddle > joukowsky / 2)
      crossing = reach.Time();
  }
  const double speed = (length - (middle + 0.5) * reach.CellLength()) / crossing;
  std::printf("water hammer: rise %.3f m, Joukowsky %.3f m; front %.1f m/s\n", highest - start,
              joukowsky, speed);
  EXPECT_NEAR((highest - start) / joukowsky, 1.0, 0.02);
  EXPECT_NEAR(speed / a, 1.0, 0.02);
}

}  // namespace
}  // namespace kelvane::freesurface
