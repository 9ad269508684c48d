// The results-table text: a title, a fixed heading and one row per step of
// the range typed in the boxes, each value in a left-justified field.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "output/output.h"

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

std::string BoxWhere(int box) {
  const InputField& field = InputFields()[static_cast<std::size_t>(box)];
  return std::string("结果查询：") + field.caption + "（" + field.box + "）";
}

// The counter as an array index: round to nearest, ties to even (3.5 -> 4,
// 8.5 -> 8). The counter stays within -32768..32767 while rows are made.
int StepIndex(double counter) { return static_cast<int>(std::nearbyint(counter)); }

[[noreturn]] void ThrowSubscript(const char* what, double counter, int step) {
  char counterText[32];
  std::snprintf(counterText, sizeof counterText, "%.17g", counter);
  throw RunError(ErrorCode::SubscriptOutOfRange, std::string("结果查询：") + what + "，步数计数 " +
                                                     counterText + "（第 " + std::to_string(step) +
                                                     " 步）");
}

[[noreturn]] void ThrowTooLong(std::string_view interval) {
  throw RunError(ErrorCode::OutOfMemory,
                 "结果查询：表格行数过多（输出间隔 " + std::string(interval) + "）");
}

}  // namespace

std::string ResultsTableText(SurgeRun& run, std::string_view text13, std::string_view text14,
                             std::string_view text15, ProgressSink& progress) {
  std::string out;
  out.append(kTitle);
  out.append(Heading());

  run.FirstOutputStep = ToInt16(ReadLeadingNumber(text13), BoxWhere(12));
  run.LastOutputStep = ToInt16(ReadLeadingNumber(text14), BoxWhere(13));
  double interval = ReadLeadingNumber(text15);
  if (interval == 0.0) interval = 1.0;  // an interval of 0 lists every step

  progress.SetMinimum(0.0);
  progress.SetMaximum(static_cast<double>(run.LastOutputStep));

  const double last = run.LastOutputStep;
  const int nodes = static_cast<int>(run.SegmentCount) + 1;
  const std::size_t rowBytes = 4 + 15 * static_cast<std::size_t>(nodes > 0 ? nodes : 0) + 2;
  const std::size_t firstRowEnd = out.size() + rowBytes;
  try {
    for (double counter = run.FirstOutputStep; interval > 0 ? counter <= last : counter >= last;
         counter += interval) {
      if (out.size() + rowBytes > kMaxTableBytes) ThrowTooLong(text15);
      const int step = StepIndex(counter);
      // The time field: "0.00" only for a counter of exactly 1.
      if (counter == 1.0) {
        out.append(kZero);
      } else {
        if (step < 1 || step > run.TimeSteps()) ThrowSubscript("时间", counter, step);
        AppendFormatted(out, run.StepTimes()[static_cast<std::size_t>(step - 1)], 4);
      }
      if (step < 1 || step > run.GridSteps()) ThrowSubscript("水位", counter, step);
      if (nodes > run.GridNodes()) ThrowSubscript("节点", counter, step);
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
          ThrowTooLong(text15);
        }
      }
    }
  } catch (const std::bad_alloc&) {
    throw RunError(ErrorCode::OutOfMemory, "结果查询：表格文本");
  }
  return out;
}

}  // namespace kelvane
