// The results-table text: a title, a heading (fixed for five reaches, one
// position label per node otherwise) and one row per step of the range typed
// in the boxes, each value in a left-justified field.
#include "files/results_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "files/node_labels.h"
#include "format/number_format.h"
#include "model/errors.h"
#include "model/inputs.h"

namespace kelvane {
namespace {

constexpr std::string_view kTitle = "计算结果为:\r\n";
// Fixed runs of spaces, no column arithmetic: 90 characters.
const std::string& Heading() {
  static const std::string heading = [] {
    const std::string gap(10, ' ');
    return "时间(秒)" + std::string(7, ' ') + "0.0L" + std::string(9, ' ') + " 0.2L" + gap +
           " 0.4L" + gap + " 0.6L" + gap + " 0.8L" + gap + " 1.0L\r\n";
  }();
  return heading;
}
constexpr std::string_view kZero = "0.00";
constexpr std::string_view kGap = "          ";  // 10 spaces before each head

// The text is held whole in memory (and shown whole in a text box): beyond
// this size a table is refused as out of memory rather than left to exhaust
// the machine (a tiny interval can ask for billions of rows).
constexpr std::size_t kMaxTableBytes = std::size_t{1} << 30;

// `text` padded with spaces or cut to `width` characters (the texts are ASCII).
void AppendField(std::string& out, std::string_view text, std::size_t width) {
  if (text.size() >= width) {
    out.append(text.substr(0, width));
  } else {
    out.append(text);
    out.append(width - text.size(), ' ');
  }
}

void AppendFormatted(std::string& out, float value, std::size_t width) {
  char buffer[kFormatHundredthsMax];
  AppendField(out, std::string_view(buffer, FormatHundredthsTo(value, buffer) - buffer), width);
}

std::int16_t ReadStep(std::string_view text, InputId box) {
  std::int16_t step = 0;
  if (!ToInt16(ReadLeadingNumber(text), step)) {
    ErrorLocation at;
    at.stage = Stage::ResultsTable;
    at.input = box;
    throw RunError(ErrorCode::Overflow, at);
  }
  return step;
}

// The counter as an array index: round to nearest, ties to even (3.5 -> 4,
// 8.5 -> 8). The counter stays within -32768..32767 while rows are made.
int StepIndex(double counter) { return static_cast<int>(std::nearbyint(counter)); }

// A row whose step lies outside the run: `what` is the time, a head or a
// node beyond the grids.
[[noreturn]] void ThrowSubscript(Quantity what, double counter, int step) {
  ErrorLocation at;
  at.stage = Stage::ResultsTable;
  at.quantity = what;
  at.step = step;
  at.value = counter;
  throw RunError(ErrorCode::SubscriptOutOfRange, at);
}

[[noreturn]] void ThrowTooLong() {
  ErrorLocation at;
  at.stage = Stage::ResultsTable;
  at.input = InputId::OutputInterval;
  throw RunError(ErrorCode::OutOfMemory, at);
}

}  // namespace

TableRange ReadTableRange(std::string_view first, std::string_view last,
                          std::string_view interval) {
  TableRange range;
  range.first = ReadStep(first, InputId::FirstOutputStep);
  range.last = ReadStep(last, InputId::LastOutputStep);
  range.interval = ReadLeadingNumber(interval);
  return range;
}

std::string ResultsTableText(const SurgeRun& run, const TableRange& range, ProgressSink& progress) {
  std::string out;
  out.append(kTitle);
  if (run.SegmentCount() == 5) {
    out.append(Heading());
  } else {
    // Any other reach count: each node's position over the field where its
    // values start (character 15k of the row).
    const std::string_view time = "时间(秒)";
    out.append(time);
    std::size_t used = 5;  // characters of the time label
    std::size_t start = 0;
    for (const std::string& label : NodePositionLabels(run.SegmentCount())) {
      start += 15;
      if (used < start - 1) out.append(start - 1 - used, ' ');
      out.append(label);
      used = std::max(used, start - 1) + label.size();
    }
    out.append("\r\n");
  }

  double interval = range.interval;
  if (interval == 0.0) interval = 1.0;  // an interval of 0 lists every step

  progress.SetMinimum(0.0);
  progress.SetMaximum(static_cast<double>(range.last));

  const double last = range.last;
  const int nodes = static_cast<int>(run.SegmentCount()) + 1;
  const std::size_t rowBytes = 4 + 15 * static_cast<std::size_t>(nodes > 0 ? nodes : 0) + 2;
  const std::size_t firstRowEnd = out.size() + rowBytes;
  try {
    for (double counter = range.first; interval > 0 ? counter <= last : counter >= last;
         counter += interval) {
      if (out.size() + rowBytes > kMaxTableBytes) ThrowTooLong();
      const int step = StepIndex(counter);
      // The time field: "0.00" only for a counter of exactly 1.
      if (counter == 1.0) {
        out.append(kZero);
      } else {
        if (step < 1 || step > run.TimeSteps()) ThrowSubscript(Quantity::Time, counter, step);
        AppendFormatted(out, run.StepTimes()[static_cast<std::size_t>(step - 1)], 4);
      }
      if (step < 1 || step > run.GridSteps()) ThrowSubscript(Quantity::Head, counter, step);
      if (nodes > run.GridNodes()) ThrowSubscript(Quantity::Head, counter, step);
      const std::span<const float> heads = run.HeadsAt(step);
      for (int k = 0; k < nodes; ++k) {
        out.append(kGap);
        const float head = heads[static_cast<std::size_t>(k)];
        if (std::fabs(head) < 0.01f) {
          out.append(kZero);
          out.append(1, ' ');
        } else {
          AppendFormatted(out, head, 5);
        }
      }
      out.append("\r\n");
      progress.SetValue(static_cast<double>(static_cast<float>(counter)));
      // After the first row, foresee the rows still to come (up to the last
      // step, or up to where a lookup would fail first): a table that would
      // pass the limit fails now rather than after filling memory.
      if (out.size() == firstRowEnd) {
        const double stop =
            interval > 0 ? std::min(last, run.TimeSteps() + 0.5) : std::max(last, 0.5);
        const double rows = std::floor((stop - counter) / interval);
        if (rows * static_cast<double>(rowBytes) >
            static_cast<double>(kMaxTableBytes - out.size())) {
          ThrowTooLong();
        }
      }
    }
  } catch (const std::bad_alloc&) {
    ErrorLocation at;
    at.stage = Stage::ResultsTable;
    throw RunError(ErrorCode::OutOfMemory, at);
  }
  return out;
}

}  // namespace kelvane
