// The progress bar as the writers see it: real-number minimum, maximum and
// value. The window passes its bar, the batch mode a terminal line or nothing.
#pragma once

#include "model/calculate.h"
#include "model/run_state.h"

namespace kelvane {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetMinimum(double value) = 0;
  virtual void SetMaximum(double value) = 0;
  virtual void SetValue(double value) = 0;
};

// A sink that shows nothing.
ProgressSink& NoProgress();

// A step observer that moves `progress` through the march: the range
// 0..StepCount once step 1 stands, then the last step of each block, set only
// when the whole percent changes (a long run does not spend its time drawing).
StepBlockObserver MarchProgress(const SurgeRun& run, ProgressSink& progress);

// Both observers, `first` first; an empty one is left out.
StepBlockObserver BothObservers(StepBlockObserver first, StepBlockObserver second);

}  // namespace kelvane
