// Helpers of the main window: TMouseMonitor hides the cursor after a while
// without movement and shows it again when the mouse moves. It is driven by
// the window's calls (moves, enter and leave, and a poll every
// kPollIntervalMs while the mouse is inside) with the time of each, so it
// runs the same on a window's clock and on a virtual one. Main thread.
#pragma once

#include <cstdint>
#include <functional>

namespace qx {

class TMouseMonitor {
public:
  // How often the window polls while the mouse is over its client area.
  static constexpr int32_t kPollIntervalMs = 20;
  // A move of more than this many pixels on either axis is a movement.
  static constexpr int32_t kMoveThreshold = 4;

  struct TCallbacks {
    std::function<void()> Enter;
    std::function<void()> Leave;
    // The cursor was hidden (true) or shown again (false).
    std::function<void(bool hidden)> HiddenChanged;
    std::function<void()> Poll;
  };

  void SetCallbacks(TCallbacks callbacks) { m_callbacks = std::move(callbacks); }

  // 0: no automatic hiding.
  void SetHideInterval(int32_t ms) { m_hideInterval = ms; }
  int32_t HideInterval() const { return m_hideInterval; }

  bool Inside() const { return m_inside; }
  bool Hidden() const { return m_hidden; }

  // Hides or shows the cursor now (the callback runs on a change), and
  // takes `nowMs` as the time of the change.
  void SetHidden(bool hidden, int64_t nowMs);

  // The mouse moved to (x, y) in client pixels. The first move inside
  // counts as entering. With a hide interval, a move of more than
  // kMoveThreshold pixels from the last recorded position is a movement:
  // it shows the cursor and becomes the recorded position.
  void MouseMove(int32_t x, int32_t y, int64_t nowMs);
  void MouseLeave();
  // Called every kPollIntervalMs while inside: with a hide interval, hides
  // the cursor when no movement happened for longer than it.
  void Poll(int64_t nowMs);

private:
  TCallbacks m_callbacks;
  bool m_inside = false;
  bool m_hidden = false;
  int32_t m_hideInterval = 0;
  bool m_hasPosition = false;
  int32_t m_x = 0;
  int32_t m_y = 0;
  int64_t m_changeTime = 0;
};

} // namespace qx
