// Reading the boxes: the leading-number rule, the 16-bit conversion and the
// faults of the reading and sizing stage.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <bit>
#include <cctype>
#include <cmath>
#include <fstream>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "model/model.h"

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
  for (const Row& row : rows) {
    std::int16_t value = 0;
    EXPECT_TRUE(ToInt16(row.in, value)) << row.in;
    EXPECT_EQ(value, row.out) << row.in;
  }

  const double bad[] = {32767.5,
                        32768,
                        -32768.6,
                        40000,
                        -1e9,
                        std::numeric_limits<double>::infinity(),
                        std::numeric_limits<double>::quiet_NaN()};
  for (double in : bad) {
    std::int16_t value = 7;
    EXPECT_FALSE(ToInt16(in, value)) << in;
    EXPECT_EQ(value, 7) << in;
  }
}

// The manual's error table is the user's copy of the catalogue: one row per
// error, the same numbers and descriptions, in the same order.
TEST(ErrorCatalogue, ManualTableMatches) {
  std::ifstream in(KELVANE_MANUAL);
  ASSERT_TRUE(in) << KELVANE_MANUAL;
  std::vector<std::string> rows;
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("## ")) inSection = line.find("错误编号") != std::string::npos;
    if (inSection && line.starts_with("| ") && line.size() > 2 &&
        std::isdigit(static_cast<unsigned char>(line[2])))
      rows.push_back(line);
  }
  ASSERT_EQ(rows.size(), std::size(kAllErrorCodes));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ErrorCode code = kAllErrorCodes[i];
    const std::string row =
        "| " + std::to_string(static_cast<int>(code)) + " | " + std::string(ErrorDescription(code));
    EXPECT_TRUE(rows[i].starts_with(row)) << rows[i] << " is not " << row;
  }
}

using enum InputId;

ErrorLocation Read(InputId box) {
  ErrorLocation at;
  at.stage = Stage::Reading;
  at.input = box;
  return at;
}
ErrorLocation Coefficient(Term term) {
  ErrorLocation at;
  at.stage = Stage::Coefficients;
  at.term = term;
  return at;
}
// A coefficient that divides by the zero value of `box`.
ErrorLocation ZeroDivisor(Term term, InputId box) {
  ErrorLocation at = Coefficient(term);
  at.input = box;
  at.zeroDivisor = true;
  return at;
}
ErrorLocation Grid(Term term, InputId box, double value) {
  ErrorLocation at;
  at.stage = Stage::Grid;
  at.term = term;
  at.input = box;
  at.value = value;
  return at;
}
ErrorLocation March(int step, int node, Quantity quantity) {
  ErrorLocation at;
  at.stage = Stage::March;
  at.step = step;
  at.node = node;
  at.quantity = quantity;
  return at;
}

// The few places the wording itself is checked: the messages an engineer
// meets most, as the batch mode prints them.
TEST(ErrorText, NamesTheBoxAndTheTermInTheEngineersWords) {
  struct Row {
    InputId box;
    const char* text;
    const char* message;
  };
  const Row rows[] = {
      {HydraulicRadius, "0",
       "运行时错误 '11': 除数为零\n计算流速摩阻项：“水力半径”为 "
       "0，流速摩阻项以它为除数\n"},
      {SegmentCount, "0",
       "运行时错误 '11': 除数为零\n计算管段长度：“划分管段数”为 0，管段长度以它为除数\n"},
      {StepCount, "", "运行时错误 '9': 下标越界\n建立计算网格（时段时间数组）：“计算时段数”为 0\n"},
      {ForebayArea, "1e-30", "运行时错误 '6': 溢出\n瞬变计算第 3 时段（0.239 s），节点 5，流速\n"},
  };
  for (const Row& row : rows) {
    InputTexts texts = DefaultInputTexts();
    texts[row.box] = row.text;
    SurgeRun run;
    try {
      Calculate(texts, run);
      ADD_FAILURE() << row.message;
    } catch (const RunError& e) {
      EXPECT_EQ(RunErrorText(e, ErrorTextLayout::CommandLine), row.message);
    }
  }
  ErrorLocation file;
  file.stage = Stage::ResultFile;
  file.file = "/no/such/计算结果.txt";
  file.fileAction = FileAction::Create;
  EXPECT_EQ(RunErrorText(RunError(ErrorCode::PathNotFound, file), ErrorTextLayout::MessageBox),
            "运行时错误 '76':\n\n路径未找到\n写结果文件，文件“/no/such/计算结果.txt”（创建）");
}

