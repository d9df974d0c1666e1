// The arithmetic of the layer drawn above the slides: where the logo and
// the navigation panel are placed (nine positions with an offset from the
// edge), when mouse inactivity hides the panel, and how its opacity fades
// in and out, a reversal mid-fade going on from the current opacity.
#pragma once

#include "VmoLib2/3DBasics/qx3DTypes.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace qx {

// The nine places of an overlay item, in the order of "opt_cp".
enum class TOverlayPosition : int32_t {
  LeftTop,
  Top,
  RightTop,
  Right,
  RightBottom,
  Bottom,
  LeftBottom,
  Left,
  Center
};

// "opt_cp": the position words without regard to case; anything else is
// the centre.
TOverlayPosition OverlayPositionFromWord(std::string_view word);
// "opt_logo_pos" numbers its places differently: 0 Left, 1 Top, 2 Right,
// 3 Bottom, 4 Center, 5 Left-Top, 6 Right-Top, 7 Right-Bottom,
// 8 Left-Bottom; other values are the centre.
TOverlayPosition OverlayPositionFromLogo(int32_t value);

// The rectangle of a w x h item at `position` inside `area`, `offset`
// percent of half the area away from the edges it leans on.
T3DRect PlaceOverlayItem(TOverlayPosition position, double offset, const T3DRect& area, int32_t w, int32_t h);

// Tells when the mouse has rested long enough for the panel to hide. Times
// are milliseconds of any steady clock.
class TMouseMoveDetector {
public:
  // A move of at least this many pixels (|dx| + |dy|) counts as movement.
  static constexpr int32_t kMinimumMove = 6;

  explicit TMouseMoveDetector(int64_t intervalMs = 0) : m_interval(intervalMs) {}

  int64_t Interval() const { return m_interval; }
  // The first sample only records the position; a later one that moved far
  // enough records position and time.
  void Sample(int32_t x, int32_t y, int64_t now);
  // More than the interval has passed since the last movement.
  bool HideDue(int64_t now);
  // Expired: due to hide at once. Otherwise the next query starts the
  // interval again (the mouse over the panel keeps it shown).
  void Reset(bool expired, int64_t now);

private:
  int64_t m_interval;
  int64_t m_lastMove = 0;
  bool m_pendingReset = true;
  int32_t m_samples = 0;
  int32_t m_x = 0;
  int32_t m_y = 0;
};

// The panel's opacity (0 ... 100) as it fades after the detector's verdict.
class TPanelFade {
public:
  TPanelFade(bool startHidden, int32_t fadeInMs, int32_t fadeOutMs);

  bool Hidden() const { return m_hidden; }
  double Opacity() const { return m_opacity; }
  // One frame: follows the verdict `hide` at time `now`; answers the new
  // opacity when it changed by more than 0.001, else nothing.
  std::optional<double> Step(bool hide, int64_t now);

private:
  // Progress of the current fade window in percent; 100 outside it.
  double Progress(int64_t now) const;

  bool m_hidden;
  int32_t m_fadeIn;
  int32_t m_fadeOut;
  double m_opacity;
  int64_t m_windowStart = 0;
  int64_t m_windowEnd = 0;
};

} // namespace qx
