// Writing a file through a temporary one: the content arrives whole or not at
// all, whatever the body does.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "output/output.h"
#include "test_runs.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using testing::FreshTestFolder;
using testing::ReadFile;

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = FreshTestFolder("kelvane-atomic-");
    target_ = folder_ / "out.txt";
    std::ofstream(target_, std::ios::binary) << "old";
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), {}));
  }
  fs::path folder_, target_;
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

}  // namespace
}  // namespace kelvane
