// kelvane.exe as a user runs it on Windows (here under Wine): Chinese folder
// and file names for every option that takes a file, standard output byte
// for byte when redirected, and the hand-over to the GUI program.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/utf16_win32.h"
#include "support/child_process_win32.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using test::BuiltProgram;
using test::ReadWholeFile;
using test::RunWindowsProcess;

const std::string kKelvane = BuiltProgram(KELVANE_EXE);
const std::string kHandOver = BuiltProgram(KELVANE_HANDOVER_PARENT);

class WindowsProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              (L"kelvane 程序-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Name(const std::wstring& name) const {
    return WideToUtf8((folder_ / name).wstring());
  }
  std::string Bytes(const std::wstring& name) const { return ReadWholeFile(folder_ / name); }

  fs::path folder_;
};

TEST_F(WindowsProgram, EveryFileOptionTakesAChineseFolderAndName) {
  // The outputs of one run, and the case file it saves.
  const test::WindowsProcessResult run = RunWindowsProcess(
      {kKelvane, "--batch", "--save-case", Name(L"算例.toml"), "--output", Name(L"结果.txt"),
       "--table", Name(L"查询表.txt"), "--summary", Name(L"概要.txt"), "--csv", Name(L"数据.csv")});
  ASSERT_EQ(run.status, 0u) << run.err;
  for (const wchar_t* name : {L"算例.toml", L"结果.txt", L"查询表.txt", L"概要.txt", L"数据.csv"})
    EXPECT_FALSE(Bytes(name).empty()) << WideToUtf8(name);
  EXPECT_TRUE(Bytes(L"结果.txt").starts_with("\xd4\xcb\xcb\xe3\xbd\xe1\xb9\xfb"));  // GBK title

  // The case file read back gives the same result file.
  const test::WindowsProcessResult again = RunWindowsProcess(
      {kKelvane, "--batch", "--case", Name(L"算例.toml"), "--output", Name(L"结果二.txt")});
  ASSERT_EQ(again.status, 0u) << again.err;
  EXPECT_EQ(Bytes(L"结果二.txt"), Bytes(L"结果.txt"));

  // A case table in, the study's rows and summary out.
  {
    std::FILE* table = ::_wfopen((folder_ / L"案例表.csv").c_str(), L"wb");
    ASSERT_NE(table, nullptr);
    std::fputs("steady-discharge\n41.6\n30\n", table);
    std::fclose(table);
  }
  const test::WindowsProcessResult study =
      RunWindowsProcess({kKelvane, "--batch", "--cases", Name(L"案例表.csv"), "--sweep-csv",
                         Name(L"研究.csv"), "--summary", Name(L"研究概要.txt"), "--jobs", "2"});
  ASSERT_EQ(study.status, 0u) << study.err;
  EXPECT_FALSE(Bytes(L"研究.csv").empty());
  EXPECT_FALSE(Bytes(L"研究概要.txt").empty());
}

// What goes to a redirected standard output is the file's bytes: no CR added
// before LF, nothing converted.
TEST_F(WindowsProgram, RedirectedStandardOutputIsTheFileByteForByte) {
  const struct {
    const char* option;
    const wchar_t* file;
  } outputs[] = {{"--table", L"表.txt"}, {"--summary", L"概要.txt"}, {"--csv", L"数据.csv"}};
  for (const auto& output : outputs) {
    const auto toFile = RunWindowsProcess({kKelvane, "--batch", output.option, Name(output.file)});
    const auto toOut = RunWindowsProcess({kKelvane, "--batch", output.option, "-"});
    ASSERT_EQ(toFile.status, 0u) << toFile.err;
    ASSERT_EQ(toOut.status, 0u) << toOut.err;
    EXPECT_FALSE(toOut.out.empty());
    EXPECT_EQ(toOut.out, Bytes(output.file)) << output.option;
  }
}

// Messages are UTF-8 Chinese, and a usage error exits 2.
TEST_F(WindowsProgram, ChineseMessagesOnStandardError) {
  const auto unknown = RunWindowsProcess({kKelvane, "--batch", "--未知"});
  EXPECT_EQ(unknown.status, 2u);
  EXPECT_NE(unknown.err.find("--未知"), std::string::npos) << unknown.err;
  const auto missing =
      RunWindowsProcess({kKelvane, "--batch", "--output", Name(L"没有的文件夹\\结果.txt")});
  EXPECT_EQ(missing.status, 1u);
  EXPECT_NE(missing.err.find("76"), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find(Name(L"没有的文件夹\\结果.txt")), std::string::npos) << missing.err;
}

// kelvane.exe starts kelvane-gui.exe with its own command line and
// standard handles, waits, and ends with the child's exit status.
TEST_F(WindowsProgram, HandOverPassesArgumentsStreamsAndExitStatus) {
  const std::vector<std::vector<std::string>> commands = {
      {"0"},
      {"中文 参数", "a\"b", "c:\\目录\\", "7"},
      {"--batch", "--plot", "图.png", "255"},
      {"", "300"},
  };
  for (const std::vector<std::string>& arguments : commands) {
    std::vector<std::string> words{kHandOver};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const auto result = RunWindowsProcess(words);
    std::string expected;
    for (const std::string& argument : arguments) expected += argument + "\n";
    EXPECT_EQ(result.status, static_cast<DWORD>(std::stoi(arguments.back()))) << result.err;
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.err, "child on standard error\n");
  }
}

TEST_F(WindowsProgram, HandOverWithoutTheGuiProgramIs53) {
  const fs::path alone = folder_ / L"kelvane.exe";
  fs::copy_file(fs::path(Utf8ToWide(kHandOver)), alone);
  const auto result = RunWindowsProcess({WideToUtf8(alone.wstring()), "x"});
  EXPECT_EQ(result.status, 100u);
  EXPECT_EQ(result.err, "53 " + Name(L"kelvane-gui.exe") + "\n");
}

}  // namespace
}  // namespace kelvane
