#include "model/march_batch.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
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

// One batch as it marches. The two latest steps of every lane are held node
// by node, the lanes of a node side by side (element i*kLanes + l is node
// i+1 of lane l), so that each formula runs over all lanes at once; each
// finished step is copied into the lanes' own grids.
struct BatchState {
  LaneConstants k;
  int n = 0;
  // Heads and velocities of the steps of odd and even number.
  std::vector<float> heads[2], velocities[2];
  // Lane l's grids from step 1 and its step times.
  float* gridHeads[kLanes] = {};
  float* gridVelocities[kLanes] = {};
  float* stepTimes[kLanes] = {};
  // All ones while lane l is a run of the batch whose values are finite.
  alignas(64) std::uint32_t live[kLanes] = {};
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

// Steps first..last of every lane. A lane whose step holds a value that is
// not finite stops being live at that step, and neither that step nor any
// later one reaches its grids.
[[gnu::always_inline]] inline void BatchSteps(BatchState& s, int first, int last) {
  const LaneConstants& k = s.k;
  const int n = s.n;
  const std::size_t stride = static_cast<std::size_t>(n) + 1;
  detail::PlainArith a;
  for (int j = first; j <= last; ++j) {
    const float* __restrict pH = s.heads[(j - 1) & 1].data();
    const float* __restrict pV = s.velocities[(j - 1) & 1].data();
    float* __restrict h = s.heads[j & 1].data();
    float* __restrict v = s.velocities[j & 1].data();
    alignas(64) float time[kLanes];
    alignas(64) std::uint32_t bad[kLanes];
    for (int l = 0; l < kLanes; ++l) {
      time[l] = detail::StepTimeOf(j, k.timeStep[l], a);
      bad[l] = detail::NonFiniteBits(time[l]);
    }

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

    // The forebay area and the pump discharge of the step, lane by lane.
    const std::size_t F = static_cast<std::size_t>(n) * kLanes;
    alignas(64) double area[kLanes];
    alignas(64) double pump[kLanes];
    const double* pumps = s.pumpDischarges.empty()
                              ? k.finalPumpDischarge
                              : s.pumpDischarges.data() + static_cast<std::size_t>(j) * kLanes;
    for (int l = 0; l < kLanes; ++l) {
      area[l] = s.anyAreaTable && !s.areaTables[l].empty()
                    ? ForebayAreaAt(s.areaTables[l], pH[F + l])
                    : k.forebayArea[l];
      pump[l] = pumps[l];
    }

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
      detail::ForebayNode(kn, j, n + 1, pH[F + l], pV[F + l], k.culvertArea[l], pump[l], area[l],
                          CP, Hf, Vf, a);
      h[F + l] = Hf;
      v[F + l] = Vf;
      bad[l] |= detail::NonFiniteBits(Hf) | detail::NonFiniteBits(Vf);
    }

    std::uint32_t anyBad = 0;
    for (int l = 0; l < kLanes; ++l) anyBad |= bad[l] & s.live[l];
    if (anyBad != 0) {
      for (int l = 0; l < kLanes; ++l)
        if ((bad[l] & s.live[l]) != 0) s.live[l] = 0;
    }

    if (s.gather) GatherStep(s, h, v, j);

    // The step into each live lane's grids.
    const std::size_t at = static_cast<std::size_t>(j - 1) * stride;
    for (int l = 0; l < kLanes; ++l) {
      if (s.live[l] == 0) continue;
      float* gh = s.gridHeads[l] + at;
      float* gv = s.gridVelocities[l] + at;
      for (std::size_t i = 0; i < stride; ++i) {
        gh[i] = h[i * kLanes + l];
        gv[i] = v[i * kLanes + l];
      }
      s.stepTimes[l][j - 1] = time[l];
    }
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
void MarchAlone(MarchLane& lane, MarchIsa isa, bool observer) {
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
  BatchState s;
  s.n = n;
  for (std::vector<float>& buffer : s.heads) buffer.assign(nodes * kLanes, 0.0f);
  for (std::vector<float>& buffer : s.velocities) buffer.assign(nodes * kLanes, 0.0f);
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
      s.heads[1][i * kLanes + l] = h1[i];
      s.velocities[1][i * kLanes + l] = v1[i];
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
    s.highHead = s.lowHead = s.heads[1];
    s.highVelocity = s.lowVelocity = s.velocities[1];
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
