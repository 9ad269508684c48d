// The batch mode's progress bar: one line on standard error, redrawn in place.
#pragma once

#include "output/output.h"

namespace kelvane {

// Draws only when the whole percent changes; values outside the range are
// drawn at its nearer end, and an empty range draws nothing.
class TerminalProgress : public ProgressSink {
 public:
  void SetMinimum(double value) override;
  void SetMaximum(double value) override;
  void SetValue(double value) override;
  // Wipes the line if anything was drawn, so messages start on a clean line.
  void Clear();

 private:
  double minimum_ = 0;
  double maximum_ = 100;
  int drawnPercent_ = -1;
};

}  // namespace kelvane
