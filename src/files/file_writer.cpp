// The file writer's calls of a POSIX system (file_primitives.h; the policy
// that uses them is write_policy.cpp). The temporary file is unnamed
// (O_TMPFILE) until it is complete where the file system allows, flushed
// with fsync, and the folder is flushed after the rename. A device is opened
// without blocking on a pipe with no reader, then written blocking. A
// symbolic link is followed, to a file that may not exist yet: the file it
// points to is created or replaced and the link stays.
//
// Temporary files are named ".kelvane-PID-....tmp" and locked while they are
// written, so that a later writer can tell the leftovers of a killed process
// from a file still being written, and remove them.
#include "files/file_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_primitives.h"
#include "model/errors.h"

namespace kelvane {
namespace {

[[noreturn]] void ThrowFileError(int error, const std::string& path, FileAction action) {
  throw FileError(error, path, action);
}

int Fd(files::NativeFile file) { return static_cast<int>(file); }

// Makes a finished rename survive a power cut. A folder that may not be read
// cannot be opened to flush it, and some file systems cannot flush folders;
// the rename stands either way. A failing disk reports.
void SyncFolder(const std::string& folder, const std::string& path) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0 && error != EINVAL && error != EBADF && error != EROFS) {
    ThrowFileError(error, path, FileAction::Write);
  }
}

// The process that wrote a temporary file ".kelvane-PID-....tmp", or 0.
pid_t LeftoverOwner(std::string_view name) {
  constexpr std::string_view kPrefix = ".kelvane-", kSuffix = ".tmp";
  if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return 0;
  name = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == name.size() || dash > 9) return 0;
  pid_t pid = 0;
  for (char c : name.substr(0, dash)) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid;
}

// Removes the temporary files a killed writer left in `folder`: those of a
// process that no longer runs and that no one holds locked (a writer in
// another process-id space, or on another machine sharing the folder, holds
// its lock). Anything else, and any failure here, is left alone.
void RemoveLeftoversIn(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t pid = LeftoverOwner(entry->d_name);
    if (pid <= 0 || pid == ::getpid()) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;  // it runs (EPERM: another user's)
    const std::string name = folder + entry->d_name;
    const int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_SH | LOCK_NB) == 0) {
      ::unlink(name.c_str());
    }
    ::close(fd);
  }
  ::closedir(dir);
}

// An unnamed file in `folder` (O_TMPFILE): nothing is left behind if the
// process dies or the folder refuses the name at the end. Returns -1 with
// errno set; EOPNOTSUPP/EISDIR/EINVAL when the file system has no such files.
// Readable, so that its bytes can be copied if the rename is refused.
int OpenUnnamed(const std::string& folder) {
  return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
}

// Gives the unnamed file `fd` a fresh name in `folder`; 0, or the errno.
int LinkUnnamed(int fd, const std::string& folder, std::string& name) {
  static std::atomic<unsigned> counter{0};
  const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + ".kelvane-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) +
           ".tmp";
    int result = ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
    if (result != 0 && errno == ENOENT && ::access("/proc/self/fd", X_OK) != 0) {
      result = ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);  // no /proc
    }
    if (result == 0) return 0;
    if (errno != EEXIST) break;
  }
  const int error = errno;
  name.clear();
  return error;
}

// A named temporary file, where unnamed ones are not to be had.
int OpenNamedTemporary(const std::string& folder, std::string& name) {
  name = folder + ".kelvane-" + std::to_string(::getpid()) + "-XXXXXX.tmp";
  const int fd = ::mkostemps(name.data(), 4, O_CLOEXEC);
  if (fd < 0) {
    name.clear();
    return fd;
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  return fd;
}

}  // namespace

namespace files {

NativeFile OpenDescriptor(int descriptor, const std::string& path) {
  if (::fcntl(descriptor, F_GETFD) < 0) ThrowFileError(errno, path, FileAction::Open);
  return descriptor;
}

Existing Inspect(const std::string& target, const std::string& path) {
  Existing existing;
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) ThrowFileError(EISDIR, path, FileAction::IsFolder);
    if (!S_ISREG(info.st_mode)) {
      existing.kind = Existing::Kind::InPlace;
      existing.inPlace = target;
      return existing;
    }
    // Replacing by rename would pass over a file that may not be written.
    if (::access(target.c_str(), W_OK) != 0) ThrowFileError(errno, path, FileAction::Open);
    existing.kind = Existing::Kind::File;
    existing.owner = info.st_uid;
    existing.group = info.st_gid;
    existing.mode = info.st_mode & 07777;
  } else if (errno != ENOENT) {
    ThrowFileError(errno, path, FileAction::Open);
  }
  if (target.ends_with('/')) ThrowFileError(EISDIR, path, FileAction::NotAFileName);
  return existing;
}

