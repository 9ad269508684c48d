// Reading the boxes: the leading-number rule, the 16-bit conversion and the
// faults of the reading and sizing stage.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <limits>

#include "solver/solver.h"

namespace kelvane {
namespace {

TEST(LeadingNumber, ReadsTheLongestNumberAtTheStart) {
  struct Row {
    const char* text;
    double value;
  };
  const Row rows[] = {
      {"41.6m3/s", 41.6},
      {"0.0 1", 0.01},
      {"1 500", 1500},
      {"1,5", 1},
      {".153", 0.153},
      {"abc", 0},
      {"", 0},
      {".", 0},
      {"-", 0},
      {"+", 0},
      {"-.5", -0.5},
      {"+7", 7},
      {"1e", 1},
      {"1e+", 1},
      {"1e5x", 1e5},
      {"1E-2", 0.01},
      {"2.5e 1", 25},
      {"1.2.3", 1.2},
      {"&H10", 0},
      {"--5", 0},
      {"\t-4.34\n", -4.34},
      {"e5", 0},
      {".e5", 0},
      {"5.", 5},
      {"12e3.5", 12000},
      {"1e-400", 0},
      {"0x1A", 0},
      {"１２", 0},
      // Correct rounding of a long decimal (the double nearest 0.1).
      {"0.1000000000000000055511151231257827", 0.1},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(ReadLeadingNumber(row.text)),
              std::bit_cast<std::uint64_t>(row.value))
        << '"' << row.text << '"';
  }
  EXPECT_EQ(ReadLeadingNumber("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadLeadingNumber("-1e400"), -std::numeric_limits<double>::infinity());
}

TEST(ToInt16, RoundsHalfToEvenWithinRange) {
  struct Row {
    double in;
    int out;
  };
  const Row rows[] = {{2.5, 2},         {3.5, 4},           {-2.5, -2},       {0.5, 0},
                      {1.5, 2},         {5.5, 6},           {4.5, 4},         {-0.4, 0},
                      {32767.4, 32767}, {-32768.5, -32768}, {-32768, -32768}, {32766.5, 32766}};
  for (const Row& row : rows) EXPECT_EQ(ToInt16(row.in, "x"), row.out) << row.in;

  const double bad[] = {32767.5,
                        32768,
                        -32768.6,
                        40000,
                        -1e9,
                        std::numeric_limits<double>::infinity(),
                        std::numeric_limits<double>::quiet_NaN()};
  for (double in : bad) {
    try {
      ToInt16(in, "here");
      ADD_FAILURE() << in << " converted";
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), 6) << in;
      EXPECT_EQ(e.where(), "here");
    }
  }
}

TEST(ErrorCatalogue, NumbersAndDescriptions) {
  const std::pair<ErrorCode, const char*> rows[] = {
      {ErrorCode::Overflow, "溢出"},
      {ErrorCode::OutOfMemory, "内存不够"},
      {ErrorCode::SubscriptOutOfRange, "下标越界"},
      {ErrorCode::DivisionByZero, "除数为零"},
      {ErrorCode::BadFileName, "文件名或文件号错误"},
      {ErrorCode::FileNotFound, "文件未找到"},
      {ErrorCode::DiskFull, "磁盘已满"},
      {ErrorCode::PermissionDenied, "没有权限"},
      {ErrorCode::PathFileAccess, "路径/文件访问错误"},
      {ErrorCode::PathNotFound, "路径未找到"},
  };
  for (const auto& [code, text] : rows) {
    const RunError e(code, "读取 Text5（计算时段数）");
    EXPECT_EQ(e.description(), text);
    EXPECT_EQ(std::string(e.what()), "运行时错误 " + std::to_string(e.number()) + "：" + text +
                                         "（读取 Text5（计算时段数））");
  }
}

struct BadInputs {
  std::vector<std::pair<int, const char*>> boxes;  // box number (1-based), text
  int number;
  const char* where;
};

// Runs Calculate on the defaults with some boxes replaced.
RunError FirstFault(const BadInputs& row, SurgeRun& run) {
  InputTexts texts = DefaultInputTexts();
  for (const auto& [box, text] : row.boxes) texts[box - 1] = text;
  try {
    Calculate(texts, run);
  } catch (const RunError& e) {
    return e;
  }
  return RunError(ErrorCode::Overflow, "no fault");
}

TEST(ReadingStage, FirstFaultInReadingOrder) {
  const BadInputs rows[] = {
      // One bad input each.
      {{{5, "40000"}}, 6, "读取 Text5（计算时段数）"},
      {{{4, "-32769"}}, 6, "读取 Text4（划分管段数）"},
      {{{13, "32767.5"}}, 6, "读取 Text13（初始输出时段）"},
      {{{14, "-40000"}}, 6, "读取 Text14（终端输出时段）"},
      {{{4, "32767"}}, 6, "计算 SegmentCount + 1"},
      {{{5, "32767"}}, 6, "计算 StepCount + 1"},
      {{{4, "-1"}}, 9, "创建 HeadGrid（节点 1..0，时段 1..1501）"},
      {{{5, "-1"}}, 9, "创建 HeadGrid（节点 1..6，时段 1..0）"},
      {{{5, "0"}}, 9, "创建 StepTimes（时段 1..0）"},
      {{{5, ""}}, 9, "创建 StepTimes（时段 1..0）"},
      {{{4, "abc"}}, 11, "计算 ReachLength"},
      {{{4, "&H10"}}, 11, "计算 ReachLength"},
      {{{4, "0"}, {12, "0"}}, 6, "计算 ReachLength"},
      {{{11, "0"}}, 11, "计算 TimeStep"},
      {{{11, "0"}, {12, "0"}}, 6, "计算 TimeStep"},
      {{{8, "0"}}, 11, "计算 VelocityFrictionTerm"},
      {{{8, "0"}, {6, "0"}}, 6, "计算 VelocityFrictionTerm"},
      {{{1, "1e40"}}, 6, "计算 SteadyVelocity"},
      {{{8, "1e38"}}, 6, "计算 HydraulicDiameter"},
      {{{12, "3e38"}, {4, "1"}, {11, "1e-30"}}, 6, "计算 TimeStep"},
      {{{6, "3e38"}, {12, "10000"}, {4, "1"}}, 6, "计算 VelocityFrictionTerm"},
      {{{11, "3e38"}, {6, "3e38"}, {12, "3e38"}, {4, "1"}}, 6, "计算 HeadFrictionTerm"},
      {{{6, "1e37"}}, 6, "计算 ReachHeadLoss"},
      // Out of range for a single, or for a double, at the read.
      {{{6, "1e39"}}, 6, "读取 Text6（沿程水头损失系数）"},
      {{{3, "-3.5e38"}}, 6, "读取 Text3（库水位）"},
      {{{7, "1e400"}}, 6, "读取 Text7（箱涵坡降）"},
      {{{15, "-1e400"}}, 6, "读取 Text15（输出间隔）"},
      {{{4, "1e400"}}, 6, "读取 Text4（划分管段数）"},
      // Several bad inputs: the reading order decides.
      {{{1, "1e400"}, {6, "1e39"}}, 6, "读取 Text6（沿程水头损失系数）"},
      {{{8, "0"}, {11, "0"}, {4, "x"}}, 11, "计算 ReachLength"},
      {{{8, "0"}, {11, "0"}}, 11, "计算 TimeStep"},
      {{{5, "40000"}, {4, "40000"}}, 6, "读取 Text4（划分管段数）"},
      {{{13, "1e9"}, {5, "0"}}, 9, "创建 StepTimes（时段 1..0）"},
      {{{15, "1e400"}, {14, "1e9"}}, 6, "读取 Text14（终端输出时段）"},
      {{{16, "1e39"}, {10, "1e400"}}, 6, "读取 Text10（箱涵断面面积）"},
      {{{4, "4"}, {9, "0"}}, 11, "第 2 时段，节点 5（水位）"},
  };
  for (const BadInputs& row : rows) {
    SurgeRun run;
    const RunError e = FirstFault(row, run);
    EXPECT_EQ(e.number(), row.number) << row.where;
    EXPECT_EQ(e.where(), row.where);
  }
}

TEST(ReadingStage, CountsRoundHalfToEven) {
  struct Row {
    const char* text;
    int segments;
  };
  for (const Row row : {Row{"4.5", 4}, Row{"5.5", 6}, Row{"6.5", 6}, Row{"7", 7}, Row{" 8 ", 8}}) {
    InputTexts texts = DefaultInputTexts();
    texts[3] = row.text;
    SurgeRun run;
    Calculate(texts, run);
    EXPECT_EQ(run.SegmentCount, row.segments) << row.text;
    EXPECT_EQ(run.GridNodes(), row.segments + 1);
    EXPECT_EQ(run.GridSteps(), 1501);
    EXPECT_EQ(run.TimeSteps(), 1500);
  }
}

TEST(ReadingStage, OutputStepsAreNotCheckedAgainstTheRun) {
  InputTexts texts = DefaultInputTexts();
  texts[4] = "100";
  texts[12] = "200";
  texts[13] = "-3";
  SurgeRun run;
  const RunOutcome outcome = Calculate(texts, run);
  EXPECT_EQ(run.FirstOutputStep, 200);
  EXPECT_EQ(run.LastOutputStep, -3);
  EXPECT_EQ(outcome.parameters.OutputInterval, 5.0);
}

// A grid that cannot be allocated stops the run with error 7, and nothing
// crashes: run in a child process whose address space is limited.
TEST(ReadingStage, GridTooLargeForMemoryIsErrorSeven) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit limit{512u << 20, 512u << 20};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(100);
    InputTexts texts = DefaultInputTexts();
    texts[3] = "32000";
    texts[4] = "32000";
    SurgeRun run;
    try {
      Calculate(texts, run);
    } catch (const RunError& e) {
      const bool named = e.where().rfind("创建 HeadGrid", 0) == 0 && !run.HasGrids();
      _exit(named ? e.number() : 101);
    } catch (...) {
      _exit(102);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "child killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 7);
}

}  // namespace
}  // namespace kelvane
