#include "QxLib/Graphics/Video/qxWinVideoSource.h"

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxLog.h"
#include "QxLib/qxStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace qx {

namespace {

constexpr int kInterlaceProbeFrames = 3;
// After a seek, pictures decoded before the wanted one whose index stays
// the same this often end the search.
constexpr int kMaxStuckPictures = 3;
// Pictures decoded after a seek at most (a long group of pictures).
constexpr int kMaxSeekDecodes = 5000;
constexpr double kGreyScale = 0.8588235294117647;
constexpr double kAspect16x9 = 16.0 / 9.0;
constexpr double kAspect4x3 = 4.0 / 3.0;
constexpr double kAspectTolerance = 0.001;

// Parameters of clips opened before, by clip name and stream size, so that a
// later open needs no decoding to find the interlacing.
struct TCachedParams {
  TVideoParams Params;
  int64_t StartTime = 0;
};

struct TParamCache {
  std::mutex Lock;
  std::map<std::string, TCachedParams> Entries;
};

TParamCache& ParamCache() {
  static TParamCache cache;
  return cache;
}

const char* CodecName(int32_t codec) {
  switch (codec) {
  case QX_FF_CODEC_MPEG2: return "MPEG2";
  case QX_FF_CODEC_MPEG4: return "MPEG4";
  case QX_FF_CODEC_H264: return "H264";
  case QX_FF_CODEC_XVID: return "XVID";
  default: return "OTHER";
  }
}

uint8_t AspectClass(const QxMediaFile& handle) {
  if (handle.DisplayAspectNum > 0 && handle.DisplayAspectDen > 0) {
    const double aspect = static_cast<double>(handle.DisplayAspectNum) / handle.DisplayAspectDen;
    if (std::fabs(aspect - kAspect16x9) < kAspectTolerance)
      return 2;
    if (std::fabs(aspect - kAspect4x3) < kAspectTolerance)
      return 1;
  }
  switch (handle.SampleAspectNum) {
  case 8:
  case 10:
  case 16:
  case 59:
  case 256: return 1;
  case 32:
  case 40:
  case 64:
  case 118: return 2;
  default: return 0;
  }
}

} // namespace

uint16_t TWinVideoSource::GreyOf(uint8_t luma) {
  const auto e = static_cast<uint32_t>(luma * kGreyScale + 16);
  return static_cast<uint16_t>(((e >> 3) << 11) | ((e >> 2) << 5) | (e >> 3));
}

std::unique_ptr<TFrameSource> TWinVideoSource::Open(TStream& stream, uint8_t callerFlag, const std::string& name) {
  return OpenWith(TFFMpegDll::Acquire(), stream, callerFlag, name);
}

std::unique_ptr<TWinVideoSource> TWinVideoSource::OpenWith(TRefPtr<TFFMpegDll> dll, TStream& stream, uint8_t callerFlag,
                                                           const std::string& name) {
  std::unique_ptr<TFFMpegMedia> media = TFFMpegMedia::Open(std::move(dll), stream, name);
  // A file with sound only has no frames to give.
  if (!media || !media->HasVideo() || media->Handle().Width <= 0 || media->Handle().Height <= 0)
    return nullptr;
  std::unique_ptr<TWinVideoSource> source(new TWinVideoSource(std::move(media), name));
  if (!source->MakeBuffers())
    return nullptr;
  int64_t size = -1;
  try {
    size = stream.GetSize();
  } catch (const std::exception&) {
  }
  const std::string key = name + ":" + std::to_string(size);
  source->ReadParams(callerFlag);
  TParamCache& cache = ParamCache();
  {
    const std::lock_guard lock(cache.Lock);
    const auto cached = cache.Entries.find(key);
    if (cached != cache.Entries.end() && cached->second.Params.Width == source->m_params.Width &&
        cached->second.Params.Height == source->m_params.Height) {
      source->m_params.Interlaced = cached->second.Params.Interlaced;
      source->m_params.BottomFieldFirst = cached->second.Params.BottomFieldFirst;
      source->m_media->Handle().StartTime = cached->second.StartTime;
      return source;
    }
  }
  source->ProbeStart();
  const std::lock_guard lock(cache.Lock);
  cache.Entries[key] = {source->m_params, source->m_media->Handle().StartTime};
  return source;
}

TWinVideoSource::TWinVideoSource(std::unique_ptr<TFFMpegMedia> media, std::string name)
    : m_media(std::move(media)), m_name(std::move(name)) {}

TWinVideoSource::~TWinVideoSource() {
  TFFMpegDll& dll = m_media->Dll();
  dll.FreeBuffer(m_rgb);
  dll.FreeBuffer(m_native);
  dll.FreeBuffer(m_yuv);
}

bool TWinVideoSource::MakeBuffers() {
  TFFMpegDll& dll = m_media->Dll();
  QxMediaFile& handle = m_media->Handle();
  // A decoder whose pictures are not plain 4:2:0 decodes into a buffer of
  // its own; its pictures are converted into the YUV buffer.
  if (handle.PixelFormat != QX_FF_PIX_YUV420P) {
    m_native = dll.AllocBuffer(&handle, handle.PixelFormat);
    m_yuv = dll.AllocBufferWithData(&handle, QX_FF_PIX_YUV420P);
  } else {
    m_yuv = dll.AllocBuffer(&handle, handle.PixelFormat);
  }
  return m_yuv && (handle.PixelFormat == QX_FF_PIX_YUV420P || m_native);
}

