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
// Halves are judged on the single's value rounded to seven significant digits
// (ties to even), then rounded to hundredths away from zero (the single
// nearest 2.675 gives "2.68", 0.125 gives ".13"). A value that rounds to zero
// has no sign ("."). Infinity gives "inf"/"-inf" and NaN "nan"; a complete
// run never holds them, but the function never fails.

std::string FormatHundredths(float value);
// The same into `out`, which must hold kFormatHundredthsMax bytes; returns the
// end of the text written (bytes past it, within the buffer, may be changed).
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

// Writes a file through a temporary file in the same folder that is flushed
// to the disk and renamed over `path` only once `body` has returned; the
// folder is flushed after the rename, so a power cut leaves the old file or
// the new one. Any fault throws RunError with the file catalogue's number
// (permission or read-only file system 70, missing folder 76, full disk 61,
// anything else such as a folder as the name 75; `where` names the file), and
// leaves an existing file of that name untouched and no temporary file
// behind. `body` appends bytes through the given function (which may itself
// throw).
//
// Other targets:
// - a symbolic link is followed, also when its target does not exist yet;
//   the link stays;
// - a name for a descriptor the process holds ("/dev/stdout", "/dev/fd/N",
//   "/proc/self/fd/N") is written through that descriptor, at its position;
// - an existing name that is no regular file (a device such as /dev/full, a
//   pipe) is written in place;
// - an existing writable file in a folder that refuses a new file or the
//   rename (a read-only folder, another user's file in a sticky folder) is
//   rewritten in place once the whole text is at hand, keeping its owner,
//   mode and hard links; a disk fault during that rewrite can leave it part
//   written (a full disk is found before the file is touched where the file
//   system can reserve the space).
// Before writing, temporary files left in the folder by writers that were
// killed (processes that no longer run) are removed.
using ByteWriter = std::function<void(std::string_view bytes)>;

// The catalogue number of a failed file operation's errno: permission
// denied or a read-only file system 70, a missing folder 76, a full disk 61,
// anything else 75.
ErrorCode FileErrorCode(int error);
void WriteFileAtomically(const std::string& path,
                         const std::function<void(const ByteWriter& write)>& body);

// Whether two output names lead to one file, so that writing the second
// would replace the first: the same existing regular file (by device and
// inode: "a.txt" and "./a.txt", a symbolic or hard link), or the same new
// file (by the resolved path of a name that does not exist yet). Devices and
// pipes, and two descriptors ("/dev/stdout", "/dev/stderr"), are written in
// place one after the other and are never the same here.
bool SameOutputFile(const std::string& first, const std::string& second);

// ---------------------------------------------------------------------------
// The result file.

// The GBK text of the result file for a complete run (title, heading and the
// data lines of every interval-th step), appended through `write`, moving
// `progress` as lines are written. The interval is rounded to a 16-bit
// integer after the heading lines (RunError overflow outside -32768..32767);
// 0 is taken as 1; a negative one writes step 1 only when StepCount is 1.
void WriteResultText(const SurgeRun& run, double outputInterval, const ByteWriter& write,
                     ProgressSink& progress);

// The whole result-file step: progress range, save dialog, then the text
// through WriteFileAtomically. An empty name writes nothing.
void WriteResultFile(const SurgeRun& run, double outputInterval, const FileNameProvider& chooseFile,
                     ProgressSink& progress);

// ---------------------------------------------------------------------------
// The results-table text (UTF-8, CR LF line ends) for the step range and
// interval typed in Text13, Text14, Text15. Sets run.FirstOutputStep and
// run.LastOutputStep and moves `progress`. Throws RunError (subscript,
// overflow; out of memory for a table beyond 1 GiB of text). An interval of
// 0 is taken as 1.
std::string ResultsTableText(SurgeRun& run, std::string_view text13, std::string_view text14,
                             std::string_view text15, ProgressSink& progress);

}  // namespace kelvane
