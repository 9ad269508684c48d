// The built programs run as a user runs them, as child processes: what the
// process tests share.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kelvane::test {

struct ProcessResult {
  int status = -1;  // exit status; -1 if it did not exit normally
  int signal = 0;   // the signal that ended it, if one did
  std::string out;
  std::string err;
};

struct ProcessSetup {
  std::filesystem::path folder = {};  // the working folder; empty: the test's own
  std::vector<std::pair<std::string, std::string>> set = {};  // environment variables set
  std::vector<std::string> unset = {};                        // and removed
  std::filesystem::path input = {};  // the file on standard input; empty: the test's own
};

// Starts `words` (the program, then its arguments) with standard output and
// error on `outFd` and `errFd`.
inline pid_t StartProcess(const std::vector<std::string>& words, int outFd, int errFd,
                          const ProcessSetup& setup = {}) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int inFd = setup.input.empty() ? 0 : ::open(setup.input.c_str(), O_RDONLY);
    if (inFd < 0 || ::dup2(inFd, 0) < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0 ||
        (!setup.folder.empty() && ::chdir(setup.folder.c_str()) != 0)) {
      ::_exit(127);
    }
    for (const auto& [name, value] : setup.set) ::setenv(name.c_str(), value.c_str(), 1);
    for (const std::string& name : setup.unset) ::unsetenv(name.c_str());
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

// Waits, at most `timeout`, until process `pid` has its own handler for
// `signal` in place (SigCgt in /proc); false if it never had. Sent before, a
// signal ends the program by its default action, before it can do anything.
// (The test process, whose copy the child is until it starts the program,
// catches neither SIGINT nor SIGTERM.)
inline bool WaitUntilCatching(pid_t pid, int signal,
                              std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
  const std::string path = "/proc/" + std::to_string(pid) + "/status";
  const auto until = std::chrono::steady_clock::now() + timeout;
  do {
    std::ifstream status(path);
    for (std::string line; std::getline(status, line);) {
      if (line.starts_with("SigCgt:") &&
          (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0) {
        return true;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  } while (std::chrono::steady_clock::now() < until);
  return false;
}

// The exit status; -1 if the process did not exit normally.
inline int WaitForExit(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `words` to its end. Standard output goes to `stdoutPath` when given
// (a file or a device), otherwise it is caught, as standard error always is
// (in unnamed files, so the folders hold only what the program wrote).
// `during`, when given, is called with the process id once it has started
// (to signal it), and with standard error's descriptor.
inline ProcessResult RunProcess(const std::vector<std::string>& words,
                                const ProcessSetup& setup = {}, const std::string& stdoutPath = "",
                                const std::function<void(pid_t, int errFd)>& during = {}) {
  const std::string temporary = std::filesystem::temp_directory_path().string();
  const int out = stdoutPath.empty()
                      ? ::open(temporary.c_str(), O_TMPFILE | O_RDWR, 0600)
                      : ::open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = ::open(temporary.c_str(), O_TMPFILE | O_RDWR, 0600);
  ProcessResult result;
  if (out < 0 || err < 0) {
    result.err = "cannot open the files for standard output and error";
    return result;
  }
  const pid_t pid = StartProcess(words, out, err, setup);
  if (during) during(pid, err);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  const auto caught = [](int fd) {
    std::string text;
    char buffer[65536];
    ssize_t n;
    for (off_t at = 0; (n = ::pread(fd, buffer, sizeof buffer, at)) > 0; at += n) {
      text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
  };
  if (stdoutPath.empty()) result.out = caught(out);
  result.err = caught(err);
  ::close(out);
  ::close(err);
  return result;
}

}  // namespace kelvane::test
