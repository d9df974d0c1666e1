#include "VmoLib2/3DEngine/qxDeviceDrawer.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"

namespace qx {

namespace {

// Decrements the reentrancy counter on every way out.
class TReentrancy {
public:
  explicit TReentrancy(int& counter) : m_counter(counter) { ++m_counter; }
  TReentrancy(const TReentrancy&) = delete;
  TReentrancy& operator=(const TReentrancy&) = delete;
  ~TReentrancy() { --m_counter; }

private:
  int& m_counter;
};

} // namespace

std::recursive_mutex& DrawingLock() {
  static std::recursive_mutex lock;
  return lock;
}

TDeviceDrawer::TDeviceDrawer() = default;
TDeviceDrawer::~TDeviceDrawer() = default;

T3DRect TDeviceDrawer::ClipRect() const { return m_clipRect.IsEmpty() ? m_deviceRect : m_clipRect; }

void TDeviceDrawer::Set2DOffset(float x, float y) {
  m_offsetX = x;
  m_offsetY = y;
  m_hasOffset = x != 0 || y != 0;
}

T3DRect TDeviceDrawer::GrowRect(const T3DRect& rect, int a, int b) {
  return T3DRect{rect.left - a, rect.top - b, rect.right + a + 1, rect.bottom + b + 1};
}

void TDeviceDrawer::Notify(TDrawPhase phase, TDrawItem& item) {
  QX_ASSERT(m_callback != nullptr, "Drawing callback not assigned");
  m_callback(phase, item);
}

void TDeviceDrawer::DrawItem(TDrawItem& item) {
  QX_ASSERT(m_callback != nullptr, "Drawing callback not assigned");
  TReentrancy reentrancy(m_reentrancy);
  if (m_reentrancy > 1) {
    Notify(TDrawPhase::ItemDrawing, item);
    item.Draw(*this);
    Notify(TDrawPhase::ItemDrawn, item);
    return;
  }
  const std::lock_guard lock(DrawingLock());
  try {
    BeginFrame(item);
    Notify(TDrawPhase::ItemDrawing, item);
    item.Draw(*this);
    Notify(TDrawPhase::ItemDrawn, item);
    EndFrame(item);
    EndScene();
  } catch (...) {
    AbortFrame();
    item.FrameEnded();
    throw;
  }
  item.FrameEnded();
}

} // namespace qx
