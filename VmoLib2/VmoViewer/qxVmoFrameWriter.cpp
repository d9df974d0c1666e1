#include "VmoLib2/VmoViewer/qxVmoFrameWriter.h"

#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/Graphics/qxPngWriter.h"

namespace qx {

TFrameWriter::TFrameWriter() : m_thread([this] { Run(); }) {}

TFrameWriter::~TFrameWriter() {
  {
    const std::lock_guard lock(m_lock);
    m_closing = true;
  }
  m_changed.notify_all();
  m_thread.join();
}

void TFrameWriter::Write(TBitmap frame, std::string path) {
  std::unique_lock lock(m_lock);
  m_changed.wait(lock, [this] { return m_failure || m_queue.size() < kInFlight; });
  RaiseFailure();
  m_queue.emplace_back(std::move(frame), std::move(path));
  m_changed.notify_all();
}

void TFrameWriter::Finish() {
  std::unique_lock lock(m_lock);
  m_changed.wait(lock, [this] { return m_failure || (m_queue.empty() && !m_busy); });
  RaiseFailure();
}

void TFrameWriter::RaiseFailure() {
  if (m_failure)
    std::rethrow_exception(std::exchange(m_failure, nullptr));
}

void TFrameWriter::Run() {
  std::unique_lock lock(m_lock);
  for (;;) {
    m_changed.wait(lock, [this] { return m_closing || !m_queue.empty(); });
    if (m_queue.empty())
      return;
    auto [frame, path] = std::move(m_queue.front());
    m_queue.pop_front();
    m_busy = true;
    lock.unlock();
    std::exception_ptr failure;
    try {
      // The frame is opaque: an RGB file is smaller and quicker to write.
      WritePngFile(ConvertBitmap(frame, TPixelFormat::Bgr24), path);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    m_busy = false;
    if (failure && !m_failure)
      m_failure = failure;
    m_changed.notify_all();
  }
}

} // namespace qx
