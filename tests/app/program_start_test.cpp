// The program's start: the batch mode loads no part of the window toolkit,
// and without a display the program explains itself instead of aborting.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace {

using kelvane::test::ProcessResult;
using Outcome = ProcessResult;
using kelvane::test::ReadFile;
using kelvane::test::TempDir;

// Runs `program` with `args` in an environment without any display.
Outcome RunWithoutDisplay(const std::vector<std::string>& args,
                          const std::string& program = KELVANE_EXE) {
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  return kelvane::test::RunProcess(words,
                                   {.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}});
}

TEST(ProgramStart, WithoutADisplayItExplainsAndExitsTwo) {
  struct Row {
    std::vector<std::string> args;
    int status;
    const char* says;  // on standard error, or standard output for status 0
  };
  const Row rows[] = {
#ifdef KELVANE_TEST_WITH_UI
      {{}, 2, "没有图形显示"},
#else
      {{}, 2, "此版本不含窗口"},  // a build without the windows says so instead
#endif
      {{"--bacth"}, 2, "未知选项 “--bacth”"},
      {{"--batch=1"}, 2, "批处理模式写作 --batch"},
      {{"--help"}, 0, "kelvane --batch"},
      {{"--version"}, 0, "Kelvane "},
      {{"--batch", "--help"}, 0, "--forebay-area"},
  };
  for (const Row& row : rows) {
    const Outcome o = RunWithoutDisplay(row.args);
    const std::string args = row.args.empty() ? "(none)" : row.args[0];
    EXPECT_EQ(o.status, row.status) << args << "\n" << o.err;
    const std::string& text = row.status == 0 ? o.out : o.err;
    EXPECT_NE(text.find(row.says), std::string::npos) << args << "\n" << text;
  }
}

#ifdef KELVANE_TEST_WITH_UI
// The program copied alone into a folder, without the GUI program it
// passes windows and images to (a broken installation): those fail with a
// clear error and the other outputs are still written; a copy of the program
// under the GUI program's name is refused, not started over and over.
TEST(ProgramStart, WithoutTheGuiProgram) {
  namespace fs = std::filesystem;
  const TempDir folder("kelvane-alone");
  const std::string program = folder / "kelvane";
  fs::copy_file(KELVANE_EXE, program);
  const std::string result = folder / "r.txt", png = folder / "p.png";
  struct Row {
    bool copyAsWindows;
    std::vector<std::string> args;
    const char* says;
  };
  const Row rows[] = {
      {false, {"--batch", "--output", result, "--plot", png}, "运行时错误 '53'"},
      {false, {}, "未找到窗口程序"},
      {true, {"--batch", "--output", result, "--plot", png}, "运行时错误 '75'"},
  };
  for (const Row& row : rows) {
    fs::remove(result);
    if (row.copyAsWindows) fs::copy_file(program, folder / "kelvane-gui");
    const Outcome o = RunWithoutDisplay(row.args, program);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find(row.says), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("kelvane-gui"), std::string::npos) << o.err;
    if (!row.args.empty()) {
      EXPECT_TRUE(fs::exists(result)) << "the result file is written all the same";
      EXPECT_FALSE(fs::exists(png));
    }
  }
}

