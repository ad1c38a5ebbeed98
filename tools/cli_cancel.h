// Stopping a long command cleanly: while a `CancelOnSignals` lives, Ctrl-C (SIGINT), SIGTERM and
// SIGHUP do not end the process but ask the running command to stop at its next step, so that it
// can put everything back and remove its temporary files before it exits.
#pragma once

namespace rigwright::cli {

class CancelOnSignals {
 public:
  CancelOnSignals();
  ~CancelOnSignals();  // restores the handlers that were there before
  CancelOnSignals(const CancelOnSignals&) = delete;
  CancelOnSignals& operator=(const CancelOnSignals&) = delete;
};

// Whether one of those signals has arrived (since the process started).
bool CancelRequested();
// The signal that asked to stop, 0 if none has.
int CancelSignal();

// Ends the process, once the cancelled command has cleaned up, the way `signal` would have ended
// it, so that a calling shell or script stops too: on POSIX the signal is raised again with its
// default action (a shell shows 128 + its number); on Windows, where the C library's default
// action exits with 3, the process exits with 130 as after Ctrl-C in a POSIX shell.
[[noreturn]] void EndAsCancelled(int signal);

}  // namespace rigwright::cli
