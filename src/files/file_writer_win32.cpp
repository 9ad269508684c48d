// The file writer's calls of Windows (file_primitives.h; the policy that
// uses them is write_policy.cpp): the temporary file is flushed with
// FlushFileBuffers and renamed with MoveFileExW, replacing and written
// through. A reserved device name (NUL, CON) or a name that is no file on a
// disk (a pipe) is written in place; "/dev/stdout" and "/dev/stderr" are
// written through the standard streams.
//
// Temporary files are named ".kelvane-PID-N.tmp" and held open without
// delete sharing while they are written: a later writer removes the
// leftovers of a process that no longer runs, and the system refuses to
// delete a file some process still holds open.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_primitives.h"
#include "files/file_writer.h"
#include "files/utf16_win32.h"
#include "model/errors.h"

namespace kelvane {
namespace {

[[noreturn]] void ThrowFileError(int error, const std::string& path, FileAction action) {
  throw FileError(error, path, action);
}

[[noreturn]] void ThrowLastError(const std::string& path, FileAction action) {
  ThrowFileError(ErrnoOfWindowsError(::GetLastError()), path, action);
}

HANDLE Native(files::NativeFile file) { return reinterpret_cast<HANDLE>(file); }
files::NativeFile FromHandle(HANDLE handle) { return reinterpret_cast<files::NativeFile>(handle); }

void WriteHandle(HANDLE handle, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), piece, &written, nullptr)) {
      ThrowLastError(path, FileAction::Write);
    }
    if (written == 0) ThrowFileError(ENOSPC, path, FileAction::Write);
    bytes.remove_prefix(written);
  }
}

