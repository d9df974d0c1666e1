// The application object: the main thread's message queue and the request
// to end the program. Worker threads post messages to it; the main loop (a
// window's event loop, or the headless renderer's frame loop) handles them
// on the main thread through the handlers registered for their ids.
#pragma once

#include <atomic>
#include <condition_variable>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace qx {

// Base of every message posted to the main thread.
class TApplicationMessage {
public:
  virtual ~TApplicationMessage() = default;
};

class TApplication {
public:
  // Receives a message on the main thread; may keep it by moving it out.
  using THandler = std::function<void(std::unique_ptr<TApplicationMessage>& message)>;

  TApplication() = default;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;
  ~TApplication();

  // Registers a handler and answers the id to post with (ids start at
  // kFirstMessageId and are never reused). Any thread.
  int32_t RegisterMessage(THandler handler);
  // Messages of that id still queued are dropped when their turn comes.
  // Any thread; the handler is not called after this returns unless it is
  // running on another thread at that moment.
  void UnregisterMessage(int32_t id);

  // Queues a message; any thread. Then calls the wake callback, so that a
  // main loop waiting for window events can wake up.
  void Post(int32_t id, std::unique_ptr<TApplicationMessage> message);
  // Handles the queued messages in order, including those posted while it
  // runs; main thread. A handler's exception is logged and swallowed.
  // Returns how many were handled.
  int ProcessMessages();
  bool HasMessages() const;
  // Waits until a message is queued, termination is requested or the time
  // has passed; true when a message is queued.
  bool WaitForMessages(std::chrono::milliseconds timeout) const;

  // Called (on the posting thread, outside the queue's lock) after each post.
  void SetWakeCallback(std::function<void()> wake);

  // The request to end the main loop; any thread.
  void Terminate();
  bool Terminated() const { return m_terminated.load(std::memory_order_acquire); }

  static constexpr int32_t kFirstMessageId = 0x8000;

private:
  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  std::deque<std::pair<int32_t, std::unique_ptr<TApplicationMessage>>> m_queue;
  std::map<int32_t, std::shared_ptr<THandler>> m_handlers;
  int32_t m_nextId = kFirstMessageId;
  std::function<void()> m_wake;
  std::atomic<bool> m_terminated{false};
};

} // namespace qx
