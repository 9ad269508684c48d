// The result file: a GBK title line, a heading line with the position labels
// along the culvert, and for every interval-th step the time and the head at
// each node, each head moved to its column; CR LF line ends.
#pragma once

#include <string>
#include <string_view>

#include "files/file_writer.h"
#include "files/progress.h"
#include "model/run_state.h"

namespace kelvane {

// The title line's text "运算结果为：" and the heading's "时间(秒)", in GBK.
extern const std::string_view kTitleGbk;
extern const std::string_view kTimeLabelGbk;

// The text of the result file for a complete run, appended through `write`,
// moving `progress` as lines are written. The interval is rounded to a 16-bit
// integer after the heading lines (RunError overflow outside -32768..32767);
// 0 is taken as 1; a negative one writes step 1 only when StepCount is 1.
void WriteResultText(const SurgeRun& run, double outputInterval, const ByteWriter& write,
                     ProgressSink& progress);

// The whole result-file step: the progress range 0..StepCount, then the text
// into `path` through WriteFileAtomically. The empty name writes nothing (a
// cancelled save dialog, a batch run without --output).
void WriteResultFile(const SurgeRun& run, double outputInterval, const std::string& path,
                     ProgressSink& progress);

}  // namespace kelvane
