// The files a command reads, as a user meets their faults: every option that
// reads a file names it and the reason, in Chinese, as a usage error; no
// output may replace a file the command reads; a case text holds no control
// character; echoed texts are printable; a file in another encoding is named
// as such. The built program runs as a child process.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

using kelvane::test::ProcessResult;
using kelvane::test::ReadFile;
using kelvane::test::WriteFile;

constexpr const char* kTable = "forebay-area,step-count\n600,30\n700,30\n";
constexpr const char* kCase = "format-version = 1\n[inputs]\nstep-count = \"30\"\n";

// A command and a piece of the message that refuses it.
struct Refusal {
  std::vector<std::string> args;
  std::string fragment;
};

class FileInputs : public ::testing::Test {
 protected:
  FileInputs() {
    WriteFile(dir_ / "cases.csv", kTable);
    WriteFile(dir_ / "case.toml", kCase);
  }

  ProcessResult Batch(std::vector<std::string> args) {
    args.insert(args.begin(), {KELVANE_EXE, "--batch"});
    return kelvane::test::RunProcess(args, {.folder = dir_});
  }

  // The command is refused as a usage error whose message holds `fragment`,
  // nothing is written, and the folder keeps only `files` with their bytes.
  void ExpectRefused(const std::vector<std::string>& args, const std::string& fragment) {
    const ProcessResult r = Batch(args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(fragment), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("terminate"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << "an escape reached the terminal";
    EXPECT_EQ(ReadFile(dir_ / "cases.csv"), kTable);
    EXPECT_EQ(ReadFile(dir_ / "case.toml"), kCase);
  }
  void ExpectEachRefused(const std::vector<Refusal>& refusals) {
    for (const Refusal& refusal : refusals) {
      SCOPED_TRACE(refusal.args.back());
      ExpectRefused(refusal.args, refusal.fragment);
    }
  }

  kelvane::test::TempDir dir_{"kelvane-inputs"};
};

// Every option that reads a file, each with a file that cannot be read.
TEST_F(FileInputs, EveryReadingOptionNamesTheFileAndTheReason) {
  fs::create_directory(dir_ / "folder");
  fs::create_symlink("loop", dir_ / "loop");
  struct Reader {
    std::vector<std::string> before;  // the option, after what it needs
    std::string what;                 // how its message names the file
  };
  const Reader readers[] = {{{"--case"}, "算例文件"},
                            {{"--sweep", "step-count=30", "--cases"}, "案例文件"},
                            {{"--pump-schedule-file"}, "--pump-schedule-file 的文件"},
                            {{"--forebay-area-table-file"}, "--forebay-area-table-file 的文件"}};
  struct Fault {
    std::string file;
    std::string reason;
  };
  const Fault faults[] = {
      {"folder", "是一个文件夹"},
      {"nosuch.csv", "文件不存在"},
      {"loop", "符号链接层数过多"},
      {"/proc/self/mem", "输入/输出错误"},
  };
  for (const Reader& reader : readers) {
    for (const Fault& fault : faults) {
      SCOPED_TRACE(reader.before.back() + " " + fault.file);
      std::vector<std::string> args = reader.before;
      args.push_back(fault.file);
      ExpectRefused(args, reader.what + " “" + fault.file + "”：" + fault.reason);
    }
  }
  // A device without end: refused at once, its line never held whole.
  const auto start = std::chrono::steady_clock::now();
  ExpectRefused({"--cases", "/dev/zero"}, "案例文件 “/dev/zero” 第 1 行：一行超过 64 KiB");
  ExpectRefused({"--case", "/dev/zero"}, "算例文件 “/dev/zero”：文件太大");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(FileInputs, OutputsNeverReplaceAFileTheCommandReads) {
  fs::create_symlink("cases.csv", dir_ / "link.csv");
  fs::create_symlink("cases.csv", dir_ / "plot.svg");
  const std::vector<Refusal> rows = {
      {{"--cases", "cases.csv", "--sweep-csv", "cases.csv"}, "--sweep-csv 会覆盖 --cases"},
      {{"--cases", "cases.csv", "--summary", "cases.csv"}, "--summary 会覆盖 --cases"},
      {{"--cases", "cases.csv", "--summary", "./cases.csv"}, "--summary 会覆盖 --cases"},
      {{"--cases", "link.csv", "--sweep-csv", "cases.csv"}, "--sweep-csv 会覆盖 --cases"},
      {{"--cases", "cases.csv", "--sweep-plot", "plot.svg"}, "--sweep-plot 会覆盖 --cases"},
      {{"--case", "case.toml", "--cases", "cases.csv", "--sweep-csv", "case.toml"},
       "--sweep-csv 会覆盖 --case"},
      {{"--case", "case.toml", "--summary", "case.toml"}, "--summary 会覆盖 --case"},
      {{"--case", "case.toml", "--csv", "./case.toml"}, "--csv 会覆盖 --case"},
      {{"--pump-schedule-file", "cases.csv", "--table", "cases.csv"},
       "--table 会覆盖 --pump-schedule-file"},
  };
  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.args.back());
    ExpectRefused(row.args, row.fragment);
    EXPECT_EQ(std::set<fs::path>(fs::directory_iterator(dir_), {}),
              (std::set<fs::path>{dir_ / "cases.csv", dir_ / "case.toml", dir_ / "link.csv",
                                  dir_ / "plot.svg"}));
  }
}

TEST_F(FileInputs, CaseTextsHoldNoControlCharacter) {
  WriteFile(dir_ / "break.csv", "forebay-area,step-count\n600,30\n\"6\n00\",30\n");
  WriteFile(dir_ / "tab.csv", "forebay-area,step-count\n600,30\n面积\t600,30\n");
  WriteFile(dir_ / "escape.csv", "forebay\x1b[31m-area\n600\n");
  WriteFile(dir_ / "break.toml", "[inputs]\nstep-count = \"30\"\nforebay-area = \"6\\n00\"\n");
  WriteFile(dir_ / "nul.toml", "[pump]\nschedule = [[\"0\", \"4\\u0000\"]]\n");
  const std::vector<Refusal> rows = {
      {{"--cases", "break.csv"}, "案例文件 “break.csv” 第 3 行第 3 列：引号未闭合，单元格不能跨行"},
      {{"--cases", "tab.csv"}, "案例文件 “tab.csv” 第 3 行第 3 列：有控制字符 \\t"},
      {{"--cases", "escape.csv"}, "案例文件 “escape.csv” 第 1 行第 8 列：有控制字符 \\x1b"},
      {{"--sweep", "forebay-area=600,6\n00"}, "--sweep forebay-area= 第 19 列有控制字符 \\n"},
      {{"--case", "break.toml"},
       "算例文件 “break.toml” 第 3 行第 16 列：“inputs.forebay-area” 的文字含控制字符 \\n"},
      {{"--case", "nul.toml"},
       "算例文件 “nul.toml” 第 2 行第 19 列：“pump.schedule” 的文字含控制字符 \\0"},
  };
  ExpectEachRefused(rows);
}

TEST_F(FileInputs, EchoedTextsArePrintableAndShort) {
  // A header of 200 000 characters is echoed as its first few.
  WriteFile(dir_ / "long.csv", std::string(200'000, 'a') + "\n1\n");
  ExpectRefused({"--cases", "long.csv"}, "第 1 行：一行超过 64 KiB");
  WriteFile(dir_ / "wide.csv", std::string(60'000, 'a') + "\n1\n");
  const ProcessResult wide = Batch({"--cases", "wide.csv"});
  EXPECT_NE(wide.err.find("表头 “" + std::string(48, 'a') + "…” 不是输入选项"), std::string::npos)
      << wide.err.substr(0, 300);
  EXPECT_LT(wide.err.size(), 400u);
}

TEST_F(FileInputs, FilesInOtherEncodingsAreNamedAsSuch) {
  WriteFile(dir_ / "utf16.csv", std::string("\xFF\xFE"
                                            "f\0o\0r\0\n\0",
                                            10));
  WriteFile(dir_ / "utf16-no-mark.csv", std::string("f\0o\0r\0e\0b\0\n\0", 12));
  WriteFile(dir_ / "gbk.csv", "forebay-area\n600\xC3\xE6\xBB\xFD\n");
  WriteFile(dir_ / "latin.csv", "forebay-area\n600 \xFFm\n");
  WriteFile(dir_ / "utf16.toml", std::string("\xFF\xFE[\0i\0n\0]\0", 10));
  WriteFile(dir_ / "gbk.toml", "title = \"\xB0\xB8\xC0\xFD\"\n[inputs]\n");
  const std::vector<Refusal> rows = {
      {{"--cases", "utf16.csv"}, "“utf16.csv” 第 1 行：文件似乎是 UTF-16 编码，请另存为 UTF-8"},
      {{"--cases", "utf16-no-mark.csv"}, "文件似乎是 UTF-16 编码，请另存为 UTF-8"},
      {{"--cases", "gbk.csv"}, "“gbk.csv” 第 2 行：文件似乎是 GBK 编码，请另存为 UTF-8"},
      {{"--cases", "latin.csv"}, "“latin.csv” 第 2 行第 5 列：不是有效的 UTF-8 文本"},
      {{"--case", "utf16.toml"}, "算例文件 “utf16.toml”：文件似乎是 UTF-16 编码，请另存为 UTF-8"},
      {{"--case", "gbk.toml"}, "算例文件 “gbk.toml”：文件似乎是 GBK 编码，请另存为 UTF-8"},
  };
  ExpectEachRefused(rows);
}

// Table files: quoted numbers are numbers, a first row is a heading only
// without any digit (and is named in a note), and a first row of digits that
// are no numbers is refused at its cell.
TEST_F(FileInputs, TableFilesKeepTheirFirstPoint) {
  struct Row {
    std::string option, bytes, same;  // the file option, its bytes, the same table as an option
    bool heading;
  };
  const Row rows[] = {
      {"--pump-schedule-file", "\"0\",\"41.6\"\n30,0\n", "0:41.6,30:0", false},
      {"--pump-schedule-file", "时间,流量\n0,41.6\n30,0\n", "0:41.6,30:0", true},
      {"--forebay-area-table-file", "\"-10\",\"450\"\r\n0,2700\r\n", "-10:450,0:2700", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes);
    WriteFile(dir_ / "table.csv", row.bytes);
    const std::string text = row.option.substr(0, row.option.size() - 5);
    const ProcessResult file =
        Batch({"--step-count", "400", row.option, "table.csv", "--summary", "-"});
    const ProcessResult option = Batch({"--step-count", "400", text, row.same, "--summary", "-"});
    EXPECT_EQ(file.status, 0) << file.err;
    EXPECT_EQ(file.out, option.out);
    EXPECT_EQ(file.err.find("第 1 行 “时间,流量” 是表头，不作数据读入") != std::string::npos,
              row.heading)
        << file.err;
  }
  WriteFile(dir_ / "units.csv", "time (s),Q (m3/s)\n0,41.6\n");
  WriteFile(dir_ / "wide.csv", "\xEF\xBC\x90,41.6\n30,0\n");
  WriteFile(dir_ / "open.csv", "0,41.6\n30,\"0\n");
  ExpectEachRefused({
      {{"--pump-schedule-file", "units.csv"}, "泵流量过程第 1 行“时间 (s)”列：“time (s)”不是数"},
      {{"--pump-schedule-file", "wide.csv"}, "泵流量过程第 1 行“时间 (s)”列：“０”不是数"},
      {{"--pump-schedule-file", "open.csv"}, "泵流量过程第 2 行：引号未闭合"},
  });
}

// What the program writes, it reads: a case with a schedule of 50,001 rows
// (over 1 MiB as TOML) reads back and runs as the schedule file does.
TEST_F(FileInputs, ALargeSavedCaseReadsBack) {
  std::string rows;
  for (int k = 0; k <= 50'000; ++k)
    rows += std::to_string(k) + ".5," + (k < 25'000 ? "41.6" : "0") + "\n";
  WriteFile(dir_ / "long.csv", rows);
  const ProcessResult saved = Batch({"--step-count", "30", "--pump-schedule-file", "long.csv",
                                     "--save-case", "long.toml", "--summary", "-"});
  ASSERT_EQ(saved.status, 0) << saved.err;
  EXPECT_GT(fs::file_size(dir_ / "long.toml"), std::uintmax_t{1} << 20);
  const ProcessResult again = Batch({"--case", "long.toml", "--summary", "-"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, saved.out);
}

}  // namespace
