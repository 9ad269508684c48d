// The pump event and area table options: each value read and checked as it
// is taken, an error naming the option, row and column; the options over a
// case file's [pump] and [forebay]; a swept ramp time; the discharge chart.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "batch_options.h"
#include "cases/case_file.h"
#include "support/batch_parse.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

using test::UsageErrorOf;

class BatchEvent : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  test::TempDir dir_{"kelvane-batch-event"};
};

TEST_F(BatchEvent, BadValuesNameTheOptionRowAndColumn) {
  test::WriteFile(Path("s.csv"), "时间,流量\r\n0,41.6\r\n\r\n10,20,3\r\n");
  test::WriteFile(Path("a.csv"), "-10;450\n-5;0\n");
  test::WriteFile(Path("good.csv"), "-10\t450\n0\t2700\n");
  test::WriteFile(Path("cases.csv"), "pump-schedule\n\"0:41.6,10:0\"\n\"0:41.6,x:0\"\n");
  test::WriteFile(Path("both.csv"), "pump-schedule,pump-units\n0:0,1:-1:0:0:0\n");
  struct Row {
    std::vector<std::string> args;
    std::string error;
  };
  const Row rows[] = {
      {{"--pump-schedule", "0:41.6,10:20.8,5:0"},
       "选项 --pump-schedule：泵流量过程第 3 行“时间 (s)”列：时间 5 早于上一行的 10"},
      {{"--pump-schedule", "0:41.6,10:x"}, "泵流量过程第 2 行“流量 (m³/s)”列：“x”不是数"},
      {{"--pump-schedule", "0:41.6,10"}, "泵流量过程第 2 行“流量 (m³/s)”列：缺少此列的数"},
      // A number beyond every double is out of range, not "not a number".
      {{"--pump-schedule", "0:41.6,1e400:0"},
       "泵流量过程第 2 行“时间 (s)”列：“1e400”超出数的范围（绝对值应小于 1.8e308）"},
      {{"--sweep", "forebay-area=600,700", "--forebay-max-level", "-1e400"},
       "选项 --forebay-max-level 的值 “-1e400” 超出数的范围"},
      {{"--sweep", "forebay-area=600:1e400:100"}, "中的 “1e400” 超出数的范围"},
      {{"--forebay-wall-top", "1e400"}, "选项 --forebay-wall-top 的值 “1e400” 超出数的范围"},
      {{"--pump-min-level", "-1e999"}, "选项 --pump-min-level 的值 “-1e999” 超出数的范围"},
      {{"--sweep", "forebay-area=-2e308:0:1e300"}, "中的 “-2e308” 超出数的范围"},
      {{"--pump-schedule="}, "选项 --pump-schedule：泵流量过程：表中没有数据"},
      {{"--pump-schedule-file", Path("s.csv")}, "泵流量过程第 4 行：多出“3”"},
      {{"--pump-schedule-file", Path("none.csv")}, "选项 --pump-schedule-file 的文件"},
      {{"--pump-units", "4:-10.4:0:30"}, "机组启闭序列“历时 (s)”项：缺少此项"},
      {{"--pump-units", "2.5:-10:0:30:10"}, "机组启闭序列“台数”项：“2.5”应为 1 至 1000 的整数"},
      {{"--forebay-area-table", "-10:450,-10:500"},
       "前池水位–面积表第 2 行“水位 (m)”列：水位 -10 不高于上一行的 -10"},
      {{"--forebay-area-table-file", Path("a.csv")},
       "前池水位–面积表第 2 行“面积 (m²)”列：“0”应大于 0，文件“" + Path("a.csv") + "”"},
      {{"--pump-ramp-time", "-5"}, "选项 --pump-ramp-time：泵流量变化历时：“-5”不能为负"},
      {{"--pump-ramp-exponent", "0"}, "泵流量变化指数：“0”应大于 0"},
      {{"--pump-schedule", "0:1", "--pump-units", "4:-10.4:0:30:10"},
       "--pump-schedule 与 --pump-units 只能给出一个"},
      {{"--forebay-area-table-file", Path("good.csv"), "--forebay-area-table", "0:1"},
       "--forebay-area-table-file 与 --forebay-area-table 只能给出一个"},
      {{"--sweep", "pump-ramp-time=-10,10"},
       "设计研究中 pump-ramp-time 的取值 “-10”：泵流量变化历时"},
      {{"--cases", Path("cases.csv")},
       "设计研究中 pump-schedule 的取值 “0:41.6,x:0”：泵流量过程第 2 行“时间 (s)”列：“x”不是数"},
      {{"--cases", Path("both.csv")}, "pump-schedule 与 pump-units 不能同时扫描"},
      {{"--sweep", "pump-units=1,2"}, "--sweep 不能扫描 pump-units"},
      {{"--pump-ramp-time", "5", "--sweep", "pump-ramp-time=10"}, "既给出又扫描"},
      // Units that stop more than runs; the area box swept beside a table.
      {{"--pump-units", "5:-10.4:0:30:10"},
       "选项 --pump-units “5:-10.4:0:30:10”：机组启闭序列：停机共 52 m³/s，多于恒定泵流量 41.6 "
       "m³/s"},
      {{"--pump-units", "2:-10:0:30:10", "--steady-discharge", "15"}, "停机共 20 m³/s"},
      {{"--forebay-area-table", "-6:600,-2:2000", "--sweep", "forebay-area=600,1000"},
       "扫描 --forebay-area，而前池水位–面积表（--forebay-area-table）在用"},
  };
  for (const Row& row : rows) {
    const std::string error = UsageErrorOf(row.args);
    EXPECT_NE(error.find(row.error), std::string::npos) << row.args[0] << ": " << error;
  }
}

