// Whether two output names lead to one file, whatever their spelling.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "files/output.h"
#include "test_runs.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

TEST(SameOutputFile, ByIdentityForFilesAndByResolvedPathForNewOnes) {
  const test::TempDir folder("kelvane-target");
  fs::create_directory(folder / "sub");
  std::ofstream(folder / "a.txt") << "a";
  std::ofstream(folder / "b.txt") << "b";
  fs::create_hard_link(folder / "a.txt", folder / "hard.txt");
  fs::create_symlink("a.txt", folder / "link.txt");
  fs::create_symlink("sub/new.txt", folder / "dangling.txt");
  fs::create_symlink("/dev/null", folder / "null");
  const int fd = ::open((folder / "a.txt").c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const std::string descriptor = "/dev/fd/" + std::to_string(fd);

  struct Case {
    std::string first, second;  // relative to the folder unless absolute
    bool same;
  };
  const Case cases[] = {
      {"a.txt", "./a.txt", true},
      {"a.txt", "sub/../a.txt", true},
      {"a.txt", "hard.txt", true},
      {"a.txt", "link.txt", true},
      {"a.txt", descriptor, true},  // standard output redirected to the file
      {"a.txt", "b.txt", false},
      {"new.txt", "sub/../new.txt", true},
      {"new.txt", "sub/new.txt", false},
      {"dangling.txt", "sub/new.txt", true},
      {"dangling.txt", "sub/./new.txt", true},
      {"missing/x.txt", "missing/../missing/x.txt", true},
      {"a.txt", "a.txt/new.txt", false},
      {"new.txt", "a.txt", false},
      {"null", "/dev/null", false},
      {"/dev/stdout", "/dev/stderr", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first + " / " + c.second);
    const auto name = [&](const std::string& n) {
      return n.starts_with('/') ? n : (folder / n).string();
    };
    EXPECT_EQ(SameOutputFile(name(c.first), name(c.second)), c.same);
    EXPECT_EQ(SameOutputFile(name(c.second), name(c.first)), c.same);
  }
  ::close(fd);
}

}  // namespace
}  // namespace kelvane
