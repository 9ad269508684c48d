// The batch mode run as a user runs it: the built program as a child process,
// judged by its exit status, its standard streams and the bytes it writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "evaluation/report.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/result_bytes.h"
#include "support/run_checks.h"
#include "support/temp_dir.h"

namespace kelvane::test {
namespace {

namespace fs = std::filesystem;
using checks::WithoutInputWarnings;

class BatchProcess : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(work_); }

  // Starts kelvane in the work folder with its standard output and error on
  // the given descriptors.
  pid_t Start(const std::vector<std::string>& args, int outFd, int errFd) {
    return StartProcess(Words(args), outFd, errFd, {.folder = work_});
  }

  // Runs kelvane; standard output goes to `stdoutPath` when given (a file or
  // a device), otherwise it is captured.
  ProcessResult Kelvane(const std::vector<std::string>& args, const std::string& stdoutPath = "") {
    ProcessResult result = RunProcess(Words(args), {.folder = work_}, stdoutPath);
    result.err = WithoutInputWarnings(result.err);
    return result;
  }

  static std::vector<std::string> Words(const std::vector<std::string>& args) {
    std::vector<std::string> words{KELVANE_EXE};
    words.insert(words.end(), args.begin(), args.end());
    return words;
  }

  // The names in the work folder: what a run left behind.
  std::set<std::string> WorkFiles() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(work_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  TempDir dir_{"kelvane-batch"};
  fs::path work_ = dir_ / "work";
};

std::vector<std::string> Args(std::initializer_list<std::string> words) {
  std::vector<std::string> args{"--batch"};
  args.insert(args.end(), words);
  return args;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

int CountCrLf(const std::string& bytes) {
  int lines = 0;
  for (std::size_t i = bytes.find("\r\n"); i != std::string::npos; i = bytes.find("\r\n", i + 2)) {
    ++lines;
  }
  return lines;
}

// Equal bytes; on a difference, the sizes and the first differing line
// rather than two whole files.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at =
      std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
      actual.begin();
  std::size_t line = actual.rfind('\n', at == 0 ? 0 : at - 1);
  line = line == std::string::npos ? 0 : line + 1;
  auto excerpt = [&](const std::string& text) {
    return ::testing::PrintToString(text.substr(line, text.find('\n', line) - line));
  };
  return ::testing::AssertionFailure()
         << actual.size() << " bytes against " << expected.size()
         << " expected; first difference at byte " << at << ", in the line\n  got      "
         << excerpt(actual) << "\n  expected " << excerpt(expected);
}

TEST_F(BatchProcess, DefaultRunWritesTheWindowsFileAndPrintsNothing) {
  ProcessResult r = Kelvane(Args({"--output", "计算结果.txt"}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  std::string file = ReadFile(work_ / "计算结果.txt");
  EXPECT_EQ(CountCrLf(file), 302);
  EXPECT_TRUE(SameBytes(file, ResultFileBytes(CalculateRun(DefaultInputTexts()))));
  EXPECT_EQ(WorkFiles(), std::set<std::string>{"计算结果.txt"});
}

TEST_F(BatchProcess, NoOutputOptionWritesNothing) {
  ProcessResult r = Kelvane(Args({}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(WorkFiles().empty());
}

// Each option reaches its own box, in both spellings, with values that begin
// with "-" and texts that the leading-number rule reads.
TEST_F(BatchProcess, InputOptionsReachTheirBoxes) {
  struct Case {
    std::vector<std::string> words;
    BoxTexts boxes;
  };
  const Case cases[] = {
      {{"--reservoir-level", "-3.5"}, {{InputId::ReservoirLevel, "-3.5"}}},
      {{"--reservoir-level=-3.5"}, {{InputId::ReservoirLevel, "-3.5"}}},
      {{"--culvert-slope", "-1e-3"}, {{InputId::CulvertSlope, "-1e-3"}}},
      {{"--segment-count=7"}, {{InputId::SegmentCount, "7"}}},
      {{"--step-count", " 1 200"}, {{InputId::StepCount, " 1 200"}}},
      {{"--steady-discharge", "40m3/s"}, {{InputId::SteadyDischarge, "40m3/s"}}},
      {{"--output-interval", "2.5"}, {{InputId::OutputInterval, "2.5"}}},
      {{"--final-pump-discharge=41.6", "--forebay-area", "2000"},
       {{InputId::FinalPumpDischarge, "41.6"}, {InputId::ForebayArea, "2000"}}},
      {{"--wave-speed", "1200", "--culvert-length=600"},
       {{InputId::WaveSpeed, "1200"}, {InputId::CulvertLength, "600"}}},
      {{"--friction-factor", ".02", "--hydraulic-radius", "1"},
       {{InputId::FrictionFactor, ".02"}, {InputId::HydraulicRadius, "1"}}},
      {{"--intake-head-loss", "0.3", "--culvert-area", "20"},
       {{InputId::IntakeHeadLoss, "0.3"}, {InputId::CulvertArea, "20"}}},
  };
  const std::string defaults = ResultFileBytes(CalculateRun(DefaultInputTexts()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words.front());
    std::vector<std::string> args = Args({"--output", "out.txt"});
    args.insert(args.end(), c.words.begin(), c.words.end());
    ProcessResult r = Kelvane(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string expected = ResultFileBytes(CalculateRun(TextsWith(c.boxes)));
    EXPECT_NE(expected, defaults);  // the option changes the run
    EXPECT_TRUE(SameBytes(ReadFile(work_ / "out.txt"), expected));
  }
}

TEST_F(BatchProcess, UsageErrorsExitTwoAndWriteNothing) {
  struct Case {
    std::vector<std::string> args;
    std::string fragment;
  };
  std::vector<Case> cases = {
      {Args({"--frobnicate"}), "未知选项 “--frobnicate”"},
      {Args({"--Step-Count", "5"}), "未知选项"},
      {Args({"--output"}), "--output 缺少值"},
      {Args({"--reservoir-level"}), "--reservoir-level 缺少值"},
      {Args({"stray.txt"}), "多余的参数 “stray.txt”"},
      {Args({"--step-count", "10", "--step-count=20"}), "--step-count 给了两次"},
      {Args({"--output="}), "--output 缺少文件名"},
      {Args({"--output", "-"}), "标准输出"},
      {Args({"--output", "same.txt", "--csv", "same.txt"}), "同一个文件"},
      {Args({"--output", "same.txt", "--csv", "./same.txt"}), "同一个文件"},
  };
#ifndef KELVANE_TEST_WITH_UI
  cases.push_back({Args({"--plot", "level.png"}), "不含窗口"});
  cases.push_back({Args({"--envelope-plot", "e.png"}), "不含窗口"});  // SVG needs no windows
#else
  cases.push_back({Args({"--history-plot", "h.jpg"}), ".png 或 .svg"});
  cases.push_back({Args({"--history-plot", "h.png", "--nodes", "1,,6"}), "节点号"});
  cases.push_back({Args({"--history-plot", "h.png", "--nodes", "0"}), "节点号"});
  cases.push_back({Args({"--history-plot", "h.png", "--quantity", "level"}), "discharge"});
  cases.push_back({Args({"--envelope-plot", "a.svg", "--history-plot", "./a.svg"}), "同一个文件"});
#endif
  cases.push_back({Args({"--nodes", "1,6"}), "只用于 --history-plot"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fragment);
    ProcessResult r = Kelvane(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.starts_with("kelvane: ")) << r.err;
    EXPECT_NE(FirstLine(r.err).find(c.fragment), std::string::npos) << r.err;
    EXPECT_TRUE(WorkFiles().empty());
  }
}

// A run that fails reports the error's number, description and place, and
// leaves an existing result file as it was, with nothing beside it.
TEST_F(BatchProcess, RunErrorsExitOneAndLeaveTheFileUntouched) {
  struct Case {
    std::vector<std::string> words;
    BoxTexts boxes;
    ErrorCode code;
  };
  const Case cases[] = {
      {{"--forebay-area", "0"}, {{InputId::ForebayArea, "0"}}, ErrorCode::DivisionByZero},
      {{"--step-count", "40000"}, {{InputId::StepCount, "40000"}}, ErrorCode::Overflow},
      {{"--step-count=0"}, {{InputId::StepCount, "0"}}, ErrorCode::SubscriptOutOfRange},
      {{"--segment-count", "-1"}, {{InputId::SegmentCount, "-1"}}, ErrorCode::SubscriptOutOfRange},
      // The run completes; its result file cannot take the interval.
      {{"--output-interval", "1e6"}, {{InputId::OutputInterval, "1e6"}}, ErrorCode::Overflow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words.front());
    // The error the libraries give for the same texts, where it happened
    // included, is what the process prints.
    std::optional<RunError> expected;
    try {
      ResultFileBytes(CalculateRun(TextsWith(c.boxes)));
    } catch (const RunError& error) {
      expected = error;
    }
    ASSERT_TRUE(expected.has_value());
    ASSERT_EQ(expected->code(), c.code);
    ASSERT_FALSE(expected->where().empty());
    WriteFile(work_ / "out.txt", "an earlier result\r\n");
    // Once onto the existing file, once onto a new name.
    for (const char* name : {"out.txt", "new.txt"}) {
      std::vector<std::string> args = Args({"--output", name});
      args.insert(args.end(), c.words.begin(), c.words.end());
      ProcessResult r = Kelvane(args);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.out, "");
      int number = static_cast<int>(c.code);
      EXPECT_EQ(r.err, "运行时错误 '" + std::to_string(number) + "': " +
                           std::string(ErrorDescription(c.code)) + "\n" + expected->where() + "\n");
      EXPECT_EQ(ReadFile(work_ / "out.txt"), "an earlier result\r\n");
      EXPECT_EQ(WorkFiles(), std::set<std::string>{"out.txt"});
    }
  }
}

// The result file comes first: a later output that fails leaves it whole.
TEST_F(BatchProcess, LaterOutputErrorsLeaveTheResultFileWritten) {
  struct Case {
    std::vector<std::string> words;
    int number;
  };
  const Case cases[] = {
      {{"--table", "table.txt", "--first-output-step", "0"}, 9},
      {{"--table", "table.txt", "--last-output-step", "1501"}, 9},
      {{"--summary", "missing/summary.txt"}, 76},
      {{"--csv", "missing/steps.csv"}, 76},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words.front());
    fs::remove_all(work_);
    fs::create_directory(work_);
    std::vector<std::string> args = Args({"--output", "out.txt"});
    args.insert(args.end(), c.words.begin(), c.words.end());
    ProcessResult r = Kelvane(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("运行时错误 '" + std::to_string(c.number) + "': ")) << r.err;
    InputTexts texts = DefaultInputTexts();
    EXPECT_TRUE(SameBytes(ReadFile(work_ / "out.txt"), ResultFileBytes(CalculateRun(texts))));
    EXPECT_EQ(WorkFiles(), std::set<std::string>{"out.txt"});
  }
}

// A write that fails names the output by its option, in a single run and in
// a study alike.
TEST_F(BatchProcess, AFailedWriteNamesItsOutput) {
  struct Case {
    std::vector<std::string> words;
    std::string where;
  };
  const std::vector<std::string> study = {"--sweep", "forebay-area=600,700"};
  const auto inStudy = [&](std::vector<std::string> words) {
    words.insert(words.begin(), study.begin(), study.end());
    return words;
  };
  const Case cases[] = {
      {{"--summary", "missing/s.txt"}, "写 --summary，文件“missing/s.txt”（创建）"},
      {{"--csv", "missing/s.csv"}, "写 --csv，文件“missing/s.csv”（创建）"},
      {{"--save-case", "missing/c.toml"}, "写 --save-case，文件“missing/c.toml”（创建）"},
      {{"--envelope-plot", "missing/e.svg"}, "写 --envelope-plot，文件“missing/e.svg”（创建）"},
      {inStudy({"--sweep-csv", "missing/x.csv"}), "写 --sweep-csv，文件“missing/x.csv”（创建）"},
      {inStudy({"--sweep-csv", "x.csv", "--summary", "missing/y.txt"}),
       "写 --summary，文件“missing/y.txt”（创建）"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    std::vector<std::string> args = Args({"--step-count", "30"});
    args.insert(args.end(), c.words.begin(), c.words.end());
    const ProcessResult r = Kelvane(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("运行时错误 '76': 路径未找到\n" + c.where + "\n"), std::string::npos)
        << r.err;
  }
}

// The catalogue numbers of the errors on standard error, in order; each
// error takes two lines (what, then where).
std::vector<int> ErrorNumbers(const std::string& err) {
  std::vector<int> numbers;
  const std::string heading = "运行时错误 '";
  std::size_t lines = 0;
  for (std::size_t at = 0; at < err.size(); at = err.find('\n', at) + 1) {
    if (err.find('\n', at) == std::string::npos) return {-1};  // an unfinished line
    if (lines++ % 2 == 0) {
      if (err.compare(at, heading.size(), heading) != 0) return {-1};
      numbers.push_back(std::atoi(err.c_str() + at + heading.size()));
    }
  }
  if (lines % 2 != 0) return {-1};
  return numbers;
}

// An output that fails costs none of the others: every output that can be
// written is written, complete, each failure is printed in the order of the
// outputs (result file, table, summary, CSV), and the exit status is 1.
TEST_F(BatchProcess, EveryOutputThatCanBeWrittenIsWrittenWhenOthersFail) {
  struct Case {
    const char* name;
    std::vector<std::string> words;
    BoxTexts boxes;
    std::set<std::string> written;  // out.txt, table.txt, summary.txt, steps.csv
    std::vector<int> errors;
  };
  const Case cases[] = {
      {"table beyond the run",
       {"--last-output-step", "1501", "--output", "out.txt", "--table", "table.txt", "--summary",
        "summary.txt"},
       {{InputId::LastOutputStep, "1501"}},
       {"out.txt", "summary.txt"},
       {9}},
      {"result file into a missing folder",
       {"--output", "missing/out.txt", "--table", "table.txt", "--csv", "steps.csv"},
       {},
       {"table.txt", "steps.csv"},
       {76}},
      {"result file interval overflows",
       {"--output-interval", "1e6", "--output", "out.txt", "--table", "table.txt", "--summary",
        "summary.txt"},
       {{InputId::OutputInterval, "1e6"}},
       {"table.txt", "summary.txt"},
       {6}},
      {"three of four fail",
       {"--output", "missing/out.txt", "--first-output-step", "0", "--table", "table.txt",
        "--summary", "missing/summary.txt", "--csv", "steps.csv"},
       {{InputId::FirstOutputStep, "0"}},
       {"steps.csv"},
       {76, 9, 76}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(work_);
    fs::create_directory(work_);
    std::vector<std::string> args = Args({});
    args.insert(args.end(), c.words.begin(), c.words.end());
    ProcessResult r = Kelvane(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ErrorNumbers(r.err), c.errors) << r.err;
    EXPECT_EQ(WorkFiles(), c.written);

    // What is written is what the libraries give for the same texts.
    const InputTexts texts = TextsWith(c.boxes);
    CompletedRun run = CalculateRun(texts);
    if (c.written.contains("out.txt")) {
      EXPECT_TRUE(SameBytes(ReadFile(work_ / "out.txt"), ResultFileBytes(run)));
    }
    if (c.written.contains("table.txt")) {
      const TableRange range =
          ReadTableRange(texts[InputId::FirstOutputStep], texts[InputId::LastOutputStep],
                         texts[InputId::OutputInterval]);
      EXPECT_TRUE(
          SameBytes(ReadFile(work_ / "table.txt"), ResultsTableText(run.run, range, NoProgress())));
    }
    if (c.written.contains("summary.txt")) {
      EXPECT_TRUE(SameBytes(ReadFile(work_ / "summary.txt"),
                            SummaryText(SummarizeRun(run.run, run.outcome), run.run)));
    }
    if (c.written.contains("steps.csv")) {
      EXPECT_TRUE(SameBytes(ReadFile(work_ / "steps.csv"),
                            Collect([&](const ByteWriter& write) { WriteCsv(run.run, write); })));
    }
  }
}

// Each text output, to standard output and to a file, is what the in-process
// builder gives for the same run.
TEST_F(BatchProcess, TextOutputsToStandardOutputAndFiles) {
  struct Case {
    std::string option;
    std::function<std::string(CompletedRun&)> expected;
  };
  const Case cases[] = {
      {"--table",
       [](CompletedRun& c) {
         const InputTexts t = DefaultInputTexts();
         const TableRange range = ReadTableRange(
             t[InputId::FirstOutputStep], t[InputId::LastOutputStep], t[InputId::OutputInterval]);
         return ResultsTableText(c.run, range, NoProgress());
       }},
      {"--summary",
       [](CompletedRun& c) { return SummaryText(SummarizeRun(c.run, c.outcome), c.run); }},
      {"--csv",
       [](CompletedRun& c) {
         return Collect([&](const ByteWriter& write) { WriteCsv(c.run, write); });
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    CompletedRun run = CalculateRun(DefaultInputTexts());
    std::string expected = c.expected(run);
    ProcessResult toStdout = Kelvane(Args({c.option, "-"}));
    EXPECT_EQ(toStdout.status, 0) << toStdout.err;
    EXPECT_EQ(toStdout.err, "");
    EXPECT_TRUE(SameBytes(toStdout.out, expected));
    ProcessResult toFile = Kelvane(Args({c.option + "=report"}));
    EXPECT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_EQ(toFile.out, "");
    EXPECT_TRUE(SameBytes(ReadFile(work_ / "report"), expected));
    fs::remove(work_ / "report");
  }
}

TEST_F(BatchProcess, AllOutputsOfOneRun) {
  ProcessResult r = Kelvane(Args({"--summary", "summary.txt", "--csv", "steps.csv", "--output",
                                  "out.txt", "--table", "table.txt", "--segment-count", "7"}));
  EXPECT_EQ(r.status, 0) << r.err;
  CompletedRun c = CalculateRun(TextsWith({{InputId::SegmentCount, "7"}}));
  EXPECT_TRUE(SameBytes(ReadFile(work_ / "out.txt"), ResultFileBytes(c)));
  EXPECT_TRUE(SameBytes(ReadFile(work_ / "summary.txt"),
                        SummaryText(SummarizeRun(c.run, c.outcome), c.run)));
  EXPECT_TRUE(SameBytes(ReadFile(work_ / "steps.csv"),
                        Collect([&](const ByteWriter& write) { WriteCsv(c.run, write); })));
  EXPECT_EQ(WorkFiles(),
            (std::set<std::string>{"out.txt", "summary.txt", "steps.csv", "table.txt"}));
}

// Standard output redirected by the shell to a file that holds a line, and
// named as a file: the result file and the summary follow that line, in
// order; the file is neither replaced nor cut.
TEST_F(BatchProcess, StandardOutputNamedAsAFileIsWrittenInPlaceInOrder) {
  CompletedRun c = CalculateRun(DefaultInputTexts());
  const std::string expected =
      "header\n" + ResultFileBytes(c) + SummaryText(SummarizeRun(c.run, c.outcome), c.run);
  for (const std::string name : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
    SCOPED_TRACE(name);
    const std::string command = "cd '" + work_.string() + "' && echo header > log && '" +
                                KELVANE_EXE + "' --batch --output " + name + " --summary - >> log";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(SameBytes(ReadFile(work_ / "log"), expected));
    EXPECT_EQ(WorkFiles(), std::set<std::string>{"log"});
  }
}

TEST_F(BatchProcess, FullStandardOutputIsAnError) {
  ProcessResult r = Kelvane(Args({"--table", "-"}), "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(FirstLine(r.err),
            "运行时错误 '61': " + std::string(ErrorDescription(ErrorCode::DiskFull)));
}

// On a terminal the writing is followed by a bar that is wiped at the end;
// elsewhere standard error stays empty (the other tests).
TEST_F(BatchProcess, ProgressBarOnATerminalOnly) {
  int master = -1, terminal = -1;
  ASSERT_EQ(::openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
  int null = ::open("/dev/null", O_WRONLY);
  pid_t pid = Start(Args({"--output", "out.txt"}), null, terminal);
  ::close(null);
  ::close(terminal);
  std::string drawn;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) != 0;) {
    if (n > 0) {
      drawn.append(buffer, n);
    } else if (errno != EINTR) {
      break;  // EIO once the child has closed the terminal
    }
  }
  ::close(master);
  EXPECT_EQ(WaitForExit(pid), 0);
  // The bar follows the steps written: the last line is step 1496 of 1500.
  EXPECT_NE(drawn.find("进度 ["), std::string::npos) << drawn;
  EXPECT_NE(drawn.find("] 99%"), std::string::npos) << drawn;
  std::size_t wipe = drawn.rfind('\r', drawn.size() - 2);
  ASSERT_NE(wipe, std::string::npos);
  EXPECT_EQ(drawn.find_first_not_of(' ', wipe + 1), drawn.size() - 1) << "bar left on the line";
  EXPECT_EQ(CountCrLf(ReadFile(work_ / "out.txt")), 302);
}

TEST_F(BatchProcess, HelpListsEveryBoxWithCaptionUnitAndDefault) {
  ProcessResult r = Kelvane({"--batch", "--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  for (const InputField& field : InputFields()) {
    std::size_t at = r.out.find(std::string("--") + field.option + " ");
    ASSERT_NE(at, std::string::npos) << field.option;
    std::string line = r.out.substr(at, r.out.find('\n', at) - at);
    EXPECT_NE(line.find(field.caption), std::string::npos) << line;
    EXPECT_NE(line.find(field.unit), std::string::npos) << line;
    EXPECT_TRUE(line.ends_with(std::string("默认 ") + field.defaultText)) << line;
  }
  for (const char* option :
       {"--output ", "--table ", "--plot ", "--history-plot ", "--envelope-plot ", "--nodes ",
        "--quantity ", "--summary ", "--csv "}) {
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  }
  EXPECT_TRUE(WorkFiles().empty());
}

#ifdef KELVANE_TEST_WITH_UI
// The charts of the windows as images: PNG or SVG by the name, complete
// files, nothing printed; a node beyond the grid is error 9 and writes no
// file, while the other image still is written.
TEST_F(BatchProcess, ChartImagesArePngOrSvgByTheirNames) {
  ProcessResult r = Kelvane(Args({"--history-plot", "h.png", "--nodes", "1,6", "--quantity",
                                  "discharge", "--envelope-plot", "e.svg"}));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string png = ReadFile(work_ / "h.png");
  EXPECT_TRUE(png.starts_with("\x89PNG\r\n\x1a\n"));
  EXPECT_NE(png.find("IEND"), std::string::npos);
  const std::string svg = ReadFile(work_ / "e.svg");
  EXPECT_TRUE(svg.starts_with("<?xml")) << svg.substr(0, 80);
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_TRUE(svg.ends_with("</svg>\n")) << svg.substr(svg.size() - 40);
  EXPECT_NE(svg.find("最高水头"), std::string::npos);  // the legend, as text

  fs::remove(work_ / "h.png");
  r = Kelvane(Args({"--history-plot", "h.png", "--nodes", "7", "--envelope-plot", "e2.png"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.starts_with("运行时错误 '9'")) << r.err;
  EXPECT_FALSE(fs::exists(work_ / "h.png"));
  EXPECT_TRUE(ReadFile(work_ / "e2.png").starts_with("\x89PNG"));
}

TEST_F(BatchProcess, PlotIsSavedAsPng) {
  ProcessResult r = Kelvane(Args({"--plot", "level.png"}));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadFile(work_ / "level.png").starts_with("\x89PNG\r\n\x1a\n"));
}
#endif

}  // namespace
}  // namespace kelvane::test
