#include "QxLib/Graphics/qxLevelDecoder.h"

#include <utility>

namespace qx {

TLevelDecoder::~TLevelDecoder() {
  {
    const std::lock_guard lock(m_lock);
    m_stopping = true;
    m_jobs.clear();
  }
  m_wake.notify_all();
  if (m_thread.joinable())
    m_thread.join();
}

std::shared_ptr<const TLevelDecoder::TJob> TLevelDecoder::Submit(TRefPtr<TBitmapStore> store, int level,
                                                                 TPixelFormat format) {
  auto job = std::make_shared<TJob>();
  job->m_store = std::move(store);
  job->m_level = level;
  job->m_format = format;
  {
    const std::lock_guard lock(m_lock);
    m_jobs.push_back(job);
    if (!m_thread.joinable())
      m_thread = std::thread([this] { Work(); });
  }
  m_wake.notify_one();
  return job;
}

void TLevelDecoder::WaitIdle() {
  std::unique_lock lock(m_lock);
  m_idle.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

void TLevelDecoder::Work() {
  std::unique_lock lock(m_lock);
  for (;;) {
    m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
    if (m_stopping)
      break;
    std::shared_ptr<TJob> job = std::move(m_jobs.front());
    m_jobs.pop_front();
    m_busy = true;
    lock.unlock();
    try {
      job->m_store->GetMipLevel(job->m_level, job->m_format);
    } catch (...) {
      // The level stays uncached: its user decodes it again and meets the
      // error where it is handled today.
    }
    // The store may go with the job's reference: not under the lock.
    job->m_store = nullptr;
    job->m_done.store(true, std::memory_order_release);
    lock.lock();
    m_busy = false;
    if (m_jobs.empty())
      m_idle.notify_all();
  }
  m_busy = false;
  m_idle.notify_all();
}

} // namespace qx
