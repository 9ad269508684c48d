// Result output: the number-to-text rule, the result file, the results-table
// text and the batch reports. Qt-free; the platform pieces (save dialog,
// progress bar) are passed in by the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "solver/solver.h"

namespace kelvane {

// ---------------------------------------------------------------------------
// Number to text: at most two decimals, the point always written, no leading
// zero before it and no trailing zeros after it (0.5 -> ".5", 12 -> "12.").

std::string FormatHundredths(float value);
// The same into `out`, which must hold kFormatHundredthsMax bytes; returns the
// end of the text written.
constexpr std::size_t kFormatHundredthsMax = 48;
char* FormatHundredthsTo(float value, char* out);
// The same rule through printf for every value: slow, the reference the fast
// road is checked against. Infinity gives "inf"/"-inf", NaN "nan".
std::string FormatHundredthsReference(float value);

// ---------------------------------------------------------------------------
// Platform pieces.

// What the save dialog is asked (UTF-8 texts).
struct SaveDialogRequest {
  std::string presetName;  // "计算结果.txt"
  std::string filter;      // "all files|*.*|(*.txt)|*.txt|(*.dat)|*.dat|"
  int options = 0;         // 4096
  std::string title;       // "保存输出结果"
};
// Gives back the chosen file name (UTF-8 path) or the empty string.
using FileNameProvider = std::function<std::string(const SaveDialogRequest&)>;

// The progress bar: real-number minimum, maximum and value.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetMinimum(double value) = 0;
  virtual void SetMaximum(double value) = 0;
  virtual void SetValue(double value) = 0;
};
// A sink that shows nothing.
ProgressSink& NoProgress();

// UTF-8 to GBK (code page 936).
std::string ToGbk(std::string_view utf8);

// Writes a file through a temporary file in the same folder that is renamed
// over `path` only once `body` has returned and the file is closed. Any fault
// throws RunError with the file catalogue's number, and leaves an existing
// file of that name untouched and no temporary file behind. `body` appends
// bytes through the given function (which may itself throw).
using ByteWriter = std::function<void(std::string_view bytes)>;
void WriteFileAtomically(const std::string& path,
                         const std::function<void(const ByteWriter& write)>& body);

// ---------------------------------------------------------------------------
// The result file.

// The GBK text of the result file for a complete run (title, heading and the
// data lines of every interval-th step), appended through `write`, moving
// `progress` as lines are written. Throws RunError (the interval's overflow).
void WriteResultText(const SurgeRun& run, double outputInterval, const ByteWriter& write,
                     ProgressSink& progress);

// The whole result-file step: progress range, save dialog, then the text
// through WriteFileAtomically. An empty name writes nothing.
void WriteResultFile(const SurgeRun& run, double outputInterval,
                     const FileNameProvider& chooseFile, ProgressSink& progress);

// ---------------------------------------------------------------------------
// The results-table text (UTF-8, CR LF line ends) for the step range and
// interval typed in Text13, Text14, Text15. Sets run.FirstOutputStep and
// run.LastOutputStep and moves `progress`. Throws RunError (subscript,
// overflow).
std::string ResultsTableText(SurgeRun& run, std::string_view text13, std::string_view text14,
                             std::string_view text15, ProgressSink& progress);

}  // namespace kelvane
