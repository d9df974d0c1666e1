// What the headless renderer is asked to do, read from the command line:
// which show, where the frames go, at which show times, at which size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qx {

class TCommandsStorage;

struct TRenderOptions {
  // The show: an executable with its package, a ".VmShow" package or a
  // loose project file; `ProjectMode` when it was named by "-filename".
  std::string ShowPath;
  bool ProjectMode = false;
  // The folder the frames are written to; for a video file, its folder.
  std::string OutputFolder;
  // "-render OUT.mp4" (.mov, .mkv, .webm): the frames and their sound are
  // encoded into this file instead.
  std::string VideoFile;
  // "-crf N" and "-preset NAME" of the video file's picture encoder.
  std::optional<int32_t> Crf;
  std::string Preset;
  // Either a frame sequence (`Times` empty) or single times ("-render-at").
  std::vector<int32_t> Times;
  int32_t Fps = 25;
  // The show position the sequence starts at: "-from MS", or "-time MS"
  // (1-based, as the player's own option: MS - 1).
  int32_t From = 0;
  // The sequence ends before the show time reaches "-to" or the wall time
  // reaches "-duration"; without them, when a show that does not repeat
  // ends or the show waits for input that will not come.
  std::optional<int32_t> To;
  std::optional<int32_t> Duration;
  // "-input SCRIPT": user input replayed at wall times.
  std::string InputScript;
  int32_t Width = 1920;
  int32_t Height = 1080;
  bool Cover = false;
  // "-discard": frames are drawn but not written (to time the renderer).
  bool Discard = false;
  // Show the progress line (the program sets it when stderr is a terminal).
  bool Progress = false;
  // Pictures of the slides built ahead are decoded on a thread of their
  // own while the frames before them are drawn (the frames are the same
  // either way; benchmarks turn it off for their baseline).
  bool DecodeAhead = true;
};

inline constexpr int32_t kMaxRenderFps = 1000;
inline constexpr int32_t kMaxRenderSide = 16384;
// The largest quality number of the picture encoders (VP9's scale).
inline constexpr int32_t kMaxRenderCrf = 63;

// Reads the options from the parsed command line. Raises EQxError with a
// message naming the wrong option.
TRenderOptions ReadRenderOptions(const TCommandsStorage& commands);

// "WxH" (or "WXH") as two positive whole sides up to `maxSide`; false
// otherwise, leaving width and height alone.
bool ParseFrameSize(const std::string& text, int32_t& width, int32_t& height, int32_t maxSide = kMaxRenderSide);

// "T1,T2,..." as non-negative millisecond times; raises EQxError naming the
// bad entry.
std::vector<int32_t> ParseTimeList(const std::string& text);

// The show time of frame k of a sequence: from + k x 1000 / fps.
double FrameTime(int32_t from, int32_t fps, int64_t k);

// How many frames a sequence from `from` up to `to` (exclusive) holds at
// `fps`: every k with FrameTime(k) < to; 0 when to <= from.
int64_t FrameCount(int32_t from, int32_t to, int32_t fps);

// "frame000042.png" for frame 42 of a sequence; "t1500.png" for a single
// time. Frame numbers past six digits simply grow longer.
std::string SequenceFrameName(int64_t k);
std::string SingleFrameName(int32_t ms);

} // namespace qx
