// The one place that touches the file system, on Windows: a file is written
// to a temporary file in the same folder, flushed to the disk
// (FlushFileBuffers), and renamed over the chosen name only once it is
// complete (MoveFileExW, replacing, written through). A fault leaves any
// existing file of that name as it was and no partial file behind.
//
// A chosen name that exists and is no file on a disk (NUL, CON, a pipe) is
// written in place. "/dev/stdout" and "/dev/stderr" are written through the
// standard streams. Where the folder refuses a new file or the rename (a
// folder the user may write files in but not create them, a file another
// program holds open), an existing file is rewritten in place instead.
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
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/file_target.h"
#include "output/file_writer.h"
#include "output/utf16_win32.h"
#include "solver/errors.h"

namespace kelvane {
namespace {

[[noreturn]] void ThrowFileError(int error, const std::string& path, FileAction action) {
  throw FileError(error, path, action);
}

[[noreturn]] void ThrowLastError(const std::string& path, FileAction action) {
  ThrowFileError(ErrnoOfWindowsError(::GetLastError()), path, action);
}

// A handle closed when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  bool Close() {
    const bool closed = !Valid() || ::CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

void WriteAll(HANDLE handle, std::string_view bytes, const std::string& path) {
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

// Collects small pieces into large writes.
class BufferedFile {
 public:
  BufferedFile(HANDLE handle, const std::string& path) : handle_(handle), path_(path) {}
  void Append(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kCapacity) Flush();
    if (bytes.size() >= kCapacity) {
      WriteAll(handle_, bytes, path_);
      return;
    }
    buffer_.append(bytes);
  }
  void Flush() {
    WriteAll(handle_, buffer_, path_);
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kCapacity = 1 << 18;
  HANDLE handle_;
  const std::string& path_;
  std::string buffer_;
};

void RunBody(HANDLE handle, const std::string& path, const FileBody& body) {
  BufferedFile file(handle, path);
  try {
    body([&file](std::string_view bytes) { file.Append(bytes); });
  } catch (const KeepPartial&) {
    file.Flush();
    throw;
  }
  file.Flush();
}

// Whether the folder refused a new name or a rename.
bool Refused(int error) { return error == EACCES; }

// Opens an existing name to write it from the start, keeping the file.
HANDLE OpenExisting(const std::wstring& name) {
  return ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Rewrites the existing file `handle` with what `fill` writes from its start,
// then cuts it there. Owner, rights and links stay.
void Rewrite(Handle& handle, const std::string& path, const std::function<void()>& fill) {
  fill();
  if (!::SetEndOfFile(handle.Get())) ThrowLastError(path, FileAction::Write);
  if (!::FlushFileBuffers(handle.Get())) ThrowLastError(path, FileAction::Write);
  if (!handle.Close()) ThrowLastError(path, FileAction::Close);
}

// The folder refused a new file: the whole text is gathered first, so a
// failing body leaves the file untouched, then written in place.
void RewriteFromBody(const std::wstring& target, const std::string& path, int refusal,
                     const FileBody& body) {
  Handle handle(OpenExisting(target));
  if (!handle.Valid()) ThrowFileError(refusal, path, FileAction::Create);
  std::string text;
  body([&text](std::string_view bytes) { text.append(bytes); });
  Rewrite(handle, path, [&] { WriteAll(handle.Get(), text, path); });
}

// The rename of the complete temporary file `from` was refused: its bytes are
// copied over the existing file in place.
void CopyInPlace(const std::wstring& from, const std::wstring& target, const std::string& path,
                 int refusal) {
  Handle source(::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!source.Valid()) ThrowLastError(path, FileAction::Read);
  Handle handle(OpenExisting(target));
  if (!handle.Valid()) ThrowFileError(refusal, path, FileAction::Replace);
  Rewrite(handle, path, [&] {
    std::vector<char> buffer(1 << 20);
    for (;;) {
      DWORD got = 0;
      if (!::ReadFile(source.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got,
                      nullptr)) {
        ThrowLastError(path, FileAction::Read);
      }
      if (got == 0) break;
      WriteAll(handle.Get(), std::string_view(buffer.data(), got), path);
    }
  });
}

// Writes a device or pipe in place.
void WriteInPlace(const std::wstring& target, const std::string& path, const FileBody& body) {
  Handle handle(OpenExisting(target));
  if (!handle.Valid()) ThrowLastError(path, FileAction::Open);
  RunBody(handle.Get(), path, body);
  if (!handle.Close()) ThrowLastError(path, FileAction::Close);
}

// Writes through a standard stream from its position; the stream stays open.
void WriteToDescriptor(int descriptor, const std::string& path, const FileBody& body) {
  std::fflush(descriptor == 2 ? stderr : stdout);
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
  if (handle == INVALID_HANDLE_VALUE) ThrowFileError(EBADF, path, FileAction::Open);
  RunBody(handle, path, body);
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
void RemoveLeftovers(const std::wstring& folder) {
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

// A new temporary file in `folder`, held without delete sharing.
HANDLE CreateTemporary(const std::wstring& folder, std::wstring& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + L".kelvane-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L".tmp";
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return handle;
  }
  return INVALID_HANDLE_VALUE;
}

// The folder part of a name, with its separator ("" for the current folder).
std::wstring FolderOf(const std::wstring& name) {
  const std::size_t separator = name.find_last_of(L"/\\");
  if (separator != std::wstring::npos) return name.substr(0, separator + 1);
  if (name.size() >= 2 && name[1] == L':') return name.substr(0, 2);  // "C:name"
  return L"";
}

}  // namespace

void WriteFileAtomically(const std::string& path, const FileBody& body) {
  OutputTarget resolved;
  ResolveOutputTarget(path, resolved);
  if (resolved.descriptor >= 0) return WriteToDescriptor(resolved.descriptor, path, body);
  const std::wstring target = Utf8ToWide(resolved.path);
  if (target.empty() || target.back() == L'/' || target.back() == L'\\') {
    ThrowFileError(EISDIR, path, FileAction::NotAFileName);
  }

  // A reserved device name is no file, whether or not the system says it
  // exists.
  if (IsDeviceName(target)) return WriteInPlace(FullPathName(target), path, body);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  bool exists = false;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    exists = true;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) ThrowFileError(EISDIR, path, FileAction::IsFolder);
    // Replacing by rename would pass over a file that may not be written.
    if (attributes & FILE_ATTRIBUTE_READONLY) ThrowFileError(EACCES, path, FileAction::Open);
    Handle probe(::CreateFileW(target.c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    if (probe.Valid() && ::GetFileType(probe.Get()) != FILE_TYPE_DISK) {
      probe.Close();
      return WriteInPlace(target, path, body);
    }
  } else {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      ThrowFileError(ErrnoOfWindowsError(error), path, FileAction::Open);
    }
  }

  const std::wstring folder = FolderOf(target);
  RemoveLeftovers(folder);

  std::wstring temporary;
  Handle file(CreateTemporary(folder, temporary));
  if (!file.Valid()) {
    const int error = ErrnoOfWindowsError(::GetLastError());
    if (exists && Refused(error)) return RewriteFromBody(target, path, error, body);
    ThrowFileError(error, path, FileAction::Create);
  }
  std::optional<KeepPartial> partial;
  try {
    try {
      RunBody(file.Get(), path, body);
    } catch (KeepPartial& stop) {
      stop.kept = resolved.path + ".partial";
      partial = std::move(stop);
    }
    // The data reaches the disk before the name does.
    if (!::FlushFileBuffers(file.Get())) ThrowLastError(path, FileAction::Write);
    if (!file.Close()) ThrowLastError(path, FileAction::Close);
    if (partial) {
      if (!::MoveFileExW(temporary.c_str(), Utf8ToWide(partial->kept).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ThrowLastError(partial->kept, FileAction::Replace);
      }
      throw *partial;
    }
    if (exists) {
      // The new file keeps the old one's hidden, system and archive marks.
      ::SetFileAttributesW(
          temporary.c_str(),
          attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    }
    if (!::MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      const int error = ErrnoOfWindowsError(::GetLastError());
      if (!exists || !Refused(error)) ThrowFileError(error, path, FileAction::Replace);
      CopyInPlace(temporary, target, path, error);
      ::DeleteFileW(temporary.c_str());
    }
  } catch (const KeepPartial&) {
    throw;
  } catch (...) {
    file.Close();
    ::DeleteFileW(temporary.c_str());
    throw;
  }
}

std::FILE* OpenFileForReading(const std::string& path) {
  return ::_wfopen(Utf8ToWide(path).c_str(), L"rb");
}

}  // namespace kelvane
