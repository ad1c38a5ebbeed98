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

}  // namespace rigwright::cli