NativeFile OpenInPlace(const Existing& existing, const std::string& path) {
  const int fd = ::open(existing.inPlace.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) ThrowFileError(errno, path, FileAction::Open);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// In as few calls as the kernel allows.
void WriteAll(NativeFile file, std::string_view first, std::string_view second,
              const std::string& path) {
  while (!first.empty() || !second.empty()) {
    iovec pieces[2] = {{const_cast<char*>(first.data()), first.size()},
                       {const_cast<char*>(second.data()), second.size()}};
    const ssize_t written = ::writev(Fd(file), pieces, 2);
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowFileError(errno, path, FileAction::Write);
    }
    if (written == 0) ThrowFileError(ENOSPC, path, FileAction::Write);
    const std::size_t done = static_cast<std::size_t>(written);
    const std::size_t fromFirst = std::min(done, first.size());
    first.remove_prefix(fromFirst);
    second.remove_prefix(done - fromFirst);
  }
}

void Close(NativeFile file, const std::string& path) {
  if (::close(Fd(file)) != 0) ThrowFileError(errno, path, FileAction::Close);
}

void CloseQuietly(NativeFile file) {
  if (file != kNoFile) ::close(Fd(file));
}

bool Refused(int error) { return error == EACCES || error == EPERM; }

std::string FolderOf(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  return slash == std::string::npos ? "./" : target.substr(0, slash + 1);
}

void RemoveLeftovers(const std::string& folder) { RemoveLeftoversIn(folder); }

// Unnamed until complete where the file system allows.
int OpenTemporary(const std::string& folder, Temporary& temporary) {
  int fd = OpenUnnamed(folder);
  temporary.unnamed = fd >= 0;
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    fd = OpenNamedTemporary(folder, temporary.name);
  }
  if (fd < 0) return errno;
  temporary.file = fd;
  temporary.folder = folder;
  // Held until the file is renamed or removed, and dropped by the kernel if
  // the process is killed: what tells a leftover from a file being written.
  ::flock(fd, LOCK_EX | LOCK_NB);
  return 0;
}

void TakeMarks(const Temporary& temporary, const Existing& existing) {
  if (::fchown(Fd(temporary.file), static_cast<uid_t>(existing.owner),
               static_cast<gid_t>(existing.group)) != 0) {
    // Only a privileged writer may give the file away; keep ours.
  }
  // After the owner, which clears set-id bits.
  ::fchmod(Fd(temporary.file), static_cast<mode_t>(existing.mode));
}

int Complete(Temporary& temporary, const std::string& path) {
  if (::fsync(Fd(temporary.file)) != 0) ThrowFileError(errno, path, FileAction::Write);
  return temporary.unnamed ? LinkUnnamed(Fd(temporary.file), temporary.folder, temporary.name) : 0;
}

int Rename(const Temporary& temporary, const std::string& name) {
  return ::rename(temporary.name.c_str(), name.c_str()) == 0 ? 0 : errno;
}

// The data is on the disk already (fsync reported any write-back error).
void Settle(Temporary& temporary, const std::string& path) {
  ::close(Fd(temporary.file));
  temporary.file = kNoFile;
  SyncFolder(temporary.folder, path);
}

void Discard(Temporary& temporary) {
  if (!temporary.name.empty()) ::unlink(temporary.name.c_str());
  CloseQuietly(temporary.file);
  temporary.file = kNoFile;
}

std::int64_t TemporarySize(const Temporary& temporary, const std::string& path) {
  struct stat info {};
  if (::fstat(Fd(temporary.file), &info) != 0) ThrowFileError(errno, path, FileAction::Read);
  return info.st_size;
}

void ReadTemporary(const Temporary& temporary, const std::string& path,
                   const std::function<void(std::string_view)>& piece) {
  std::vector<char> buffer(1 << 20);
  for (off_t offset = 0;;) {
    const ssize_t got = ::pread(Fd(temporary.file), buffer.data(), buffer.size(), offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ThrowFileError(errno, path, FileAction::Read);
    if (got == 0) break;
    piece(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    offset += got;
  }
}

// Only a regular file.
NativeFile OpenForRewrite(const std::string& target) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  struct stat info {};
  if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    ::close(fd);
    return kNoFile;
  }
  return fd < 0 ? kNoFile : fd;
}

// The space is reserved first, so a full disk is found before the old
// content is touched.
void Reserve(NativeFile file, std::int64_t size, const std::string& path) {
  if (size > 0 && ::fallocate(Fd(file), FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
      (errno == ENOSPC || errno == EDQUOT)) {
    ThrowFileError(errno, path, FileAction::Write);
  }
}

void EndRewrite(NativeFile file, std::int64_t size, const std::string& path) {
  if (::ftruncate(Fd(file), size) != 0) ThrowFileError(errno, path, FileAction::Write);
  if (::fsync(Fd(file)) != 0) ThrowFileError(errno, path, FileAction::Write);
}

}  // namespace files

std::FILE* OpenFileForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

}  // namespace kelvane
