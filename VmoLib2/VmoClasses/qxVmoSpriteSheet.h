// Sprite-sheet animation of pictures: the grid, frame count, repetitions,
// offset and frame durations of an animated picture, and the choice of the
// frame shown at a time.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace qx {

class TTilesTag;

struct TImageAnimationParams {
  int32_t Columns = 1;
  int32_t Rows = 1;
  int32_t FrameCount = 1;
  int32_t Repetitions = 0;       // 0: endless
  double Offset = 0;             // ms
  std::vector<double> Intervals; // ms, one per frame

  // More than one cell and frame durations to step through.
  bool Animated() const;
  // min(frame count, columns × rows), at least 1.
  int32_t Frames() const;
  // Duration of frame i; the last given interval serves the frames beyond
  // the list.
  double Interval(int32_t frame) const;
};

// Frame durations from their text: numbers in ms separated by "," (or ";"),
// blanks allowed, empty items skipped; unreadable or negative items count
// as 0.
std::vector<double> ParseFrameIntervals(std::string_view text);

// Takes the grid, frame count and durations from a picture's own tile
// description (an animation strip of one row).
void ApplyTilesTag(const TTilesTag& tag, TImageAnimationParams& params);

struct TAnimationFrame {
  int32_t Frame = 0;
  int32_t Pass = 0;
};

// The frame shown `elapsed` ms after the animation's start: starting at
// frame 0 with s = its duration, the frame advances while s < elapsed,
// wrapping to frame 0 after the last one and counting a pass; with
// repetitions, the last frame stays once that many passes are done.
// Whole passes are skipped arithmetically, so long shows cost no more.
TAnimationFrame SelectAnimationFrame(const TImageAnimationParams& params, double elapsed);

} // namespace qx
