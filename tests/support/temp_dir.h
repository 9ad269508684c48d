// A fresh, empty folder for one test under the system's temporary folder,
// removed with everything in it when the object goes.
#pragma once

#include <stdlib.h>
#ifdef _WIN32
#include <process.h>
#endif

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

namespace kelvane::test {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "kelvane-test") {
#ifdef _WIN32
    // No mkdtemp: a name of this process and a counter, taken when the
    // folder is made (create_directory fails on a name that is there).
    static std::atomic<unsigned> counter{0};
    const auto folder = std::filesystem::temp_directory_path();
    const std::string process = std::to_string(::_getpid());
    for (;;) {
      path_ = folder / (prefix + "-" + process + "-" + std::to_string(counter++));
      if (std::filesystem::create_directory(path_)) break;
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    }
    path_ = pattern;
#endif
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  operator const std::filesystem::path&() const { return path_; }  // NOLINT: a folder is a path
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace kelvane::test
