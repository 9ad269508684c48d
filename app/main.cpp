// `kelvane`: the batch mode, and the main window and the images passed on
// to the GUI program.
#include "program.h"

int main(int argc, char** argv) { return kelvane::RunProgram(argc, argv, nullptr, nullptr); }
