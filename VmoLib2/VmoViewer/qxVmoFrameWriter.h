// The PNG writer of the headless renderers: frames are compressed and
// written on a pool of threads (one per core) while the next frames are
// drawn, with the fast compression setting, so that writing does not hold
// the renderer back.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qx {

// At most two frames per thread wait; a failed write is raised by the next
// call. Frames may be finished in any order.
class TFrameWriter {
public:
  // `threads` 0: one per core.
  explicit TFrameWriter(unsigned threads = 0);
  // Writes what is queued, then ends the threads.
  ~TFrameWriter();
  TFrameWriter(const TFrameWriter&) = delete;
  TFrameWriter& operator=(const TFrameWriter&) = delete;

  // Queues an opaque frame for `path`; waits while the queue is full.
  void Write(TBitmap frame, std::string path);
  // Waits until every frame is written.
  void Finish();

private:
  void RaiseFailure();
  void Run();

  std::mutex m_lock;
  std::condition_variable m_changed;
  std::deque<std::pair<TBitmap, std::string>> m_queue;
  std::exception_ptr m_failure;
  size_t m_inFlight = 0;
  size_t m_busy = 0;
  bool m_closing = false;
  std::vector<std::thread> m_threads;
};

} // namespace qx
