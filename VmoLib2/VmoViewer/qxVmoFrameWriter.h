// The PNG writer of the headless renderers: frames are compressed and
// written on a thread of its own while the next frame is drawn.
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

namespace qx {

// At most kInFlight frames wait; a failed write is raised by the next call.
class TFrameWriter {
public:
  static constexpr size_t kInFlight = 2;

  TFrameWriter();
  // Writes what is queued, then ends the thread.
  ~TFrameWriter();
  TFrameWriter(const TFrameWriter&) = delete;
  TFrameWriter& operator=(const TFrameWriter&) = delete;

  // Queues an opaque frame for `path`; waits while kInFlight frames wait.
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
  bool m_busy = false;
  bool m_closing = false;
  std::thread m_thread;
};

} // namespace qx
