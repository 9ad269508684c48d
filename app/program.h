// What both programs do with their command line: the batch mode when asked
// for, --help and --version, the main window otherwise. `kelvane` links no
// part of the window toolkit, so that `kelvane --batch` starts in a moment
// and works without a display, and passes a command that needs a window or
// an image on to `kelvane-gui`, which has them linked in.
#pragma once

#include <string>

#include "image_outputs.h"

namespace kelvane {

// Opens the main window; the process exit status.
using MainWindowEntry = int (*)(int argc, char** argv);

// The GUI program passes its images and its main window; the
// command-line program passes neither, and hands a command that needs them
// on to the GUI program (or, in a build without windows, refuses it).
// The process exit status.
int RunProgram(int argc, char** argv, const ImageOutputs* images, MainWindowEntry mainWindow);

// A usage error of the program as a whole: the problem and the usage on
// standard error; the exit status 2.
int ProgramUsageError(const std::string& problem);

}  // namespace kelvane
