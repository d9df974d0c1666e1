#include "QxLib/qxTerminationSignals.h"

#include <cerrno>
#include <csignal>
#include <iterator>
#include <mutex>
#include <signal.h>

namespace qx {

namespace {

constexpr int kHandledSignals[] = {SIGINT, SIGTERM};
struct sigaction g_previous[std::size(kHandledSignals)];
// Read by the signal handler, so a plain pointer set before the handlers.
void (*g_cleanup)() = nullptr;

void OnTerminationSignal(int signal, siginfo_t* info, void* context) {
  const int savedErrno = errno;
  g_cleanup();
  for (size_t i = 0; i < std::size(kHandledSignals); ++i) {
    if (kHandledSignals[i] != signal) {
      continue;
    }
    const struct sigaction& previous = g_previous[i];
    if (previous.sa_flags & SA_SIGINFO) {
      errno = savedErrno;
      previous.sa_sigaction(signal, info, context);
      return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
      errno = savedErrno;
      previous.sa_handler(signal);
      return;
    }
  }
  // Ends the process as the signal would have without us; the signal stays
  // blocked until this handler returns.
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(signal, &defaultAction, nullptr);
  raise(signal);
  errno = savedErrno;
}

void InstallHandlers() {
  for (size_t i = 0; i < std::size(kHandledSignals); ++i) {
    struct sigaction current {};
    if (sigaction(kHandledSignals[i], nullptr, &current) != 0) {
      continue;
    }
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) {
      continue;
    }
    g_previous[i] = current;
    struct sigaction action {};
    action.sa_sigaction = OnTerminationSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(kHandledSignals[i], &action, nullptr);
  }
}

} // namespace

void CallOnTermination(void (*cleanup)()) {
  static std::once_flag installed;
  std::call_once(installed, [cleanup] {
    g_cleanup = cleanup;
    InstallHandlers();
  });
}

} // namespace qx
