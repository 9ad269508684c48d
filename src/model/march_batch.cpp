#include "model/march_batch.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

#include "model/march_kernel.h"
#include "model/run_editor.h"

// As in march.cpp: the AVX2 and AVX-512 variants exist on x86-64 only.
#if defined(__x86_64__)
#define KELVANE_BATCH_X86 1
#endif

namespace kelvane {
namespace {

constexpr int kLanes = kMarchBatchLanes;

// Blocks of steps between the lanes' observers, as the single march's.
constexpr int kBlock = 64;

// The constants of the batch's runs, lane by lane (element l is lane l), with
// the precision of the single march's.
struct LaneConstants {
  alignas(64) double waveCoefficient[kLanes];       // B widened, s
  alignas(64) double culvertSlope[kLanes];          // J, -
  alignas(64) double culvertArea[kLanes];           // Ac, m²
  alignas(64) double forebayArea[kLanes];           // Af, m²
  alignas(64) double finalPumpDischarge[kLanes];    // Q1 widened, m³/s
  alignas(64) float singleWaveCoefficient[kLanes];  // B, s
  alignas(64) float velocityFrictionTerm[kLanes];   // F, -
  alignas(64) float headFrictionTerm[kLanes];       // G, s
  alignas(64) float timeStep[kLanes];               // dt, s
  alignas(64) float reservoirLevel[kLanes];         // Z, m

