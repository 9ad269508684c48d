// --case and --save-case: the command line over the case file in any order,
// and a saved case that runs to the same result file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "batch_options.h"
#include "cases/case_file.h"
#include "evaluation/design_checks.h"
#include "run/run_case.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

class BatchCase : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  static BatchOptions Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "kelvane");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return ParseBatchOptions(static_cast<int>(argv.size()), argv.data());
  }

  // Runs the built program; its exit status, standard error in `err`.
  int Kelvane(const std::vector<std::string>& args, std::string* err = nullptr) {
    std::vector<std::string> words{KELVANE_EXE, "--batch"};
    words.insert(words.end(), args.begin(), args.end());
    const test::ProcessResult result = test::RunProcess(words);
    if (err) *err = result.err;
    return result.status;
  }

  test::TempDir dir_{"kelvane-batch-case"};
};

TEST_F(BatchCase, CommandLineOverridesTheCaseInAnyOrder) {
  CaseFile saved;
  saved.base.title = "t";
  saved.base.notes = "n";
  saved.base.texts[InputId::ForebayArea] = "1000";
  saved.base.texts[InputId::StepCount] = "200";
  const std::string file = Path("a.toml");
  WriteCaseFile(file, saved);

  struct Row {
    std::vector<std::string> args;
    std::string forebayArea, stepCount, waveSpeed;
  };
  const std::vector<Row> rows = {
      {{"--case", file}, "1000", "200", "1000"},
      {{"--forebay-area", "5", "--case", file}, "5", "200", "1000"},
      {{"--case", file, "--forebay-area", "5"}, "5", "200", "1000"},
      {{"--case=" + file, "--forebay-area="}, "", "200", "1000"},
      {{"--step-count", "7", "--case", file, "--wave-speed", "900"}, "1000", "7", "900"},
      {{"--step-count", "7"}, "1287.414", "7", "1000"},
  };
  for (const Row& row : rows) {
    const BatchOptions options = Parse(row.args);
    EXPECT_EQ(options.typed.texts[InputId::ForebayArea], row.forebayArea) << row.args[1];
    EXPECT_EQ(options.typed.texts[InputId::StepCount], row.stepCount) << row.args[1];
    EXPECT_EQ(options.typed.texts[InputId::WaveSpeed], row.waveSpeed) << row.args[1];
    EXPECT_EQ(options.typed.texts[InputId::CulvertLength], "596.662");
  }
  EXPECT_EQ(Parse({"--case", file}).typed.title, "t");
  EXPECT_THROW(Parse({"--case", file, "--case", file}), UsageError);
  EXPECT_THROW(Parse({"--case", Path("missing.toml")}), UsageError);
  // An output over the case file read would lose it; saving the case over it
  // is allowed.
  EXPECT_THROW(Parse({"--case", file, "--csv", dir_.path().string() + "/./a.toml"}), UsageError);
  EXPECT_THROW(Parse({"--case", file, "--sweep", "wave-speed=900,1000", "--sweep-csv", file}),
               UsageError);
  EXPECT_EQ(Parse({"--case", file, "--save-case", file}).saveCase, file);
  // A design study starts from the case's texts; it saves no case.
  EXPECT_EQ(
      Parse({"--case", file, "--sweep", "wave-speed=900,1000"}).typed.texts[InputId::StepCount],
      "200");
  EXPECT_THROW(Parse({"--sweep", "wave-speed=900,1000", "--save-case", Path("b.toml")}),
               UsageError);
}

