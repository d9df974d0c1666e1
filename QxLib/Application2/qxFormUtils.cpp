#include "QxLib/Application2/qxFormUtils.h"

#include <cstdlib>

namespace qx {

void TMouseMonitor::SetHidden(bool hidden, int64_t nowMs) {
  m_changeTime = nowMs;
  if (hidden == m_hidden)
    return;
  m_hidden = hidden;
  if (m_callbacks.HiddenChanged)
    m_callbacks.HiddenChanged(hidden);
}

void TMouseMonitor::MouseMove(int32_t x, int32_t y, int64_t nowMs) {
  if (!m_inside) {
    m_inside = true;
    if (m_callbacks.Enter)
      m_callbacks.Enter();
  }
  if (m_hideInterval <= 0)
    return;
  if (m_hasPosition && std::abs(x - m_x) <= kMoveThreshold && std::abs(y - m_y) <= kMoveThreshold)
    return;
  // The first position seen is only recorded: the cursor stays as it is
  // until the mouse really moves.
  const bool moved = m_hasPosition;
  m_hasPosition = true;
  m_x = x;
  m_y = y;
  if (moved)
    SetHidden(false, nowMs);
  else
    m_changeTime = nowMs;
}

void TMouseMonitor::MouseLeave() {
  if (!m_inside)
    return;
  m_inside = false;
  if (m_callbacks.Leave)
    m_callbacks.Leave();
}

void TMouseMonitor::Poll(int64_t nowMs) {
  if (m_callbacks.Poll)
    m_callbacks.Poll();
  if (m_hideInterval > 0 && !m_hidden && nowMs - m_changeTime > m_hideInterval)
    SetHidden(true, nowMs);
}

} // namespace qx
