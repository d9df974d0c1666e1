// Worker threads and the event queues through which the threads of the
// player talk: posting is asynchronous, sending waits until the receiving
// worker has handled the event. A worker started under a step driver
// (qxVmoStepDriver.h) runs its steps on the driver's thread at virtual
// times instead of on a thread of its own.
#pragma once

#include "QxLib/Application2/qxApplication.h"
#include "QxLib/qxRefCounted.h"
#include "VmoLib2/VmoViewer/qxVmoStepDriver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qx {

// Base of every event payload; a payload belongs to its message item until
// a handler takes it.
class TVmoEventData {
public:
  virtual ~TVmoEventData() = default;
};

using TEventPayload = std::unique_ptr<TVmoEventData>;

// A one-shot signal on which a sender waits until its event is handled or
// the queue is closed.
class TEventSignal {
public:
  void Set() noexcept;
  bool IsSet() const noexcept { return m_set.load(std::memory_order_acquire); }
  void Wait() const noexcept;

private:
  std::atomic<bool> m_set{false};
};

// One queued event. Shared by the queue and, for a sent event, the sender.
class TMessageItem : public TRefCounted {
public:
  TMessageItem(int32_t id, TEventPayload payload, bool withSignal);

  int32_t Id() const { return m_id; }
  TVmoEventData* Payload() const { return m_payload.get(); }
  TEventPayload& PayloadSlot() { return m_payload; }
  // Null for a posted event.
  TEventSignal* Signal() const { return m_signal.get(); }
  // True once a handler has been given the event.
  bool Delivered() const { return m_delivered.load(std::memory_order_acquire); }
  void SetDelivered() { m_delivered.store(true, std::memory_order_release); }

private:
  const int32_t m_id;
  TEventPayload m_payload;
  const std::unique_ptr<TEventSignal> m_signal;
  std::atomic<bool> m_delivered{false};
};

// Receives (id, payload) on the worker's thread; may move the payload out
// to keep it. Returns false when it does not handle the event, which then
// goes to the queue's default handler.
using TEventHandler = std::function<bool(int32_t id, TEventPayload& payload)>;

// The event queue of one worker. Created open; once closed it stays closed
// and refuses new events.
class TThreadEventList {
public:
  TThreadEventList() = default;
  explicit TThreadEventList(TEventHandler handler) : m_handler(std::move(handler)) {}
  TThreadEventList(const TThreadEventList&) = delete;
  TThreadEventList& operator=(const TThreadEventList&) = delete;
  virtual ~TThreadEventList();

  // Set before events are processed.
  void SetHandler(TEventHandler handler) { m_handler = std::move(handler); }
  // Called after each new event, outside the lock (for owners that are not
  // waiting in WaitForEvents).
  void SetOwnerNotify(std::function<void()> notify) { m_notify = std::move(notify); }
  // The thread that processes the queue; a send from it is refused, since
  // it would wait for itself.
  void SetOwnerThread(std::thread::id owner);
  // For a queue whose owner's steps run on the sender's own thread (under a
  // step driver): a send handles the queue at once, in order, on the
  // sender's thread instead of waiting.
  void SetInlineSends(bool inlineSends) { m_inlineSends.store(inlineSends); }

  // Appends the event; returns false, freeing the payload, when the queue
  // is closed.
  bool Post(int32_t id, TEventPayload payload = nullptr);
  // Appends the event and waits until it has been handled or the queue has
  // been closed. Returns true when the event reached the handler; false when
  // the queue was or became closed first (the payload is then freed).
  // Raises EAssertionFailed when called from the owner thread (unless sends
  // are handled inline).
  bool Send(int32_t id, TEventPayload payload = nullptr);
  // Handles pending events one by one, outside the lock, until the queue is
  // empty; returns how many were handled. Handler exceptions are swallowed.
  int Process();
  // Releases every waiting sender, frees the pending events and refuses
  // new ones.
  void Close();
  bool IsClosed() const;
  int PendingCount() const;
  // Waits until an event is pending, the queue is closed or the time has
  // passed; returns true when an event is pending.
  bool WaitForEvents(std::chrono::milliseconds timeout) const;

protected:
  // Receives the events the handler leaves unhandled; the payload is freed
  // afterwards unless taken. Runs on the processing thread, outside the
  // lock; may raise (swallowed like a handler's exception).
  virtual void DefaultHandler(int32_t id, TEventPayload& payload);

private:
  bool Append(const TRefPtr<TMessageItem>& item);
  void Deliver(TMessageItem& item);

  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  // Absent once the queue is closed.
  std::optional<std::deque<TRefPtr<TMessageItem>>> m_items{std::in_place};
  TEventHandler m_handler;
  std::function<void()> m_notify;
  std::atomic<std::thread::id> m_owner{};
  std::atomic<bool> m_inlineSends{false};
};

// A worker thread with its own event queue, whose handler is the thread's
// HandleEvent. Derived workers must call Stop() in their own destructor,
// before their members go.
//
// Started on a thread where a step driver is installed, the worker is
// driven: OnStart runs at once on the caller's thread, each Step runs when
// the driver's clock reaches the time its previous WaitForEvents asked for
// (or earlier when an event arrives), sends to its queue are handled inline,
// and Stop runs OnStop on the caller's thread.
class TVmoThread {
public:
  TVmoThread();
  TVmoThread(const TVmoThread&) = delete;
  TVmoThread& operator=(const TVmoThread&) = delete;
  virtual ~TVmoThread();

