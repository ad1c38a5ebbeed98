#include "tools/cli_cancel.h"

#include <csignal>
#include <iterator>

namespace rigwright::cli {
namespace {

volatile std::sig_atomic_t requestedBy = 0;

extern "C" void OnCancelSignal(int signal) {
  if (requestedBy == 0) requestedBy = signal;
}

// A terminal closing (SIGHUP) and a service manager or `kill` (SIGTERM) must not leave a
// half-made export behind any more than Ctrl-C does. Windows knows neither: there a console's
// Ctrl-C arrives as SIGINT, its Ctrl-Break as SIGBREAK, and the C library never raises SIGTERM.
constexpr int kSignals[] = {
    SIGINT, SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
#ifdef SIGBREAK
    SIGBREAK,
#endif
};

using Handler = void (*)(int);
Handler previous[std::size(kSignals)];

}  // namespace

// The C library's signal() is used, not sigaction(), because Windows has only this one.
CancelOnSignals::CancelOnSignals() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    previous[i] = std::signal(kSignals[i], OnCancelSignal);
  }
}

CancelOnSignals::~CancelOnSignals() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    std::signal(kSignals[i], previous[i] == SIG_ERR ? SIG_DFL : previous[i]);
  }
}

bool CancelRequested() { return requestedBy != 0; }
int CancelSignal() { return requestedBy; }

}  // namespace rigwright::cli
