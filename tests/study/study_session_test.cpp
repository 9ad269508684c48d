// The study session in-process: a study stopped at any row (and killed, its
// partial file cut anywhere after its last part line) resumes to the very
// bytes of an uninterrupted run; rows altered by hand are refused by file and
// line; a one-shard study joins; the complete CSV is plain; a CSV that cannot
// be written leaves the rest of the study whole.
#include "study/study_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/study_plans.h"
#include "support/temp_dir.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

class StudySessionTest : public ::testing::Test {
 protected:
  StudySessionTest() {
    settings_.limits.forebayMaxLevel = -2;
    // The short runs end before the lowest level: undetermined cells that a
    // resumed or joined study reads back.
    settings_.limits.forebayMinLevel = -6;
    settings_.jobs = 1;
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // The study with `files` (names in the test's folder), stopped by a
  // SIGTERM once `stopAt` rows or more are out (0: never; with two jobs the
  // count of rows out can step over `stopAt`). A refusal of Open is the
  // outcome's.
  StudyOutcome Run(StudyFiles files, std::int64_t stopAt = 0, std::int64_t shardIndex = 0,
                   std::int64_t shardCount = 1) {
    for (std::string* name : {&files.csv, &files.resume}) {
      if (!name->empty()) *name = Path(*name);
    }
    for (std::string& name : files.joinShards) name = Path(name);
    StudySettings settings = settings_;
    settings.shardIndex = shardIndex;
    settings.shardCount = shardCount;
    std::atomic<int> stop{0};
    settings.stop = &stop;
    StudySession session(plan_, settings, files);
    StudyOutcome outcome;
    if (std::optional<StudyRefusal> refusal = session.Open()) {
      outcome.refusal = refusal;
      return outcome;
    }
    outcome = session.Run([&](std::int64_t done) {
      if (stopAt > 0 && done >= stopAt) stop = SIGTERM;
    });
    cases_ = session.Tally().Cases();
    return outcome;
  }
  std::string Whole() {
    const StudyOutcome done = Run({.csv = "whole.csv"});
    EXPECT_FALSE(done.refusal || done.csvError);
    return ReadFile(dir_ / "whole.csv");
  }

  test::TempDir dir_{"kelvane-session"};
  StudyPlan plan_ = test::PlanOf({"forebay-area=600:2000:100", "final-pump-discharge=0,41.6"});
  StudySettings settings_;
  std::int64_t cases_ = 0;  // the tally's cases in the last run
};

// Lines starting `prefix` removed.
std::string WithoutLines(const std::string& text, const std::string& prefix) {
  std::string out;
  for (const std::string& line : test::Split(text, '\n')) {
    if (!line.empty() && !line.starts_with(prefix)) out += line + '\n';
  }
  return out;
}

TEST_F(StudySessionTest, StoppedAndKilledStudiesResumeToTheUninterruptedBytes) {
  const std::string whole = Whole();
  ASSERT_EQ(whole.find('#'), std::string::npos);  // plain
  struct Case {
    std::int64_t stopAt;
    int jobs;
    std::string cut;  // what a kill leaves after the last part line
  };
  const Case cases[] = {{1, 1, ""},      {7, 2, ""}, {29, 1, ""}, {13, 1, "14,1900,0,,-6"},
                        {5, 2, "6,1\r"}, {30, 1, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE("stopped at " + std::to_string(c.stopAt));
    settings_.jobs = c.jobs;
    const StudyOutcome stopped = Run({.csv = "s.csv"}, c.stopAt);
    if (c.stopAt < 30) {
      ASSERT_EQ(stopped.signal, SIGTERM);
      ASSERT_EQ(stopped.kept, Path("s.csv.partial"));
      EXPECT_FALSE(fs::exists(dir_ / "s.csv"));
      const std::string partial = ReadFile(dir_ / "s.csv.partial");
      EXPECT_EQ(whole.substr(0, partial.size()).size(), partial.size());
      EXPECT_TRUE(whole.starts_with(WithoutLines(partial, "#kelvane-study ")));
      WriteFile(dir_ / "s.csv.partial", partial + c.cut);
      const StudyOutcome resumed = Run({.csv = "s.csv", .resume = "s.csv.partial"});
      ASSERT_FALSE(resumed.refusal) << resumed.refusal->message;
      EXPECT_EQ(resumed.signal, 0);
      EXPECT_EQ(cases_, 30);
    }
    EXPECT_EQ(ReadFile(dir_ / "s.csv"), whole);
    EXPECT_FALSE(fs::exists(dir_ / "s.csv.partial"));
    fs::remove(dir_ / "s.csv");
  }
}

// A partial file saved again with CR LF line ends resumes.
TEST_F(StudySessionTest, ACrLfPartialFileResumes) {
  const std::string whole = Whole();
  ASSERT_EQ(Run({.csv = "s.csv"}, 9).signal, SIGTERM);
  WriteFile(dir_ / "s.csv.partial", test::WithCrLf(ReadFile(dir_ / "s.csv.partial")));
  const StudyOutcome resumed = Run({.csv = "s.csv", .resume = "s.csv.partial"});
  ASSERT_FALSE(resumed.refusal) << resumed.refusal->message;
  EXPECT_EQ(ReadFile(dir_ / "s.csv"), whole);
}

// Each shard is a plain CSV with its manifest; all of them, or the one of a
// single shard, join into the whole study.
TEST_F(StudySessionTest, ShardsJoinOneShardToo) {
  const std::string whole = Whole();
  for (std::int64_t count : {1, 3}) {
    SCOPED_TRACE(count);
    std::vector<std::string> names;
    for (std::int64_t k = count - 1; k >= 0; --k) {
      std::string name = "p";
      name += std::to_string(k);
      names.push_back(name + ".csv");
      ASSERT_FALSE(Run({.csv = names.back(), .manifest = true}, 0, k, count).csvError);
      EXPECT_EQ(ReadFile(dir_ / names.back()).find('#'), std::string::npos);
    }
    const StudyOutcome joined = Run({.csv = "j.csv", .joinShards = names});
    ASSERT_FALSE(joined.refusal) << joined.refusal->message;
    EXPECT_EQ(ReadFile(dir_ / "j.csv"), whole);
    EXPECT_EQ(cases_, 30);
  }
}

// The row as it lies at `line` (1-based) of a file, and the file with that
// row replaced.
std::string ReplaceLine(const std::string& text, int line, const std::string& row) {
  std::vector<std::string> lines = test::Split(text, '\n');
  lines[line - 1] = row;
  std::string out;
  for (std::size_t k = 0; k + 1 < lines.size(); ++k) out += lines[k] + '\n';
  return out;
}

// The row (of cells without quotes) with its pass_forebay_max_level cell
// turned over, its verdict kept.
std::string FlipPass(const std::string& header, const std::string& row) {
  const std::vector<std::string> names = test::Split(header, ',');
  std::vector<std::string> cells = test::Split(row, ',');
  const auto at =
      std::size_t(std::find(names.begin(), names.end(), "pass_forebay_max_level") - names.begin());
  cells.at(at) = cells.at(at) == "1" ? "0" : "1";
  std::string out;
  for (const std::string& cell : cells) out += (out.empty() ? "" : ",") + cell;
  return out;
}

// Rows altered by hand in a partial file or a shard are refused, naming the
// file and the line; nothing is written.
TEST_F(StudySessionTest, AlteredRowsAreRefusedByFileAndLine) {
  ASSERT_EQ(Run({.csv = "s.csv"}, 12).signal, SIGTERM);
  ASSERT_FALSE(Run({.csv = "p1.csv", .manifest = true}, 0, 1, 2).csvError);
  ASSERT_FALSE(Run({.csv = "p0.csv", .manifest = true}, 0, 0, 2).csvError);
  const std::string partial = ReadFile(dir_ / "s.csv.partial");
  const std::string shard = ReadFile(dir_ / "p1.csv");
  const std::string header = test::Split(partial, '\n')[0];
  const std::string row = test::Split(partial, '\n')[3];     // case 3 at line 4
  const std::string shardRow = test::Split(shard, '\n')[2];  // case 3 at line 3
  const std::size_t status = row.find(",0,,");
  std::string value = row;  // the forebay's initial level changed
  value[status + 4] = value[status + 4] == '-' ? '1' : '-';
  const std::string failed = row.substr(0, status) + ",6,x" + row.substr(status + 3);
  struct Case {
    std::string file;   // the file altered
    std::string text;   // its new bytes
    std::string where;  // in the refusal
  };
  const Case cases[] = {
      {"s.csv.partial", ReplaceLine(partial, 4, FlipPass(header, row)),
       "“" + Path("s.csv.partial") + "” 第 4 行"},
      {"s.csv.partial", ReplaceLine(partial, 4, value), "“" + Path("s.csv.partial") + "” 第 "},
      {"s.csv.partial", ReplaceLine(partial, 4, failed), "“" + Path("s.csv.partial") + "” 第 4 行"},
      {"p1.csv", ReplaceLine(shard, 3, FlipPass(header, shardRow)),
       "“" + Path("p1.csv") + "” 第 3 行"},
      {"p1.csv",
       ReplaceLine(shard, 3,
                   shardRow.substr(0, shardRow.size() - 1) + (shardRow.back() == '7' ? "8" : "7")),
       "“" + Path("p1.csv") + "”：行与"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    const std::string before = ReadFile(dir_ / c.file);
    WriteFile(dir_ / c.file, c.text);
    const StudyOutcome refused = c.file == "p1.csv"
                                     ? Run({.csv = "j.csv", .joinShards = {"p0.csv", "p1.csv"}})
                                     : Run({.csv = "t.csv", .resume = "s.csv.partial"});
    ASSERT_TRUE(refused.refusal);
    EXPECT_NE(refused.refusal->message.find(c.where), std::string::npos)
        << refused.refusal->message;
    EXPECT_FALSE(fs::exists(dir_ / "j.csv"));
    EXPECT_FALSE(fs::exists(dir_ / "t.csv"));
    WriteFile(dir_ / c.file, before);
  }
}

// A partial file of another plan is refused; one whose header lacks this
// version's columns (as an earlier version wrote it: no period columns) is
// said to be so, its rows never read as this study's.
TEST_F(StudySessionTest, APartOfAnEarlierVersionOrAnotherStudyIsRefused) {
  ASSERT_EQ(Run({.csv = "s.csv"}, 12).signal, SIGTERM);
  const std::string partial = ReadFile(dir_ / "s.csv.partial");
  const std::string header = test::Split(partial, '\n')[0];
  const std::string old = header.substr(0, header.find(",period_s"));
  ASSERT_NE(old, header);
  // Another plan's fingerprint on every part line.
  std::string other;
  for (const std::string& line : test::Split(partial, '\n')) {
    if (line.empty()) continue;
    std::string copy = line;
    if (copy.starts_with("#kelvane-study plan=")) copy.replace(20, 16, "0123456789abcdef");
    other += copy + '\n';
  }
  struct Case {
    std::string text;
    std::string said;
  };
  const Case cases[] = {
      {ReplaceLine(other, 1, old), "首行的列与本研究的不同（由较早的版本写出"},
      {other, "属于另一个研究"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    WriteFile(dir_ / "s.csv.partial", c.text);
    const StudyOutcome refused = Run({.csv = "t.csv", .resume = "s.csv.partial"});
    ASSERT_TRUE(refused.refusal);
    EXPECT_NE(refused.refusal->message.find(c.said), std::string::npos) << refused.refusal->message;
    EXPECT_FALSE(fs::exists(dir_ / "t.csv"));
  }
}

// A CSV that cannot be written is the outcome's fault; the tally still has
// every case, and a stop still says where the study was.
TEST_F(StudySessionTest, ACsvThatCannotBeWrittenLeavesTheRestWhole) {
  const StudyOutcome done = Run({.csv = "nodir/s.csv"});
  ASSERT_TRUE(done.csvError);
  EXPECT_EQ(done.signal, 0);
  EXPECT_EQ(cases_, 30);
  const StudyOutcome stopped = Run({.csv = "nodir/s.csv"}, 4);
  EXPECT_EQ(stopped.signal, SIGTERM);
  EXPECT_TRUE(stopped.csvError);
  EXPECT_TRUE(stopped.kept.empty());
}

}  // namespace
}  // namespace kelvane
