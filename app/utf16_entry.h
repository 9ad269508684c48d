// The command line in UTF-8. On Windows the arguments arrive in UTF-16 and
// the C library's char arguments would lose every character outside the
// system's code page; elsewhere they are UTF-8 already.
#pragma once

namespace kelvane {

#ifdef _WIN32
// Replaces `argc` and `argv` by the process's UTF-16 command line in UTF-8
// (kept for the life of the process). Also puts the standard streams in
// binary mode, so that what is redirected to a file is byte for byte what
// the program writes, and a console's output code page to UTF-8 until the
// program ends, so that Chinese messages read right.
void TakeUtf16CommandLine(int& argc, char**& argv);
#else
inline void TakeUtf16CommandLine(int&, char**&) {}
#endif

}  // namespace kelvane
