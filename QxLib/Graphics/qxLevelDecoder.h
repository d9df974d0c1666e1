// Decoding mip levels of bitmap stores ahead of their use, on a thread of
// its own: whoever asks for the level later finds it in the store's cache,
// or waits on the store's lock while it is being decoded. The pixels are
// the same as those of a decode on the asking thread; only the time they
// are made moves.
#pragma once

#include "QxLib/Graphics/qxBitmapStore.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace qx {

class TLevelDecoder {
public:
  // One level asked for; Done once the decoder has been through it, whether
  // the decode succeeded or raised (a failed level is left uncached, so the
  // next request decodes it again and gets the error itself).
  class TJob {
  public:
    bool Done() const { return m_done.load(std::memory_order_acquire); }

  private:
    friend class TLevelDecoder;
    TRefPtr<TBitmapStore> m_store;
    int m_level = 0;
    TPixelFormat m_format = TPixelFormat::None;
    std::atomic<bool> m_done{false};
  };

  TLevelDecoder() = default;
  // Jobs not started are dropped; the one running is finished first.
  ~TLevelDecoder();
  TLevelDecoder(const TLevelDecoder&) = delete;
  TLevelDecoder& operator=(const TLevelDecoder&) = delete;

  // Queues level `level` of `store` in `format`, in the order asked. The
  // job holds a reference to the store until it is done. The thread starts
  // with the first job.
  std::shared_ptr<const TJob> Submit(TRefPtr<TBitmapStore> store, int level, TPixelFormat format);

  // Waits until every job queued so far is done.
  void WaitIdle();

private:
  void Work();

  std::mutex m_lock;
  std::condition_variable m_wake;
  std::condition_variable m_idle;
  std::deque<std::shared_ptr<TJob>> m_jobs;
  bool m_busy = false;
  bool m_stopping = false;
  std::thread m_thread;
};

} // namespace qx
