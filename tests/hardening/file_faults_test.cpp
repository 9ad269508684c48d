// Faults of the file system while the result file is written: the folder
// removed, made read-only or immutable half-way, a full device, the process
// killed mid-write. Whatever happens, the chosen name holds either the old
// file or the complete new one, and nothing else is left in the folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "files/output.h"
#include "model/model.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kOldContent = "an older file that must survive\r\n";

using kelvane::test::ReadFile;
using kelvane::test::WriteFile;

std::set<std::string> FolderEntries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// A run of 51 nodes by 2000 steps: written at interval 1 it is about 1 MB, so
// the writer has flushed to disk several times before the fault strikes.
const kelvane::SurgeRun& LargeRun() {
  static const kelvane::SurgeRun run = [] {
    kelvane::InputTexts texts = kelvane::DefaultInputTexts();
    texts[kelvane::InputId::SegmentCount] = "50";
    texts[kelvane::InputId::StepCount] = "2000";
    kelvane::SurgeRun result;
    kelvane::Calculate(texts, result);
    return result;
  }();
  return run;
}

// A progress bar that injects a fault once the writer has reached a step.
class FaultAtStep : public kelvane::ProgressSink {
 public:
  FaultAtStep(double step, std::function<void()> fault) : step_(step), fault_(std::move(fault)) {}
  void SetMinimum(double) override {}
  void SetMaximum(double) override {}
  void SetValue(double value) override {
    if (!fired_ && value >= step_) {
      fired_ = true;
      fault_();
    }
  }
  bool fired() const { return fired_; }

 private:
  double step_;
  std::function<void()> fault_;
  bool fired_ = false;
};

// Writes LargeRun() to `path` at interval 1; the error number, or 0. The
// error's location goes to `where` when given.
int WriteLargeRun(const fs::path& path, kelvane::ProgressSink& progress,
                  kelvane::ErrorLocation* where = nullptr) {
  try {
    kelvane::WriteResultFile(LargeRun(), 1, path.string(), progress);
  } catch (const kelvane::RunError& error) {
    if (where) *where = error.location();
    return error.number();
  }
  return 0;
}

// Runs `work` in a child process and gives back its exit status (or 200 + the
// signal that ended it).
int InChild(const std::function<int()>& work) {
  LargeRun();  // computed before the fork, so the child only writes
  pid_t pid = ::fork();
  if (pid == 0) {
    int status = 150;
    try {
      status = work();
    } catch (...) {
      status = 151;
    }
    ::_exit(status);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
}

class FileFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    // Open to the other users the tests run as (mkdtemp makes it 0700).
    fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
    fs::create_directories(folder_);
    WriteFile(target_, kOldContent);
  }
  // Before the folder goes: nothing in it may stay immutable.
  void TearDown() override {
    SetImmutable(target_, false);
    SetImmutable(folder_, false);
  }

  static bool SetImmutable(const fs::path& path, bool on) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
  }

  // Only the old file, unchanged, is left in the folder.
  void ExpectOldFileAlone() {
    EXPECT_EQ(FolderEntries(folder_), std::set<std::string>{target_.filename()});
    EXPECT_EQ(ReadFile(target_), kOldContent);
  }

  kelvane::test::TempDir root_{"kelvane-faults"};
  fs::path folder_ = root_ / "results";
  fs::path target_ = folder_ / "计算结果.txt";
};

TEST_F(FileFaults, FolderRemovedDuringWriteIsPathNotFoundAndNothingReappears) {
  FaultAtStep removeFolder(1000, [&] { fs::remove_all(folder_); });
  kelvane::ErrorLocation where;
  EXPECT_EQ(WriteLargeRun(target_, removeFolder, &where), 76);
  EXPECT_EQ(where.file, target_.string());  // the name chosen, not a temporary one
  EXPECT_TRUE(removeFolder.fired());
  EXPECT_FALSE(fs::exists(folder_));
}

TEST_F(FileFaults, FolderReplacedDuringWriteGetsNothingOrTheCompleteFile) {
  FaultAtStep replaceFolder(1000, [&] {
    fs::remove_all(folder_);
    fs::create_directory(folder_);
  });
  int error = WriteLargeRun(target_, replaceFolder);
  // Either the write notices that its folder went away, or the complete file
  // lands in the folder that now stands under that name; never a part of it.
  if (error != 0) {
    EXPECT_EQ(error, 76);
    EXPECT_TRUE(fs::is_empty(folder_));
  } else {
    std::string complete;
    kelvane::WriteResultText(
        LargeRun(), 1, [&](std::string_view bytes) { complete += bytes; }, kelvane::NoProgress());
    EXPECT_EQ(FolderEntries(folder_), std::set<std::string>{target_.filename()});
    EXPECT_EQ(ReadFile(target_), complete);
  }
}

