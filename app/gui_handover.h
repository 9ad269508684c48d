// The GUI program, `kelvane-gui`: the same commands as `kelvane`,
// with the windows and the image outputs linked in. `kelvane` itself links
// no part of the window toolkit, so that a batch run starts in a moment; a
// command that needs a window or an image is passed on to it whole.
#pragma once

#include "model/errors.h"

namespace kelvane {

// Replaces this process by the GUI program running the same command
// line (the same process, arguments, standard streams and environment). The
// program lies next to this one (the build tree), else in the installed
// folder for it. Returns only when it cannot be started, with the reason:
// 53 naming it when it is not there, 75 when it will not start.
RunError RunInGuiProgram(char** argv);

}  // namespace kelvane
