// The batch mode: one whole Calculate with no window, driven by options.
#pragma once

#include <string>

#include "image_outputs.h"
#include "output/file_writer.h"

namespace kelvane {

// True when the arguments ask for the batch mode (--batch anywhere).
bool IsBatchCommandLine(int argc, char** argv);

// Runs the batch mode; returns the process exit status (0 success, 1 a
// run-time error, 2 a usage error). `images` is null in the program without
// the windows: a command that draws an image is then passed on to the
// windows program before it runs.
int RunBatch(int argc, char** argv, const ImageOutputs* images);

// A report goes to standard output for "-", otherwise through a temporary
// file renamed over `target` once complete.
void WriteReport(const std::string& target, const FileBody& body);

}  // namespace kelvane
