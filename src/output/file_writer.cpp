// The one place that touches the file system: a file is written to a
// temporary file in the same folder and renamed over the chosen name only
// once it is complete and closed, so a fault leaves any existing file of that
// name as it was and no partial or temporary file behind.
//
// A chosen name that exists and is no regular file (a device such as
// /dev/full or /dev/null, a named pipe) cannot be replaced by renaming
// without destroying it, so it is opened and written in place; its own write
// errors then report (a full device gives 61). A symbolic link is followed:
// the file it points to is replaced and the link stays.
#include "output/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "solver/errors.h"

namespace kelvane {
namespace {

[[noreturn]] void ThrowFileError(int error, const std::string& path, FileAction action) {
  ErrorLocation at;
  at.file = path;
  at.fileAction = action;
  throw RunError(FileErrorCode(error), at);
}

void WriteAll(int fd, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowFileError(errno, path, FileAction::Write);
    }
    if (written == 0) ThrowFileError(ENOSPC, path, FileAction::Write);
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

// Collects small pieces into large writes.
class BufferedFile {
 public:
  BufferedFile(int fd, const std::string& path) : fd_(fd), path_(path) {
    buffer_.reserve(kCapacity);
  }
  void Append(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kCapacity) Flush();
    if (bytes.size() >= kCapacity) {
      WriteAll(fd_, bytes.data(), bytes.size(), path_);
    } else {
      buffer_.append(bytes);
    }
  }
  void Flush() {
    WriteAll(fd_, buffer_.data(), buffer_.size(), path_);
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kCapacity = 1 << 18;
  int fd_;
  const std::string& path_;
  std::string buffer_;
};

void RunBody(int fd, const std::string& path, const FileBody& body) {
  BufferedFile file(fd, path);
  body([&file](std::string_view bytes) { file.Append(bytes); });
  file.Flush();
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

// An unnamed file in `folder` (O_TMPFILE): nothing is left behind if the
// process dies or the folder refuses the name at the end. Returns -1 with
// errno set; EOPNOTSUPP/EISDIR/EINVAL when the file system has no such files.
int OpenUnnamed(const std::string& folder) {
  return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

// Gives the unnamed file `fd` a fresh name in `folder`; the name, or throws.
std::string LinkUnnamed(int fd, const std::string& folder, const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = folder + ".kelvane-" + std::to_string(::getpid()) + "-" +
                             std::to_string(++counter) + ".tmp";
    int result = ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
    if (result != 0 && errno == ENOENT && ::access("/proc/self/fd", X_OK) != 0) {
      result = ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);  // no /proc
    }
    if (result == 0) return name;
    if (errno != EEXIST) ThrowFileError(errno, path, FileAction::Create);
  }
  ThrowFileError(EEXIST, path, FileAction::Create);
}

// A named temporary file, where unnamed ones are not to be had.
int OpenNamedTemporary(const std::string& folder, std::string& name) {
  name = folder + ".kelvane-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  return fd;
}

}  // namespace

void WriteFileAtomically(const std::string& path, const FileBody& body) {
  std::string target = path;
  struct stat info {};
  bool exists = false;
  if (::lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(target.c_str(), resolved) != nullptr) target = resolved;
  }
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
  // The temporary file: unnamed until complete where the file system allows.
  std::string temporary;
  int fd = OpenUnnamed(folder);
  const bool unnamed = fd >= 0;
  if (!unnamed) {
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      ThrowFileError(errno, path, FileAction::Create);
    }
    fd = OpenNamedTemporary(folder, temporary);
    if (fd < 0) ThrowFileError(errno, path, FileAction::Create);
  }
  const auto discard = [&] {
    if (!temporary.empty()) ::unlink(temporary.c_str());
  };

  try {
    // The new file takes the old one's mode (and owner where allowed).
    if (exists) {
      if (::fchown(fd, info.st_uid, info.st_gid) != 0) {
        // Only a privileged writer may give the file away; keep ours.
      }
      ::fchmod(fd, info.st_mode & 07777);  // after the owner, which clears set-id bits
    }
    RunBody(fd, path, body);
    if (unnamed) temporary = LinkUnnamed(fd, folder, path);
  } catch (...) {
    ::close(fd);
    discard();
    throw;
  }
  if (::close(fd) != 0) {
    const int error = errno;
    discard();
    ThrowFileError(error, path, FileAction::Close);
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    discard();
    ThrowFileError(error, path, FileAction::Replace);
  }
}

}  // namespace kelvane
