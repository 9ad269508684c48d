// Writing a file through a temporary one: the content arrives whole or not at
// all, whatever the body does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "files/output.h"
#include "test_runs.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override { std::ofstream(target_, std::ios::binary) << "old"; }
  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), {}));
  }
  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  test::TempDir folder_{"kelvane-atomic"};
  fs::path target_ = folder_ / "out.txt";
};

// Small pieces, and pieces larger than the writer's own buffer.
TEST_F(AtomicFile, PiecesOfAnySizeArriveInOrder) {
  std::string expected;
  WriteFileAtomically(target_.string(), [&](const ByteWriter& write) {
    for (int i = 0; i < 2000; ++i) {
      const std::string piece(static_cast<std::size_t>(i % 500 == 0 ? 300000 : i % 13),
                              'a' + i % 26);
      expected += piece;
      write(piece);
    }
  });
  EXPECT_EQ(ReadFile(target_), expected);
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(AtomicFile, BodyFailureLeavesTheOldFile) {
  const auto failing = [](const ByteWriter& write) {
    write(std::string(5'000'000, 'x'));  // flushed to the temporary file already
    throw std::runtime_error("stop");
  };
  EXPECT_THROW(WriteFileAtomically(target_.string(), failing), std::runtime_error);
  EXPECT_EQ(ReadFile(target_), "old");
  EXPECT_EQ(EntryCount(), 1u);
  // A new name is not created either.
  EXPECT_THROW(WriteFileAtomically((folder_ / "new.txt").string(), failing), std::runtime_error);
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(AtomicFile, NullDeviceIsWrittenInPlace) {
  WriteFileAtomically("/dev/null", [](const ByteWriter& write) { write("text"); });
  struct stat info {};
  ASSERT_EQ(::stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST_F(AtomicFile, ReplacedFileKeepsItsMode) {
  ASSERT_EQ(::chmod(target_.c_str(), 0640), 0);
  WriteFileAtomically(target_.string(), [](const ByteWriter& write) { write("new"); });
  struct stat info {};
  ASSERT_EQ(::stat(target_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(target_), "new");
}

// A link is followed to the file it names, which is created when missing;
// the link itself stays as it was.
TEST_F(AtomicFile, SymbolicLinksLeadToTheirTargetAndStay) {
  fs::create_directory(folder_ / "sub");
  struct Case {
    std::vector<std::pair<std::string, std::string>> links;  // name, link text
    std::string reached;                                     // the file written
  };
  const Case cases[] = {
      {{{"dangling", "sub/new.txt"}}, "sub/new.txt"},
      {{{"absolute", (folder_ / "absolute-new.txt").string()}}, "absolute-new.txt"},
      {{{"sub/up", "../up-new.txt"}}, "up-new.txt"},
      {{{"first", "second"}, {"second", "chained-new.txt"}}, "chained-new.txt"},
      {{{"existing", "out.txt"}}, "out.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reached);
    for (const auto& [name, text] : c.links) fs::create_symlink(text, folder_ / name);
    const fs::path written = folder_ / c.links.front().first;
    WriteFileAtomically(written.string(), [](const ByteWriter& write) { write("new"); });
    EXPECT_EQ(ReadFile(folder_ / c.reached), "new");
    for (const auto& [name, text] : c.links) {
      ASSERT_TRUE(fs::is_symlink(folder_ / name)) << name << " was replaced";
      EXPECT_EQ(fs::read_symlink(folder_ / name).string(), text);
    }
  }
  EXPECT_THROW(
      {
        fs::create_symlink("loop-b", folder_ / "loop-a");
        fs::create_symlink("loop-a", folder_ / "loop-b");
        WriteFileAtomically((folder_ / "loop-a").string(), [](const ByteWriter&) {});
      },
      RunError);
}

// A name of a descriptor the process holds is written through it, at its
// position: a file opened to append keeps what it held, in order.
TEST_F(AtomicFile, DescriptorNamesWriteThroughTheDescriptor) {
  struct stat before {};
  ASSERT_EQ(::stat(target_.c_str(), &before), 0);
  const int fd = ::open(target_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const std::string number = std::to_string(fd);
  fs::create_symlink("/dev/fd/" + number, folder_ / "to-descriptor");
  const std::string names[] = {"/dev/fd/" + number, "/proc/self/fd/" + number,
                               (folder_ / "to-descriptor").string()};
  std::string expected = "old";
  for (const std::string& name : names) {
    WriteFileAtomically(name, [&](const ByteWriter& write) { write("|" + name); });
    expected += "|" + name;
  }
  ::close(fd);
  EXPECT_EQ(ReadFile(target_), expected);
  struct stat after {};
  ASSERT_EQ(::stat(target_.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(Entries(), (std::set<std::string>{"out.txt", "to-descriptor"}));
  // A descriptor that is not open is an error, not a new file.
  EXPECT_THROW(WriteFileAtomically("/dev/fd/" + number, [](const ByteWriter&) {}), RunError);
}

// A write removes the temporary files of writers that were killed (their
// process no longer runs and nothing holds them locked), and nothing else.
TEST_F(AtomicFile, LeftoversOfKilledWritersAreRemovedAndNothingElse) {
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ASSERT_GT(ended, 0);
  ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
  const pid_t running = ::fork();
  if (running == 0) {
    ::pause();
    ::_exit(0);
  }
  ASSERT_GT(running, 0);
  const std::string dead = ".kelvane-" + std::to_string(ended) + "-";
  const std::string alive = ".kelvane-" + std::to_string(running) + "-";

  struct Case {
    std::string name;
    char kind;  // 'f' file, 'l' file held locked by a live writer, 'd' folder, 's' link
    bool removed;
  };
  const Case cases[] = {
      {dead + "1.tmp", 'f', true},
      {dead + "aB3xYz.tmp", 'f', true},
      {alive + "2.tmp", 'f', false},
      {dead + "3.tmp", 'l', false},
      {dead + "4.tmp", 'd', false},
      {dead + "5.tmp", 's', false},
      {dead + ".tmp", 'f', false},
      {dead + "6.txt", 'f', false},
      {dead.substr(1) + "7.tmp", 'f', false},
      {".kelvane-x" + std::to_string(ended) + "-8.tmp", 'f', false},
      {".kelvane-Ab12Cd", 'f', false},
  };
  std::set<std::string> expected{"out.txt"};
  std::vector<int> locks;
  for (const Case& c : cases) {
    const fs::path path = folder_ / c.name;
    if (c.kind == 'd') {
      fs::create_directory(path);
    } else if (c.kind == 's') {
      fs::create_symlink(target_, path);
    } else {
      std::ofstream(path) << "left";
    }
    if (c.kind == 'l') {
      locks.push_back(::open(path.c_str(), O_RDWR | O_CLOEXEC));
      ASSERT_EQ(::flock(locks.back(), LOCK_EX), 0);
    }
    if (!c.removed) expected.insert(c.name);
  }
  WriteFileAtomically(target_.string(), [](const ByteWriter& write) { write("new"); });
  ::kill(running, SIGKILL);
  ::waitpid(running, nullptr, 0);
  for (int fd : locks) ::close(fd);
  EXPECT_EQ(Entries(), expected);
  EXPECT_EQ(ReadFile(target_), "new");
}

}  // namespace
}  // namespace kelvane
