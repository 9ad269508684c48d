// SIGINT and SIGTERM (a cluster's time limit arrives as SIGTERM) while a
// design study runs: the first one is noted for the study to stop at, and
// keep its rows; a second one ends the process at once, as without this.
#pragma once

#include <atomic>

namespace kelvane {

// Catches both signals from here on; the flag holds the number of the first
// signal caught, 0 before.
const std::atomic<int>& CatchInterrupts();

// Ends the process as `signal` would have without CatchInterrupts (the
// shell sees 128 + signal).
[[noreturn]] void EndBySignal(int signal);

// The signal's name for a message: "SIGINT", "SIGTERM".
const char* SignalName(int signal);

}  // namespace kelvane
