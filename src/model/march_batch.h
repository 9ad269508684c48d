// The batch march: many runs of one grid marched side by side, one run per
// vector lane, each with the bits of its own single march.
#pragma once

#include <optional>
#include <span>

#include "model/errors.h"
#include "model/grid_envelope.h"
#include "model/inputs.h"
#include "model/march.h"
#include "model/march_settings.h"
#include "model/pump_event.h"
#include "model/run_state.h"

namespace kelvane {

// One run of a batch. The run state must be sized and hold step 1, as for
// MarchTransient, its last grid step and first step time zero; its other
// steps may hold anything (GridFill::MarchWritten): each run ends as its
// single march leaves grids created with zeros. The parameters,
// coefficients and extras must outlive the call.
struct MarchLane {
  const RunParameters* parameters = nullptr;
  const SolverCoefficients* coefficients = nullptr;
  SurgeRun* run = nullptr;
  const ModelExtras* extras = nullptr;  // none: the sudden change and the constant area
  // Told of each block of the run's finished steps (none when empty); a
  // throw ends the whole batch and leaves MarchBatch.
  StepBlockObserver observer;
  // With an envelope: a lane the batch marches to its end gathers its
  // envelope there (then `gathered`) and tells `batchObserver` of each block
  // in place of `observer`, so that an observer that gathers the envelope
  // from the grids is left out; a lane marched alone tells `observer`.
  GridEnvelope* envelope = nullptr;
  StepBlockObserver batchObserver;
  // Set by MarchBatch: the run's fault, exactly as MarchTransient throws it.
  std::optional<RunError> error;
};

// The runs side by side: how many a batch marches in its vector lanes.
inline constexpr int kMarchBatchLanes = 16;

// Marches every lane. Lanes with the same segment and step count go
// together, kMarchBatchLanes at a time, each lane computed in the order and
// rounding of MarchTransient, so that every run state ends bit for bit as
// its single march leaves it. A lane whose values stop being finite is
// dropped from its batch at that step and marched again alone by
// MarchTransient, which gives its error; a lane without a fault never gets
// one. Lanes of a grid no other lane shares, or that the batch cannot take,
// are marched alone too. Runs variant `isa`, replaced by the widest this
// processor can run as for MarchTransient.
void MarchBatch(std::span<MarchLane> lanes, MarchIsa isa);
// The same with the variant SelectedMarchIsa() names.
void MarchBatch(std::span<MarchLane> lanes);

}  // namespace kelvane
