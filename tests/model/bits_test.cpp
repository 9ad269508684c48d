// The rounding order, bit for bit: the coefficients, the steady heads and a
// few march values worked out here one operation at a time, with every
// rounding to single where the formulas put it. A reordered, fused or
// differently rounded operation changes at least one of these bit patterns.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <sstream>

#include "model/model.h"

namespace kelvane {
namespace {

std::string Hex(float value) {
  std::ostringstream text;
  text << std::hexfloat << value;
  return text.str();
}

#define EXPECT_SAME_BITS(actual, expected)                                                \
  EXPECT_EQ(std::bit_cast<std::uint32_t>(actual), std::bit_cast<std::uint32_t>(expected)) \
      << #actual << " = " << Hex(actual) << ", expected " << Hex(expected)

float s(double x) { return static_cast<float>(x); }

TEST(RoundingOrder, DefaultRunBitForBit) {
  SurgeRun run;
  const RunOutcome outcome = Calculate(DefaultInputTexts(), run);
  const SolverCoefficients& c = outcome.coefficients;

  // The inputs as held: singles, doubles and 16-bit counts.
  const double Q = 41.6, radius = 0.75, J = -0.0074, Af = 1287.414, Ac = 18;
  const float Zr = -4.34f, loss = 0.153f, lambda = 0.01f, a = 1000.0f, L = 596.662f, Q1 = 0.0f;
  const std::int16_t n = 5;
  const float g = 9.8f, g2 = 19.6f;

  // Coefficients.
  const float D = s(radius * 4.0);
  const float V = s(Q / 18.0);
  const float dx = L / static_cast<float>(n);
  const double na = static_cast<double>(n) * static_cast<double>(a);
  const float dt = s(static_cast<double>(L) / na);
  const float B = a / g;
  const float lt = lambda * dt;
  const double twoD = 2.0 * static_cast<double>(D);
  const float F = s(static_cast<double>(lt) / twoD);
  const float G = F * B;
  const float ratio = dx / D;
  const float lr = lambda * ratio;
  const double vv = static_cast<double>(V) * static_cast<double>(V);
  const double vhead = vv / static_cast<double>(g2);
  const float hf = s(static_cast<double>(lr) * vhead);
  EXPECT_SAME_BITS(c.HydraulicDiameter, D);
  EXPECT_SAME_BITS(c.SteadyVelocity, V);
  EXPECT_SAME_BITS(c.ReachLength, dx);
  EXPECT_SAME_BITS(c.TimeStep, dt);
  EXPECT_SAME_BITS(c.WaveCoefficient, B);
  EXPECT_SAME_BITS(c.VelocityFrictionTerm, F);
  EXPECT_SAME_BITS(c.HeadFrictionTerm, G);
  EXPECT_SAME_BITS(c.ReachHeadLoss, hf);

  // Steady heads.
  double e = static_cast<double>(Zr) - static_cast<double>(loss);
  double t = static_cast<double>(lambda) * 31.0;
  t = vv * t;
  double d2 = static_cast<double>(D) + static_cast<double>(D);
  d2 = d2 * static_cast<double>(g);
  e = e + t / d2;
  e = e - static_cast<double>(hf);
  double local = 0.5 * 0.1825;
  local = local * vv;
  const float h2 = s(e - local / static_cast<double>(g2));
  const float h3 = s(static_cast<double>(h2) - static_cast<double>(hf));
  const float h4 = s(static_cast<double>(h3) - static_cast<double>(hf));
  const float h5a = s(static_cast<double>(h4) - static_cast<double>(hf));
  const float h5 = s(static_cast<double>(h5a) - (0.0304 * vv) / static_cast<double>(g2));
  double e6 = static_cast<double>(h5) - static_cast<double>(hf);
  e6 = e6 - (vv * 0.58) / static_cast<double>(g2);
  const float h6 = s(e6 - (0.1825 * vv) / static_cast<double>(g2));
  const float steady[] = {Zr, h2, h3, h4, h5, h6};
  for (int node = 1; node <= 6; ++node) EXPECT_SAME_BITS(run.Head(node, 1), steady[node - 1]);

  // Step 2 from step 1, interior node i between A = i-1 and B = i+1.
  const double dtJ = static_cast<double>(dt) * J;
  auto interior = [&](float HA, float VA, float HB, float VB, float& Vout, float& Hout) {
    const float P1 = s((static_cast<double>(HA) - static_cast<double>(HB)) / B);
    const float P2 = VA + VB;
    const float qa = VA * std::fabs(VA), qb = VB * std::fabs(VB);
    const float P3 = qa + qb;
    const double fp = static_cast<double>(F) * static_cast<double>(P3);
    const float X = s((static_cast<double>(P2) + static_cast<double>(P1)) - fp);
    const float dV = VA - VB;
    double W = dtJ * static_cast<double>(dV);
    W = W / static_cast<double>(B);
    Vout = s(0.5 * (static_cast<double>(X) - W));
    const float K1 = s(static_cast<double>(HB) + static_cast<double>(HA));
    const float K2 = B * dV;
    const float K3 = qa - qb;
    const float Y = s((static_cast<double>(K2) + static_cast<double>(K1)) -
                      static_cast<double>(K3) * static_cast<double>(G));
    double U = static_cast<double>(P2) * J;
    U = U * static_cast<double>(dt);
    Hout = s(0.5 * (static_cast<double>(Y) - U));
  };
  for (int node = 2; node <= 5; ++node) {
    float v = 0, h = 0;
    interior(steady[node - 2], V, steady[node], V, v, h);
    EXPECT_SAME_BITS(run.Velocity(node, 2), v);
    EXPECT_SAME_BITS(run.Head(node, 2), h);
  }

  // Node 1 from the backward characteristic of node 2.
  auto node1 = [&](float H2, float V2) {
    const float b = s(static_cast<double>(B) - static_cast<double>(std::fabs(V2)) * G);
    const float CM =
        s(static_cast<double>(H2) - static_cast<double>(V2) * (static_cast<double>(b) + dtJ));
    return s((static_cast<double>(Zr) - CM) / B);
  };
  EXPECT_SAME_BITS(run.Head(1, 2), Zr);
  EXPECT_SAME_BITS(run.Velocity(1, 2), node1(h2, V));

  // Node 6: forebay storage, then the forward characteristic of node 5.
  auto forebay = [&](float H6prev, float V6prev, float H5, float V5, float& Vout, float& Hout) {
    double inflow = static_cast<double>(V6prev) * Ac;
    inflow = inflow - static_cast<double>(Q1);
    inflow = inflow * static_cast<double>(dt);
    Hout = s(static_cast<double>(H6prev) + inflow / Af);
    const float cp = s(static_cast<double>(B) - static_cast<double>(std::fabs(V5)) * G);
    const float CP =
        s(static_cast<double>(H5) + static_cast<double>(V5) * (static_cast<double>(cp) - dtJ));
    Vout = s((static_cast<double>(CP) - Hout) / B);
  };
  {
    float v = 0, h = 0;
    forebay(h6, V, h5, V, v, h);
    EXPECT_SAME_BITS(run.Head(6, 2), h);
    EXPECT_SAME_BITS(run.Velocity(6, 2), v);
  }

  // Every later step, each value from the run's own previous step.
  int mismatches = 0;
  for (int step = 3; step <= 1500; ++step) {
    auto H = [&](int node) { return run.Head(node, step - 1); };
    auto Vp = [&](int node) { return run.Velocity(node, step - 1); };
    float v = 0, h = 0;
    for (int node = 2; node <= 5; ++node) {
      interior(H(node - 1), Vp(node - 1), H(node + 1), Vp(node + 1), v, h);
      mismatches +=
          std::bit_cast<std::uint32_t>(v) != std::bit_cast<std::uint32_t>(run.Velocity(node, step));
      mismatches +=
          std::bit_cast<std::uint32_t>(h) != std::bit_cast<std::uint32_t>(run.Head(node, step));
    }
    mismatches += std::bit_cast<std::uint32_t>(node1(H(2), Vp(2))) !=
                  std::bit_cast<std::uint32_t>(run.Velocity(1, step));
    forebay(H(6), Vp(6), H(5), Vp(5), v, h);
    mismatches +=
        std::bit_cast<std::uint32_t>(v) != std::bit_cast<std::uint32_t>(run.Velocity(6, step));
    mismatches +=
        std::bit_cast<std::uint32_t>(h) != std::bit_cast<std::uint32_t>(run.Head(6, step));
  }
  EXPECT_EQ(mismatches, 0);
}
}  // namespace
}  // namespace kelvane
