// The progress line of the headless renderer: frames done of the total,
// frames per second and the time left, rewritten in place on a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qx {

// "frame 120/500  24.0 fps  0:15 left" (the time left is "-:--" until the
// first frame is done).
std::string FormatRenderProgress(int64_t done, int64_t total, double elapsedSeconds);

class TRenderProgress {
public:
  using TClock = std::chrono::steady_clock;

  // Writes to `out` when `enabled`; otherwise every call does nothing.
  TRenderProgress(std::FILE* out, bool enabled, int64_t total);
  ~TRenderProgress();
  TRenderProgress(const TRenderProgress&) = delete;
  TRenderProgress& operator=(const TRenderProgress&) = delete;

  // Called after each frame; redraws the line at most every 100 ms and
  // always for the last frame.
  void FrameDone(int64_t done);
  // Ends the line (also done by the destructor).
  void Finish();

private:
  std::FILE* m_out;
  bool m_enabled;
  int64_t m_total;
  TClock::time_point m_start;
  TClock::time_point m_lastDrawn;
  bool m_drawn = false;
  size_t m_lastLength = 0;
};

} // namespace qx
