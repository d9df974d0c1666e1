// The video source: one clip opened through the video-decoding library from
// a stream (a packed file or a disk file; nothing is extracted to disk). It
// reports the clip's parameters and decodes any frame by index, decoding
// forward from the picture it holds when the frame is near ahead and
// seeking otherwise, into the planes of a YUV image or into 24-bit colour.
#pragma once

#include "QxLib/Graphics/Video/qxFFMpegMedia.h"
#include "QxLib/Graphics/Video/qxFrameSource.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace qx {

class TWinVideoSource final : public TFrameSource {
public:
  // A request this many frames or more past the decoded picture seeks.
  static constexpr int64_t kForwardDecodeLimit = 30;

  // Opens the clip in `stream` (borrowed) through the shared library; none
  // when the library is not available, the stream holds no clip with a
  // video stream, or its buffers cannot be made.
  static std::unique_ptr<TFrameSource> Open(TStream& stream, uint8_t callerFlag, const std::string& name);
  // The same through a given library.
  static std::unique_ptr<TWinVideoSource> OpenWith(TRefPtr<TFFMpegDll> dll, TStream& stream, uint8_t callerFlag,
                                                   const std::string& name);
  ~TWinVideoSource() override;

  bool GetFrame(int64_t index, TYUVImage& image) override;
  bool GetFrame24(int64_t index, TBitmap& image) override;

  const std::string& Name() const { return m_name; }
  TContainerKind ContainerKind() const { return m_media->Data().Container; }
  const std::string& FormatName() const { return m_media->FormatName(); }
  double DurationMs() const { return m_media->DurationMs(); }
  // The decode window: the frame indices the decoded picture answers.
  int64_t WindowStart() const { return m_media->Data().WindowStart; }
  int64_t WindowEnd() const { return m_media->Data().WindowEnd; }
  // How many pictures the library decoded and how many seeks were made.
  int64_t FramesDecoded() const { return m_framesDecoded; }
  int64_t Seeks() const { return m_seeks; }

  // The 16-bit 5-6-5 grey of a luma byte (studio range 16 ... 235).
  static uint16_t GreyOf(uint8_t luma);

private:
  TWinVideoSource(std::unique_ptr<TFFMpegMedia> media, std::string name);
  bool MakeBuffers();
  void ReadParams(uint8_t callerFlag);
  // Decodes the first pictures: the first one's time, and up to three for
  // the interlacing (unless the file says or its container is progressive).
  void ProbeStart();
  // Makes frame `index` the decoded picture; false with the log line on a
  // decode error.
  bool Decode(int64_t index);
  // Decodes the next picture; the library's code (0 = a picture).
  int32_t DecodeNext();
  struct TDecodeResult {
    bool Decoded = false;
    std::array<int64_t, 2> Span{-1, -1};
  };
  // Decodes pictures until one's span passes `index`, at most `limit` of
  // them (with `stopWhenStuck`, also when their index stops changing);
  // the library's last code.
  int32_t DecodeUntil(int64_t index, int64_t limit, bool stopWhenStuck, TDecodeResult& result);
  // The frame indices [start, end) of the decoded picture.
  std::array<int64_t, 2> DecodedSpan() const;
  // The buffer holding the decoded picture in YUV 4:2:0.
  QxFrameBuffer* YuvPicture();
  bool DeliverYuv(TYUVImage& image);

  std::unique_ptr<TFFMpegMedia> m_media;
  std::string m_name;
  QxFrameBuffer* m_yuv = nullptr;
  QxFrameBuffer* m_native = nullptr;
  QxFrameBuffer* m_rgb = nullptr;
  bool m_yuvCurrent = false;
  int64_t m_current = -1;
  int64_t m_framesDecoded = 0;
  int64_t m_seeks = 0;
  std::mutex m_lock;
};

} // namespace qx
