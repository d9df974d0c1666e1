#include "QxLib/qxLoadCallback.h"

#include "QxLib/qxExceptions.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/types.h>

namespace qx {

namespace {

// Time that must pass between two yields in modes 1 and 2.
constexpr int64_t kYieldIntervalMs = 5;
// Scheduling priority of the process while loading in mode 2 (the nice value
// of a high-priority process).
constexpr int kRaisedNice = -10;

std::atomic<int> g_mode{lcmNone};
// Shared by every loader thread; a stale value only delays one yield.
std::atomic<int64_t> g_lastYieldMs{0};

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Every thread of the process: on Linux the nice value belongs to each thread,
// so a process-wide change has to visit them all.
std::vector<id_t> ProcessThreads() {
  std::vector<id_t> threads;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
    char* end = nullptr;
    const std::string name = entry.path().filename().string();
    const long id = std::strtol(name.c_str(), &end, 10);
    if (end != name.c_str() && *end == '\0' && id > 0)
      threads.push_back(static_cast<id_t>(id));
  }
  return threads;
}

// Raises and restores the process's priority; serialises mode changes.
class TPriorityBoost {
public:
  void Raise() {
    if (m_raised)
      return;
    m_raised = true;
    m_normal = getpriority(PRIO_PROCESS, 0);
    for (const id_t thread : ProcessThreads()) {
      errno = 0;
      const int previous = getpriority(PRIO_PROCESS, thread);
      if ((previous == -1 && errno != 0) || previous <= kRaisedNice)
        continue;
      // Raising needs privileges the process may lack; then it keeps running
      // at its normal priority.
      if (setpriority(PRIO_PROCESS, thread, kRaisedNice) == 0)
        m_saved.emplace_back(thread, previous);
    }
  }

  void Restore() {
    if (!m_raised)
      return;
    m_raised = false;
    if (m_saved.empty())
      return;
    // Threads started meanwhile inherited the raised priority from their
    // creator; they go back to the process's normal one. A thread that has
    // ended makes its call fail harmlessly.
    for (const id_t thread : ProcessThreads()) {
      int target = m_normal;
      for (const auto& [saved, previous] : m_saved)
        if (saved == thread)
          target = previous;
      if (getpriority(PRIO_PROCESS, thread) == kRaisedNice)
        setpriority(PRIO_PROCESS, thread, target);
    }
    m_saved.clear();
  }

private:
  bool m_raised = false;
  int m_normal = 0;
  std::vector<std::pair<id_t, int>> m_saved;
};

std::mutex g_modeLock;
TPriorityBoost g_boost;

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
    g_boost.Raise();
  else if (previous == lcmSleep)
    g_boost.Restore();
}

int LoadCallbackMode() {
  return g_mode.load(std::memory_order_relaxed);
}

bool CallLoadCallback() {
  switch (g_mode.load(std::memory_order_relaxed)) {
  case lcmYield:
    return YieldIfDue(false);
  case lcmSleep:
    return YieldIfDue(true);
  case lcmCancel:
    return false;
  default:
    return true;
  }
}

TLoadCallback ProcessLoadCallback() {
  return [] { return CallLoadCallback(); };
}

} // namespace qx