void TWinVideoSource::ReadParams(uint8_t callerFlag) {
  const QxMediaFile& handle = m_media->Handle();
  m_params.Width = handle.Width;
  m_params.Height = handle.Height;
  m_params.FrameRate = m_media->FrameRate();
  m_params.FrameCount = handle.FrameCount;
  m_params.AspectClass = AspectClass(handle);
  m_params.CodecName = CodecName(handle.CodecId);
  m_params.CallerFlag = callerFlag;
  const std::string tag = handle.FileTag;
  if (tag == "Orvane_ITFA" || tag == "Orvane_ITFB") {
    m_params.Interlaced = true;
    m_params.BottomFieldFirst = tag == "Orvane_ITFB";
  }
}

void TWinVideoSource::ProbeStart() {
  const TContainerKind kind = ContainerKind();
  const bool probeFields = !m_params.Interlaced && kind != TContainerKind::Avi && kind != TContainerKind::Matroska;
  TFFMpegDll& dll = m_media->Dll();
  QxFrameBuffer* target = m_native ? m_native : m_yuv;
  for (int i = 0; i < kInterlaceProbeFrames; ++i) {
    if (dll.GetNextVideoFrame(&m_media->Handle(), target, 0) != 0)
      break;
    if (i == 0)
      m_media->SetFirstPicture(target->Pts);
    if (!probeFields)
      break;
    const int32_t flags = dll.GetFrameInfo(target);
    if (flags & QX_FF_FRAME_INTERLACED) {
      m_params.Interlaced = true;
      m_params.BottomFieldFirst = !(flags & QX_FF_FRAME_TOP_FIELD_FIRST);
      break;
    }
  }
  // Back to the start, as if nothing had been decoded.
  dll.FlushVideo(&m_media->Handle());
  dll.SeekFile(&m_media->Handle(), m_media->Handle().VideoStream, m_media->StampOfIndex(0),
               QX_FF_SEEK_EXACT | QX_FF_SEEK_BACKWARD);
}

int32_t TWinVideoSource::DecodeNext() {
  const int32_t code = m_media->Dll().GetNextVideoFrame(&m_media->Handle(), m_native ? m_native : m_yuv, 0);
  if (code == 0) {
    ++m_framesDecoded;
    m_yuvCurrent = !m_native;
  }
  return code;
}

std::array<int64_t, 2> TWinVideoSource::DecodedSpan() const {
  const QxFrameBuffer& picture = *(m_native ? m_native : m_yuv);
  const int64_t start = m_media->IndexOfStamp(picture.Pts);
  if (start < 0)
    return {-1, -1};
  const int64_t end = picture.Duration > 0 ? m_media->IndexOfStamp(picture.Pts + picture.Duration) : start + 1;
  return {start, std::max(end, start + 1)};
}

int32_t TWinVideoSource::DecodeUntil(int64_t index, int64_t limit, bool stopWhenStuck, TDecodeResult& result) {
  int32_t code = 0;
  int64_t last = -2;
  for (int64_t count = 0, stuck = 0; count < limit; ++count) {
    code = DecodeNext();
    if (code != 0)
      break;
    result.Decoded = true;
    result.Span = DecodedSpan();
    if (result.Span[1] > index)
      break;
    stuck = result.Span[0] == last ? stuck + 1 : 0;
    if (stopWhenStuck && stuck >= kMaxStuckPictures)
      break;
    last = result.Span[0];
  }
  return code;
}

bool TWinVideoSource::Decode(int64_t index) {
  TMediaFileData& data = m_media->Data();
  if (index == m_current || (data.WindowStart <= index && index < data.WindowEnd)) {
    m_current = index;
    return true;
  }
  int32_t code = 0;
  TDecodeResult result;
  if (index == data.WindowEnd) {
    code = DecodeUntil(index, 1, false, result);
  } else if (index > data.WindowEnd && index - data.WindowEnd < kForwardDecodeLimit) {
    // Pictures of a clip with a variable rate may come denser than its mean
    // rate: the count allows for that rather than stopping short.
    code = DecodeUntil(index, index - data.WindowEnd + 1 + kForwardDecodeLimit, false, result);
  } else {
    TFFMpegDll& dll = m_media->Dll();
    dll.FlushVideo(&m_media->Handle());
    ++m_seeks;
    code = dll.SeekFile(&m_media->Handle(), m_media->Handle().VideoStream, m_media->StampOfIndex(index),
                        QX_FF_SEEK_EXACT | QX_FF_SEEK_BACKWARD);
    if (code >= 0)
      code = DecodeUntil(index, kMaxSeekDecodes, true, result);
  }
  const bool decoded = result.Decoded;
  const std::array<int64_t, 2>& span = result.Span;
  if (!decoded) {
    // Past the last picture the one decoded last stays.
    if (code == 1 && m_current >= 0 && index > m_current) {
      data.WindowEnd = index + 1;
      m_current = index;
      return true;
    }
    Log().WriteLine("GetFrame " + std::to_string(index) + " of file " + m_name + " Error= " + std::to_string(code));
    m_current = -1;
    data.WindowStart = data.WindowEnd = -1;
    return false;
  }
  // The picture answers the indices it spans, and the one asked for even
  // when the clip has no picture there.
  data.WindowStart = span[0] >= 0 ? std::min(span[0], index) : index;
  data.WindowEnd = std::max(span[1], index + 1);
  m_current = index;
  return true;
}

