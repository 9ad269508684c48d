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
#include <fstream>
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

// A new folder under /tmp; empty when none can be made.
std::filesystem::path TemporaryFolder() {
  char name[] = "/tmp/kelvane-bench-XXXXXX";
  return ::mkdtemp(name) == nullptr ? std::filesystem::path() : std::filesystem::path(name);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void BM_BatchStart(benchmark::State& state) {
  const std::filesystem::path folder = TemporaryFolder();
  if (folder.empty()) {
    state.SkipWithError("no temporary folder");
    return;
  }
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

// The calculation book of a station's twelve operating cases (three reservoir
// levels by a sudden stop, a ramped stop, a start and a ramped start) on the
// default grid, from the command to the PDF on disk: `kelvane --batch --case
// F --report R.pdf`, through the hand-over to the GUI program (offscreen).
void BM_TwelveCaseBook(benchmark::State& state) {
  const std::filesystem::path folder = TemporaryFolder();
  if (folder.empty()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  {
    std::ofstream file(folder / "cases.toml");
    file << "format-version = 1\ntitle = \"设计库水位事故停泵\"\n\n[design]\n"
            "forebay-wall-top = \"-2\"\nforebay-freeboard = \"0.5\"\npump-min-level = \"-6\"\n";
    const char* levels[][2] = {
        {"设计库水位", "-4.34"}, {"最高库水位", "-3.5"}, {"最低库水位", "-5"}};
    const char* events[][2] = {
        {"事故停泵", ""},
        {"正常停机", "pump-ramp-time = \"60\"\n"},
        {"开机", "steady-discharge = \"0\"\nfinal-pump-discharge = \"41.6\"\n"},
        {"缓慢开机",
         "steady-discharge = \"0\"\nfinal-pump-discharge = \"41.6\"\n"
         "pump-ramp-time = \"120\"\n"}};
    for (int l = 0; l < 3; ++l) {
      for (int e = 0; e < 4; ++e) {
        if (l == 0 && e == 0) continue;  // the base case
        file << "\n[[cases]]\nname = \"" << levels[l][0] << events[e][0]
             << "\"\nreservoir-level = \"" << levels[l][1] << "\"\n"
             << events[e][1];
      }
    }
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const char* other = std::getenv("KELVANE_BENCH_PROGRAM");
  const std::vector<std::string> book = {
      other != nullptr ? other : KELVANE_EXE, "--batch",  "--case",
      (folder / "cases.toml").string(),       "--report", (folder / "book.pdf").string()};
  std::vector<double> times;
  for (auto _ : state) {
    times.push_back(TimeProcess(book));
    if (times.back() < 0) {
      state.SkipWithError("the book was not written");
      break;
    }
  }
  std::filesystem::remove_all(folder);
  if (!times.empty() && times.back() >= 0) state.counters["book_ms"] = Median(times);
}
BENCHMARK(BM_TwelveCaseBook)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
