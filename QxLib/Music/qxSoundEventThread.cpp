#include "QxLib/Music/qxSoundEventThread.h"

#include "QxLib/qxLog.h"

namespace qx {

namespace {

// A step longer than this while the thread is being ended is worth a line
// in the log: the sound buffer's owner was blocked that long.
constexpr std::chrono::milliseconds kSlowEnd{1000};

} // namespace

TSoundEventThread::TSoundEventThread(std::function<void()> start, std::function<void()> step,
                                     std::chrono::milliseconds period)
    : m_start(std::move(start)), m_step(std::move(step)), m_period(period) {
  m_thread = std::thread([this] { Execute(); });
}

TSoundEventThread::~TSoundEventThread() {
  {
    std::lock_guard lock(m_lock);
    m_end = true;
  }
  m_signal.notify_all();
  const auto begin = std::chrono::steady_clock::now();
  if (m_thread.joinable())
    m_thread.join();
  if (std::chrono::steady_clock::now() - begin > kSlowEnd)
    Log().WriteLine("TSoundEventThread: the thread took more than 1000 ms to end");
}

void TSoundEventThread::Wake() {
  {
    std::lock_guard lock(m_lock);
    m_woken = true;
  }
  m_signal.notify_all();
}

void TSoundEventThread::Execute() {
  try {
    if (m_start)
      m_start();
    for (;;) {
      {
        std::unique_lock lock(m_lock);
        m_signal.wait_for(lock, m_period, [this] { return m_end || m_woken; });
        if (m_end)
          return;
        m_woken = false;
      }
      m_step();
    }
  } catch (const std::exception& e) {
    Log().WriteLine(std::string("TSoundEventThread: ") + e.what());
  }
}

} // namespace qx
