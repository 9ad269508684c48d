// The Windows file writer, file names in UTF-16 and the GBK converter, run
// under Wine: what differs from the POSIX build and must give the same files.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>

#include "files/gbk.h"
#include "files/output.h"
#include "files/utf16_win32.h"
#include "model/errors.h"
#include "support/child_process_win32.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;

// A folder of its own for every test, with a Chinese name and a blank in it.
class WindowsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              (L"kelvane 测试-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    for (const auto& entry : fs::directory_iterator(folder_))
      ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(folder_);
  }
  // The UTF-8 name of `name` in the test's folder, as the program gets it.
  std::string Name(const std::wstring& name) const {
    return WideToUtf8((folder_ / name).wstring());
  }
  // Writes `text` to `name`; the error number, or 0.
  static int Write(const std::string& name, const std::string& text) {
    try {
      WriteFileAtomically(name, [&](const ByteWriter& write) { write(text); });
    } catch (const RunError& error) {
      EXPECT_EQ(error.location().file, name);
      return error.number();
    }
    return 0;
  }
  std::set<std::wstring> Entries() const {
    std::set<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder_))
      names.insert(entry.path().filename().wstring());
    return names;
  }
  static void Put(const fs::path& path, const std::string& bytes) {
    std::FILE* out = ::_wfopen(path.c_str(), L"wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }

  fs::path folder_;
};

TEST_F(WindowsFiles, NewAndReplacedFilesUnderChineseNamesLeaveNoTemporary) {
  const std::string name = Name(L"计算结果.txt");
  ASSERT_EQ(Write(name, "first, rather longer text\r\n"), 0);
  EXPECT_EQ(ReadWholeFile(folder_ / L"计算结果.txt"), "first, rather longer text\r\n");
  ASSERT_EQ(Write(name, "second\r\n"), 0);
  EXPECT_EQ(ReadWholeFile(folder_ / L"计算结果.txt"), "second\r\n");
  EXPECT_EQ(Entries(), std::set<std::wstring>{L"计算结果.txt"});
  // Large pieces and many small ones reach the file in order.
  std::string large(3 << 20, 'x');
  large[0] = 'a';
  large.back() = 'z';
  ASSERT_EQ(Write(name, large), 0);
  EXPECT_EQ(ReadWholeFile(folder_ / L"计算结果.txt"), large);
}

TEST_F(WindowsFiles, FaultsAreNumberedAndLeaveTheOldFile) {
  const fs::path old = folder_ / L"旧.txt";
  Put(old, "old\r\n");
  fs::create_directory(folder_ / L"文件夹");
  Put(folder_ / L"只读.txt", "read-only\r\n");
  ::SetFileAttributesW((folder_ / L"只读.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  const struct {
    std::wstring name;
    int number;
  } cases[] = {
      {L"文件夹", 75},                  // a folder as the name
      {L"文件夹\\", 75},                // no file name at all
      {L"没有的文件夹\\结果.txt", 76},  // a missing folder
      {L"旧.txt\\结果.txt", 76},        // a file where a folder should be
      {L"只读.txt", 70},                // a read-only file is not replaced
  };
  for (const auto& c : cases) EXPECT_EQ(Write(Name(c.name), "new\r\n"), c.number) << Name(c.name);
  EXPECT_EQ(ReadWholeFile(old), "old\r\n");
  EXPECT_EQ(ReadWholeFile(folder_ / L"只读.txt"), "read-only\r\n");

  // A body that fails half way leaves the old file and no temporary file.
  EXPECT_THROW(WriteFileAtomically(WideToUtf8(old.wstring()),
                                   [](const ByteWriter& write) {
                                     write("half");
                                     throw std::runtime_error("stopped");
                                   }),
               std::runtime_error);
  EXPECT_EQ(ReadWholeFile(old), "old\r\n");
  EXPECT_EQ(Entries(), (std::set<std::wstring>{L"旧.txt", L"文件夹", L"只读.txt"}));
}

// A file another program holds open cannot be renamed over: it is rewritten
// in place when that program lets others write it, else the run ends with
// 70; the old bytes stay then, and no temporary file is left either way.
TEST_F(WindowsFiles, FileHeldOpenElsewhereIsRewrittenInPlaceOrRefused) {
  const struct {
    DWORD sharing;
    int number;
    const char* after;
  } cases[] = {
      {FILE_SHARE_READ | FILE_SHARE_WRITE, 0, "new\r\n"},
      {FILE_SHARE_READ, 70, "old, longer than the new text\r\n"},
  };
  for (const auto& c : cases) {
    const fs::path path = folder_ / L"打开的.csv";
    Put(path, "old, longer than the new text\r\n");
    const HANDLE held =
        ::CreateFileW(path.c_str(), GENERIC_READ, c.sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Write(WideToUtf8(path.wstring()), "new\r\n"), c.number);
    ::CloseHandle(held);
    EXPECT_EQ(ReadWholeFile(path), c.after);
    EXPECT_EQ(Entries(), std::set<std::wstring>{L"打开的.csv"});
  }
}

// A leftover of a process that no longer runs is removed by the next write
// in its folder; one that a writer still holds open stays.
TEST_F(WindowsFiles, StaleTemporaryFilesGoOnesHeldOpenStay) {
  // No process has this number (process numbers are multiples of 4 below it).
  const std::wstring dead = L"4000000001";
  Put(folder_ / (L".kelvane-" + dead + L"-1.tmp"), "left over");
  Put(folder_ / (L".kelvane-" + dead + L"-2.tmp"), "still being written");
  Put(folder_ / L".kelvane-notanumber-3.tmp", "not ours");
  const HANDLE held =
      ::CreateFileW((folder_ / (L".kelvane-" + dead + L"-2.tmp")).c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_EQ(Write(Name(L"结果.txt"), "new\r\n"), 0);
  EXPECT_EQ(Entries(), (std::set<std::wstring>{L"结果.txt", L".kelvane-" + dead + L"-2.tmp",
                                               L".kelvane-notanumber-3.tmp"}));
  ::CloseHandle(held);
}

TEST_F(WindowsFiles, SameOutputFileKnowsNamesOfOneFile) {
  Put(folder_ / L"结果.txt", "x");
  Put(folder_ / L"其他.txt", "y");
  const struct {
    std::string first, second;
    bool same;
  } cases[] = {
      {Name(L"结果.txt"), Name(L"结果.TXT"), true},     // case does not count
      {Name(L"结果.txt"), Name(L".\\结果.txt"), true},  // another spelling
      {Name(L"结果.txt"), WideToUtf8(folder_.wstring()) + "/结果.txt", true},
      {Name(L"结果.txt"), Name(L"其他.txt"), false},
      {Name(L"新.csv"), Name(L"新.CSV"), true},  // not there yet
      {Name(L"新.csv"), Name(L"新2.csv"), false},
      {Name(L"结果.txt"), Name(L"新.csv"), false},  // one exists, one not
      {"/dev/stdout", "/dev/stdout", false},        // written one after the other
      {"NUL", "nul", false},                        // a device, in place
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameOutputFile(c.first, c.second), c.same) << c.first << " | " << c.second;
  }
}

// A device is written in place, never renamed over.
TEST_F(WindowsFiles, DeviceNamesAreWrittenInPlace) {
  EXPECT_EQ(Write("NUL", "discarded\r\n"), 0);
  EXPECT_EQ(Write(Name(L"NUL"), "discarded\r\n"), 0);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(WindowsFiles, ReadingByChineseName) {
  Put(folder_ / L"算例.toml", "bytes\r\n");
  std::FILE* in = OpenFileForReading(Name(L"算例.toml"));
  ASSERT_NE(in, nullptr);
  char buffer[16] = {};
  EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, in), 7u);
  std::fclose(in);
  EXPECT_EQ(OpenFileForReading(Name(L"没有.toml")), nullptr);
}

// Every character of the basic plane gives the bytes glibc's iconv gives on
// Linux (the table made at build time): the result file and every GBK text
// are the same on both systems.
TEST(WindowsGbk, EveryCharacterAsOnLinux) {
  std::FILE* table = std::fopen("gbk_reference.txt", "rb");
  ASSERT_NE(table, nullptr) << "gbk_reference.txt (made by gbk_reference.py) is missing";
  unsigned code = 0;
  char hex[16];
  int checked = 0, held = 0, wrong = 0;
  while (std::fscanf(table, "%x %15s", &code, hex) == 2) {
    std::string expected;
    if (hex[0] == '?') {
      expected = "?";
    } else {
      for (int i = 0; hex[i] && hex[i + 1]; i += 2)
        expected.push_back(static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
      ++held;
    }
    const std::wstring wide(1, static_cast<wchar_t>(code));
    const std::string got = ToGbk(WideToUtf8(wide));
    ++checked;
    if (got != expected && ++wrong <= 10) {
      ADD_FAILURE() << "U+" << std::hex << code << ": " << testing::PrintToString(got)
                    << " instead of " << testing::PrintToString(expected);
    }
  }
  std::fclose(table);
  EXPECT_EQ(checked, 0xFFFF - 0x800);  // U+0001 to U+FFFF but the surrogates
  EXPECT_GT(held, 21000);              // GBK's characters
  EXPECT_EQ(wrong, 0);
  // Beyond the basic plane nothing is GBK: one "?" a character.
  EXPECT_EQ(ToGbk("\xF0\xA0\x80\x80\xF0\x9F\x98\x80"), "??");
}

}  // namespace
}  // namespace kelvane