QxFrameBuffer* TWinVideoSource::YuvPicture() {
  if (m_native && !m_yuvCurrent) {
    if (m_media->Dll().ConvertFrame(&m_media->Handle(), m_native, m_yuv, m_media->Handle().PixelFormat,
                                    QX_FF_PIX_YUV420P) < 0)
      return nullptr;
    m_yuvCurrent = true;
  }
  return m_yuv;
}

bool TWinVideoSource::DeliverYuv(TYUVImage& image) {
  const QxFrameBuffer* picture = YuvPicture();
  if (!picture || !picture->Data[0] || !picture->Data[1] || !picture->Data[2]) {
    Log().WriteLine("YUV data not found");
    return false;
  }
  const int32_t width = std::min(picture->Width, image.Width());
  const int32_t height = std::min(picture->Height, image.Height());
  if (image.Mode() == TYUVImage::kGrey) {
    const TYUVImage::TPlane grey = image.LockPlane(TYUVImage::kPlaneGrey);
    if (!grey.Bits)
      return false;
    for (int32_t y = 0; y < std::min(height, grey.Height); ++y) {
      const uint8_t* luma = picture->Data[0] + static_cast<ptrdiff_t>(y) * picture->Pitch[0];
      auto* row = reinterpret_cast<uint16_t*>(grey.Bits + static_cast<ptrdiff_t>(y) * grey.Pitch);
      for (int32_t x = 0; x < std::min(width, grey.Width); ++x)
        row[x] = GreyOf(luma[x]);
    }
    image.UnlockPlane(TYUVImage::kPlaneGrey);
    image.RefillDone();
    return true;
  }
  std::array<TYUVImage::TPlane, 3> planes;
  for (int32_t i = 0; i < 3; ++i) {
    planes[static_cast<size_t>(i)] = image.LockPlane(i);
    if (!planes[static_cast<size_t>(i)].Bits) {
      for (int32_t j = 0; j < i; ++j)
        image.UnlockPlane(j);
      return false;
    }
  }
  for (int32_t i = 0; i < 3; ++i) {
    const TYUVImage::TPlane& plane = planes[static_cast<size_t>(i)];
    const int32_t rows = std::min(i == 0 ? height : height / 2, plane.Height);
    const int32_t bytes = std::min(i == 0 ? width : width / 2, plane.Width);
    for (int32_t y = 0; y < rows; ++y)
      std::memcpy(plane.Bits + static_cast<ptrdiff_t>(y) * plane.Pitch,
                  picture->Data[i] + static_cast<ptrdiff_t>(y) * picture->Pitch[i], static_cast<size_t>(bytes));
  }
  for (int32_t i = 0; i < 3; ++i)
    image.UnlockPlane(i);
  image.RefillDone();
  return true;
}

bool TWinVideoSource::GetFrame(int64_t index, TYUVImage& image) {
  const std::lock_guard lock(m_lock);
  return Decode(index) && DeliverYuv(image);
}

bool TWinVideoSource::GetFrame24(int64_t index, TBitmap& image) {
  const std::lock_guard lock(m_lock);
  if (!Decode(index))
    return false;
  TFFMpegDll& dll = m_media->Dll();
  QxMediaFile& handle = m_media->Handle();
  if (!m_rgb)
    m_rgb = dll.AllocBufferWithData(&handle, QX_FF_PIX_RGB24);
  QxFrameBuffer* source = m_native ? m_native : m_yuv;
  const int32_t format = m_native ? handle.PixelFormat : QX_FF_PIX_YUV420P;
  if (!m_rgb || dll.ConvertFrame(&handle, source, m_rgb, format, QX_FF_PIX_RGB24) < 0) {
    Log().WriteLine("GetFrame24 Error");
    return false;
  }
  if (!m_rgb->Data[0]) {
    Log().WriteLine("RGB data not found");
    return false;
  }
  image = TBitmap(m_rgb->Width, m_rgb->Height, TPixelFormat::Bgr24);
  for (int32_t y = 0; y < m_rgb->Height; ++y) {
    const uint8_t* from = m_rgb->Data[0] + static_cast<ptrdiff_t>(y) * m_rgb->Pitch[0];
    uint8_t* to = image.Scanline(y);
    for (int32_t x = 0; x < m_rgb->Width; ++x) {
      to[3 * x] = from[3 * x + 2];
      to[3 * x + 1] = from[3 * x + 1];
      to[3 * x + 2] = from[3 * x];
    }
  }
  return true;
}

} // namespace qx
