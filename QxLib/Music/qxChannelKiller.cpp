#include "QxLib/Music/qxChannelKiller.h"

#include "QxLib/Music/qxChannelMusic.h"
#include "QxLib/Music/qxMusicChannel.h"
#include "QxLib/qxLog.h"

#include <algorithm>
#include <chrono>

namespace qx {

TChannelKiller& TChannelKiller::Instance() {
  static TChannelKiller killer;
  return killer;
}

TChannelKiller::TChannelKiller() {
  m_thread = std::thread([this] { Execute(); });
}

TChannelKiller::~TChannelKiller() {
  {
    std::lock_guard lock(m_lock);
    m_end = true;
  }
  m_signal.notify_all();
  if (m_thread.joinable())
    m_thread.join();
}

void TChannelKiller::Schedule(TMusicChannel& instance) {
  {
    std::lock_guard lock(m_lock);
    if (std::find(m_pending.begin(), m_pending.end(), &instance) != m_pending.end())
      return;
    m_pending.push_back(&instance);
  }
  m_signal.notify_all();
}

void TChannelKiller::Adopt(std::unique_ptr<TMusicChannel> instance) {
  std::lock_guard lock(m_lock);
  m_orphans.push_back(std::move(instance));
}

void TChannelKiller::Forget(TMusicChannel& instance) {
  std::lock_guard lock(m_lock);
  std::erase(m_pending, &instance);
}

void TChannelKiller::FreeOrphansOf(TWaveOutDevice& device) {
  std::lock_guard processing(m_processing);
  std::vector<std::unique_ptr<TMusicChannel>> gone;
  {
    std::lock_guard lock(m_lock);
    for (auto it = m_orphans.begin(); it != m_orphans.end();) {
      if (&(*it)->Device() == &device) {
        std::erase(m_pending, it->get());
        gone.push_back(std::move(*it));
        it = m_orphans.erase(it);
      } else {
        ++it;
      }
    }
  }
}

int32_t TChannelKiller::PendingCount() {
  std::lock_guard lock(m_lock);
  return static_cast<int32_t>(m_pending.size());
}

int32_t TChannelKiller::OrphanCount() {
  std::lock_guard lock(m_lock);
  return static_cast<int32_t>(m_orphans.size());
}

void TChannelKiller::Execute() {
  for (;;) {
    {
      std::unique_lock lock(m_lock);
      const auto wait = std::chrono::milliseconds(m_pending.empty() ? kIdleWaitMs : kScanPeriodMs);
      m_signal.wait_for(lock, wait, [this] { return m_end; });
      if (m_end)
        return;
    }
    Scan();
  }
}

void TChannelKiller::Scan() {
  std::lock_guard processing(m_processing);
  std::vector<TMusicChannel*> due;
  std::vector<std::unique_ptr<TMusicChannel>> gone;
  {
    std::lock_guard lock(m_lock);
    // From the last to the first, as they were scheduled.
    for (auto it = m_pending.rbegin(); it != m_pending.rend(); ++it) {
      TMusicChannel* const instance = *it;
      if (instance->Device().NowMs() - instance->KillStamp() > instance->KillDelay())
        due.push_back(instance);
    }
    for (TMusicChannel* instance : due) {
      std::erase(m_pending, instance);
      const auto orphan = std::find_if(m_orphans.begin(), m_orphans.end(),
                                       [&](const std::unique_ptr<TMusicChannel>& o) { return o.get() == instance; });
      if (orphan != m_orphans.end()) {
        gone.push_back(std::move(*orphan));
        m_orphans.erase(orphan);
      }
    }
  }
  for (TMusicChannel* instance : due) {
    TChannelMusic* const owner = instance->Owner();
    if (!owner)
      continue; // an orphan, freed with `gone`
    std::unique_ptr<TMusicChannel> taken = owner->TakeInstance(*instance);
    if (!taken)
      Log().WriteLine("TChannelKiller: instance not found in its channel");
  }
}

} // namespace qx
