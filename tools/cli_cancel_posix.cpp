#include <signal.h>
#include <unistd.h>

#include "tools/cli_cancel.h"

namespace rigwright::cli {

void EndAsCancelled(int signal) {
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
  sigset_t only;
  ::sigemptyset(&only);
  ::sigaddset(&only, signal);
  ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);  // not reached: the default action of each of these signals ends us
}

}  // namespace rigwright::cli
