// The smoothing of the show clock while it runs: the music clock advances
// in steps (the sound card's play cursor), so the engine averages the steps
// of the last 32 frames and pulls the smoothed time a sixth of the way to
// the raw time every frame, so that motion stays even.
#pragma once

#include <array>
#include <cstdint>

namespace qx {

class TFrameInterpolator {
public:
  static constexpr int kRingSize = 32;
  static constexpr int32_t kWarmUpSteps = 16;
  static constexpr double kPull = 6;

  TFrameInterpolator() { Reset(); }

  // Once, at creation: the warm-up starts again and the ring is emptied.
  void Reset();

  // One frame: the smoothed time for the raw time `x`. In bypass, during
  // the warm-up and while the ring fills, the raw time itself.
  double Step(double x);

  // Stopping the clock switches bypass on; starting it asks bypass to end
  // after the next step, so the first frame after a start is raw. The ring
  // keeps its contents across stops.
  void SetBypass(bool bypass) { m_bypass = bypass; }
  void LeaveBypassAfterNext() { m_bypassEndsAfterNext = true; }
  bool Bypass() const { return m_bypass; }
  int32_t WarmUp() const { return m_warmUp; }

private:
  double m_output = 0;
  int32_t m_warmUp = kWarmUpSteps;
  double m_lastInput = 0;
  std::array<double, kRingSize> m_ring{};
  double m_sum = 0;
  int64_t m_count = 0;
  int m_index = 0;
  bool m_bypass = false;
  bool m_bypassEndsAfterNext = false;
};

} // namespace qx
