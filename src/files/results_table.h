// The results-table text: a title, a fixed heading and one row per step of
// a range, each value in a left-justified field (UTF-8, CR LF line ends).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "files/progress.h"
#include "model/run_state.h"

namespace kelvane {

// The rows of the table: a step counter from `first` to `last` by `interval`
// (0 is taken as 1), each row the counter's step rounded half to even.
struct TableRange {
  std::int16_t first = 0;  // step
  std::int16_t last = 0;   // step
  double interval = 0;     // steps
};

// The range typed in 初始输出时段, 终端输出时段 and 输出间隔, read by the
// leading-number rule. Throws RunError overflow (naming the box) for a step
// beyond the 16-bit range.
TableRange ReadTableRange(std::string_view first, std::string_view last, std::string_view interval);

// The table for `range`, moving `progress`. Throws RunError (a subscript
// beyond the run's steps, overflow; out of memory for a table beyond 1 GiB
// of text).
std::string ResultsTableText(const SurgeRun& run, const TableRange& range, ProgressSink& progress);

}  // namespace kelvane
