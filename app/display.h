// Whether the windows can open here, found without loading the toolkit (whose
// start without a display ends the process).
#pragma once

#include <string>

namespace kelvane {

// True when a display can be reached: QT_QPA_PLATFORM names a platform that
// needs none (offscreen, minimal, vnc, ...), a Wayland socket exists, or the
// X server named by DISPLAY accepts a connection. Otherwise false, with the
// reason in the user's language in `why`.
bool DisplayAvailable(std::string& why);

}  // namespace kelvane
