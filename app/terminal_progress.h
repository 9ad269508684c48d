// The batch mode's progress bar: one line on standard error, redrawn in place.
#pragma once

#include <chrono>
#include <cstdint>

#include "files/output.h"

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

// A study's progress line on standard error: cases done of the total, cases
// per second and the time left, redrawn at most ten times a second and once
// at the end. Draws nothing when `draw` is false.
class StudyProgress {
 public:
  StudyProgress(std::int64_t total, bool draw);
  void Done(std::int64_t done);
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  std::int64_t total_;
  bool draw_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point drawn_{};
  int width_ = 0;  // columns of the line drawn, 0 when none
};

}  // namespace kelvane
