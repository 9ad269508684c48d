// The progress bar as the writers see it: real-number minimum, maximum and
// value. The window passes its bar, the batch mode a terminal line or nothing.
#pragma once

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

}  // namespace kelvane
