// The program's start: the batch mode loads no part of the window toolkit,
// and without a display the program explains itself instead of aborting.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs the program with `args` in an environment without any display.
Outcome RunWithoutDisplay(const std::vector<std::string>& args) {
  int out[2], err[2];
  EXPECT_EQ(::pipe(out), 0);
  EXPECT_EQ(::pipe(err), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    std::vector<char*> argv{const_cast<char*>(KELVANE_EXE)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(KELVANE_EXE, argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  Outcome outcome;
  auto drain = [](int fd, std::string& into) {
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) into.append(buffer, n);
    ::close(fd);
  };
  drain(out[0], outcome.out);
  drain(err[0], outcome.err);
  int status = 0;
  ::waitpid(child, &status, 0);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return outcome;
}

TEST(ProgramStart, WithoutADisplayItExplainsAndExitsTwo) {
  struct Row {
    std::vector<std::string> args;
    int status;
    const char* says;  // on standard error, or standard output for status 0
  };
  const Row rows[] = {
      {{}, 2, "没有图形显示"},
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
    if (maps.find("libc.so") != std::string::npos) break;
    ::usleep(20000);
  }
  EXPECT_NE(maps.find("libc.so"), std::string::npos) << "no memory map read";
  EXPECT_EQ(maps.find("libQt6"), std::string::npos) << maps;
  EXPECT_EQ(maps.find("kelvane-windows"), std::string::npos) << maps;

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