TEST_F(BatchCase, SavedCaseRunsToTheSameResultFile) {
  const std::string caseFile = Path("run.toml");
  ASSERT_EQ(Kelvane({"--steady-discharge", "30.5m3/s", "--segment-count", " 7 ", "--step-count",
                     "1 200", "--reservoir-level", "－４", "--save-case", caseFile, "--output",
                     Path("first.txt")}),
            0);
  ASSERT_EQ(Kelvane({"--case", caseFile, "--output", Path("second.txt")}), 0);
  const std::string bytes = test::ReadFile(Path("first.txt"));
  EXPECT_GT(bytes.size(), 1000u);
  EXPECT_EQ(test::ReadFile(Path("second.txt")), bytes);
  EXPECT_EQ(ReadCaseFile(caseFile).base.texts[InputId::StepCount], "1 200");

  // A case that cannot be saved is reported; the result file is still written.
  std::string err;
  EXPECT_EQ(Kelvane({"--case", caseFile, "--save-case", Path("no/such/folder.toml"), "--output",
                     Path("third.txt")},
                    &err),
            1);
  EXPECT_NE(err.find("no/such/folder.toml"), std::string::npos) << err;
  EXPECT_EQ(test::ReadFile(Path("third.txt")), bytes);
}

TEST_F(BatchCase, BadCaseFileIsAUsageErrorWithFileAndLine) {
  const std::string file = Path("bad.toml");
  std::ofstream(file) << "[inputs]\nforebay-area = \"1\"\nforbay-area = \"2\"\n";
  std::string err;
  EXPECT_EQ(Kelvane({"--case", file, "--output", Path("r.txt")}, &err), 2);
  EXPECT_NE(err.find("“" + file + "” 第 3 行"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(Path("r.txt")));
}

// A case with a pump ramp and an area table: the run uses them (another
// result file than the boxes alone), --save-case keeps them, and the saved
// case runs to the same bytes. A schedule that cannot be used runs nothing.
TEST_F(BatchCase, PumpEventAndAreaTableRunThroughTheCase) {
  const std::string event = Path("event.toml");
  std::ofstream(event) << "[pump]\nramp-time = 30\n[forebay]\n"
                          "area-table = [[-10, 450], [-5, 1350], [0, 2700]]\n";
  ASSERT_EQ(Kelvane({"--output", Path("boxes.txt")}), 0);
  ASSERT_EQ(Kelvane({"--case", event, "--output", Path("first.txt"), "--save-case",
                     Path("saved.toml"), "--summary", Path("summary.txt")}),
            0);
  ASSERT_EQ(Kelvane({"--case", Path("saved.toml"), "--output", Path("second.txt")}), 0);
  EXPECT_NE(test::ReadFile(Path("first.txt")), test::ReadFile(Path("boxes.txt")));
  EXPECT_EQ(test::ReadFile(Path("second.txt")), test::ReadFile(Path("first.txt")));
  EXPECT_EQ(ReadCaseFile(Path("saved.toml")).base.events, ReadCaseFile(event).base.events);
  EXPECT_NE(test::ReadFile(Path("summary.txt")).find("泵流量斜坡：历时 30 s"), std::string::npos);

  const std::string bad = Path("bad-schedule.toml");
  std::ofstream(bad) << "[pump]\nschedule = [[0, 41.6], [10, \"20\"], [5, 0]]\n";
  std::string err;
  EXPECT_EQ(Kelvane({"--case", bad, "--output", Path("r.txt")}, &err), 2);
  EXPECT_NE(err.find("泵流量过程第 3 行“时间 (s)”列"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(Path("r.txt")));
}

// The batch mode runs its case through RunCase: the summary written for a
// case file with an event and design data is that of the case's CaseRun.
TEST_F(BatchCase, SummaryIsThatOfTheCasesRun) {
  CaseFile file;
  file.base.texts[InputId::StepCount] = "400";
  file.base.events.rampTime = "20";
  file.base.design[DesignId::ForebayWallTop] = "-1.5";
  file.base.design[DesignId::PumpMinLevel] = "-6";
  WriteCaseFile(Path("c.toml"), file);
  ASSERT_EQ(Kelvane({"--case", Path("c.toml"), "--summary", Path("summary.txt")}), 0);
  const CaseRun done = RunCase(PrepareCase(file.base));
  ASSERT_TRUE(done.summary && done.checks);
  EXPECT_EQ(test::ReadFile(Path("summary.txt")),
            SummaryText(*done.summary, done.run, &*done.checks));
}

}  // namespace
}  // namespace kelvane
