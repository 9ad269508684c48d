#include "interrupt.h"

#include <csignal>
#include <cstdlib>

namespace kelvane {
namespace {

std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void NoteSignal(int signal) {
  int none = 0;
  caught.compare_exchange_strong(none, signal);
#ifdef _WIN32
  std::signal(signal, SIG_DFL);  // the handler runs once, as SA_RESETHAND
#endif
}

}  // namespace

const std::atomic<int>& CatchInterrupts() {
  for (int signal : {SIGINT, SIGTERM}) {
#ifdef _WIN32
    std::signal(signal, NoteSignal);
#else
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
#endif
  }
  return caught;
}

void EndBySignal(int signal) {
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  std::_Exit(128 + signal);  // where raising it does not end the process
}

const char* SignalName(int signal) { return signal == SIGINT ? "SIGINT" : "SIGTERM"; }

}  // namespace kelvane