// The options replace their part of the case file as the input boxes do: a
// ramp's time and exponent each, the schedule and the unit sequence as one,
// the area table; the rest of the case stays.
TEST_F(BatchEvent, OptionsOverrideTheCaseFilesPumpAndForebay) {
  CaseFile saved;
  saved.base.events.rampTime = "30";
  saved.base.events.rampExponent = "2";
  saved.base.events.units = "4:-10.4:0:30:10";
  saved.base.events.areaTable = SplitPairsText("-10:450,0:2700");
  const std::string file = Path("event.toml");
  WriteCaseFile(file, saved);
  const EventTexts fromFile = ReadCaseFile(file).base.events;

  struct Row {
    std::vector<std::string> args;
    EventTexts expected;
  };
  std::vector<Row> rows;
  rows.push_back({{"--case", file}, fromFile});
  EventTexts ramp = fromFile;
  ramp.rampTime = "60";
  rows.push_back({{"--pump-ramp-time", "60", "--case", file}, ramp});
  EventTexts schedule = fromFile;
  schedule.units.reset();
  schedule.schedule = SplitPairsText("0:41.6,10:0");
  rows.push_back({{"--case", file, "--pump-schedule", "0:41.6,10:0"}, schedule});
  EventTexts table = fromFile;
  table.areaTable = SplitPairsText("-9:500,1:3000");
  rows.push_back({{"--forebay-area-table", "-9:500,1:3000", "--case", file}, table});
  for (const Row& row : rows) {
    EXPECT_EQ(test::ParseArgs(row.args).typed.events, row.expected)
        << row.args[0] << " " << row.args[1];
  }
}

// Runs the built program; its exit status, standard error in `err`.
int Kelvane(std::vector<std::string> args, std::string* err = nullptr) {
  args.insert(args.begin(), {KELVANE_EXE, "--batch"});
  const test::ProcessResult result = test::RunProcess(args);
  if (err) *err = result.err;
  return result.status;
}

// A swept ramp time: one row per ramp, each naming its event, each with the
// forebay peak of the single run of that ramp; a bad schedule runs nothing.
TEST_F(BatchEvent, SweptRampTimeAndNothingRunsOnBadInput) {
  ASSERT_EQ(Kelvane({"--sweep", "pump-ramp-time=0:60:30", "--step-count", "300", "--sweep-csv",
                     Path("study.csv")}),
            0);
  const std::string csv = test::ReadFile(Path("study.csv"));
  EXPECT_TRUE(csv.starts_with("case,pump-ramp-time,pump_event,forebay_area_table,status,")) << csv;
  EXPECT_NE(csv.find("\n2,30,线性变化 30 s,定值面积,0,"), std::string::npos) << csv;
  ASSERT_EQ(Kelvane({"--pump-ramp-time", "30", "--step-count", "300", "--summary",
                     Path("single.txt"), "--discharge-plot", Path("q.svg")}),
            0);
  const std::string svg = test::ReadFile(Path("q.svg"));
  EXPECT_NE(svg.find("泵流量与箱涵入前池流量（泵流量：线性变化 30 s）"), std::string::npos);

  std::string err;
  EXPECT_EQ(Kelvane({"--pump-schedule", "0:41.6,x:0", "--output", Path("r.txt")}, &err), 2);
  EXPECT_NE(err.find("泵流量过程第 2 行“时间 (s)”列"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(Path("r.txt")));
}

}  // namespace
}  // namespace kelvane
