#include "VmoLib2/VmoViewer/qxVmoEngineTypes.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"

#include <exception>

namespace qx {

namespace {

std::string ExceptionText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown exception";
  }
}

} // namespace

void TEventSignal::Set() noexcept {
  m_set.store(true, std::memory_order_release);
  m_set.notify_all();
}

void TEventSignal::Wait() const noexcept { m_set.wait(false, std::memory_order_acquire); }

TMessageItem::TMessageItem(int32_t id, TEventPayload payload, bool withSignal)
    : m_id(id), m_payload(std::move(payload)), m_signal(withSignal ? std::make_unique<TEventSignal>() : nullptr) {}

TThreadEventList::~TThreadEventList() { Close(); }

void TThreadEventList::SetOwnerThread(std::thread::id owner) { m_owner.store(owner); }

bool TThreadEventList::Append(const TRefPtr<TMessageItem>& item) {
  {
    const std::lock_guard guard(m_lock);
    if (!m_items)
      return false;
    m_items->push_back(item);
  }
  m_changed.notify_all();
  if (m_notify)
    m_notify();
  return true;
}

bool TThreadEventList::Post(int32_t id, TEventPayload payload) {
  return Append(MakeRef<TMessageItem>(id, std::move(payload), false));
}

bool TThreadEventList::Send(int32_t id, TEventPayload payload) {
  if (m_inlineSends.load()) {
    const TRefPtr<TMessageItem> item = MakeRef<TMessageItem>(id, std::move(payload), true);
    if (!Append(item))
      return false;
    Process();
    return item->Delivered();
  }
  QX_ASSERT(m_owner.load() != std::this_thread::get_id(), "Send to the own event queue");
  // The sender's reference keeps the item, and so its signal, alive while it
  // waits, whoever drops the queue's reference.
  const TRefPtr<TMessageItem> item = MakeRef<TMessageItem>(id, std::move(payload), true);
  if (!Append(item))
    return false;
  item->Signal()->Wait();
  return item->Delivered();
}

int TThreadEventList::Process() {
  int handled = 0;
  for (;;) {
    TRefPtr<TMessageItem> item;
    {
      const std::lock_guard guard(m_lock);
      if (!m_items || m_items->empty())
        break;
      item = std::move(m_items->front());
      m_items->pop_front();
    }
    Deliver(*item);
    if (TEventSignal* signal = item->Signal())
      signal->Set();
    ++handled;
  }
  return handled;
}

void TThreadEventList::Deliver(TMessageItem& item) {
  item.SetDelivered();
  try {
    if (!m_handler || !m_handler(item.Id(), item.PayloadSlot()))
      DefaultHandler(item.Id(), item.PayloadSlot());
  } catch (...) {
    Log().WriteLine("TThreadEventList.Process: event " + std::to_string(item.Id()) +
                    " raised: " + ExceptionText(std::current_exception()));
  }
}

void TThreadEventList::DefaultHandler(int32_t, TEventPayload&) {}

void TThreadEventList::Close() {
  std::optional<std::deque<TRefPtr<TMessageItem>>> pending;
  {
    const std::lock_guard guard(m_lock);
    if (!m_items)
      return;
    pending.swap(m_items);
  }
  m_changed.notify_all();
  // Payloads of pending events are freed with their items, here, outside
  // the lock.
  for (const auto& item : *pending)
    if (TEventSignal* signal = item->Signal())
      signal->Set();
}

bool TThreadEventList::IsClosed() const {
  const std::lock_guard guard(m_lock);
  return !m_items;
}

int TThreadEventList::PendingCount() const {
  const std::lock_guard guard(m_lock);
  return m_items ? static_cast<int>(m_items->size()) : 0;
}

bool TThreadEventList::WaitForEvents(std::chrono::milliseconds timeout) const {
  std::unique_lock guard(m_lock);
  m_changed.wait_for(guard, timeout, [this] { return !m_items || !m_items->empty(); });
  return m_items && !m_items->empty();
}

// The worker as a participant of its step driver.
class TVmoThread::TDrivenSteps final : public TStepDriver::TParticipant {
public:
  explicit TDrivenSteps(TVmoThread& worker) : m_worker(worker) {}
  bool HasEvents() const override { return m_worker.m_events.PendingCount() > 0; }
  void RunStep() override { m_worker.RunDrivenStep(); }

private:
  TVmoThread& m_worker;
};

TVmoThread::TVmoThread() {
  m_events.SetHandler([this](int32_t id, TEventPayload& payload) { return HandleEvent(id, payload); });
}

TVmoThread::~TVmoThread() { Stop(); }

void TVmoThread::Start() {
  const std::lock_guard guard(m_controlLock);
  if (m_thread.joinable() || m_driver || m_terminated.load())
    return;
  m_running.store(true, std::memory_order_release);
  if (TStepDriver* driver = TStepDriver::Current()) {
    m_driver = driver;
    m_driven = std::make_unique<TDrivenSteps>(*this);
    m_events.SetInlineSends(true);
    driver->Attach(*m_driven);
    try {
      OnStart();
    } catch (...) {
      SetFailure(ExceptionText(std::current_exception()));
      m_terminated.store(true, std::memory_order_release);
      FinishDriven();
    }
    return;
  }
  m_thread = std::thread([this] { Execute(); });
}

