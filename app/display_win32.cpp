// On Windows the windows always have a desktop to open on (a service has
// none, but is no place for this program); the toolkit reports anything else.
#include "display.h"

namespace kelvane {

bool DisplayAvailable(std::string& /*why*/) { return true; }

}  // namespace kelvane
