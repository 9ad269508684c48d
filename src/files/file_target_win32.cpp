// Where an output name leads, on Windows: the standard streams by their
// POSIX names, any other name as it is (the system follows links itself).
#include <windows.h>

#include <string_view>

#include "files/file_target.h"
#include "files/output.h"
#include "files/utf16_win32.h"

namespace kelvane {
namespace {

// The volume and file index of an existing file, or false.
bool Identify(const std::string& name, BY_HANDLE_FILE_INFORMATION& info, bool& onDisk) {
  const HANDLE handle = ::CreateFileW(Utf8ToWide(name).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
  onDisk = ::GetFileType(handle) == FILE_TYPE_DISK &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  ::CloseHandle(handle);
  return known;
}

// The full name of a file that does not exist yet, in one case.
std::wstring FullName(const std::string& name) {
  std::wstring full = FullPathName(Utf8ToWide(name));
  for (wchar_t& c : full)
    if (c == L'/') c = L'\\';
  ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  return full;
}

}  // namespace

bool ResolveOutputTarget(const std::string& name, OutputTarget& target) {
  target.path = name;
  target.descriptor = -1;
  if (name == "/dev/stdout") target.descriptor = 1;
  if (name == "/dev/stderr") target.descriptor = 2;
  return true;
}

bool SameOutputFile(const std::string& first, const std::string& second) {
  OutputTarget a, b;
  ResolveOutputTarget(first, a);
  ResolveOutputTarget(second, b);
  if (a.descriptor >= 0 || b.descriptor >= 0) return false;
  BY_HANDLE_FILE_INFORMATION infoA{}, infoB{};
  bool diskA = false, diskB = false;
  const bool existsA = Identify(a.path, infoA, diskA);
  const bool existsB = Identify(b.path, infoB, diskB);
  if (existsA != existsB) return false;
  // NUL, CON, COM1, ... anywhere: written in place, one after the other.
  if (IsDeviceName(Utf8ToWide(a.path)) || IsDeviceName(Utf8ToWide(b.path))) return false;
  if (existsA) {
    // Devices (NUL, CON) are written in place, in order: nothing is replaced.
    return diskA && infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
           infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
           infoA.nFileIndexLow == infoB.nFileIndexLow;
  }
  // File names are compared without regard to case, as the system does.
  return FullName(a.path) == FullName(b.path);
}

}  // namespace kelvane