  detail::NodeConstants Node(int l) const {
    return {
        waveCoefficient[l], singleWaveCoefficient[l], velocityFrictionTerm[l], headFrictionTerm[l],
        timeStep[l],        culvertSlope[l]};
  }
};

// Steps a batch holds side by side before it copies them into the lanes'
// grids: a block's, fewer for grids of many nodes, so that the steps held
// take about 64 KiB of each quantity.
constexpr std::size_t kHeldValues = 16384;

// One batch as it marches. The steps held are kept node by node, the lanes
// of a node side by side (element (t*(n+1) + i)*kLanes + l of slot t is node
// i+1 of lane l), so that each formula runs over all lanes at once; slot 0
// holds the step before them. Once the steps are held they are copied into
// the lanes' own grids together.
struct BatchState {
  LaneConstants k;
  int n = 0;
  int held = 1;  // the steps held at most, slots 1..held
  // Heads and velocities of slots 0..held, and the step times of slots
  // 1..held (element (t-1)*kLanes + l): created unset, as every step writes
  // each of its slot's values before they are read.
  detail::GridValues heads, velocities;
  detail::GridValues times;
  // Lane l's grids from step 1 and its step times.
  float* gridHeads[kLanes] = {};
  float* gridVelocities[kLanes] = {};
  float* stepTimes[kLanes] = {};
  // All ones while lane l is a run of the batch whose values are finite.
  alignas(64) std::uint32_t live[kLanes] = {};
  // How many of the steps held go into lane l's grids: all of them while it
  // is live, those before the step that dropped it.
  std::size_t kept[kLanes] = {};
  // With a pump event in some lane: element j*kLanes + l is lane l's mean
  // pump discharge over step j (Q1 widened for a lane without one).
  std::vector<double> pumpDischarges;
  // Lane l's level–area table, empty for the constant area.
  std::span<const ForebayPoint> areaTables[kLanes];
  bool anyAreaTable = false;
  // With `gather`: each node's highest and lowest head and velocity so far
  // and the first step holding it, laid out as the steps' values.
  bool gather = false;
  std::vector<float> highHead, lowHead, highVelocity, lowVelocity;
  std::vector<std::int32_t> highHeadStep, lowHeadStep, highVelocityStep, lowVelocityStep;
};

// One extreme of every node and lane: where `value` is beyond it (`above`:
// higher), the value and step `j` replace it. Masks of all ones where it is
// beyond, so that the loop has no branch and runs over whole vectors.
[[gnu::always_inline]] inline void KeepBeyond(std::vector<float>& extreme,
                                              std::vector<std::int32_t>& steps,
                                              const float* __restrict value, std::size_t size,
                                              std::int32_t j, bool above) {
  float* __restrict e = extreme.data();
  std::int32_t* __restrict at = steps.data();
  for (std::size_t x = 0; x < size; ++x) {
    const std::int32_t beyond = -std::int32_t(above ? e[x] < value[x] : value[x] < e[x]);
    e[x] = beyond ? value[x] : e[x];
    at[x] = (j & beyond) | (at[x] & ~beyond);
  }
}

// The step's values into the running extremes: a value replaces the
// extreme only when it is beyond it, so that the first step holding the
// extreme is kept (as the summary's envelope compares them).
[[gnu::always_inline]] inline void GatherStep(BatchState& s, const float* __restrict h,
                                              const float* __restrict v, std::int32_t j) {
  const std::size_t size = (static_cast<std::size_t>(s.n) + 1) * kLanes;
  KeepBeyond(s.highHead, s.highHeadStep, h, size, j, true);
  KeepBeyond(s.lowHead, s.lowHeadStep, h, size, j, false);
  KeepBeyond(s.highVelocity, s.highVelocityStep, v, size, j, true);
  KeepBeyond(s.lowVelocity, s.lowVelocityStep, v, size, j, false);
}

// A value of every lane, in one vector (of several registers where the
// instruction set's are narrower).
#pragma GCC diagnostic ignored "-Wpsabi"
using LaneSingles = float __attribute__((vector_size(kLanes * sizeof(float))));
using LaneDoubles = double __attribute__((vector_size(kLanes * sizeof(double))));

// Step j of every lane, from slot t-1 into slot t. A lane whose step holds
// a value that is not finite stops being live at that step; it keeps the
// steps held before it.
[[gnu::always_inline]] inline void BatchStep(BatchState& s, int j, std::size_t t, int from) {
  const LaneConstants& k = s.k;
  const int n = s.n;
  const std::size_t row = (static_cast<std::size_t>(n) + 1) * kLanes;
  detail::PlainArith a;
  const float* __restrict pH = s.heads.data() + (t - 1) * row;
  const float* __restrict pV = s.velocities.data() + (t - 1) * row;
  float* __restrict h = s.heads.data() + t * row;
  float* __restrict v = s.velocities.data() + t * row;
  float* __restrict time = s.times.data() + (t - 1) * kLanes;
  // The lanes' times at once, each as StepTimeOf forms it: (j-1)*dt exact
  // in double, then rounded once to single.
  LaneSingles timeStep;
  std::memcpy(&timeStep, k.timeStep, sizeof timeStep);
  const LaneSingles stepTime = __builtin_convertvector(
      __builtin_convertvector(timeStep, LaneDoubles) * static_cast<double>(j - 1), LaneSingles);
  std::memcpy(time, &stepTime, sizeof stepTime);
  alignas(64) std::uint32_t bad[kLanes];
  const LaneSingles timeFault = stepTime - stepTime;  // as NonFiniteBits
  std::memcpy(bad, &timeFault, sizeof bad);

  // Interior nodes ascending, as the single march takes them.
  for (int i = 1; i < n; ++i) {
    const std::size_t A = static_cast<std::size_t>(i - 1) * kLanes;
    const std::size_t I = static_cast<std::size_t>(i) * kLanes;
    const std::size_t B = static_cast<std::size_t>(i + 1) * kLanes;
    for (int l = 0; l < kLanes; ++l) {
      float Vij, Hij;
      detail::InteriorNode(k.Node(l), j, i + 1, pH[A + l], pV[A + l], pH[B + l], pV[B + l], Vij,
                           Hij, a);
      v[I + l] = Vij;
      h[I + l] = Hij;
      bad[l] |= detail::NonFiniteBits(Vij) | detail::NonFiniteBits(Hij);
    }
  }

  // The forebay area and the pump discharge of the step, lane by lane: the
  // lanes' constants unless some lane has a table or an event.
  const std::size_t F = static_cast<std::size_t>(n) * kLanes;
  alignas(64) double tableArea[kLanes];
  const double* area = k.forebayArea;
  if (s.anyAreaTable) {
    for (int l = 0; l < kLanes; ++l) {
      tableArea[l] =
          s.areaTables[l].empty() ? k.forebayArea[l] : ForebayAreaAt(s.areaTables[l], pH[F + l]);
    }
    area = tableArea;
  }
  const double* pump = s.pumpDischarges.empty()
                           ? k.finalPumpDischarge
                           : s.pumpDischarges.data() + static_cast<std::size_t>(j) * kLanes;

  // The characteristics, node 1 and node n+1.
  const std::size_t L2 = kLanes, Ln = static_cast<std::size_t>(n - 1) * kLanes;
  for (int l = 0; l < kLanes; ++l) {
    const detail::NodeConstants kn = k.Node(l);
    const float CM = detail::BackwardHead(kn, j, pH[L2 + l], pV[L2 + l], a);
    const float V1 = detail::ReservoirVelocity(kn, j, k.reservoirLevel[l], CM, a);
    h[l] = k.reservoirLevel[l];
    v[l] = V1;
    bad[l] |= detail::NonFiniteBits(V1);
  }
  for (int l = 0; l < kLanes; ++l) {
    const detail::NodeConstants kn = k.Node(l);
    const float CP = detail::ForwardHead(kn, j, n + 1, pH[Ln + l], pV[Ln + l], a);
    float Hf, Vf;
    detail::ForebayNode(kn, j, n + 1, pH[F + l], pV[F + l], k.culvertArea[l], pump[l], area[l], CP,
                        Hf, Vf, a);
    h[F + l] = Hf;
    v[F + l] = Vf;
    bad[l] |= detail::NonFiniteBits(Hf) | detail::NonFiniteBits(Vf);
  }

  // One OR over the lanes; a lane is dropped only in the rare step that
  // finds one.
  std::uint64_t anyBad = 0;
  for (int l = 0; l < kLanes; l += 2) {
    std::uint64_t two, live;
    std::memcpy(&two, bad + l, sizeof two);
    std::memcpy(&live, s.live + l, sizeof live);
    anyBad |= two & live;
  }
  if (anyBad != 0) {
    for (int l = 0; l < kLanes; ++l) {
      if ((bad[l] & s.live[l]) == 0) continue;
      s.live[l] = 0;
      s.kept[l] = static_cast<std::size_t>(j - from);
    }
  }

  if (s.gather) GatherStep(s, h, v, j);
}

// Four rows of four lanes turned: element m of row r becomes element r of
// lane m's row. Loaded and stored whole, so that each is one vector move.
using Quad = float __attribute__((vector_size(4 * sizeof(float))));

[[gnu::always_inline]] inline void TurnFour(const float* __restrict from, float* const to[4],
                                            std::size_t at) {
  Quad r[4];
  for (std::size_t k = 0; k < 4; ++k) std::memcpy(&r[k], from + k * kLanes, sizeof(Quad));
  const Quad low01 = __builtin_shufflevector(r[0], r[1], 0, 4, 1, 5);
  const Quad high01 = __builtin_shufflevector(r[0], r[1], 2, 6, 3, 7);
  const Quad low23 = __builtin_shufflevector(r[2], r[3], 0, 4, 1, 5);
  const Quad high23 = __builtin_shufflevector(r[2], r[3], 2, 6, 3, 7);
  const Quad lane[4] = {__builtin_shufflevector(low01, low23, 0, 1, 4, 5),
                        __builtin_shufflevector(low01, low23, 2, 3, 6, 7),
                        __builtin_shufflevector(high01, high23, 0, 1, 4, 5),
                        __builtin_shufflevector(high01, high23, 2, 3, 6, 7)};
  for (std::size_t m = 0; m < 4; ++m) std::memcpy(to[m] + at, &lane[m], sizeof(Quad));
}

// Rows of lanes side by side (element r*kLanes + l) into each lane's own
// array: rows[l] of them into to[l] + at, whole blocks of four rows and four
// lanes turned at once.
[[gnu::always_inline]] inline void IntoLanes(const float* __restrict from, float* const to[kLanes],
                                             std::size_t at, const std::size_t rows[kLanes]) {
  for (std::size_t l0 = 0; l0 < kLanes; l0 += 4) {
    const std::size_t common = std::min({rows[l0], rows[l0 + 1], rows[l0 + 2], rows[l0 + 3]});
    std::size_t r = 0;
    for (; r + 4 <= common; r += 4) TurnFour(from + r * kLanes + l0, to + l0, at + r);
    for (std::size_t l = l0; l < l0 + 4; ++l) {
      for (std::size_t q = r; q < rows[l]; ++q) to[l][at + q] = from[q * kLanes + l];
    }
  }
}

// Steps first..last of every lane, a few held at a time and then copied
// into the grids of the lanes that were live while they were formed:
// neither the step that drops a lane nor any later one reaches its grids.
[[gnu::always_inline]] inline void BatchSteps(BatchState& s, int first, int last) {
  const std::size_t nodes = static_cast<std::size_t>(s.n) + 1;
  const std::size_t row = nodes * kLanes;
  for (int from = first; from <= last; from += s.held) {
    const int to = std::min(last, from + s.held - 1);
    const std::size_t count = static_cast<std::size_t>(to - from) + 1;
    for (int l = 0; l < kLanes; ++l) s.kept[l] = s.live[l] != 0 ? count : 0;
    for (int j = from; j <= to; ++j) BatchStep(s, j, static_cast<std::size_t>(j - from) + 1, from);

    std::size_t values[kLanes];
    for (int l = 0; l < kLanes; ++l) values[l] = s.kept[l] * nodes;
    const std::size_t at = static_cast<std::size_t>(from - 1) * nodes;
    IntoLanes(s.heads.data() + row, s.gridHeads, at, values);
    IntoLanes(s.velocities.data() + row, s.gridVelocities, at, values);
    IntoLanes(s.times.data(), s.stepTimes, static_cast<std::size_t>(from - 1), s.kept);
    // The last step held is the next one's start.
    std::copy_n(s.heads.data() + count * row, row, s.heads.data());
    std::copy_n(s.velocities.data() + count * row, row, s.velocities.data());
  }
}

// The variants of BatchSteps, each inlined whole into a function built for
// its instruction set, as march.cpp builds the single march's.
using BatchStepsFunction = void (*)(BatchState&, int, int);

[[gnu::flatten]] void BatchStepsBaseline(BatchState& s, int first, int last) {
  BatchSteps(s, first, last);
}

#ifdef KELVANE_BATCH_X86
[[gnu::target("avx2"), gnu::flatten]] void BatchStepsAvx2(BatchState& s, int first, int last) {
  BatchSteps(s, first, last);
}

[[gnu::target("avx2,avx512f,avx512cd,avx512bw,avx512dq,avx512vl"), gnu::flatten]] void
BatchStepsAvx512(BatchState& s, int first, int last) {
  BatchSteps(s, first, last);
}
#endif

BatchStepsFunction BatchVariantOf(MarchIsa isa) {
  switch (std::min(isa, SupportedMarchIsas().back())) {
#ifdef KELVANE_BATCH_X86
    case MarchIsa::Avx512:
      return BatchStepsAvx512;
    case MarchIsa::Avx2:
      return BatchStepsAvx2;
#endif
    default:
      return BatchStepsBaseline;
  }
}

// Thrown through MarchTransient for what a lane's observer threw, so that a
// lane's error is only ever the march's own.
struct ObserverThrew {
  std::exception_ptr thrown;
};

// The lane by the single march; `observer` says whether its observer is told.
// Its steps after step 1 are cleared first: the single march writes none past
// a fault, and there the lane's grids hold zeros, as grids created with their
// zeros do, whatever the batch had written or the grids had been created
// with (GridFill::MarchWritten).
void MarchAlone(MarchLane& lane, MarchIsa isa, bool observer) {
  SurgeRunEditor(*lane.run).ClearSteps(2);
  StepBlockObserver told;
  if (observer && lane.observer) {
    told = [&lane](int first, int last) {
      try {
        lane.observer(first, last);
      } catch (...) {
        throw ObserverThrew{std::current_exception()};
      }
    };
  }
  try {
    MarchTransient(*lane.parameters, *lane.coefficients, *lane.run, isa,
                   MarchChecking::VerifyEachStep, told ? &told : nullptr, lane.extras);
  } catch (const ObserverThrew& threw) {
    std::rethrow_exception(threw.thrown);
  } catch (const RunError& error) {
    lane.error = error;
  }
}

// Whether the batch can take the lane: grids as MarchTransient checks them
// and at least one step to march.
bool Batchable(const MarchLane& lane) {
  const SurgeRun& run = *lane.run;
  const int n = run.SegmentCount();
  const int last = run.StepCount();
  return last >= 2 && n + 1 <= 32767 && last + 1 <= 32767 && GridsHoldRun(run);
}

// Each live lane's extremes, gathered side by side, into its own envelope.
void HandOverEnvelopes(std::span<MarchLane* const> group, const BatchState& s) {
  const std::size_t nodes = static_cast<std::size_t>(s.n) + 1;
  const int count = static_cast<int>(group.size());
  for (int l = 0; l < count; ++l) {
    GridEnvelope* envelope = group[l]->envelope;
    if (s.live[l] == 0 || envelope == nullptr) continue;
    const auto take = [&](GridEnvelope::Extremes& to, const std::vector<float>& value,
                          const std::vector<std::int32_t>& step) {
      to.value.resize(nodes);
      to.step.resize(nodes);
      for (std::size_t i = 0; i < nodes; ++i) {
        to.value[i] = value[i * kLanes + l];
        to.step[i] = step[i * kLanes + l];
      }
    };
    take(envelope->highestHead, s.highHead, s.highHeadStep);
    take(envelope->lowestHead, s.lowHead, s.lowHeadStep);
    take(envelope->highestVelocity, s.highVelocity, s.highVelocityStep);
    take(envelope->lowestVelocity, s.lowVelocity, s.lowVelocityStep);
    envelope->gathered = true;
  }
}

// Up to kLanes lanes of one grid, side by side.
void MarchGroup(std::span<MarchLane* const> group, MarchIsa isa) {
  const SurgeRun& first = *group.front()->run;
  const int n = first.SegmentCount();
  const int last = first.StepCount();
  const std::size_t nodes = static_cast<std::size_t>(n) + 1;
  const std::size_t row = nodes * kLanes;
  BatchState s;
  s.n = n;
  s.held = static_cast<int>(std::clamp<std::size_t>(kHeldValues / row, 1, kBlock));
  s.heads.resize((static_cast<std::size_t>(s.held) + 1) * row);
  s.velocities.resize(s.heads.size());
  s.times.resize(static_cast<std::size_t>(s.held) * kLanes);
  const int count = static_cast<int>(group.size());
  bool anyPumpEvent = false;
  // Lanes beyond the group repeat its first run and are never live.
  for (int l = 0; l < kLanes; ++l) {
    MarchLane& lane = *group[l < count ? l : 0];
    const detail::MarchConstants c = detail::MarchConstantsOf(*lane.parameters, *lane.coefficients);
    s.k.waveCoefficient[l] = c.waveCoefficient;
    s.k.culvertSlope[l] = c.culvertSlope;
    s.k.culvertArea[l] = c.culvertArea;
    s.k.forebayArea[l] = c.forebayArea;
    s.k.finalPumpDischarge[l] = c.finalPumpDischarge;
    s.k.singleWaveCoefficient[l] = c.waveCoefficient;
    s.k.velocityFrictionTerm[l] = c.velocityFrictionTerm;
    s.k.headFrictionTerm[l] = c.headFrictionTerm;
    s.k.timeStep[l] = c.timeStep;
    s.k.reservoirLevel[l] = c.reservoirLevel;
    if (lane.extras != nullptr) {
      s.areaTables[l] = lane.extras->forebay.areaTable;
      s.anyAreaTable = s.anyAreaTable || !s.areaTables[l].empty();
      anyPumpEvent = anyPumpEvent || lane.extras->pump.Given();
    }
    SurgeRunEditor editor(*lane.run);
    const float* h1 = editor.HeadsAt(1);
    const float* v1 = editor.VelocitiesAt(1);
    for (std::size_t i = 0; i < nodes; ++i) {
      s.heads[i * kLanes + l] = h1[i];
      s.velocities[i * kLanes + l] = v1[i];
    }
    if (l < count) {
      s.gridHeads[l] = editor.HeadsAt(1);
      s.gridVelocities[l] = editor.VelocitiesAt(1);
      s.stepTimes[l] = editor.StepTimes();
      s.live[l] = ~std::uint32_t{0};
    }
  }
  if (anyPumpEvent) {
    // Each lane's mean discharge of every step 2..last, as the single march
    // forms it (the sudden change: Q1 widened).
    s.pumpDischarges.assign((static_cast<std::size_t>(last) + 1) * kLanes, 0.0);
    for (int l = 0; l < kLanes; ++l) {
      const MarchLane& lane = *group[l < count ? l : 0];
      const RunParameters& p = *lane.parameters;
      const PumpDischarge law(lane.extras != nullptr ? lane.extras->pump : PumpEvent{},
                              p.SteadyDischarge, p.FinalPumpDischarge);
      for (int j = 2; j <= last; ++j) {
        s.pumpDischarges[static_cast<std::size_t>(j) * kLanes + l] =
            law.Sudden() ? s.k.finalPumpDischarge[l] : law.StepMean(j, s.k.timeStep[l]);
      }
    }
  }

  for (int l = 0; l < count; ++l) s.gather = s.gather || group[l]->envelope != nullptr;
  if (s.gather) {
    // Step 1 holds every extreme so far.
    s.highHead.assign(s.heads.begin(), s.heads.begin() + static_cast<std::ptrdiff_t>(row));
    s.lowHead = s.highHead;
    s.highVelocity.assign(s.velocities.begin(),
                          s.velocities.begin() + static_cast<std::ptrdiff_t>(row));
    s.lowVelocity = s.highVelocity;
    for (auto* held : {&s.highHeadStep, &s.lowHeadStep, &s.highVelocityStep, &s.lowVelocityStep})
      held->assign(nodes * kLanes, 1);
  }

  const BatchStepsFunction steps = BatchVariantOf(isa);
  for (int from = 2; from <= last; from += kBlock) {
    const int to = std::min(last, from + kBlock - 1);
    steps(s, from, to);
    bool anyLive = false;
    for (int l = 0; l < count; ++l) {
      if (s.live[l] == 0) continue;
      anyLive = true;
      const MarchLane& lane = *group[l];
      const StepBlockObserver& told = lane.envelope ? lane.batchObserver : lane.observer;
      if (told) told(from, to);
    }
    if (!anyLive) break;
  }
  HandOverEnvelopes(group, s);
  // A dropped lane again alone, from its step 1: the single march's fault and
  // the grids it leaves. Its observer has been told of every block before the
  // one that dropped it.
  for (int l = 0; l < count; ++l) {
    if (s.live[l] == 0) MarchAlone(*group[l], isa, false);
  }
}

}  // namespace

void MarchBatch(std::span<MarchLane> lanes, MarchIsa isa) {
  std::vector<bool> taken(lanes.size(), false);
  std::vector<MarchLane*> group;
  for (std::size_t a = 0; a < lanes.size(); ++a) {
    if (taken[a]) continue;
    taken[a] = true;
    group.assign(1, &lanes[a]);
    if (Batchable(lanes[a])) {
      const SurgeRun& run = *lanes[a].run;
      for (std::size_t b = a + 1;
           b < lanes.size() && group.size() < static_cast<std::size_t>(kLanes); ++b) {
        if (taken[b] || !Batchable(lanes[b])) continue;
        const SurgeRun& other = *lanes[b].run;
        if (other.SegmentCount() != run.SegmentCount() || other.StepCount() != run.StepCount())
          continue;
        taken[b] = true;
        group.push_back(&lanes[b]);
      }
    }
    if (group.size() == 1) {
      MarchAlone(lanes[a], isa, true);
    } else {
      MarchGroup(group, isa);
    }
  }
}

void MarchBatch(std::span<MarchLane> lanes) { MarchBatch(lanes, SelectedMarchIsa()); }

}  // namespace kelvane
