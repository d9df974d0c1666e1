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

// Hands the signal to the handler the process had before (`previous`, one
// per handled signal) or, when that was the default, ends the process as
// the signal would have; the signal stays blocked until the handler
// returns.
void PassOn(const struct sigaction* previous, int signal, siginfo_t* info, void* context, int savedErrno) {
  for (size_t i = 0; i < std::size(kHandledSignals); ++i) {
    if (kHandledSignals[i] != signal) {
      continue;
    }
    if (previous[i].sa_flags & SA_SIGINFO) {
      errno = savedErrno;
      previous[i].sa_sigaction(signal, info, context);
      return;
    }
    if (previous[i].sa_handler != SIG_DFL && previous[i].sa_handler != SIG_IGN) {
      errno = savedErrno;
      previous[i].sa_handler(signal);
      return;
    }
  }
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(signal, &defaultAction, nullptr);
  raise(signal);
  errno = savedErrno;
}

void OnTerminationSignal(int signal, siginfo_t* info, void* context) {
  const int savedErrno = errno;
  g_cleanup();
  PassOn(g_previous, signal, info, context, savedErrno);
}

volatile sig_atomic_t g_stopRequested = 0;
struct sigaction g_previousStop[std::size(kHandledSignals)];

void OnStopSignal(int signal, siginfo_t* info, void* context) {
  if (!g_stopRequested) {
    g_stopRequested = 1;
    return;
  }
  PassOn(g_previousStop, signal, info, context, errno);
}

// Installs `handler` for every handled signal the process does not ignore,
// keeping the handlers it replaces in `previousHandlers`.
void InstallHandlers(void (*handler)(int, siginfo_t*, void*), struct sigaction* previousHandlers) {
  for (size_t i = 0; i < std::size(kHandledSignals); ++i) {
    struct sigaction current {};
    if (sigaction(kHandledSignals[i], nullptr, &current) != 0) {
      continue;
    }
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) {
      continue;
    }
    previousHandlers[i] = current;
    struct sigaction action {};
    action.sa_sigaction = handler;
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
    InstallHandlers(OnTerminationSignal, g_previous);
  });
}

void StopOnTermination() {
  static std::once_flag installed;
  std::call_once(installed, [] { InstallHandlers(OnStopSignal, g_previousStop); });
}

bool TerminationRequested() { return g_stopRequested != 0; }

} // namespace qx
