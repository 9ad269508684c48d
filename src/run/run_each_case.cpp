// Independent cases on the processors at once.
#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "run/run_case.h"

namespace kelvane {

std::vector<CaseRun> RunEachCase(std::span<const PreparedCase> cases, unsigned threads) {
  return RunEachCase(cases, threads, {});
}

std::vector<CaseRun> RunEachCase(std::span<const PreparedCase> cases, unsigned threads,
                                 const EachCaseControl& control) {
  std::vector<CaseRun> runs(cases.size());
  std::vector<std::exception_ptr> thrown(cases.size());
  // Whether each case ran: a stop seen by one helper leaves the cases the
  // others had already taken to run.
  std::vector<char> ran(cases.size(), 0);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < cases.size(); i = next++) {
      if (control.stop != nullptr && control.stop->load()) return;
      try {
        runs[i] = RunCase(cases[i]);
      } catch (...) {
        thrown[i] = std::current_exception();
      }
      ran[i] = 1;
      if (control.caseEnded) control.caseEnded();
    }
  };
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, cases.size()));
  {
    std::vector<std::jthread> helpers;
    for (unsigned k = 1; k < threads; ++k) helpers.emplace_back(work);
    work();
  }
  const auto first = static_cast<std::size_t>(std::find(ran.begin(), ran.end(), 0) - ran.begin());
  runs.resize(first);
  // What a case threw (memory that cannot be had), for the first such case.
  for (std::size_t i = 0; i < first; ++i)
    if (thrown[i]) std::rethrow_exception(thrown[i]);
  return runs;
}

}  // namespace kelvane