void TVmoThread::RequestStop() {
  m_terminated.store(true, std::memory_order_release);
  m_events.Close();
  // A driven worker inside its own step ends when the step returns.
  if (m_driver && !m_inDrivenStep)
    FinishDriven();
}

void TVmoThread::Stop() {
  RequestStop();
  if (m_driver)
    return;
  // The worker itself cannot wait for its own end.
  if (m_workerId.load() == std::this_thread::get_id())
    return;
  const std::lock_guard guard(m_controlLock);
  if (!m_thread.joinable())
    return;
  m_thread.join();
}

int64_t TVmoThread::NowMs() const {
  if (m_driver)
    return m_driver->Now();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void TVmoThread::WakeDriven() {
  if (m_driver && m_running.load(std::memory_order_acquire))
    m_driver->Wake(*m_driven);
}

void TVmoThread::WaitForEvents(std::chrono::milliseconds period) {
  if (m_driver) {
    m_driver->SetDue(*m_driven, m_driver->Now() + period.count());
    return;
  }
  m_events.WaitForEvents(period);
}

void TVmoThread::RunDrivenStep() {
  if (Terminated())
    return;
  m_inDrivenStep = true;
  try {
    Step();
  } catch (...) {
    SetFailure(ExceptionText(std::current_exception()));
    m_terminated.store(true, std::memory_order_release);
  }
  m_inDrivenStep = false;
  if (Terminated())
    FinishDriven();
}

// Runs once: OnStop, then the queue closes and the driver lets go.
void TVmoThread::FinishDriven() {
  if (!m_running.load(std::memory_order_acquire))
    return;
  try {
    OnStop();
  } catch (...) {
    // Nothing is left to report to once the worker ends.
  }
  m_events.Close();
  m_driver->Detach(*m_driven);
  m_running.store(false, std::memory_order_release);
}

std::string TVmoThread::FailureText() const {
  const std::lock_guard guard(m_failureLock);
  return m_failure;
}

bool TVmoThread::HandleEvent(int32_t, TEventPayload&) { return false; }

void TVmoThread::SetFailure(const std::string& text) {
  {
    const std::lock_guard guard(m_failureLock);
    m_failure = text;
  }
  Log().WriteLine("TVmoThread.Execute: stopped by exception: " + text);
}

void TVmoThread::Execute() {
  m_workerId.store(std::this_thread::get_id());
  m_events.SetOwnerThread(std::this_thread::get_id());
  try {
    OnStart();
    while (!Terminated())
      Step();
  } catch (...) {
    SetFailure(ExceptionText(std::current_exception()));
  }
  try {
    OnStop();
  } catch (...) {
    // Nothing is left to report to once the worker ends.
  }
  // A worker that ended on its own must not leave senders waiting.
  m_events.Close();
  m_running.store(false, std::memory_order_release);
}

// --- TCustomVmoEngine -------------------------------------------------------

namespace {

TApplication* AssertedApplication(TApplication* application) {
  QX_ASSERT(application != nullptr, "TCustomVmoEngine: no application");
  return application;
}

} // namespace

TCustomVmoEngine::TCustomVmoEngine(TApplication* application)
    : m_application(AssertedApplication(application)),
      m_messageId(m_application->RegisterMessage(
          [this](std::unique_ptr<TApplicationMessage>& message) { Dispatch(message); })) {}

TCustomVmoEngine::~TCustomVmoEngine() { m_application->UnregisterMessage(m_messageId); }

void TCustomVmoEngine::ClearCallbacks() {
  m_onFirstFrame = nullptr;
  m_onPosition = nullptr;
  m_onEvent = nullptr;
}

int32_t TCustomVmoEngine::NextSequence() { return ++m_sequenceNo; }

void TCustomVmoEngine::PostToMain(int32_t kind, std::vector<int32_t> integers, TEventPayload payload) {
  m_application->Post(m_messageId, std::make_unique<TVmoEngineEvent>(kind, std::move(integers), std::move(payload)));
}

void TCustomVmoEngine::Dispatch(std::unique_ptr<TApplicationMessage>& message) {
  auto* event = dynamic_cast<TVmoEngineEvent*>(message.get());
  if (!event)
    return;
  switch (event->Kind) {
  case kFirstFrameKind:
    if (m_onFirstFrame)
      m_onFirstFrame(*event);
    return;
  case kPositionKind:
    // Integers: sequence number, position, duration, ended flag.
    if (event->Integer(0) != SequenceNo())
      return;
    if (m_onPosition)
      m_onPosition(event->Integer(1), event->Integer(3) != 0, event->Integer(2));
    return;
  default:
    if (m_onEvent)
      m_onEvent(*event);
    return;
  }
}

} // namespace qx
