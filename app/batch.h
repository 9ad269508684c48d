// The batch mode: one whole Calculate with no window, driven by options, or
// a design study.
#pragma once

#include "image_outputs.h"
#include "options.h"

namespace kelvane {

// Runs the batch mode on a command split by SplitCommandLine; returns the
// process exit status (0 success, 1 a run-time error, 2 a usage error).
// `images` is null in the program without the windows: a command that draws
// an image is then passed on whole to the GUI program, with `argv`,
// before any file is read.
int RunBatch(const CommandLine& line, char** argv, const ImageOutputs* images);

}  // namespace kelvane
