// The one place that touches the file system: a file is written to a
// temporary file in the same folder, flushed to the disk, and renamed over
// the chosen name only once it is complete; the folder is flushed after the
// rename. A fault leaves any existing file of that name as it was and no
// partial file behind; a power cut leaves the old file or the new one.
//
// A chosen name that exists and is no regular file (a device such as
// /dev/full or /dev/null, a named pipe) cannot be replaced by renaming
// without destroying it, so it is opened and written in place; its own write
// errors then report (a full device gives 61). A name for a descriptor the
// process holds (/dev/stdout with standard output redirected to a file) is
// written through that descriptor, so a file behind it is neither replaced
// nor truncated. A symbolic link is followed, to a file that may not exist
// yet: the file it points to is created or replaced and the link stays.
//
// Temporary files are named ".kelvane-PID-....tmp" and locked while they are
// written, so that a later writer can tell the leftovers of a killed process
// from a file still being written, and remove them.
#include "output/file_writer.h"

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
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/file_target.h"
#include "solver/errors.h"

namespace kelvane {
namespace {

[[noreturn]] void ThrowFileError(int error, const std::string& path, FileAction action) {
  throw FileError(error, path, action);
}

// Writes `first` then `second` whole, in as few calls as the kernel allows.
void WriteAll(int fd, std::string_view first, std::string_view second, const std::string& path) {
  while (!first.empty() || !second.empty()) {
    iovec pieces[2] = {{const_cast<char*>(first.data()), first.size()},
                       {const_cast<char*>(second.data()), second.size()}};
    const ssize_t written = ::writev(fd, pieces, 2);
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

void WriteAll(int fd, const char* data, std::size_t size, const std::string& path) {
  WriteAll(fd, std::string_view(data, size), std::string_view(), path);
}

// Collects small pieces into large writes. A large piece goes out as it is,
// with what was collected before it, in one call and without a copy; the
// buffer grows only as far as small pieces need it.
class BufferedFile {
 public:
  BufferedFile(int fd, const std::string& path) : fd_(fd), path_(path) {}
  void Append(std::string_view bytes) {
    if (bytes.size() >= kLargePiece) {
      WriteAll(fd_, buffer_, bytes, path_);
      buffer_.clear();
      return;
    }
    if (buffer_.size() + bytes.size() > kCapacity) Flush();
    buffer_.append(bytes);
  }
  void Flush() {
    WriteAll(fd_, buffer_.data(), buffer_.size(), path_);
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kCapacity = 1 << 18;
  static constexpr std::size_t kLargePiece = 1 << 12;
  int fd_;
  const std::string& path_;
  std::string buffer_;
};

void RunBody(int fd, const std::string& path, const FileBody& body) {
  BufferedFile file(fd, path);
  try {
    body([&file](std::string_view bytes) { file.Append(bytes); });
  } catch (const KeepPartial&) {
    file.Flush();
    throw;
  }
  file.Flush();
}

// Writes through a descriptor the process already holds, from its position
// (the end, for a file opened to append); the descriptor stays open.
void WriteToDescriptor(int fd, const std::string& path, const FileBody& body) {
  if (::fcntl(fd, F_GETFD) < 0) ThrowFileError(errno, path, FileAction::Open);
  RunBody(fd, path, body);
}

// Writes a device or pipe in place.
void WriteInPlace(const std::string& path, const FileBody& body) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) ThrowFileError(errno, path, FileAction::Open);
  try {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    RunBody(fd, path, body);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0) ThrowFileError(errno, path, FileAction::Close);
}

// Whether the folder refused a new name or a rename for lack of rights.
bool Refused(int error) { return error == EACCES || error == EPERM; }

// The existing regular file `target` opened for rewriting in place, or -1.
int OpenForRewrite(const std::string& target) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  struct stat info {};
  if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Rewrites the file open as `fd` with the `size` bytes that `fill` writes from
// its start, then cuts it to that size; owner, mode and hard links stay. The
// space is reserved first, so a full disk is found before the old content is
// touched. Closes `fd`.
void Rewrite(int fd, const std::string& path, off_t size, const std::function<void()>& fill) {
  try {
    if (size > 0 && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
        (errno == ENOSPC || errno == EDQUOT)) {
      ThrowFileError(errno, path, FileAction::Write);
    }
    fill();
    if (::ftruncate(fd, size) != 0) ThrowFileError(errno, path, FileAction::Write);
    if (::fsync(fd) != 0) ThrowFileError(errno, path, FileAction::Write);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0) ThrowFileError(errno, path, FileAction::Close);
}

// The folder refused a new file (`refusal`): the whole text is gathered
// first, so a failing body leaves the file untouched, then written in place.
void RewriteFromBody(const std::string& target, const std::string& path, int refusal,
                     const FileBody& body) {
  const int fd = OpenForRewrite(target);
  if (fd < 0) ThrowFileError(refusal, path, FileAction::Create);
  std::string text;
  try {
    body([&text](std::string_view bytes) { text.append(bytes); });
  } catch (...) {
    ::close(fd);
    throw;
  }
  Rewrite(fd, path, static_cast<off_t>(text.size()),
          [&] { WriteAll(fd, text.data(), text.size(), path); });
}

// The folder refused the rename (`refusal`) of the complete temporary file
// `from`: its bytes are copied over the existing file in place.
void CopyInPlace(int from, const std::string& target, const std::string& path, int refusal) {
  struct stat info {};
  if (::fstat(from, &info) != 0) ThrowFileError(errno, path, FileAction::Read);
  const int fd = OpenForRewrite(target);
  if (fd < 0) ThrowFileError(refusal, path, FileAction::Replace);
  Rewrite(fd, path, info.st_size, [&] {
    std::vector<char> buffer(1 << 20);
    for (off_t offset = 0;;) {
      const ssize_t got = ::pread(from, buffer.data(), buffer.size(), offset);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) ThrowFileError(errno, path, FileAction::Read);
      if (got == 0) break;
      WriteAll(fd, buffer.data(), static_cast<std::size_t>(got), path);
      offset += got;
    }
  });
}

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
void RemoveLeftovers(const std::string& folder) {
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

void WriteFileAtomically(const std::string& path, const FileBody& body) {
  OutputTarget resolved;
  if (!ResolveOutputTarget(path, resolved)) ThrowFileError(errno, path, FileAction::Open);
  if (resolved.descriptor >= 0) return WriteToDescriptor(resolved.descriptor, path, body);
  const std::string& target = resolved.path;
  struct stat info {};
  bool exists = false;
  if (::stat(target.c_str(), &info) == 0) {
    exists = true;
    if (S_ISDIR(info.st_mode)) ThrowFileError(EISDIR, path, FileAction::IsFolder);
    if (!S_ISREG(info.st_mode)) return WriteInPlace(target, body);
    // Replacing by rename would pass over a file that may not be written.
    if (::access(target.c_str(), W_OK) != 0) ThrowFileError(errno, path, FileAction::Open);
  } else if (errno != ENOENT) {
    ThrowFileError(errno, path, FileAction::Open);
  }

  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "./" : target.substr(0, slash + 1);
  if (slash != std::string::npos && slash + 1 == target.size()) {
    ThrowFileError(EISDIR, path, FileAction::NotAFileName);
  }
  RemoveLeftovers(folder);

  // The temporary file: unnamed until complete where the file system allows.
  std::string temporary;
  int fd = OpenUnnamed(folder);
  const bool unnamed = fd >= 0;
  if (!unnamed && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    fd = OpenNamedTemporary(folder, temporary);
  }
  if (fd < 0) {
    const int error = errno;
    if (exists && Refused(error)) return RewriteFromBody(target, path, error, body);
    ThrowFileError(error, path, FileAction::Create);
  }
  // Held until the file is renamed or removed, and dropped by the kernel if
  // the process is killed: what tells a leftover from a file being written.
  ::flock(fd, LOCK_EX | LOCK_NB);
  const auto discard = [&] {
    if (!temporary.empty()) ::unlink(temporary.c_str());
    ::close(fd);
  };

  std::optional<KeepPartial> partial;
  try {
    // The new file takes the old one's mode (and owner where allowed).
    if (exists) {
      if (::fchown(fd, info.st_uid, info.st_gid) != 0) {
        // Only a privileged writer may give the file away; keep ours.
      }
      ::fchmod(fd, info.st_mode & 07777);  // after the owner, which clears set-id bits
    }
    try {
      RunBody(fd, path, body);
    } catch (KeepPartial& stop) {
      stop.kept = target + ".partial";
      partial = std::move(stop);
    }
    // The data reaches the disk before the name does.
    if (::fsync(fd) != 0) ThrowFileError(errno, path, FileAction::Write);
    int error = unnamed ? LinkUnnamed(fd, folder, temporary) : 0;
    FileAction action = FileAction::Create;
    const std::string& name = partial ? partial->kept : target;
    if (error == 0 && ::rename(temporary.c_str(), name.c_str()) != 0) {
      error = errno;
      action = FileAction::Replace;
    }
    if (partial && error != 0) ThrowFileError(error, partial->kept, action);
    if (error != 0) {
      if (!exists || !Refused(error)) ThrowFileError(error, path, action);
      CopyInPlace(fd, target, path, error);
      discard();
      return;
    }
  } catch (...) {
    discard();
    throw;
  }
  // The data is on the disk already (fsync reported any write-back error).
  ::close(fd);
  SyncFolder(folder, partial ? partial->kept : path);
  if (partial) throw *partial;
}

std::FILE* OpenFileForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

}  // namespace kelvane
