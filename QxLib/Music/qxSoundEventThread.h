// The thread that keeps one sound buffer (or the clock) going: it runs a
// start action once, then a step every period or as soon as it is woken,
// until it is destroyed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace qx {

class TSoundEventThread {
public:
  // Starts the thread at once; `start` may be empty.
  TSoundEventThread(std::function<void()> start, std::function<void()> step, std::chrono::milliseconds period);
  // Signals the end and waits for the thread; a step in progress finishes
  // first, so no action runs after the destructor returned.
  ~TSoundEventThread();
  TSoundEventThread(const TSoundEventThread&) = delete;
  TSoundEventThread& operator=(const TSoundEventThread&) = delete;

  // Runs the next step now instead of at the end of the period.
  void Wake();
  // True when called from the thread itself.
  bool IsCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
  void Execute();

  std::function<void()> m_start;
  std::function<void()> m_step;
  const std::chrono::milliseconds m_period;
  std::mutex m_lock;
  std::condition_variable m_signal;
  bool m_end = false;
  bool m_woken = false;
  std::thread m_thread;
};

} // namespace qx
