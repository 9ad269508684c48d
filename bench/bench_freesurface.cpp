// The free-surface and mixed-flow model: cell updates per second (a cell
// through one sub-step, both stages of Heun's rule where they run), to set
// against BM_March's node updates.
//
//   BM_FreeSurfaceChannel  an open trapezoidal channel after a pump start
//                          (range: cells), second order throughout
//   BM_FreeSurfaceCulvert  a full box culvert after a pump stop at a = 1000 m/s
//                          (range: cells), first order in the slot
#include <benchmark/benchmark.h>

#include "freesurface/reach.h"

namespace {

using namespace kelvane::freesurface;

ReachSetup Reach(SectionShape section, double invertUp, int cells) {
  ReachSetup s;
  s.section = section;
  s.length = 596.662;
  s.invertUpstream = invertUp;
  s.invertDownstream = invertUp - 0.0074 * s.length;
  s.friction = {FrictionLaw::Darcy, 0.01};
  s.waveSpeed = 1000;
  s.cells = cells;
  s.upstream.kind = EndKind::Level;
  s.upstream.level = -4.34;
  s.upstream.lossCoefficient = 0.5;
  s.downstream.kind = EndKind::Storage;
  s.downstream.area = 1287.414;
  s.downstream.lossCoefficient = 0.7625;
  return s;
}

void Run(benchmark::State& state, ReachSetup setup, double before, double after) {
  setup.downstream.discharge = [after](double, double) { return after; };
  ReachModel reach(setup);
  reach.SetSteadyState(before);
  const ReachModel start = reach;
  std::int64_t cells = 0;
  for (auto _ : state) {
    state.PauseTiming();
    reach = start;
    state.ResumeTiming();
    for (int k = 0; k < 200; ++k) reach.Step(reach.StableStep());
    cells += 200 * reach.Cells();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(cells);
}

void BM_FreeSurfaceChannel(benchmark::State& state) {
  Run(state, Reach({SectionKind::Channel, 6, 0, 1.5}, -9.0, static_cast<int>(state.range(0))), 20,
      41.6);
}
BENCHMARK(BM_FreeSurfaceChannel)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_FreeSurfaceCulvert(benchmark::State& state) {
  Run(state, Reach({SectionKind::Box, 6, 3, 0}, -12.0, static_cast<int>(state.range(0))), 41.6, 0);
}
BENCHMARK(BM_FreeSurfaceCulvert)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
