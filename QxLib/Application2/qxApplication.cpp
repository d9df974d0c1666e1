#include "QxLib/Application2/qxApplication.h"

#include "QxLib/qxLog.h"

#include <exception>
#include <string>

namespace qx {

TApplication::~TApplication() = default;

int32_t TApplication::RegisterMessage(THandler handler) {
  const std::lock_guard guard(m_lock);
  const int32_t id = m_nextId++;
  m_handlers.emplace(id, std::make_shared<THandler>(std::move(handler)));
  return id;
}

void TApplication::UnregisterMessage(int32_t id) {
  const std::lock_guard guard(m_lock);
  m_handlers.erase(id);
}

void TApplication::Post(int32_t id, std::unique_ptr<TApplicationMessage> message) {
  std::function<void()> wake;
  {
    const std::lock_guard guard(m_lock);
    m_queue.emplace_back(id, std::move(message));
    wake = m_wake;
  }
  m_changed.notify_all();
  if (wake)
    wake();
}

int TApplication::ProcessMessages() {
  int handled = 0;
  for (;;) {
    std::pair<int32_t, std::unique_ptr<TApplicationMessage>> item;
    std::shared_ptr<THandler> handler;
    {
      const std::lock_guard guard(m_lock);
      if (m_queue.empty())
        break;
      item = std::move(m_queue.front());
      m_queue.pop_front();
      const auto found = m_handlers.find(item.first);
      if (found != m_handlers.end())
        handler = found->second;
    }
    if (!handler)
      continue;
    try {
      (*handler)(item.second);
    } catch (const std::exception& error) {
      Log().WriteLine("TApplication.ProcessMessages: message " + std::to_string(item.first) +
                      " raised: " + error.what());
    } catch (...) {
      Log().WriteLine("TApplication.ProcessMessages: message " + std::to_string(item.first) + " raised");
    }
    ++handled;
  }
  return handled;
}

bool TApplication::HasMessages() const {
  const std::lock_guard guard(m_lock);
  return !m_queue.empty();
}

bool TApplication::WaitForMessages(std::chrono::milliseconds timeout) const {
  std::unique_lock guard(m_lock);
  m_changed.wait_for(guard, timeout, [this] { return !m_queue.empty() || Terminated(); });
  return !m_queue.empty();
}

void TApplication::SetWakeCallback(std::function<void()> wake) {
  const std::lock_guard guard(m_lock);
  m_wake = std::move(wake);
}

void TApplication::Terminate() {
  {
    const std::lock_guard guard(m_lock);
    m_terminated.store(true, std::memory_order_release);
  }
  m_changed.notify_all();
  std::function<void()> wake;
  {
    const std::lock_guard guard(m_lock);
    wake = m_wake;
  }
  if (wake)
    wake();
}

} // namespace qx
