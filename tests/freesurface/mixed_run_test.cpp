// A case on the run's grid: the steady state at step 1, the ends' levels at
// the end nodes, the pump event through the forebay.
#include "freesurface/mixed_run.h"

#include <gtest/gtest.h>

#include "freesurface/references.h"

namespace kelvane::freesurface {
namespace {

using namespace testing;

struct RunCase {
  const char* name;
  SectionShape section;
  double invertUp, invertDown;
  double steady, final;  // m³/s
  bool full;             // every node pressurized throughout
};

MixedCase Case(const RunCase& c) {
  MixedCase m;
  m.reach.section = c.section;
  m.reach.length = 596.662;
  m.reach.invertUpstream = c.invertUp;
  m.reach.invertDownstream = c.invertDown;
  m.reach.friction = {FrictionLaw::Darcy, 0.01};
  m.reach.waveSpeed = 1000;
  m.reach.cells = 48;  // made 50, a multiple of the reaches
  m.reach.gravity = kG;
  m.reservoirLevel = -4.34;
  m.intakeLoss = 0.5;
  m.outletLoss = 0.7625;
  m.steadyDischarge = c.steady;
  m.finalPumpDischarge = static_cast<float>(c.final);
  m.forebayArea = 1287.414;
  m.reaches = 5;
  m.steps = 300;
  m.timeStep = 596.662 / (5 * 1000.0);
  return m;
}

TEST(FreeSurfaceRun, PumpChangesReachTheNodesThroughTheForebay) {
  const std::vector<RunCase> cases = {
      {"pump start on an open channel",
       {SectionKind::Channel, 6, 0, 1.5},
       -9.0,
       -9.5,
       20,
       41.6,
       false},
      {"pump stop in a full culvert", {SectionKind::Box, 6, 3, 0}, -12.0, -16.4, 41.6, 0, true},
  };
  for (const RunCase& c : cases) {
    const MixedCase m = Case(c);
    const MixedResult r = RunMixed(m);
    ASSERT_TRUE(r.steadyConverged) << c.name;
    ASSERT_EQ(r.grid.size(), 300u * 6u) << c.name;
    EXPECT_EQ(r.At(0, 0).level, -4.34) << c.name;
    EXPECT_DOUBLE_EQ(r.times.back(), 299 * m.timeStep) << c.name;
    const double forebayStart = r.At(0, 5).level;
    const double forebayEnd = r.At(299, 5).level;
    EXPECT_EQ(forebayEnd > forebayStart, c.final < c.steady) << c.name;
    bool full = true;
    for (const NodeState& n : r.grid) full = full && n.pressurized;
    EXPECT_EQ(full, c.full) << c.name;
  }
}

// With the pumps unchanged (the steady discharge given as the single the final
// one is held in) every node keeps its step-1 state.
TEST(FreeSurfaceRun, NoPumpChangeKeepsTheSteadyState) {
  for (const RunCase& c :
       {RunCase{"open channel", {SectionKind::Channel, 6, 0, 1.5}, -9.0, -9.5, 20, 20, false},
        RunCase{"full culvert", {SectionKind::Box, 6, 3, 0}, -12.0, -16.4, 41.6f, 41.6f, true}}) {
    const MixedResult r = RunMixed(Case(c));
    ASSERT_TRUE(r.steadyConverged) << c.name;
    for (int step = 1; step < r.steps; ++step) {
      for (int node = 0; node < r.nodes; ++node) {
        ASSERT_NEAR(r.At(step, node).level, r.At(0, node).level, 1e-9) << c.name << " " << step;
        ASSERT_NEAR(r.At(step, node).velocity, r.At(0, node).velocity, 1e-9)
            << c.name << " " << step;
      }
    }
  }
}

}  // namespace
}  // namespace kelvane::freesurface
