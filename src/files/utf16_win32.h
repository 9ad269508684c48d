// UTF-8, the program's text everywhere, to and from the UTF-16 of the
// Windows calls (file names, the command line, the console).
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// Broken UTF-8 becomes U+FFFD, as the system converts it.
std::wstring Utf8ToWide(std::string_view utf8);
// A lone surrogate becomes U+FFFD.
std::string WideToUtf8(std::wstring_view wide);

// The full name of a file (GetFullPathNameW). A reserved device name (NUL,
// CON, COM1, ...) is a device, whose full name is in the device namespace
// (it starts with \\.\).
std::wstring FullPathName(const std::wstring& name);
bool IsDeviceName(const std::wstring& name);

// The errno value that stands for a Windows error code, so that the error
// catalogue maps both systems' faults alike: a refusal (access denied, a
// sharing violation, a write-protected disk) is EACCES, a missing file or
// folder ENOENT, a full disk ENOSPC, anything else EIO.
int ErrnoOfWindowsError(unsigned long error);

}  // namespace kelvane