// Whatever a command throws becomes a numbered error, never an abort.
TEST(ErrorText, AnyExceptionBecomesACatalogueError) {
  auto caught = [](auto&& thrower) {
    try {
      thrower();
    } catch (...) {
      return CurrentExceptionAsRunError(Stage::Report);
    }
    return RunError(ErrorCode::Overflow, {});
  };
  EXPECT_EQ(caught([] { throw std::bad_alloc(); }).code(), ErrorCode::OutOfMemory);
  EXPECT_EQ(caught([] { throw std::length_error("x"); }).code(), ErrorCode::OutOfMemory);
  EXPECT_EQ(caught([] { throw std::system_error(ENOSPC, std::generic_category()); }).code(),
            ErrorCode::DiskFull);
  const RunError other = caught([] { throw std::runtime_error("库内部错误"); });
  EXPECT_EQ(other.code(), ErrorCode::Overflow);
  EXPECT_EQ(other.location().stage, Stage::Report);
  EXPECT_EQ(other.location().detail, "库内部错误");
  // A fault that knows its stage keeps it; one that does not takes the
  // stage of the command it ended.
  ErrorLocation at;
  at.stage = Stage::March;
  at.step = 4;
  EXPECT_EQ(caught([&] { throw RunError(ErrorCode::SubscriptOutOfRange, at); }).location(), at);
  ErrorLocation file;
  file.file = "a.txt";
  const RunError located = caught([&] { throw RunError(ErrorCode::DiskFull, file); });
  EXPECT_EQ(located.location().stage, Stage::Report);
  EXPECT_EQ(located.location().file, "a.txt");
}

// The forebay update divides by the forebay area.
ErrorLocation ZeroForebay(ErrorLocation at) {
  at.input = ForebayArea;
  at.zeroDivisor = true;
  return at;
}

struct BadInputs {
  std::vector<std::pair<InputId, const char*>> boxes;
  int number;
  ErrorLocation where;
};

// Runs Calculate on the defaults with some boxes replaced.
std::optional<RunError> FirstFault(const BadInputs& row, SurgeRun& run) {
  InputTexts texts = DefaultInputTexts();
  for (const auto& [box, text] : row.boxes) texts[box] = text;
  try {
    Calculate(texts, run);
  } catch (const RunError& e) {
    return e;
  }
  return std::nullopt;
}

