// The show time shared by the playback engine, the slide loader and the
// slide producer. The engine writes both values; the others read them
// without locks (a slightly stale value only delays a preload by one step).
#pragma once

#include "QxLib/qxRefCounted.h"

#include <atomic>

namespace qx {

class TTiming : public TRefCounted {
public:
  // The show position used for drawing and preloading, ms.
  double Position() const { return m_position.load(std::memory_order_relaxed); }
  void SetPosition(double ms) { m_position.store(ms, std::memory_order_relaxed); }
  // The time the clock asked for in the current loop step, ms.
  double Requested() const { return m_requested.load(std::memory_order_relaxed); }
  void SetRequested(double ms) { m_requested.store(ms, std::memory_order_relaxed); }

private:
  std::atomic<double> m_position{0};
  std::atomic<double> m_requested{0};
};

} // namespace qx
