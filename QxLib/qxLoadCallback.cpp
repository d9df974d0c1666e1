#include "QxLib/qxLoadCallback.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxProcess.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace qx {

namespace {

// Time that must pass between two yields in modes 1 and 2.
constexpr int64_t kYieldIntervalMs = 5;
std::atomic<int> g_mode{lcmNone};
// Shared by every loader thread; a stale value only delays one yield.
std::atomic<int64_t> g_lastYieldMs{0};

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::mutex g_modeLock;

bool YieldIfDue(bool sleep) {
  const int64_t now = NowMs();
  if (now - g_lastYieldMs.load(std::memory_order_relaxed) <= kYieldIntervalMs)
    return true;
  if (sleep)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  else
    std::this_thread::yield();
  g_lastYieldMs.store(NowMs(), std::memory_order_relaxed);
  return true;
}

} // namespace

void SetLoadCallbackMode(int mode) {
  QX_ASSERT(mode >= lcmNone && mode <= lcmCancel, "Invalid load callback mode " + std::to_string(mode));
  const std::lock_guard lock(g_modeLock);
  const int previous = g_mode.exchange(mode);
  g_lastYieldMs.store(NowMs(), std::memory_order_relaxed);
  if (previous == mode)
    return;
  if (mode == lcmSleep)
    RaiseProcessPriority();
  else if (previous == lcmSleep)
    RestoreProcessPriority();
}

int LoadCallbackMode() { return g_mode.load(std::memory_order_relaxed); }

bool CallLoadCallback() {
  switch (g_mode.load(std::memory_order_relaxed)) {
  case lcmYield: return YieldIfDue(false);
  case lcmSleep: return YieldIfDue(true);
  case lcmCancel: return false;
  default: return true;
  }
}

TLoadCallback ProcessLoadCallback() {
  return [] { return CallLoadCallback(); };
}

} // namespace qx
