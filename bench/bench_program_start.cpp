// The start of the program: `kelvane --batch --output FILE` on the defaults,
// from process start to exit, against starting /bin/true. The two are run in
// turn, so that a change in the machine's load falls on both alike; the
// counters are the medians of each and their difference, in milliseconds.
// KELVANE_BENCH_PROGRAM names another build of the program to time instead
// (an earlier one, for a before-and-after).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Milliseconds from starting `words` to its end, its standard output sent to
// /dev/null; negative when it could not be run or did not exit with 0.
double TimeProcess(const std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  const int failed = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return -1.0;
  int status = 0;
  ::waitpid(child, &status, 0);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? took.count() : -1.0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void BM_BatchStart(benchmark::State& state) {
  char folderName[] = "/tmp/kelvane-bench-XXXXXX";
  if (::mkdtemp(folderName) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::filesystem::path folder(folderName);
  const std::vector<std::string> baseline = {"/bin/true"};
  const char* other = std::getenv("KELVANE_BENCH_PROGRAM");
  const std::vector<std::string> batch = {other != nullptr ? other : KELVANE_EXE, "--batch",
                                          "--output", (folder / "r.txt").string()};
  std::vector<double> baselineTimes, batchTimes;
  for (auto _ : state) {
    baselineTimes.push_back(TimeProcess(baseline));
    batchTimes.push_back(TimeProcess(batch));
    if (baselineTimes.back() < 0 || batchTimes.back() < 0) {
      state.SkipWithError("a process failed");
      break;
    }
  }
  std::filesystem::remove_all(folder);
  if (batchTimes.empty() || batchTimes.back() < 0) return;
  const double trueMs = Median(baselineTimes), batchMs = Median(batchTimes);
  state.counters["true_ms"] = trueMs;
  state.counters["batch_ms"] = batchMs;
  state.counters["above_true_ms"] = batchMs - trueMs;
}
BENCHMARK(BM_BatchStart)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