TEST(ReadingStage, FirstFaultInReadingOrder) {
  const BadInputs rows[] = {
      {{{StepCount, "40000"}}, 6, Read(StepCount)},
      {{{SegmentCount, "-32769"}}, 6, Read(SegmentCount)},
      {{{FirstOutputStep, "32767.5"}}, 6, Read(FirstOutputStep)},
      {{{LastOutputStep, "-40000"}}, 6, Read(LastOutputStep)},
      {{{SegmentCount, "32767"}}, 6, Grid(Term::NodeCount, SegmentCount, 32767)},
      {{{StepCount, "32767"}}, 6, Grid(Term::StepCount, StepCount, 32767)},
      {{{SegmentCount, "-1"}}, 9, Grid(Term::Grids, SegmentCount, -1)},
      {{{StepCount, "-1"}}, 9, Grid(Term::Grids, StepCount, -1)},
      {{{StepCount, "0"}}, 9, Grid(Term::StepTimes, StepCount, 0)},
      {{{StepCount, ""}}, 9, Grid(Term::StepTimes, StepCount, 0)},
      {{{SegmentCount, "abc"}}, 11, ZeroDivisor(Term::ReachLength, SegmentCount)},
      {{{SegmentCount, "&H10"}}, 11, ZeroDivisor(Term::ReachLength, SegmentCount)},
      {{{SegmentCount, "0"}, {CulvertLength, "0"}},
       6,
       ZeroDivisor(Term::ReachLength, SegmentCount)},
      {{{WaveSpeed, "0"}}, 11, ZeroDivisor(Term::TimeStep, WaveSpeed)},
      {{{WaveSpeed, "0"}, {CulvertLength, "0"}}, 6, ZeroDivisor(Term::TimeStep, WaveSpeed)},
      {{{HydraulicRadius, "0"}}, 11, ZeroDivisor(Term::VelocityFrictionTerm, HydraulicRadius)},
      {{{HydraulicRadius, "0"}, {FrictionFactor, "0"}},
       6,
       ZeroDivisor(Term::VelocityFrictionTerm, HydraulicRadius)},
      {{{SteadyDischarge, "1e40"}}, 6, Coefficient(Term::SteadyVelocity)},
      {{{HydraulicRadius, "1e38"}}, 6, Coefficient(Term::HydraulicDiameter)},
      {{{CulvertLength, "3e38"}, {SegmentCount, "1"}, {WaveSpeed, "1e-30"}},
       6,
       Coefficient(Term::TimeStep)},
      {{{FrictionFactor, "3e38"}, {CulvertLength, "10000"}, {SegmentCount, "1"}},
       6,
       Coefficient(Term::VelocityFrictionTerm)},
      {{{WaveSpeed, "3e38"},
        {FrictionFactor, "3e38"},
        {CulvertLength, "3e38"},
        {SegmentCount, "1"}},
       6,
       Coefficient(Term::HeadFrictionTerm)},
      {{{FrictionFactor, "1e37"}}, 6, Coefficient(Term::ReachHeadLoss)},
      {{{FrictionFactor, "1e39"}}, 6, Read(FrictionFactor)},
      {{{ReservoirLevel, "-3.5e38"}}, 6, Read(ReservoirLevel)},
      {{{CulvertSlope, "1e400"}}, 6, Read(CulvertSlope)},
      {{{OutputInterval, "-1e400"}}, 6, Read(OutputInterval)},
      {{{SegmentCount, "1e400"}}, 6, Read(SegmentCount)},
      {{{SteadyDischarge, "1e400"}, {FrictionFactor, "1e39"}}, 6, Read(FrictionFactor)},
      {{{HydraulicRadius, "0"}, {WaveSpeed, "0"}, {SegmentCount, "x"}},
       11,
       ZeroDivisor(Term::ReachLength, SegmentCount)},
      {{{HydraulicRadius, "0"}, {WaveSpeed, "0"}}, 11, ZeroDivisor(Term::TimeStep, WaveSpeed)},
      {{{StepCount, "40000"}, {SegmentCount, "40000"}}, 6, Read(SegmentCount)},
      {{{FirstOutputStep, "1e9"}, {StepCount, "0"}}, 9, Grid(Term::StepTimes, StepCount, 0)},
      {{{OutputInterval, "1e400"}, {LastOutputStep, "1e9"}}, 6, Read(LastOutputStep)},
      {{{FinalPumpDischarge, "1e39"}, {CulvertArea, "1e400"}}, 6, Read(CulvertArea)},
      {{{SegmentCount, "4"}, {ForebayArea, "0"}}, 11, ZeroForebay(March(2, 5, Quantity::Head))},
  };
  for (const BadInputs& row : rows) {
    SurgeRun run;
    const std::optional<RunError> e = FirstFault(row, run);
    ASSERT_TRUE(e.has_value()) << ErrorLocationText(row.where);
    EXPECT_EQ(e->number(), row.number) << ErrorLocationText(row.where);
    // March faults carry the step's time as well; the rest must match.
    ErrorLocation got = e->location();
    if (row.where.stage == Stage::March) got.time.reset();
    EXPECT_EQ(got, row.where) << e->where() << " / expected " << ErrorLocationText(row.where);
  }
}

TEST(ReadingStage, CountsRoundHalfToEven) {
  struct Row {
    const char* text;
    int segments;
  };
  for (const Row row : {Row{"4.5", 4}, Row{"5.5", 6}, Row{"6.5", 6}, Row{"7", 7}, Row{" 8 ", 8}}) {
    InputTexts texts = DefaultInputTexts();
    texts[InputId::SegmentCount] = row.text;
    SurgeRun run;
    Calculate(texts, run);
    EXPECT_EQ(run.SegmentCount(), row.segments) << row.text;
    EXPECT_EQ(run.GridNodes(), row.segments + 1);
    EXPECT_EQ(run.GridSteps(), 1501);
    EXPECT_EQ(run.TimeSteps(), 1500);
  }
}

TEST(ReadingStage, OutputStepsAreNotCheckedAgainstTheRun) {
  InputTexts texts = DefaultInputTexts();
  texts[InputId::StepCount] = "100";
  texts[InputId::FirstOutputStep] = "200";
  texts[InputId::LastOutputStep] = "-3";
  SurgeRun run;
  const RunOutcome outcome = Calculate(texts, run);
  EXPECT_EQ(run.FirstOutputStep(), 200);
  EXPECT_EQ(run.LastOutputStep(), -3);
  EXPECT_EQ(outcome.parameters.OutputInterval, 5.0);
}

#ifndef _WIN32
// A grid that cannot be allocated stops the run with error 7, and nothing
// crashes: run in a child process whose address space is limited.
TEST(ReadingStage, GridTooLargeForMemoryIsErrorSeven) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit limit{512u << 20, 512u << 20};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(100);
    InputTexts texts = DefaultInputTexts();
    texts[InputId::SegmentCount] = "32000";
    texts[InputId::StepCount] = "32000";
    SurgeRun run;
    try {
      Calculate(texts, run);
    } catch (const RunError& e) {
      const bool named = e.location().stage == Stage::Grid && !run.HasGrids();
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
#endif

}  // namespace
}  // namespace kelvane
