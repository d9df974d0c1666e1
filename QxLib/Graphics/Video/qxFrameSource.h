// A source of video frames by index, the parameters every consumer of a
// clip copies, and the process-wide factory that opens a clip's stream as a
// frame source.
#pragma once

#include "QxLib/Graphics/Video/qxYUVImage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qx {

class TBitmap;
class TStream;

struct TVideoParams {
  int32_t Width = 0;
  int32_t Height = 0;
  // 2 = 16:9, 1 = 4:3, 0 = other.
  uint8_t AspectClass = 0;
  bool Interlaced = false;
  bool BottomFieldFirst = false;
  double FrameRate = 0;
  int64_t FrameCount = 0;
  // "MPEG2", "MPEG4", "H264", "XVID" or "OTHER".
  std::string CodecName;
  uint8_t CallerFlag = 0;
  bool operator==(const TVideoParams&) const = default;
};

class TFrameSource {
public:
  TFrameSource() = default;
  TFrameSource(const TFrameSource&) = delete;
  TFrameSource& operator=(const TFrameSource&) = delete;
  virtual ~TFrameSource() = default;

  // Decodes frame `index` (0 ... FrameCount - 1) into the image's planes
  // (three planes, or the grey plane of a grey image). False when the frame
  // cannot be decoded or the image refuses its planes. Called by one thread
  // at a time.
  virtual bool GetFrame(int64_t index, TYUVImage& image) = 0;
  // Decodes frame `index` as 24-bit colour into `image`, made Bgr24 of the
  // clip's size. False on failure.
  virtual bool GetFrame24(int64_t index, TBitmap& image) = 0;

  const TVideoParams& Params() const { return m_params; }

protected:
  TVideoParams m_params;
};

// Opens a clip's stream (borrowed: it must outlive the source) as a frame
// source, or gives none.
using TVideoSourceFactory =
    std::function<std::unique_ptr<TFrameSource>(TStream& stream, uint8_t callerFlag, const std::string& name)>;
// Answers true for a clip name that must not be opened.
using TVideoRefuseHook = std::function<bool(const std::string& name)>;

// The factory installed at start-up (the library's video source unless
// replaced); returns the one it replaced.
TVideoSourceFactory SetVideoSourceFactory(TVideoSourceFactory factory);
TVideoRefuseHook SetVideoRefuseHook(TVideoRefuseHook hook);
// Asks the hook, then the factory; none when refused or not opened.
std::unique_ptr<TFrameSource> CreateVideoSource(TStream& stream, uint8_t callerFlag, const std::string& name);

} // namespace qx
