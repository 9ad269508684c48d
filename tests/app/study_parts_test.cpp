// Long studies as a user runs them, with the built program as a child
// process: a study stopped by SIGINT or SIGTERM keeps its rows in
// FILE.partial and --resume finishes it to the very bytes of an uninterrupted
// run; shards join into the whole study; files of another plan, missing and
// repeated shards are refused; a large study states its size first.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/files.h"
#include "support/pdf_pages.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

using kelvane::test::ProcessResult;
using kelvane::test::ReadFile;

// 8403 cases of the default 1500 steps.
const std::vector<std::string> kStudy = {"--sweep",
                                         "forebay-area=600:2000:0.5",
                                         "--sweep",
                                         "final-pump-discharge=0,20,41.6",
                                         "--forebay-max-level",
                                         "-2"};

class StudyParts : public ::testing::Test {
 protected:
  // kelvane --batch, the study's options (or others), then `more`.
  ProcessResult Run(const std::vector<std::string>& more,
                    const std::vector<std::string>& study = kStudy,
                    const std::function<void(pid_t, int)>& during = {}) {
    std::vector<std::string> words{KELVANE_EXE, "--batch"};
    words.insert(words.end(), study.begin(), study.end());
    words.insert(words.end(), more.begin(), more.end());
    return kelvane::test::RunProcess(words, {.folder = dir_.path()}, "", during);
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  kelvane::test::TempDir dir_{"kelvane-parts"};
};

// The file without its part lines: the rows it holds, as the whole CSV has
// them.
std::string RowsOf(const std::string& partial) {
  std::string rows;
  for (const std::string& line : kelvane::test::Split(partial, '\n')) {
    if (!line.empty() && !line.starts_with("#kelvane-study ")) rows += line + '\n';
  }
  return rows;
}

const char* NameOf(int signal) {
  return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
}

// Stopped by SIGINT, SIGTERM or SIGHUP at a random moment, once or twice in a
// row (as `timeout` signals the program and then its group), the study keeps
// its rows and resumes to the uninterrupted bytes.
TEST_F(StudyParts, InterruptedAtRandomPointsAndResumedGivesTheUninterruptedBytes) {
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(Run({"--sweep-csv", "whole.csv", "--summary", "whole.txt"}).status, 0);
  // The moments below are shares of the whole run's time, so that however
  // fast the build (a sanitizer's, a loaded machine) the study is stopped
  // well before its end.
  const auto wholeTime = std::chrono::steady_clock::now() - started;
  const std::string whole = ReadFile(dir_ / "whole.csv");

  std::mt19937 random(20261208);
  std::vector<std::string> command{"--sweep-csv", "study.csv", "--summary",
                                   "study.txt",   "--jobs",    "2"};
  std::int64_t rows = 0;
  const int signals[] = {SIGTERM, SIGINT, SIGHUP};
  for (int round = 0; round < 6; ++round) {
    const int signal = signals[round % 3];
    const int second = round >= 3 ? signals[(round + 1) % 3] : 0;
    // A random moment once the program catches the signal: sent earlier, it
    // would end the program before it could keep anything. While no row has
    // been kept yet (a slow build, a loaded machine) the moment is put off,
    // twice as far each round, so that the resumption has rows to keep.
    // From a 200th to a 25th of the whole run's time: six rounds stop the
    // study before a quarter of it is done.
    const int putOff = rows == 0 ? 1 << round : 1;
    const auto delay = wholeTime * (1 + random() % 8) * putOff / 200;
    const ProcessResult r = Run(command, kStudy, [&](pid_t pid, int) {
      kelvane::test::WaitUntilCatching(pid, signal);
      std::this_thread::sleep_for(delay);
      ::kill(pid, signal);
      if (second == 0) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      ::kill(pid, second);
    });
    SCOPED_TRACE("round " + std::to_string(round) + ", " + r.err);
    // Two signals pending at once are taken in the order of their numbers.
    ASSERT_TRUE(r.signal == signal || (second != 0 && r.signal == second)) << r.signal;
    // Nothing under the final name; the rows in case order, a part line last.
    ASSERT_FALSE(fs::exists(dir_ / "study.csv"));
    const std::string partial = ReadFile(dir_ / "study.csv.partial");
    const std::string held = RowsOf(partial);
    EXPECT_EQ(whole.substr(0, held.size()), held);
    const std::int64_t now = std::count(held.begin(), held.end(), '\n') - 1;
    EXPECT_GE(now, rows);
    rows = now;
    const std::string last = partial.substr(partial.rfind('\n', partial.size() - 2) + 1);
    EXPECT_TRUE(last.starts_with("#kelvane-study plan=")) << last;
    EXPECT_NE(last.find(" rows=" + std::to_string(rows) + "/8403 "), std::string::npos);
    EXPECT_NE(r.err.find(std::string("已中断（") + NameOf(r.signal)), std::string::npos);
    EXPECT_NE(r.err.find("--resume study.csv.partial"), std::string::npos);
    // The next round resumes it.
    command = {"--sweep-csv", "study.csv", "--summary", "study.txt",
               "--jobs",      "2",         "--resume",  "study.csv.partial"};
  }
  ASSERT_GT(rows, 0);

  // Another plan (another limit) is refused and changes nothing.
  const std::string partial = ReadFile(dir_ / "study.csv.partial");
  std::vector<std::string> other = kStudy;
  other.back() = "-3";
  const ProcessResult refused =
      Run({"--sweep-csv", "study.csv", "--resume", "study.csv.partial"}, other);
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("属于另一个研究"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadFile(dir_ / "study.csv.partial"), partial);

  const ProcessResult done =
      Run({"--sweep-csv", "study.csv", "--summary", "study.txt", "--resume", "study.csv.partial"});
  ASSERT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(ReadFile(dir_ / "study.csv"), whole);
  EXPECT_EQ(ReadFile(dir_ / "study.txt"), ReadFile(dir_ / "whole.txt"));
  EXPECT_EQ(Files(),
            (std::vector<std::string>{"study.csv", "study.txt", "whole.csv", "whole.txt"}));
}

// Killed, the study loses at most its last second's rows: the partial file
// is on the disk while it runs, and resumes.
TEST_F(StudyParts, AKilledStudyResumesFromItsPartialFile) {
  // 1053 cases of 2000 steps and 20 segments, so that the first rows reach
  // the disk (a second after they come, or at 64 KiB of rows, two fifths of
  // the study however fast the machine) well before the study ends.
  // With 171 cases the rows would never fill 64 KiB: the study could end
  // within its first second, its partial file never holding a row, and the
  // kill came after it had finished. The killed run has one thread, so that
  // the half of the study still to run when its first rows are out lasts
  // twice as long as with two; the rows are the same bytes for any number of
  // threads.
  const std::vector<std::string> slow = {"--sweep",         "forebay-area=600:2000:4",
                                         "--sweep",         "final-pump-discharge=0,20,41.6",
                                         "--step-count",    "2000",
                                         "--segment-count", "20"};
  ASSERT_EQ(Run({"--sweep-csv", "whole.csv"}, slow).status, 0);
  ASSERT_GT(ReadFile(dir_ / "whole.csv").size(), std::size_t{2} << 16)
      << "the first 64 KiB of rows would not come before the study's middle";
  const ProcessResult killed =
      Run({"--sweep-csv", "study.csv", "--jobs", "1"}, slow, [&](pid_t pid, int) {
        // Killed once the partial file vouches for some rows (within a second
        // of their coming, however loaded the machine).
        for (int wait = 0; wait < 6000; ++wait) {
          const std::string text = ReadFile(dir_ / "study.csv.partial");
          const std::size_t first = text.find("\n1,");
          if (first != std::string::npos &&
              text.find("\n#kelvane-study ", first) != std::string::npos) {
            break;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
      });
  ASSERT_EQ(killed.signal, SIGKILL);
  const std::string partial = ReadFile(dir_ / "study.csv.partial");
  ASSERT_NE(partial.find("#kelvane-study "), std::string::npos) << "nothing on the disk";
  const ProcessResult done =
      Run({"--sweep-csv", "study.csv", "--resume", "study.csv.partial"}, slow);
  ASSERT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(ReadFile(dir_ / "study.csv"), ReadFile(dir_ / "whole.csv"));
  EXPECT_FALSE(fs::exists(dir_ / "study.csv.partial"));
}

// A smaller study for the shards: 213 cases.
const std::vector<std::string> kSharded = {"--sweep",
                                           "forebay-area=600:2000:20",
                                           "--sweep",
                                           "final-pump-discharge=0,20,41.6",
                                           "--forebay-max-level",
                                           "-2"};

TEST_F(StudyParts, ShardsJoinIntoTheWholeStudyAndOnlyAllShardsOfOnePlanJoin) {
  std::vector<std::string> whole = {"--sweep-csv", "whole.csv", "--summary", "whole.txt"};
#ifdef KELVANE_TEST_WITH_UI
  // The whole study's calculation report from the same run.
  whole.insert(whole.end(), {"--report", "whole.pdf"});
#endif
  ASSERT_EQ(Run(whole, kSharded).status, 0);
  for (const char* k : {"0", "1", "2"}) {
    const std::string n(k);
    ASSERT_EQ(
        Run({"--shard", n + "/3", "--sweep-csv", "s" + n + ".csv", "--summary", "r" + n + ".txt"},
            kSharded)
            .status,
        0);
  }
  EXPECT_NE(ReadFile(dir_ / "r1.txt").find("本概要只计本分片"), std::string::npos);
  // Another plan's shard, a whole study's file.
  std::vector<std::string> other = kSharded;
  other.back() = "-3";
  ASSERT_EQ(Run({"--shard", "1/3", "--sweep-csv", "other1.csv"}, other).status, 0);

  const ProcessResult joined = Run(
      {"--join-shards", "s2.csv", "s0.csv", "s1.csv", "--sweep-csv", "all.csv", "--summary", "-"},
      kSharded);
  ASSERT_EQ(joined.status, 0) << joined.err;
  EXPECT_EQ(ReadFile(dir_ / "all.csv"), ReadFile(dir_ / "whole.csv"));
  EXPECT_EQ(joined.out, ReadFile(dir_ / "whole.txt"));
  fs::remove(dir_ / "all.csv");
#ifdef KELVANE_TEST_WITH_UI
  // The joined study's calculation report is the whole study's, rows, counts
  // and the 200-row cap included.
  const ProcessResult report =
      Run({"--join-shards", "s0.csv", "s1.csv", "s2.csv", "--report", "all.pdf"}, kSharded);
  ASSERT_EQ(report.status, 0) << report.err;
  EXPECT_EQ(kelvane::test::PdfText(dir_ / "all.pdf", "-layout").out,
            kelvane::test::PdfText(dir_ / "whole.pdf", "-layout").out);
#endif

  struct Refusal {
    std::vector<std::string> shards;
    std::string fragment;
  };
  const Refusal refusals[] = {
      {{"s0.csv", "s2.csv"}, "缺少分片 1/3"},
      {{"s0.csv", "s1.csv", "s1.csv", "s2.csv"}, "同一个分片 1/3"},
      {{"s0.csv", "other1.csv", "s2.csv"}, "“other1.csv”：属于另一个研究"},
      {{"s0.csv", "s1.csv", "whole.csv"}, "“whole.csv”：不是分片"},
      {{"s0.csv", "s1.csv", "nosuch.csv"}, "“nosuch.csv”：文件不存在"},
      {{"s0.csv", "s1.csv", "."}, "“.”：是一个文件夹"},
  };
  for (const Refusal& refusal : refusals) {
    std::vector<std::string> words{"--join-shards"};
    words.insert(words.end(), refusal.shards.begin(), refusal.shards.end());
    words.insert(words.end(), {"--sweep-csv", "all.csv"});
    const ProcessResult r = Run(words, kSharded);
    SCOPED_TRACE(refusal.fragment);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(refusal.fragment), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "all.csv"));
  }
  // A shard cut short (its rows fewer than its part line says) is refused
  // too, and leaves no output.
  std::string cut = ReadFile(dir_ / "s1.csv");
  const std::size_t last = cut.rfind('\n', cut.size() - 2);
  cut.erase(cut.rfind('\n', last - 1) + 1, last - cut.rfind('\n', last - 1));
  kelvane::test::WriteFile(dir_ / "s1.csv", cut);
  const ProcessResult r =
      Run({"--join-shards", "s0.csv", "s1.csv", "s2.csv", "--sweep-csv", "all.csv"}, kSharded);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("“s1.csv”"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "all.csv"));
}

