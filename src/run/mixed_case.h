// A prepared case as a case of the free-surface and mixed-flow model: the
// section from the design data (a box culvert or an open channel, its width,
// height or side slope, the inverts at both ends), the length, wave speed,
// reaches, steps and pumps from the inputs, and the reservoir's and the
// forebay's losses placed where the balanced model places them, so that a
// culvert that stays full runs as that model runs. The water holds a head
// below the soffit down to the design checks' vacuum limit (the site's
// elevation and the water's temperature). The model's nodes go into
// the run's grids at the run's own steps.
#pragma once

#include <string>
#include <vector>

#include "freesurface/mixed_run.h"
#include "model/calculate.h"
#include "model/inputs.h"
#include "model/run_state.h"
#include "texts/prepared_case.h"

namespace kelvane {

// The cells of the model's reach, made a multiple of the run's reaches.
inline constexpr int kMixedCells = 50;

// The batch options the mixed model needs and the case lacks, in their
// order ("section", "culvert-width", "culvert-height", ...); empty when it
// has them all. The channel's side slope is 0 when not given.
std::vector<std::string> MixedGeometryMissing(const PreparedCase& prepared);
// "--section（断面形式）、--culvert-width（箱涵净宽或渠底宽）".
std::string MixedGeometryMissingText(const std::vector<std::string>& options);

// Where the section's wetted area or hydraulic radius differs from the 箱涵
// 断面面积 or 水力半径 box by more than 1 %: a line for each, saying by how
// much (the model takes the section's); none otherwise, or without the
// geometry. A channel's are taken at the reservoir level over its upstream
// invert.
std::vector<std::string> MixedSectionWarnings(const PreparedCase& prepared);

// The boxes the run reads before the model takes over: where 箱涵断面面积
// or 水力半径 does not read as a positive number (the window greys them and
// the check leaves them alone), the section's reference area or radius in
// its place, so that a box the model does not use does not stop the run.
InputTexts MixedRunTexts(const PreparedCase& prepared);

// The model's case; the geometry must be complete (MixedGeometryMissing).
freesurface::MixedCase MixedCaseOf(const PreparedCase& prepared, const RunParameters& p,
                                   const SolverCoefficients& c);

// Gathers the record of a run's nodes step by step (`step` from 1, step 1
// first): their depths, regimes and wetted areas, the rigid column of step
// 1 and the surge's round trip over it, and the model's own findings at the
// end.
class FreeSurfaceRecorder {
 public:
  FreeSurfaceRecorder(const freesurface::MixedCase& mixed, CulvertSection section);
  void AddStep(int step, std::span<const freesurface::NodeState> nodes);
  FreeSurfaceRecord Finish(const freesurface::MixedResult& result);

 private:
  void AddColumn(std::span<const freesurface::NodeState> nodes);
  void AddSurgeRoundTrip(std::span<const freesurface::NodeState> nodes);

  freesurface::Section section_;
  double length_ = 0;    // m
  double dryDepth_ = 0;  // m, the model's: a shallower node holds still water
  FreeSurfaceRecord record_;
  std::vector<float> areas_;
};

// One step's nodes into the run's grids (`step` from 1) and its time, (step
// − 1)·Δt as the march forms it, each value rounded to single; a value that
// single cannot hold is an overflow at that step and node.
void StoreMixedStep(SurgeRun& run, int step, float timeStep,
                    std::span<const freesurface::NodeState> nodes);

}  // namespace kelvane
