// The silent progress sink and the march's progress observer.
#include "files/progress.h"

#include <utility>

namespace kelvane {

ProgressSink& NoProgress() {
  class Silent final : public ProgressSink {
   public:
    void SetMinimum(double) override {}
    void SetMaximum(double) override {}
    void SetValue(double) override {}
  };
  static Silent silent;
  return silent;
}

StepBlockObserver MarchProgress(const SurgeRun& run, ProgressSink& progress) {
  return [&run, &progress, shownPercent = -1](int, int lastStep) mutable {
    const int steps = run.StepCount();
    if (steps < 1) return;
    if (lastStep == 1) {
      progress.SetMinimum(0.0);
      progress.SetMaximum(static_cast<double>(steps));
    }
    const int percent = static_cast<int>(100LL * lastStep / steps);
    if (percent == shownPercent) return;
    shownPercent = percent;
    progress.SetValue(static_cast<double>(lastStep));
  };
}

StepBlockObserver BothObservers(StepBlockObserver first, StepBlockObserver second) {
  if (!first) return second;
  if (!second) return first;
  return [first = std::move(first), second = std::move(second)](int from, int to) {
    first(from, to);
    second(from, to);
  };
}

}  // namespace kelvane
