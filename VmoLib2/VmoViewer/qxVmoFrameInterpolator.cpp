#include "VmoLib2/VmoViewer/qxVmoFrameInterpolator.h"

#include <cstddef>

namespace qx {

void TFrameInterpolator::Reset() {
  m_warmUp = kWarmUpSteps;
  m_count = 0;
  m_index = 0;
  m_sum = 0;
  m_ring.fill(0);
}

double TFrameInterpolator::Step(double x) {
  if (m_bypass || m_warmUp > 0) {
    if (!m_bypass)
      --m_warmUp;
    m_output = x;
  } else {
    ++m_count;
    if (m_count > kRingSize)
      m_sum -= m_ring[static_cast<std::size_t>(m_index)];
    const double step = x - m_lastInput;
    m_sum += step;
    m_ring[static_cast<std::size_t>(m_index)] = step;
    m_index = (m_index + 1) % kRingSize;
    if (m_count > kRingSize) {
      m_output += m_sum / kRingSize;
      m_output += (x - m_output) / kPull;
    } else {
      m_output = x;
    }
  }
  m_lastInput = x;
  if (m_bypassEndsAfterNext) {
    m_bypass = false;
    m_bypassEndsAfterNext = false;
  }
  return m_output;
}

} // namespace qx
