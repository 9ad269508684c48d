// The batch mode: one whole Calculate with no window, driven by options.
#pragma once

#include <string>

#include "output/file_writer.h"

namespace kelvane {

// True when the arguments ask for the batch mode (--batch anywhere).
bool IsBatchCommandLine(int argc, char** argv);

// Runs the batch mode; returns the process exit status (0 success, 1 a
// run-time error, 2 a usage error).
int RunBatch(int argc, char** argv);

// A report goes to standard output for "-", otherwise through a temporary
// file renamed over `target` once complete.
void WriteReport(const std::string& target, const FileBody& body);

}  // namespace kelvane