  // Starts the thread (or attaches to the calling thread's step driver);
  // does nothing when it was started before.
  void Start();
  // Requests termination, closes the queue and waits for the thread to end.
  // From the worker's own thread it only requests and closes.
  void Stop();
  // Requests termination and closes the queue without waiting; Running()
  // turns false once the thread has ended. A driven worker ends at once.
  void RequestStop();

  TThreadEventList& Events() { return m_events; }
  bool Post(int32_t id, TEventPayload payload = nullptr) { return m_events.Post(id, std::move(payload)); }
  bool Send(int32_t id, TEventPayload payload = nullptr) { return m_events.Send(id, std::move(payload)); }

  bool Terminated() const { return m_terminated.load(std::memory_order_acquire); }
  bool Running() const { return m_running.load(std::memory_order_acquire); }
  // Whether the worker runs under a step driver; its clock then is the
  // driver's.
  bool Driven() const { return m_driver != nullptr; }
  // Milliseconds of the worker's clock: the driver's virtual time when
  // driven, else a steady clock. Only differences are meaningful.
  int64_t NowMs() const;
  // A driven worker's next step is due now; nothing for a thread.
  void WakeDriven();
  // The message of the exception that ended the thread, if any.
  std::string FailureText() const;

protected:
  // Runs first on the worker's thread. An exception skips the steps.
  virtual void OnStart() {}
  // One unit of work; called until termination is requested. Usually
  // processes the queue, works, then calls WaitForEvents with the worker's
  // period. An exception ends the loop.
  virtual void Step() = 0;
  // Runs last on the worker's thread; exceptions are ignored.
  virtual void OnStop() {}
  // Handles one event on the worker's thread; returns false for events it
  // does not know. May move the payload out.
  virtual bool HandleEvent(int32_t id, TEventPayload& payload);

  int ProcessEvents() { return m_events.Process(); }
  // Sleeps for the period, waking early when an event arrives or the worker
  // is being stopped. A driven worker returns at once; its next step is
  // due when the driver's clock has moved by the period.
  void WaitForEvents(std::chrono::milliseconds period);

private:
  class TDrivenSteps;

  void Execute();
  void SetFailure(const std::string& text);
  void RunDrivenStep();
  void FinishDriven();

  TThreadEventList m_events;
  std::atomic<bool> m_terminated{false};
  std::atomic<bool> m_running{false};
  std::mutex m_controlLock;
  std::thread m_thread;
  std::atomic<std::thread::id> m_workerId{};
  mutable std::mutex m_failureLock;
  std::string m_failure;
  // Driven workers only.
  TStepDriver* m_driver = nullptr;
  std::unique_ptr<TDrivenSteps> m_driven;
  bool m_inDrivenStep = false;
};

// What the engine posts to the main thread: a kind, integers and an
// optional payload (owned). The kinds are listed with TVmoEngine.
class TVmoEngineEvent : public TApplicationMessage {
public:
  TVmoEngineEvent(int32_t kind, std::vector<int32_t> integers, TEventPayload payload)
      : Kind(kind), Integers(std::move(integers)), Payload(std::move(payload)) {}

  // Integer i, or 0 when the event has fewer.
  int32_t Integer(size_t i) const { return i < Integers.size() ? Integers[i] : 0; }

  int32_t Kind;
  std::vector<int32_t> Integers;
  TEventPayload Payload;
};

// The engine's side towards the main thread: it registers a message with
// the application and posts its reports there, where a dispatcher hands
// them to three callbacks. Position reports of an older open or seek than
// the current sequence number are dropped on the main thread.
class TCustomVmoEngine : public TVmoThread {
public:
  static constexpr int32_t kFirstFrameKind = 1;
  static constexpr int32_t kPositionKind = 2;

  // Called on the main thread.
  using TFirstFrameCallback = std::function<void(const TVmoEngineEvent& event)>;
  using TPositionCallback = std::function<void(int32_t position, bool ended, int32_t duration)>;
  using TEventCallback = std::function<void(TVmoEngineEvent& event)>;

  // The application is asserted present and must outlive the engine.
  explicit TCustomVmoEngine(TApplication* application);
  ~TCustomVmoEngine() override;

  TApplication& Application() const { return *m_application; }
  int32_t MessageId() const { return m_messageId; }

  // Main thread; called for the events posted after they are set.
  void SetFirstFrameCallback(TFirstFrameCallback callback) { m_onFirstFrame = std::move(callback); }
  void SetPositionCallback(TPositionCallback callback) { m_onPosition = std::move(callback); }
  void SetEventCallback(TEventCallback callback) { m_onEvent = std::move(callback); }
  void ClearCallbacks();

  // The sequence number of the newest open or seek; main thread.
  int32_t SequenceNo() const { return m_sequenceNo.load(); }
  // Increments the sequence number and returns it; main thread.
  int32_t NextSequence();

protected:
  // Posts a report to the main thread; any thread.
  void PostToMain(int32_t kind, std::vector<int32_t> integers, TEventPayload payload = nullptr);

private:
  void Dispatch(std::unique_ptr<TApplicationMessage>& message);

  TApplication* m_application;
  int32_t m_messageId;
  std::atomic<int32_t> m_sequenceNo{0};
  TFirstFrameCallback m_onFirstFrame;
  TPositionCallback m_onPosition;
  TEventCallback m_onEvent;
};

} // namespace qx