// The charts as SVG are written by the program itself: alone in a folder,
// without the GUI program, it writes them (either way of giving the
// name, any case of ".svg"); a PNG of the same chart still needs the windows
// program.
TEST(ProgramStart, ChartsAsSvgNeedNoGuiProgram) {
  namespace fs = std::filesystem;
  char folderName[] = "/tmp/kelvane-svg-XXXXXX";
  ASSERT_NE(::mkdtemp(folderName), nullptr);
  const fs::path folder(folderName);
  const std::string program = folder / "kelvane";
  fs::copy_file(KELVANE_EXE, program);
  const std::string h = folder / "h.svg", e = folder / "e.SVG", s = folder / "s.svg";
  struct Row {
    std::vector<std::string> args;
    std::string file;
  };
  const Row rows[] = {
      {{"--batch", "--step-count", "100", "--history-plot", h, "--nodes", "1,6",
        "--envelope-plot=" + e},
       h},
      {{"--batch", "--sweep", "forebay-area=600,900", "--sweep-plot", s}, s},
  };
  for (const Row& row : rows) {
    const Outcome o = RunWithoutDisplay(row.args, program);
    EXPECT_EQ(o.status, 0) << o.err;
    std::ifstream svg(row.file);
    std::string first;
    std::getline(svg, first);
    EXPECT_TRUE(first.starts_with("<?xml")) << row.file;
  }
  EXPECT_TRUE(fs::exists(e));
  const Outcome png =
      RunWithoutDisplay({"--batch", "--history-plot", (folder / "h.png").string()}, program);
  EXPECT_EQ(png.status, 1);
  EXPECT_NE(png.err.find("kelvane-gui"), std::string::npos) << png.err;
  fs::remove_all(folder);
}

// A command with an image is handed on before any file is read, so a case
// file that comes through a pipe is read once, by the program that runs it.
TEST(ProgramStart, CaseThroughAPipeWithAnImage) {
  namespace fs = std::filesystem;
  const TempDir folder("kelvane-pipe");
  const std::string exe = KELVANE_EXE, c = (folder / "a.toml").string();
  const std::string direct = (folder / "r1.txt").string(), piped = (folder / "r2.txt").string();
  ASSERT_EQ(std::system((exe + " --batch --step-count 300 --forebay-area 900 --save-case " + c +
                         " --output " + direct)
                            .c_str()),
            0);
  ASSERT_EQ(std::system(("cat " + c + " | " + exe + " --batch --case /dev/stdin --output " + piped +
                         " --plot " + (folder / "p.png").string())
                            .c_str()),
            0);
  const std::string first = ReadFile(direct);
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(first, ReadFile(piped));
  EXPECT_TRUE(fs::exists(folder / "p.png"));
}

// Images need no display: the charts are drawn on the offscreen platform
// whatever the environment says, and nothing is printed.
TEST(ProgramStart, ChartImagesWithoutADisplay) {
  const TempDir folder("kelvane-start");
  const std::string png = folder / "h.png", svg = folder / "e.svg";
  const Outcome o = RunWithoutDisplay(
      {"--batch", "--step-count", "200", "--history-plot", png, "--envelope-plot", svg});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  EXPECT_TRUE(ReadFile(png).starts_with("\x89PNG\r\n\x1a\n"));
  std::ifstream vector(svg);
  std::string first;
  std::getline(vector, first);
  EXPECT_TRUE(first.starts_with("<?xml")) << first;
}
#endif

// The result file goes to a pipe nobody reads yet, so the program stops in
// the middle of writing it: while it waits there, its memory map shows
// every library it has loaded, and none may be the toolkit's.
TEST(ProgramStart, BatchModeLoadsNoWindowToolkit) {
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::execl(KELVANE_EXE, KELVANE_EXE, "--batch", "--output-interval", "1", "--output",
            "/dev/stdout", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  // Wait until the pipe is full: the program is inside its result file.
  pollfd ready{out[0], POLLIN, 0};
  ASSERT_EQ(::poll(&ready, 1, 10000), 1);
  std::string maps;
  for (int attempt = 0; attempt < 50; ++attempt) {
    std::ifstream file("/proc/" + std::to_string(child) + "/maps");
    std::stringstream text;
    text << file.rdbuf();
    maps = text.str();
    if (maps.find(KELVANE_EXE) != std::string::npos) break;
    ::usleep(20000);
  }
  EXPECT_NE(maps.find(KELVANE_EXE), std::string::npos) << "no memory map read";
  EXPECT_EQ(maps.find("libQt6"), std::string::npos) << maps;
  EXPECT_EQ(maps.find("kelvane-gui"), std::string::npos) << maps;

  std::string file;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) file.append(buffer, n);
  ::close(out[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_GT(file.size(), 65536u);  // larger than the pipe: it did wait there
}

}  // namespace
