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
  std::signal(signal, NoteSignal);  // the handler is reset before it runs
#endif
}

// The signals a study stops at.
constexpr int kStops[] = {
    SIGINT,
    SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
};

}  // namespace

const std::atomic<int>& CatchInterrupts() {
  for (int signal : kStops) {
#ifdef _WIN32
    std::signal(signal, NoteSignal);
#else
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int other : kStops) sigaddset(&action.sa_mask, other);
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

const char* SignalName(int signal) {
#ifdef SIGHUP
  if (signal == SIGHUP) return "SIGHUP";
#endif
  return signal == SIGINT ? "SIGINT" : "SIGTERM";
}

}  // namespace kelvane