// Folder and file frozen: neither a rename nor a rewrite in place may be done.
TEST_F(FileFaults, ImmutableFolderAndFileDuringWriteIsPermissionDeniedAndLeavesOldFile) {
  if (!SetImmutable(folder_, false)) GTEST_SKIP() << "the file system has no immutable flag";
  FaultAtStep freeze(1000, [&] {
    ASSERT_TRUE(SetImmutable(folder_, true));
    ASSERT_TRUE(SetImmutable(target_, true));
  });
  EXPECT_EQ(WriteLargeRun(target_, freeze), 70);
  SetImmutable(target_, false);
  SetImmutable(folder_, false);
  ExpectOldFileAlone();
}

// A folder that refuses a new file or the rename, holding a file the writer
// may write: the file is rewritten in place, keeping its inode, owner, mode
// and hard links; where the file may not be written either, 70 and the old
// file. Root passes over permission bits, so an unprivileged child (nobody)
// writes.
TEST_F(FileFaults, FolderRefusingNewFilesRewritesAWritableFileInPlace) {
  constexpr uid_t kNobody = 65534;
  struct Case {
    const char* what;
    uid_t owner;  // of the folder and the file
    mode_t folderMode, fileMode;
    std::function<void()> fault;  // at step 1000 of the writing, in the child
    int status;
  };
  const Case cases[] = {
      {"read-only folder", kNobody, 0555, 0640, [] {}, 0},
      {"folder made read-only while writing", kNobody, 0755, 0640,
       [&] { ::chmod(folder_.c_str(), 0555); }, 0},
      {"another user's writable file in a sticky shared folder", 0, 01777, 0666, [] {}, 0},
      {"read-only folder, read-only file", kNobody, 0555, 0440, [] {}, 70},
      {"folder and file made read-only while writing", kNobody, 0755, 0640,
       [&] {
         ::chmod(folder_.c_str(), 0555);
         ::chmod(target_.c_str(), 0440);
       },
       70},
  };
  std::string complete;
  kelvane::WriteResultText(
      LargeRun(), 1, [&](std::string_view bytes) { complete += bytes; }, kelvane::NoProgress());
  const fs::path link = folder_ / "hard link.txt";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::chmod(folder_.c_str(), 0755);
    fs::remove(link);
    fs::remove(target_);
    WriteFile(target_, kOldContent);
    fs::create_hard_link(target_, link);
    ASSERT_EQ(::chown(target_.c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(::chmod(target_.c_str(), c.fileMode), 0);
    ASSERT_EQ(::chown(folder_.c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(::chmod(folder_.c_str(), c.folderMode), 0);
    struct stat before {};
    ASSERT_EQ(::stat(target_.c_str(), &before), 0);
    const int status = InChild([&] {
      if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return 152;
      FaultAtStep fault(1000, c.fault);
      return WriteLargeRun(target_, fault);
    });
    EXPECT_EQ(status, c.status);
    struct stat after {};
    ASSERT_EQ(::stat(target_.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, c.owner);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(FolderEntries(folder_), (std::set<std::string>{target_.filename(), link.filename()}));
    const std::string left = ReadFile(target_);
    EXPECT_TRUE(left == (c.status == 0 ? complete : std::string(kOldContent)))
        << left.size() << " bytes";
    EXPECT_EQ(ReadFile(link), left);
    if (c.status == 0) {
      EXPECT_EQ(after.st_mode & 07777, c.fileMode);
    }
  }
  ::chmod(folder_.c_str(), 0755);
}

TEST_F(FileFaults, ReadOnlyFileSystemIsPermissionDeniedAndLeavesOldFile) {
  // The child mounts the folder read-only on itself in a mount namespace of its
  // own; the run is made before the fork, the remount comes before the file is
  // created (a mount that holds a file open for writing cannot be made
  // read-only).
  int status = InChild([&] {
    if (::unshare(CLONE_NEWNS) != 0) return 153;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 153;
    if (::mount(folder_.c_str(), folder_.c_str(), nullptr, MS_BIND, nullptr) != 0) return 153;
    if (::mount(nullptr, folder_.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
      return 153;
    try {
      kelvane::WriteResultFile(LargeRun(), 1, target_.string(), kelvane::NoProgress());
    } catch (const kelvane::RunError& error) {
      return error.number();
    }
    return 0;
  });
  if (status == 153) GTEST_SKIP() << "no mount namespaces here";
  EXPECT_EQ(status, 70);
  ExpectOldFileAlone();
}

TEST_F(FileFaults, FullDeviceIsDiskFullAndStaysADevice) {
  fs::path device = folder_ / "full";
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "cannot create a device node here";
  FaultAtStep none(1e9, [] {});
  kelvane::ErrorLocation where;
  EXPECT_EQ(WriteLargeRun(device, none, &where), 61);
  EXPECT_EQ(where.file, device.string());
  struct stat info {};
  ASSERT_EQ(::lstat(device.c_str(), &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
  EXPECT_EQ(FolderEntries(folder_), (std::set<std::string>{"full", target_.filename()}));
}

// The batch mode as a process, killed at points spread over its writing.
struct Child {
  pid_t pid = -1;
  int Wait() {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
  }
};

Child StartBatch(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  std::vector<std::string> words = {KELVANE_EXECUTABLE, "--batch"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  Child child;
  child.pid = ::fork();
  if (child.pid == 0) {
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return child;
}

TEST_F(FileFaults, BatchOntoFullDeviceIsDiskFull) {
  fs::path device = folder_ / "full";
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "cannot create a device node here";
  for (const fs::path& name : {device, fs::path("/dev/full")}) {
    int status = StartBatch({"--output", name.string()}).Wait();
    ASSERT_TRUE(WIFEXITED(status)) << name;
    EXPECT_EQ(WEXITSTATUS(status), 1) << name;
    struct stat info {};
    ASSERT_EQ(::lstat(name.c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode)) << name << " is no longer a device";
  }
}

// Whether the child holds a file of `folder` open (named or unnamed), that is,
// whether it has begun to write there; false once it has ended.
bool IsWritingInto(pid_t pid, const fs::path& folder) {
  std::error_code error;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::string link = fs::read_symlink(fd.path(), error).string();
    if (link.rfind(folder.string() + "/", 0) == 0) return true;
  }
  return false;
}

bool HasEnded(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pidText, name, state;
  stat >> pidText >> name >> state;
  return !stat || state == "Z";
}

// Starts the child and waits until it writes into `folder`; false if it
// ended (or 10 s passed) first.
bool WaitUntilWriting(const Child& child, const fs::path& folder) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (IsWritingInto(child.pid, folder)) return true;
    if (HasEnded(child.pid)) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

TEST_F(FileFaults, BatchKilledMidWriteLeavesOldOrCompleteFile) {
  auto runInto = [](const fs::path& output) {
    return std::vector<std::string>{"--segment-count",   "50", "--step-count", "30000",
                                    "--output-interval", "1",  "--output",     output.string()};
  };
  // One whole run gives the complete file and how long its writing takes.
  fs::path other = root_ / "complete";
  fs::create_directory(other);
  Child whole = StartBatch(runInto(other / "complete.txt"));
  ASSERT_TRUE(WaitUntilWriting(whole, other));
  auto writeStart = std::chrono::steady_clock::now();
  int status = whole.Wait();
  double writing =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - writeStart).count();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string newContent = ReadFile(other / "complete.txt");
  ASSERT_GT(newContent.size(), 10'000'000u);

  // Kills spread evenly from the start of the writing to its end. A kill
  // between naming the finished temporary file and renaming it leaves that
  // file, under the killed child's process id; the next write into the folder
  // (here the one that puts the old content back) removes it.
  const auto writeOld = [&] {
    kelvane::WriteFileAtomically(target_.string(),
                                 [](const kelvane::ByteWriter& write) { write(kOldContent); });
  };
  int keptOld = 0, gotNew = 0, leftovers = 0;
  constexpr int kKills = 24;
  for (int k = 0; k < kKills; ++k) {
    writeOld();
    ASSERT_EQ(FolderEntries(folder_), std::set<std::string>{target_.filename()})
        << "the write before kill " << k << " left other files";
    Child child = StartBatch(runInto(target_));
    bool writingSeen = WaitUntilWriting(child, folder_);
    double delay = writing * k / (kKills - 1);
    std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    ::kill(child.pid, SIGKILL);
    child.Wait();
    std::string left = ReadFile(target_);
    EXPECT_TRUE(left == kOldContent || left == newContent)
        << "kill " << k << " at " << delay << " s into the writing left " << left.size()
        << " bytes";
    (left == kOldContent ? keptOld : gotNew)++;
    const std::string childsPrefix = ".kelvane-" + std::to_string(child.pid) + "-";
    for (const std::string& name : FolderEntries(folder_)) {
      if (name == target_.filename()) continue;
      ++leftovers;
      EXPECT_TRUE(name.starts_with(childsPrefix) && name.ends_with(".tmp"))
          << "kill " << k << " at " << delay << " s into the writing (seen: " << writingSeen
          << ") left " << name;
    }
  }
  writeOld();
  EXPECT_EQ(FolderEntries(folder_), std::set<std::string>{target_.filename()});
  std::printf(
      "writing %zu bytes takes %.3f s; of %d kills, %d left the old file, %d the new, %d a "
      "temporary file that the next write removed\n",
      newContent.size(), writing, kKills, keptOld, gotNew, leftovers);
}

}  // namespace
