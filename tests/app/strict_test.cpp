// The batch mode's input warnings and --strict, run as a user runs them: the
// built program as a child process, judged by its exit status, its standard
// error and the files it leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "output/output.h"
#include "solver/solver.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/result_bytes.h"
#include "support/temp_dir.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

using test::ReadFile;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

class StrictBatch : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(work_); }

  // Runs `kelvane --batch ARGS` in the work folder; the exit status (-1 if
  // it did not exit normally), standard error into `err_`.
  int Kelvane(const std::vector<std::string>& args) {
    std::vector<std::string> words{KELVANE_EXE, "--batch"};
    words.insert(words.end(), args.begin(), args.end());
    const test::ProcessResult result = test::RunProcess(words, {.folder = work_});
    err_ = result.err;
    return result.status;
  }

  std::set<std::string> WorkFiles() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(work_))
      names.insert(entry.path().filename().string());
    return names;
  }

  test::TempDir dir_{"kelvane-strict"};
  fs::path work_ = dir_ / "work";
  std::string err_;
};

// Warnings leave the run and its exit status as they are; --strict turns
// them into a usage error before anything runs or is written.
TEST_F(StrictBatch, WarningsTellAndStrictStops) {
  const std::vector<std::string> outputs = {"--output", "out.txt", "--csv", "steps.csv"};
  const std::set<std::string> written = {"out.txt", "steps.csv"};
  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> warned;  // the options of the warning lines, in order
    std::set<std::string> files;
  };
  const Case cases[] = {
      {{"--strict"}, 0, {}, written},
      {{"--reservoir-level", "−4.34"}, 0, {"--reservoir-level 读作 0："}, written},
      {{"--strict", "--reservoir-level", "−4.34"}, 2, {"--reservoir-level 读作 0："}, {}},
      {{"--steady-discharge=41.6m3/s", "--strict", "--wave-speed", "-1000"},
       2,
       {"--steady-discharge 读作 41.6：", "--wave-speed 读作 -1000："},
       {}},
      // A run-time error keeps its status after the warnings.
      {{"--wave-speed", "0"}, 1, {"--wave-speed 读作 0："}, {}},
      // The output steps matter only to a results table.
      {{"--strict", "--step-count", "50"}, 0, {}, written},
      {{"--strict", "--step-count", "50", "--table", "t.txt"},
       2,
       {"--last-output-step 读作 100："},
       {}},
      // Design data read only in part warns as a box does, after the boxes.
      {{"--culvert-height", "12.5abc", "--pump-min-level", "-6", "--reservoir-level", "−4.34"},
       0,
       {"--reservoir-level 读作 0：", "--culvert-height 读作 12.5：从 “abc” 起未读入"},
       written},
      {{"--strict", "--forebay-freeboard", "-0.5"},
       2,
       {"--forebay-freeboard 读作 -0.5：不应为负"},
       {}},
      {{"--strict", "--culvert-height", " ", "--forebay-wall-top", "-1"}, 0, {}, written},
      {{"--strict", "--culvert-design-pressure-head", "-1"},
       2,
       {"--culvert-design-pressure-head 读作 -1：不应为负"},
       {}},
      {{"--strict", "--culvert-invert-upstream", "-8", "--culvert-invert-downstream", "-8.85"},
       2,
       {"--culvert-invert-downstream 读作 -8.85：两端底高程之差与箱涵坡降不符"},
       {}},
      {{"--strict", "--culvert-invert-upstream", "-8", "--culvert-invert-downstream", "-12.4"},
       0,
       {},
       written},
      // A soffit above the head the run starts with.
      {{"--strict", "--culvert-invert-upstream", "-10", "--culvert-invert-downstream", "-14.415",
        "--culvert-height", "9"},
       2,
       {"--culvert-height 读作 9：第 1 时段节点 1 的水头 -4.340 m 低于顶板高程 -1.000 m"},
       {}},
      // The pump event: reverse flow given directly, an exponent alone.
      {{"--strict", "--final-pump-discharge", "-5"},
       2,
       {"--final-pump-discharge 读作 -5：泵流量为负，即水经水泵倒流"},
       {}},
      {{"--pump-ramp-exponent", "2"},
       0,
       {"泵流量变化指数 2 未给出泵流量变化历时，不起作用（仍为突变）"},
       written},
      {{"--strict", "--pump-schedule", "0:41.6,10:-3"},
       2,
       {"泵流量过程第 2 行：流量 -3 m³/s 为负，即水经水泵倒流"},
       {}},
      // A table in force: the box is not read, the table is checked.
      {{"--strict", "--forebay-area", "0.001abc", "--forebay-area-table", "-6:600,-2:2000"},
       0,
       {},
       written},
      {{"--strict", "--forebay-area-table", "-6:0.004,-4:1300"},
       2,
       {"前池水位–面积表：最小面积 0.004 m² 低于稳定下限"},
       {}},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += a + " ";
    SCOPED_TRACE(trace);
    for (const std::string& name : WorkFiles()) fs::remove(work_ / name);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), outputs.begin(), outputs.end());
    EXPECT_EQ(Kelvane(args), c.status) << err_;
    EXPECT_EQ(WorkFiles(), c.files);

    const std::vector<std::string> lines = Lines(err_);
    ASSERT_GE(lines.size(), c.warned.size()) << err_;
    for (std::size_t k = 0; k < c.warned.size(); ++k) {
      EXPECT_EQ(lines[k].rfind("kelvane: 警告: " + c.warned[k], 0), 0u) << lines[k];
    }
    if (c.status == 0) {
      EXPECT_EQ(lines.size(), c.warned.size()) << err_;
    } else if (c.status == 2) {
      EXPECT_EQ(lines.back(), "kelvane: --strict: 输入有警告，不计算");
    }
  }
}

// A warned run computes exactly what the same texts compute at the window.
TEST_F(StrictBatch, WarnedRunIsUnchanged) {
  ASSERT_EQ(Kelvane({"--reservoir-level", "-4.3４", "--output", "out.txt"}), 0) << err_;
  InputTexts texts = DefaultInputTexts();
  texts[InputId::ReservoirLevel] = "-4.3４";
  const std::string file = ReadFile(work_ / "out.txt");
  EXPECT_EQ(file, test::ResultFileBytes(test::CalculateRun(texts)));
  EXPECT_NE(file, test::ResultFileBytes(test::CalculateRun(DefaultInputTexts())));
}

}  // namespace
}  // namespace kelvane
