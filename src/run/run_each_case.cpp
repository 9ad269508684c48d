// Independent cases on the processors at once.
#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "run/run_case.h"

namespace kelvane {

std::vector<CaseRun> RunEachCase(std::span<const Case> cases, unsigned threads) {
  std::vector<CaseRun> runs(cases.size());
  std::vector<std::exception_ptr> thrown(cases.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < cases.size(); i = next++) {
      try {
        runs[i] = RunCase(PrepareCase(cases[i]));
      } catch (...) {
        thrown[i] = std::current_exception();
      }
    }
  };
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, cases.size()));
  {
    std::vector<std::jthread> helpers;
    for (unsigned k = 1; k < threads; ++k) helpers.emplace_back(work);
    work();
  }
  // What a case threw (memory that cannot be had), for the first such case.
  for (const std::exception_ptr& failure : thrown)
    if (failure) std::rethrow_exception(failure);
  return runs;
}

}  // namespace kelvane