// Faults of parts and outputs, each as a user meets it: a one-task job
// array, a shard's CSV read by a spreadsheet, a pass cell changed by hand,
// a partial file saved with CR LF, a --sweep-csv that cannot be written.
TEST_F(StudyParts, PartsAndOutputsHoldAsAUserMeetsThem) {
  ASSERT_EQ(Run({"--sweep-csv", "whole.csv", "--summary", "whole.txt"}, kSharded).status, 0);
  const std::string whole = ReadFile(dir_ / "whole.csv");
  struct Case {
    std::string name;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"one shard joins",
       [&] {
         ASSERT_EQ(Run({"--shard", "0/1", "--sweep-csv", "one.csv"}, kSharded).status, 0);
         const ProcessResult r =
             Run({"--join-shards", "one.csv", "--sweep-csv", "j.csv"}, kSharded);
         EXPECT_EQ(r.status, 0) << r.err;
         EXPECT_EQ(ReadFile(dir_ / "j.csv"), whole);
       }},
      {"a shard is a plain CSV",
       [&] {
         ASSERT_EQ(Run({"--shard", "1/2", "--sweep-csv", "p.csv"}, kSharded).status, 0);
         EXPECT_EQ(ReadFile(dir_ / "p.csv").find('#'), std::string::npos);
       }},
      {"a pass cell changed by hand is refused",
       [&] {
         ASSERT_EQ(Run({"--shard", "0/2", "--sweep-csv", "q0.csv"}, kSharded).status, 0);
         ASSERT_EQ(Run({"--shard", "1/2", "--sweep-csv", "q1.csv"}, kSharded).status, 0);
         std::vector<std::string> lines = kelvane::test::Split(ReadFile(dir_ / "q1.csv"), '\n');
         // The last pass_ cell turned over (the row's cells hold no commas).
         const std::vector<std::string> names = kelvane::test::Split(lines[0], ',');
         std::vector<std::string> cells = kelvane::test::Split(lines[2], ',');
         std::size_t pass = 0;
         for (std::size_t c = 0; c < names.size(); ++c) {
           if (names[c].starts_with("pass_")) pass = c;
         }
         cells.at(pass) = cells.at(pass) == "1" ? "0" : "1";
         std::string& row = lines[2];
         row.clear();
         for (const std::string& cell : cells) row += (row.empty() ? "" : ",") + cell;
         std::string text;
         for (std::size_t k = 0; k + 1 < lines.size(); ++k) text += lines[k] + '\n';
         kelvane::test::WriteFile(dir_ / "q1.csv", text);
         const ProcessResult r =
             Run({"--join-shards", "q0.csv", "q1.csv", "--sweep-csv", "k.csv"}, kSharded);
         EXPECT_EQ(r.status, 2);
         EXPECT_NE(r.err.find("“q1.csv” 第 3 行"), std::string::npos) << r.err;
         EXPECT_FALSE(fs::exists(dir_ / "k.csv"));
       }},
      {"a CR LF partial file resumes",
       [&] {
         const ProcessResult stopped = Run({"--sweep-csv", "c.csv"}, kSharded, [](pid_t pid, int) {
           kelvane::test::WaitUntilCatching(pid, SIGINT);
           ::kill(pid, SIGINT);
         });
         ASSERT_EQ(stopped.signal, SIGINT) << stopped.err;
         kelvane::test::WriteFile(dir_ / "c.csv.partial",
                                  kelvane::test::WithCrLf(ReadFile(dir_ / "c.csv.partial")));
         const ProcessResult r =
             Run({"--sweep-csv", "c.csv", "--resume", "c.csv.partial"}, kSharded);
         EXPECT_EQ(r.status, 0) << r.err;
         EXPECT_EQ(ReadFile(dir_ / "c.csv"), whole);
       }},
      {"a failed --sweep-csv keeps --summary",
       [&] {
         const ProcessResult r =
             Run({"--sweep-csv", "nodir/s.csv", "--summary", "s.txt"}, kSharded);
         EXPECT_EQ(r.status, 1);
         EXPECT_NE(r.err.find("nodir/s.csv"), std::string::npos) << r.err;
         EXPECT_EQ(ReadFile(dir_ / "s.txt"), ReadFile(dir_ / "whole.txt"));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.check();
  }
}

// A study of more than a million cases states its size and a time before it
// starts, and goes on; --max-cases refuses it.
TEST_F(StudyParts, ALargeStudyStatesItsSizeAndMaxCasesRefusesIt) {
  const std::vector<std::string> large = {"--sweep",      "forebay-area=1:1001:1",
                                          "--sweep",      "final-pump-discharge=0:999:1",
                                          "--step-count", "20"};
  const ProcessResult refused = Run({"--max-cases", "1000000", "--sweep-csv", "big.csv"}, large);
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("研究有 1001000 个案例，多于 --max-cases 1000000"), std::string::npos)
      << refused.err;

  const ProcessResult started = Run({"--sweep-csv", "big.csv"}, large, [](pid_t pid, int err) {
    // Stopped once the notice is out: the study goes on without asking.
    for (int wait = 0; wait < 600 && ::lseek(err, 0, SEEK_END) == 0; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(pid, SIGTERM);
  });
  EXPECT_EQ(started.signal, SIGTERM);
  EXPECT_TRUE(started.err.starts_with("kelvane: 注意: 本研究要算 1001000 个案例，按 "))
      << started.err;
  EXPECT_NE(started.err.find("约需"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ / "big.csv.partial"));
}

}  // namespace
