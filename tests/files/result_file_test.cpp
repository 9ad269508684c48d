// The result file: its bytes for the default run and for runs built by hand,
// the write interval, and the file system's faults.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <set>

#include "files/output.h"
#include "test_runs.h"

namespace kelvane {
namespace {

using test::ReadFile;
using testing::MakeRun;
using testing::NumberedRun;
using testing::RecordingProgress;
using testing::SplitCrLf;
namespace fs = std::filesystem;

// Where the lines after the title and the heading begin.
std::size_t HeadingEnd(const std::string& text) {
  return text.find("\r\n", text.find("\r\n") + 2) + 2;
}

std::string ResultText(const SurgeRun& run, double interval) {
  std::string text;
  WriteResultText(
      run, interval, [&](std::string_view bytes) { text.append(bytes); }, NoProgress());
  return text;
}

const std::string kTitleLine = "\xD4\xCB\xCB\xE3\xBD\xE1\xB9\xFB\xCE\xAA\xA3\xBA";
const std::string kHeadingLine =
    "\xCA\xB1\xBC\xE4\x28\xC3\xEB\x29 0.0L      0.2L      0.4L        0.6L       0.8L       L";

// The time text at the start of each data line.
std::vector<std::string> TimeColumn(const std::string& text) {
  std::vector<std::string> times;
  const std::vector<std::string> lines = SplitCrLf(text);
  for (std::size_t i = 2; i < lines.size(); ++i)
    times.push_back(lines[i].substr(0, lines[i].find(' ')));
  return times;
}

TEST(ToGbk, ConvertsAndMarksWhatGbkCannotHold) {
  const std::pair<const char*, const char*> cases[] = {
      {"L 0.2", "L 0.2"},
      {"运算结果为：", "\xD4\xCB\xCB\xE3\xBD\xE1\xB9\xFB\xCE\xAA\xA3\xBA"},
      {"a\xF0\x9F\x98\x80"
       "b",
       "a?b"},  // an emoji
      {"a\xFF\xFE"
       "b",
       "a??b"},  // not UTF-8
      {"", ""},
  };
  for (const auto& [utf8, gbk] : cases) EXPECT_EQ(ToGbk(utf8), gbk) << utf8;
  // The result file's fixed texts, stored as GBK bytes.
  EXPECT_EQ(kTitleGbk, ToGbk("运算结果为："));
  EXPECT_EQ(kTimeLabelGbk, ToGbk("时间(秒)"));
}

TEST(ResultFile, DefaultRun) {
  SurgeRun run;
  Calculate(DefaultInputTexts(), run);
  RecordingProgress progress;
  const std::string text = [&] {
    std::string bytes;
    WriteResultText(
        run, 5, [&](std::string_view b) { bytes.append(b); }, progress);
    return bytes;
  }();
  const std::vector<std::string> lines = SplitCrLf(text);
  ASSERT_EQ(lines.size(), 302u);
  EXPECT_EQ(lines[0], kTitleLine);
  EXPECT_EQ(lines[1], kHeadingLine);
  EXPECT_EQ(lines[2], "0.00      -4.34      -4.6       -4.71      -4.81      -4.93      -5.25 ");
  for (std::size_t i = 2; i < lines.size(); ++i) {
    const int step = 1 + 5 * static_cast<int>(i - 2);
    ASSERT_EQ(lines[i].back(), ' ') << "line " << i + 1;
    ASSERT_EQ(lines[i].substr(0, lines[i].find(' ')),
              step == 1 ? "0.00" : FormatHundredths(run.StepTime(step)))
        << "line " << i + 1;
    // Six heads, each starting in its column 11·k.
    for (int k = 1; k <= 6; ++k) {
      const std::string head = FormatHundredths(run.Head(k, step));
      ASSERT_EQ(lines[i].substr(11 * k - 1, head.size()), head)
          << "line " << i + 1 << " node " << k;
      ASSERT_EQ(lines[i][11 * k - 2], ' ');
    }
  }
  EXPECT_EQ(TimeColumn(text).back(), FormatHundredths(run.StepTime(1496)));
  EXPECT_EQ(text.substr(text.size() - 3), " \r\n");
  // The bar follows the steps written.
  const std::vector<double> values = progress.Values();
  ASSERT_EQ(values.size(), 300u);
  EXPECT_EQ(values.front(), 1.0);
  EXPECT_EQ(values.back(), 1496.0);
}

TEST(ResultFile, ExampleLayoutIs71Characters) {
  const float heads[] = {-4.34f, -4.35f, -4.37f, -4.38f, -4.4f, -4.41f};
  const SurgeRun run = MakeRun(
      5, 1, [](int) { return 0.0f; }, [&](int node, int) { return heads[node - 1]; });
  const std::vector<std::string> lines = SplitCrLf(ResultText(run, 1));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "0.00      -4.34      -4.35      -4.37      -4.38      -4.4       -4.41 ");
  EXPECT_EQ(lines[2].size(), 71u);
}

// Moving to column 11·k after texts that end before, on and past it.
TEST(ResultFile, ColumnRule) {
  struct Case {
    float time, head1, head2;
    const char* lines;
  };
  const Case cases[] = {
      // A 10-character time: the first head follows with no space.
      {123456789.0f, 1.0f, 2.0f, "123456800.1.         2. "},
      // An 11-character head ends in column 21: the next one follows at 22.
      {1.0f, -123456789.0f, 2.0f, "1.        -123456800.2. "},
      // An 11-character time passes column 11: the head goes on a new line.
      {-123456789.0f, 1.0f, 2.0f, "-123456800.\r\n          1.         2. "},
      // A 12-character head passes column 22 likewise.
      {1.0f, -1.2345678e9f, 2.0f, "1.        -1234568000.\r\n                     2. "},
  };
  for (const Case& c : cases) {
    const SurgeRun run = MakeRun(
        1, 1, [&](int) { return c.time; },
        [&](int node, int) { return node == 1 ? c.head1 : c.head2; });
    const std::string text = ResultText(run, 1);
    EXPECT_EQ(text.substr(HeadingEnd(text)), std::string(c.lines) + "\r\n");
  }
}

TEST(ResultFile, WriteInterval) {
  struct Case {
    int steps;
    double interval;
    std::vector<std::string> times;  // step i is at time i - 1
  };
  const Case cases[] = {
      {10, 5, {"0.00", "5."}},
      {10, 2.5, {"0.00", "2.", "4.", "6.", "8."}},  // rounds to 2
      {10, 3.5, {"0.00", "4.", "8."}},              // rounds to 4
      {10, 0, {"0.00", "1.", "2.", "3.", "4.", "5.", "6.", "7.", "8.", "9."}},
      {10, 0.4, {"0.00", "1.", "2.", "3.", "4.", "5.", "6.", "7.", "8.", "9."}},
      {10, 9, {"0.00", "9."}},  // step StepCount itself
      {10, 10, {"0.00"}},
      {10, 32767, {"0.00"}},
      {10, -1, {}},  // heading only
      {10, -32768, {}},
      {1, -3, {"0.00"}},  // step 1, then stops
      {1, 1, {"0.00"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TimeColumn(ResultText(NumberedRun(2, c.steps), c.interval)), c.times)
        << c.steps << " steps, interval " << c.interval;
  }
}

TEST(ResultFile, IntervalOverflowIsError6AfterTheHeading) {
  for (double interval : {32767.5, -32768.6, 1e300}) {
    std::string written;
    try {
      WriteResultText(
          NumberedRun(2, 10), interval, [&](std::string_view b) { written.append(b); },
          NoProgress());
      ADD_FAILURE() << interval << " was accepted";
    } catch (const RunError& error) {
      EXPECT_EQ(error.number(), 6);
      EXPECT_TRUE(error.location().input == InputId::OutputInterval) << error.where();
    }
    const std::string whole = ResultText(NumberedRun(2, 10), 1);
    EXPECT_EQ(written, whole.substr(0, HeadingEnd(whole)));
  }
}

// Every run the solver can hold is written whole: the step counter passes
// 32767 after the last line, and columns pass 32767 beyond 2978 nodes.
TEST(ResultFile, NoSixteenBitOverflowInTheWriter) {
  const SurgeRun longRun = NumberedRun(0, 32767);
  std::vector<std::string> times = TimeColumn(ResultText(longRun, 1));
  ASSERT_EQ(times.size(), 32767u);
  EXPECT_EQ(times.back(), "32766.");
  EXPECT_EQ(TimeColumn(ResultText(longRun, 32766)), (std::vector<std::string>{"0.00", "32766."}));

  const int reaches = 3100;
  const SurgeRun wide = MakeRun(
      reaches, 2, [](int step) { return static_cast<float>(step - 1); },
      [](int node, int) { return static_cast<float>(node); });
  const std::vector<std::string> lines = SplitCrLf(ResultText(wide, 1));
  ASSERT_EQ(lines.size(), 4u);
  const std::string& line = lines[3];
  ASSERT_EQ(line.size(), 11u * (reaches + 1) + std::to_string(reaches + 1).size() + 1);
  const std::string lastHead = std::to_string(reaches + 1) + ". ";
  EXPECT_EQ(line.substr(line.size() - lastHead.size() - 1), " " + lastHead);
}

// ---------------------------------------------------------------------------
// Through the dialog onto the file system (POSIX; the Windows writer has its
// own tests).
#ifndef _WIN32

class ResultFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override { std::ofstream(target_, std::ios::binary) << kOld; }
  void TearDown() override { ::chmod(folder_.path().c_str(), 0755); }
  // Writes `run` to `name` through the dialog; the error number or 0.
  static int Write(const SurgeRun& run, double interval, const std::string& name) {
    try {
      WriteResultFile(run, interval, name, NoProgress());
    } catch (const RunError& error) {
      if (error.number() != 6) {
        EXPECT_EQ(error.location().file, name) << error.where();
      }
      return error.number();
    }
    return 0;
  }
  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) names.insert(entry.path().filename());
    return names;
  }
  void ExpectOldFileAlone() {
    EXPECT_EQ(Entries(), std::set<std::string>{target_.filename()});
    EXPECT_EQ(ReadFile(target_), kOld);
  }

  static constexpr const char* kOld = "an older and rather longer file than the new one ......\r\n";
  test::TempDir folder_{"kelvane-output"};
  fs::path target_ = folder_ / "计算结果.txt";
};

