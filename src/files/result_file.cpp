// The result file: a GBK title line, a heading line (for five reaches the
// seven fixed position labels, for any other count one label per node over
// its column), and for every interval-th step the time and the head at each
// node, each head moved to column 11·k.
#include "files/result_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "files/gbk.h"
#include "files/node_labels.h"
#include "format/number_format.h"
#include "model/errors.h"
#include "model/inputs.h"

namespace kelvane {

// The file's two Chinese texts are fixed: written as GBK bytes here, so that a
// run does not load the system's converter for them (a test checks them
// against ToGbk).
const std::string_view kTitleGbk =
    "\xd4\xcb\xcb\xe3\xbd\xe1\xb9\xfb\xce\xaa\xa3\xba";               // 运算结果为：
const std::string_view kTimeLabelGbk = "\xca\xb1\xbc\xe4(\xc3\xeb)";  // 时间(秒)

namespace {

constexpr char kCrLf[] = "\r\n";

// Collects the text in large pieces and hands them to `write`; tracks the
// number of bytes on the current line for the column rule (columns count
// bytes of the GBK text, so a Chinese character takes two).
class LineWriter {
 public:
  // The buffer is left uninitialised: a small file touches only the pages it
  // fills. It starts small and doubles at each flush up to kMaxCapacity, so a
  // short run maps no large block and a long one writes in large pieces.
  explicit LineWriter(const ByteWriter& write)
      : write_(write), buffer_(new char[kFirstCapacity]), capacity_(kFirstCapacity) {}

  // Room for `bytes` more bytes without a flush in between.
  void Reserve(std::size_t bytes) {
    if (static_cast<std::size_t>(buffer_.get() + capacity_ - end_) < bytes) {
      Flush();
      const std::size_t wanted = std::max(bytes, std::min(capacity_ * 2, kMaxCapacity));
      if (capacity_ < wanted) {
        buffer_.reset(new char[wanted]);
        capacity_ = wanted;
        end_ = buffer_.get();
      }
    }
  }
  void Append(std::string_view text) {
    Reserve(text.size());
    std::memcpy(end_, text.data(), text.size());
    end_ += text.size();
    used_ += static_cast<long>(text.size());
  }
  // Moving to column n (from 1): spaces up to it; nothing when the next byte
  // falls on it; past it, a new line and n - 1 spaces.
  void MoveToColumn(long column) {
    Reserve(static_cast<std::size_t>(column) + 2 + kSpaceRun);
    MoveToColumnReserved(column);
  }
  // A value moved to its column, in one reservation.
  void AppendNumberAt(long column, float value) {
    Reserve(static_cast<std::size_t>(column) + 2 + kSpaceRun + kFormatHundredthsMax);
    MoveToColumnReserved(column);
    char* start = end_;
    end_ = FormatHundredthsTo(value, end_);
    used_ += end_ - start;
  }
  void AppendNumber(float value) {
    Reserve(kFormatHundredthsMax);
    char* start = end_;
    end_ = FormatHundredthsTo(value, end_);
    used_ += end_ - start;
  }
  void EndLine(std::string_view ending) {
    Append(ending);
    used_ = 0;
  }
  void Flush() {
    if (end_ != buffer_.get()) write_(std::string_view(buffer_.get(), end_ - buffer_.get()));
    end_ = buffer_.get();
  }

 private:
  static constexpr std::size_t kFirstCapacity = 1 << 16;
  static constexpr std::size_t kMaxCapacity = 1 << 20;
  static constexpr long kSpaceRun = 16;

  void MoveToColumnReserved(long column) {
    if (used_ + 1 > column) {
      std::memcpy(end_, kCrLf, 2);
      end_ += 2;
      used_ = 0;
    }
    const long spaces = column - 1 - used_;
    if (spaces <= kSpaceRun) {
      std::memcpy(end_, "                ", kSpaceRun);  // the usual gap, in one store
    } else {
      std::memset(end_, ' ', static_cast<std::size_t>(spaces));
    }
    end_ += spaces;
    used_ = column - 1;
  }

  const ByteWriter& write_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  char* end_ = buffer_.get();
  long used_ = 0;
};

// The heading labels (GBK) and the columns they start in.
struct HeadingLabel {
  std::string gbk;
  long column;
};
const std::vector<HeadingLabel>& HeadingLabels() {
  static const std::vector<HeadingLabel> labels = {
      {std::string(kTimeLabelGbk), 1},
      {"0.0L", 10},
      {"0.2L", 20},
      {"0.4L", 30},
      {"0.6L", 42},
      {"0.8L", 53},
      {"L", 64},
  };
  return labels;
}

}  // namespace

void WriteResultText(const SurgeRun& run, double outputInterval, const ByteWriter& write,
                     ProgressSink& progress) {
  LineWriter out(write);
  out.Append(kTitleGbk);
  out.EndLine(kCrLf);
  if (run.SegmentCount() == 5) {
    for (const HeadingLabel& label : HeadingLabels()) {
      out.MoveToColumn(label.column);
      out.Append(label.gbk);
    }
  } else {
    // Any other reach count: each node's position over the column where its
    // values start.
    out.Append(kTimeLabelGbk);
    long column = 0;
    for (const std::string& label : NodePositionLabels(run.SegmentCount())) {
      column += 11;
      out.MoveToColumn(column);
      out.Append(label);
    }
  }
  out.EndLine(kCrLf);
  out.Flush();  // the heading lines stand before the interval is converted

  std::int16_t interval16 = 0;
  if (!ToInt16(outputInterval, interval16)) {
    ErrorLocation at;
    at.stage = Stage::ResultFile;
    at.input = InputId::OutputInterval;
    throw RunError(ErrorCode::Overflow, at);
  }
  int interval = interval16;
  if (interval == 0) interval = 1;  // an interval of 0 writes every step

  const int stepCount = run.StepCount();
  const long nodes = static_cast<long>(run.SegmentCount()) + 1;
  // Step counter and columns in full-width integers: every step and node a
  // run can hold is written (no 16-bit overflow after the last line).
  for (int step = 1; interval > 0 ? step <= stepCount : step >= stepCount; step += interval) {
    const float time = run.StepTime(step);
    const std::span<const float> heads = run.HeadsAt(step);
    if (nodes < 1 || static_cast<std::size_t>(nodes) > heads.size()) {
      ErrorLocation at;
      at.stage = Stage::ResultFile;
      at.step = step;
      at.node = static_cast<int>(nodes);
      at.quantity = Quantity::Head;
      throw RunError(ErrorCode::SubscriptOutOfRange, at);
    }
    if (time == 0.0f) {
      out.Append("0.00");
    } else {
      out.AppendNumber(time);
    }
    for (long k = 1; k <= nodes; ++k) {
      out.AppendNumberAt(11 * k, heads[static_cast<std::size_t>(k - 1)]);
    }
    out.EndLine(" \r\n");
    progress.SetValue(static_cast<double>(step));
  }
  out.Flush();
}

void WriteResultFile(const SurgeRun& run, double outputInterval, const std::string& path,
                     ProgressSink& progress) {
  progress.SetMinimum(0.0);
  progress.SetMaximum(static_cast<double>(run.StepCount()));
  if (path.empty()) return;
  WriteFileAtomically(path, [&](const ByteWriter& write) {
    WriteResultText(run, outputInterval, write, progress);
  });
}

}  // namespace kelvane
