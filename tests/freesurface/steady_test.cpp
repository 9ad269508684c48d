// The steady state of the scheme: that it is one, backwater curves against
// the gradually varied flow equation, and the full culvert against the rigid
// column.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "freesurface/reach.h"
#include "freesurface/references.h"

namespace kelvane::freesurface {
namespace {

using namespace testing;

// A trapezoidal channel, 5 m wide at the bottom, sides 1:1.5, n = 0.02,
// bed slope 0.0005, carrying 20 m³/s from a reservoir into a forebay.
constexpr double kWidth = 5, kSide = 1.5, kManning = 0.02, kSlope = 0.0005, kFlow = 20;

double NormalDepth() {
  return Bisect(
      [](double h) {
        const double a = (kWidth + kSide * h) * h;
        const double r = a / (kWidth + 2 * h * std::sqrt(1 + kSide * kSide));
        return a * std::pow(r, 2.0 / 3.0) * std::sqrt(kSlope) / kManning - kFlow;
      },
      0.01, 20);
}

ReachSetup ApproachChannel(double reservoirDepth, int cells, double length = 2000) {
  ReachSetup s = Channel(kWidth, length, cells, kSide);
  s.friction = {FrictionLaw::Manning, kManning};
  s.invertUpstream = 0;
  s.invertDownstream = -kSlope * length;
  s.upstream = LevelEnd(reservoirDepth);
  s.downstream = StorageEnd(5000, [](double) { return kFlow; });
  return s;
}

// The full box culvert of the default case (6 × 3 m, 596.662 m, λ = 0.01 on
// 4R = 4 m) between the reservoir at −4.34 m and a forebay of 1287.414 m²,
// with an intake loss, a local loss at 0.8 L and the outlet's loss.
constexpr double kIntake = 0.5, kLocal = 0.0304, kOutlet = 0.7625, kLambda = 0.01;
constexpr double kCulvert = 596.662, kReservoir = -4.34, kForebay = 1287.414;

ReachSetup FullCulvert(std::function<double(double)> pumps) {
  ReachSetup s = Box(6, 3, kCulvert, 60, 1000);
  s.invertUpstream = -12;
  s.invertDownstream = -12 - 0.0074 * kCulvert;
  s.friction = {FrictionLaw::Darcy, kLambda};
  s.losses = {{0.8 * kCulvert, kLocal}};
  s.upstream = LevelEnd(kReservoir, kIntake);
  s.downstream = StorageEnd(kForebay, std::move(pumps), kOutlet);
  return s;
}

struct SteadyCase {
  const char* name;
  ReachSetup setup;
  double discharge;
};

// The steady state solves the scheme's own equations: marching from it with
// the pumps unchanged moves nothing beyond rounding.
TEST(FreeSurfaceSteady, SteadyStateIsOneOfTheScheme) {
  const std::vector<SteadyCase> cases = {
      {"open channel", ApproachChannel(NormalDepth() + 0.5, 100), kFlow},
      {"full culvert", FullCulvert([](double) { return 41.6; }), 41.6},
  };
  for (const SteadyCase& c : cases) {
    ReachModel reach(c.setup);
    ASSERT_TRUE(reach.SetSteadyState(c.discharge)) << c.name;
    std::vector<double> level(reach.Cells());
    std::vector<double> velocity(reach.Cells());
    for (int i = 0; i < reach.Cells(); ++i) {
      level[i] = reach.CellLevel(i);
      velocity[i] = reach.CellVelocity(i);
    }
    const double forebay = reach.DownstreamLevel();
    for (int step = 0; step < 20000; ++step) reach.Step(reach.StableStep());
    for (int i = 0; i < reach.Cells(); ++i) {
      EXPECT_NEAR(reach.CellLevel(i), level[i], 1e-9) << c.name << ", cell " << i;
      EXPECT_NEAR(reach.CellVelocity(i), velocity[i], 1e-9) << c.name << ", cell " << i;
    }
    EXPECT_NEAR(reach.DownstreamLevel(), forebay, 1e-9) << c.name;
  }
}

struct BackwaterCase {
  const char* name;
  double depthOverNormal;  // m, the reservoir's depth at the entrance against normal depth
  double length;           // m, short enough that the M2 curve stays above critical depth
  bool deepening;          // M1: the depth grows downstream; M2: it falls
};

// The scheme's steady profile against the gradually varied flow equation
// integrated on its own from the depth of the first cell.
TEST(FreeSurfaceSteady, BackwaterCurvesFollowTheGraduallyVariedFlowEquation) {
  const double normal = NormalDepth();
  for (const BackwaterCase& c :
       {BackwaterCase{"M1", 0.6, 2000, true}, BackwaterCase{"M2", -0.1, 500, false}}) {
    ReachModel reach(ApproachChannel(normal + c.depthOverNormal, 200, c.length));
    ASSERT_TRUE(reach.SetSteadyState(kFlow)) << c.name;
    const double x0 = 0.5 * reach.CellLength();
    const double h0 = reach.CellDepth(0);
    double worst = 0;
    for (int i = 1; i < reach.Cells(); ++i) {
      const double x = (i + 0.5) * reach.CellLength();
      const double reference =
          BackwaterDepth(kWidth, kSide, kManning, kSlope, kFlow, x0, h0, x, 20 * i);
      worst = std::max(worst, std::fabs(reach.CellDepth(i) - reference));
    }
    const double fall = reach.CellDepth(reach.Cells() - 1) - h0;
    std::printf("%s: normal depth %.4f m, entrance %.4f m, end %.4f m, worst difference %.2f mm\n",
                c.name, normal, h0, h0 + fall, 1000 * worst);
    EXPECT_LT(worst, 0.005) << c.name;
    EXPECT_EQ(fall > 0, c.deepening) << c.name;
  }
}

struct PumpChange {
  const char* name;
  double before;  // m³/s
  double after;   // m³/s
};

// A culvert that stays full: the forebay's first extreme after a sudden
// pump change against the rigid column with the same losses, within 1 % of
// its change.
TEST(FreeSurfaceSteady, FullCulvertMatchesTheRigidColumn) {
  const double kTotal = kIntake + kLocal + kOutlet + kLambda * kCulvert / 4;
  for (const PumpChange& c :
       {PumpChange{"pump stop", 41.6, 0}, PumpChange{"pump start", 20.8, 41.6}}) {
    const double before = c.before;
    const double after = c.after;
    ReachModel reach(FullCulvert([=](double t) { return t < 0 ? before : after; }));
    ASSERT_TRUE(reach.SetSteadyState(before)) << c.name;
    const double start = reach.DownstreamLevel();
    const double v0 = before / 18;
    EXPECT_NEAR(start, kReservoir - kTotal * v0 * v0 / (2 * kG), 1e-3) << c.name;
    const bool rising = after < before;
    const double theory = RigidColumnExtreme(
        kReservoir, start, v0, kCulvert, 18, kForebay, kTotal, [=](double) { return after; },
        rising);
    double extreme = start;
    bool full = true;
    for (double t = 0; t < 400; t += 0.5) {
      reach.Advance(0.5);
      const double level = reach.DownstreamLevel();
      if (rising ? level > extreme : level < extreme) extreme = level;
      for (int i = 0; i < reach.Cells(); ++i) full = full && reach.CellPressurized(i);
      if (rising ? level < extreme - 0.05 : level > extreme + 0.05) break;
    }
    std::printf("%s: forebay from %.4f m to %.4f m, rigid column %.4f m (%+.2f %% of the change)\n",
                c.name, start, extreme, theory, 100 * (extreme - theory) / (theory - start));
    EXPECT_TRUE(full) << c.name;
    EXPECT_NEAR((extreme - start) / (theory - start), 1.0, 0.01) << c.name;
  }
}

}  // namespace
}  // namespace kelvane::freesurface