TEST_F(ResultFileOnDisk, ProgressAndWholeReplacement) {
  const SurgeRun run = NumberedRun(1, 3);
  RecordingProgress progress;
  WriteResultFile(run, 1, target_.string(), progress);
  EXPECT_EQ(progress.calls[0], (RecordingProgress::Call{'n', 0}));
  EXPECT_EQ(progress.calls[1], (RecordingProgress::Call{'x', 3}));
  EXPECT_EQ(progress.Values(), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(ReadFile(target_), ResultText(run, 1));
  EXPECT_EQ(Entries(), std::set<std::string>{target_.filename()});
}

TEST_F(ResultFileOnDisk, EmptyNameWritesNothing) {
  RecordingProgress progress;
  WriteResultFile(NumberedRun(1, 3), 1, "", progress);
  EXPECT_EQ(progress.calls, (std::vector<RecordingProgress::Call>{{'n', 0}, {'x', 3}}));
  ExpectOldFileAlone();
}

TEST_F(ResultFileOnDisk, NewFileGetsTheUsualMode) {
  const fs::path fresh = folder_ / "new.dat";
  ASSERT_EQ(Write(NumberedRun(1, 3), 1, fresh.string()), 0);
  struct stat info {};
  ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST_F(ResultFileOnDisk, SymbolicLinkIsFollowed) {
  const fs::path link = folder_ / "link.txt";
  fs::create_symlink(target_.filename(), link);
  ASSERT_EQ(Write(NumberedRun(1, 3), 1, link.string()), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target_), ResultText(NumberedRun(1, 3), 1));
}

TEST_F(ResultFileOnDisk, FaultsLeaveTheOldFile) {
  // The interval's overflow comes after the heading: still no file changed.
  EXPECT_EQ(Write(NumberedRun(1, 3), 40000, target_.string()), 6);
  ExpectOldFileAlone();
  // A folder as the name.
  EXPECT_EQ(Write(NumberedRun(1, 3), 1, folder_.path().string()), 75);
  ExpectOldFileAlone();
  // A missing folder, and a file standing where a folder should be.
  EXPECT_EQ(Write(NumberedRun(1, 3), 1, (folder_ / "missing" / "a.txt").string()), 76);
  EXPECT_EQ(Write(NumberedRun(1, 3), 1, (target_ / "a.txt").string()), 76);
  ExpectOldFileAlone();
}

TEST_F(ResultFileOnDisk, ReadOnlyFolderAndFileArePermissionDenied) {
  // Root passes over permission bits: a child that has dropped them writes.
  // (A writable file in a read-only folder is rewritten in place: the file
  // fault tests.)
  constexpr uid_t kNobody = 65534;
  ASSERT_EQ(::chown(folder_.path().c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chown(target_.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chmod(folder_.path().c_str(), 0555), 0);
  ASSERT_EQ(::chmod(target_.c_str(), 0444), 0);
  const SurgeRun run = NumberedRun(1, 3);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(200);
    ::_exit(Write(run, 1, target_.string()));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 200) GTEST_SKIP() << "cannot drop privileges here";
  EXPECT_EQ(WEXITSTATUS(status), 70);
  ::chmod(folder_.path().c_str(), 0755);
  ExpectOldFileAlone();
  // A read-only file in a writable folder is not replaced behind its back.
  const pid_t second = ::fork();
  if (second == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(200);
    ::_exit(Write(run, 1, target_.string()));
  }
  ASSERT_EQ(::waitpid(second, &status, 0), second);
  EXPECT_EQ(WEXITSTATUS(status), 70);
  ExpectOldFileAlone();
}

// A device is written in place, never renamed over: /dev/full reports a full
// disk and stays the device it was.
TEST_F(ResultFileOnDisk, FullDeviceIsDiskFull) {
  struct stat before {};
  ASSERT_EQ(::stat("/dev/full", &before), 0);
  ASSERT_TRUE(S_ISCHR(before.st_mode));
  EXPECT_EQ(Write(NumberedRun(5, 100), 1, "/dev/full"), 61);
  struct stat after {};
  ASSERT_EQ(::lstat("/dev/full", &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(after.st_rdev, before.st_rdev);
  for (const auto& entry : fs::directory_iterator("/dev")) {
    EXPECT_EQ(entry.path().filename().string().rfind(".kelvane", 0), std::string::npos)
        << entry.path();
  }
}

#endif  // _WIN32

}  // namespace
}  // namespace kelvane
