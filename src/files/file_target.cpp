#include "files/file_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <filesystem>
#include <string_view>

namespace kelvane {
namespace {

// The descriptor a name of the kernel's descriptor folders stands for, or -1.
int DescriptorOfName(std::string_view name) {
  if (name == "/dev/stdout") return STDOUT_FILENO;
  if (name == "/dev/stderr") return STDERR_FILENO;
  const std::string ownProcess = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (std::string_view folder :
       {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
        std::string_view("/proc/thread-self/fd/"), std::string_view(ownProcess)}) {
    if (!name.starts_with(folder)) continue;
    const std::string_view digits = name.substr(folder.size());
    int descriptor = -1;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), descriptor);
    if (error == std::errc() && end == digits.data() + digits.size()) {
      return descriptor;
    }
  }
  return -1;
}

// The absolute name of a file that does not exist (yet): the folders that
// exist resolved, the rest taken as written.
std::string ResolvedPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) return path;
  fs::path resolved = fs::weakly_canonical(absolute, error);
  return (error ? absolute.lexically_normal() : resolved).string();
}

}  // namespace

bool ResolveOutputTarget(const std::string& name, OutputTarget& target) {
  // As the kernel follows a path: at most 40 links.
  std::string current = name;
  for (int hop = 0; hop <= 40; ++hop) {
    target.descriptor = DescriptorOfName(current);
    target.path = current;
    struct stat info {};
    if (target.descriptor >= 0 || ::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      return true;  // a name that cannot be looked at fails when it is written
    }
    char link[PATH_MAX];
    const ssize_t length = ::readlink(current.c_str(), link, sizeof link);
    if (length < 0) return false;
    if (static_cast<std::size_t>(length) == sizeof link) {
      errno = ENAMETOOLONG;
      return false;
    }
    const std::string_view text(link, static_cast<std::size_t>(length));
    // A relative link is read from the folder that holds it.
    const std::size_t slash = current.rfind('/');
    if (text.starts_with('/') || slash == std::string::npos) {
      current = text;
    } else {
      current = current.substr(0, slash + 1) + std::string(text);
    }
  }
  errno = ELOOP;
  return false;
}

bool SameOutputFile(const std::string& first, const std::string& second) {
  OutputTarget a, b;
  if (!ResolveOutputTarget(first, a) || !ResolveOutputTarget(second, b)) return false;
  // Both written through descriptors in place, one after the other.
  if (a.descriptor >= 0 && b.descriptor >= 0) return false;
  const auto look = [](const OutputTarget& target, struct stat& info) {
    return target.descriptor >= 0 ? ::fstat(target.descriptor, &info) == 0
                                  : ::stat(target.path.c_str(), &info) == 0;
  };
  struct stat infoA {
  }, infoB{};
  const bool existsA = look(a, infoA);
  const bool existsB = look(b, infoB);
  if (existsA != existsB) return false;
  if (existsA) {
    // Devices and pipes are written in place, in order: nothing is replaced.
    return infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino && S_ISREG(infoA.st_mode);
  }
  return ResolvedPath(a.path) == ResolvedPath(b.path);
}

}  // namespace kelvane
