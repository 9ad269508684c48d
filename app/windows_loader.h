// Loads the windows module at run time. The program itself links no part of
// the window toolkit: the batch mode without an image output never loads it.
#pragma once

#include "ui/windows_module.h"

namespace kelvane {

// The module next to the program, else in the installed module folder;
// loaded once. Throws RunError 53 (file not found, naming the module) when
// neither holds one, 75 when it cannot be loaded or is of another version.
const ui::WindowsModule& WindowsModule();

}  // namespace kelvane