// Opens an existing name to write it from the start, keeping the file.
HANDLE OpenExisting(const std::wstring& name) {
  return ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The process that wrote a temporary file ".kelvane-PID-N.tmp", or 0.
DWORD LeftoverOwner(std::wstring_view name) {
  constexpr std::wstring_view kPrefix = L".kelvane-", kSuffix = L".tmp";
  if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return 0;
  name = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  const std::size_t dash = name.find(L'-');
  if (dash == 0 || dash == std::wstring_view::npos || dash + 1 == name.size() || dash > 10) {
    return 0;
  }
  unsigned long long pid = 0;
  for (wchar_t c : name.substr(0, dash)) {
    if (c < L'0' || c > L'9') return 0;
    pid = pid * 10 + static_cast<unsigned>(c - L'0');
  }
  return pid > 0xffffffffull ? 0 : static_cast<DWORD>(pid);
}

bool ProcessRuns(DWORD pid) {
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;  // denied: it runs
  const bool runs = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return runs;
}

// Removes the temporary files a killed writer left in `folder`: those of a
// process that no longer runs. A file still held open by a writer (in a
// process of the same number, or on another machine sharing the folder)
// cannot be deleted and stays; any failure here is left alone.
void RemoveLeftoversIn(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW((folder + L".kelvane-*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const DWORD pid = LeftoverOwner(found.cFileName);
    if (pid == 0 || pid == ::GetCurrentProcessId() || ProcessRuns(pid)) continue;
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
      continue;
    }
    ::DeleteFileW((folder + found.cFileName).c_str());
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

}  // namespace

namespace files {

NativeFile OpenDescriptor(int descriptor, const std::string& path) {
  std::fflush(descriptor == 2 ? stderr : stdout);
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
  if (handle == INVALID_HANDLE_VALUE) ThrowFileError(EBADF, path, FileAction::Open);
  return FromHandle(handle);
}

Existing Inspect(const std::string& target, const std::string& path) {
  Existing existing;
  const std::wstring name = Utf8ToWide(target);
  if (name.empty() || name.back() == L'/' || name.back() == L'\\') {
    ThrowFileError(EISDIR, path, FileAction::NotAFileName);
  }
  // A reserved device name is no file, whether or not the system says it
  // exists.
  if (IsDeviceName(name)) {
    existing.kind = Existing::Kind::InPlace;
    existing.inPlace = WideToUtf8(FullPathName(name));
    return existing;
  }
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      ThrowFileError(ErrnoOfWindowsError(error), path, FileAction::Open);
    }
    return existing;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) ThrowFileError(EISDIR, path, FileAction::IsFolder);
  // Replacing by rename would pass over a file that may not be written.
  if (attributes & FILE_ATTRIBUTE_READONLY) ThrowFileError(EACCES, path, FileAction::Open);
  const HANDLE probe =
      ::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
  const bool disk = probe == INVALID_HANDLE_VALUE || ::GetFileType(probe) == FILE_TYPE_DISK;
  if (probe != INVALID_HANDLE_VALUE) ::CloseHandle(probe);
  if (!disk) {
    existing.kind = Existing::Kind::InPlace;
    existing.inPlace = target;
    return existing;
  }
  existing.kind = Existing::Kind::File;
  // The new file keeps the old one's hidden, system and archive marks.
  existing.mode = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  return existing;
}

NativeFile OpenInPlace(const Existing& existing, const std::string& path) {
  const HANDLE handle = OpenExisting(Utf8ToWide(existing.inPlace));
  if (handle == INVALID_HANDLE_VALUE) ThrowLastError(path, FileAction::Open);
  return FromHandle(handle);
}

void WriteAll(NativeFile file, std::string_view first, std::string_view second,
              const std::string& path) {
  WriteHandle(Native(file), first, path);
  WriteHandle(Native(file), second, path);
}

void Close(NativeFile file, const std::string& path) {
  if (!::CloseHandle(Native(file))) ThrowLastError(path, FileAction::Close);
}

void CloseQuietly(NativeFile file) {
  if (file != kNoFile) ::CloseHandle(Native(file));
}

// A refusal: access denied, a sharing violation.
bool Refused(int error) { return error == EACCES; }

// "" for the current folder, "C:" for the current folder of a drive.
std::string FolderOf(const std::string& target) {
  const std::size_t separator = target.find_last_of("/\\");
  if (separator != std::string::npos) return target.substr(0, separator + 1);
  if (target.size() >= 2 && target[1] == ':') return target.substr(0, 2);  // "C:name"
  return "";
}

void RemoveLeftovers(const std::string& folder) { RemoveLeftoversIn(Utf8ToWide(folder)); }

// Held without delete sharing.
int OpenTemporary(const std::string& folder, Temporary& temporary) {
  static std::atomic<unsigned> counter{0};
  const std::wstring wideFolder = Utf8ToWide(folder);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring name = wideFolder + L".kelvane-" + std::to_wstring(::GetCurrentProcessId()) +
                              L"-" + std::to_wstring(++counter) + L".tmp";
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      temporary.file = FromHandle(handle);
      temporary.folder = folder;
      temporary.name = WideToUtf8(name);
      return 0;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return ErrnoOfWindowsError(::GetLastError());
}

void TakeMarks(const Temporary& temporary, const Existing& existing) {
  ::SetFileAttributesW(Utf8ToWide(temporary.name).c_str(), static_cast<DWORD>(existing.mode));
}

// The system renames only a closed file.
int Complete(Temporary& temporary, const std::string& path) {
  if (!::FlushFileBuffers(Native(temporary.file))) ThrowLastError(path, FileAction::Write);
  const HANDLE handle = Native(temporary.file);
  temporary.file = kNoFile;
  if (!::CloseHandle(handle)) ThrowLastError(path, FileAction::Close);
  return 0;
}

int Rename(const Temporary& temporary, const std::string& name) {
  if (::MoveFileExW(Utf8ToWide(temporary.name).c_str(), Utf8ToWide(name).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  return ErrnoOfWindowsError(::GetLastError());
}

// Written through already.
void Settle(Temporary&, const std::string&) {}

void Discard(Temporary& temporary) {
  CloseQuietly(temporary.file);
  temporary.file = kNoFile;
  ::DeleteFileW(Utf8ToWide(temporary.name).c_str());
}

std::int64_t TemporarySize(const Temporary& temporary, const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(Utf8ToWide(temporary.name).c_str(), GetFileExInfoStandard, &data)) {
    ThrowLastError(path, FileAction::Read);
  }
  return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void ReadTemporary(const Temporary& temporary, const std::string& path,
                   const std::function<void(std::string_view)>& piece) {
  const HANDLE source =
      ::CreateFileW(Utf8ToWide(temporary.name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (source == INVALID_HANDLE_VALUE) ThrowLastError(path, FileAction::Read);
  try {
    std::vector<char> buffer(1 << 20);
    for (;;) {
      DWORD got = 0;
      if (!::ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
        ThrowLastError(path, FileAction::Read);
      }
      if (got == 0) break;
      piece(std::string_view(buffer.data(), got));
    }
  } catch (...) {
    ::CloseHandle(source);
    throw;
  }
  ::CloseHandle(source);
}

NativeFile OpenForRewrite(const std::string& target) {
  const HANDLE handle = OpenExisting(Utf8ToWide(target));
  return handle == INVALID_HANDLE_VALUE ? kNoFile : FromHandle(handle);
}

// Nothing to reserve: the rewrite goes from the start.
void Reserve(NativeFile, std::int64_t, const std::string&) {}

// The file ends where the rewrite stopped.
void EndRewrite(NativeFile file, std::int64_t, const std::string& path) {
  if (!::SetEndOfFile(Native(file))) ThrowLastError(path, FileAction::Write);
  if (!::FlushFileBuffers(Native(file))) ThrowLastError(path, FileAction::Write);
}

}  // namespace files

std::FILE* OpenFileForReading(const std::string& path) {
  return ::_wfopen(Utf8ToWide(path).c_str(), L"rb");
}

}  // namespace kelvane
