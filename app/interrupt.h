// SIGINT, SIGTERM and SIGHUP while a design study runs (a cluster's time
// limit arrives as SIGTERM, a closed terminal as SIGHUP, and `timeout` sends
// its signal to the process and then to its group): the first one is noted
// for the study to stop at, and keep its rows; any later one, of any of the
// three, changes nothing, so that no repetition abandons the rows being
// saved. The rows are on the disk within a second anyway.
#pragma once

#include <atomic>

namespace kelvane {

// Catches the three signals from here on; the flag holds the number of the first
// signal caught, 0 before.
const std::atomic<int>& CatchInterrupts();

// Ends the process as `signal` would have without CatchInterrupts (the
// shell sees 128 + signal).
[[noreturn]] void EndBySignal(int signal);

// The signal's name for a message: "SIGINT", "SIGTERM", "SIGHUP".
const char* SignalName(int signal);

}  // namespace kelvane
