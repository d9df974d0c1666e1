// Picture decoding: frame buffers, the next picture of the video stream,
// conversions between pixel formats and the frame information.
#include "Plugins/qxFFmpeg/qxFFmpegState.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <cstring>

namespace qxff {

namespace {

// Decode errors in a row after which a picture request fails.
constexpr int kMaxDecodeErrors = 200;
constexpr int kPitchAlign = 32;
constexpr int kMaxPadding = 16;

int32_t AlignedPitch(int32_t bytes) { return (bytes + kPitchAlign - 1) / kPitchAlign * kPitchAlign; }

int32_t FrameFlags(const AVFrame& frame) {
  int32_t flags = 0;
  if (frame.interlaced_frame)
    flags |= QX_FF_FRAME_INTERLACED;
  if (frame.top_field_first)
    flags |= QX_FF_FRAME_TOP_FIELD_FIRST;
  if (frame.key_frame)
    flags |= QX_FF_FRAME_KEY;
  return flags;
}

// Sets the converter's colour matrix and ranges: the source's matrix as the
// picture says (BT.601 when it says nothing), limited range unless a
// full-range picture; RGB targets are full range.
void SetColorDetails(SwsContext* scaler, const TColorTags& source, AVPixelFormat sourceFormat,
                     AVPixelFormat targetFormat) {
  int* inverse = nullptr;
  int* table = nullptr;
  int sourceRange = 0;
  int targetRange = 0;
  int brightness = 0;
  int contrast = 0;
  int saturation = 0;
  if (sws_getColorspaceDetails(scaler, &inverse, &sourceRange, &table, &targetRange, &brightness, &contrast,
                               &saturation) < 0)
    return;
  int colorspace = SWS_CS_DEFAULT;
  if (source.Space == AVCOL_SPC_BT709)
    colorspace = SWS_CS_ITU709;
  const bool sourceFull = source.Range == AVCOL_RANGE_JPEG || sourceFormat == AV_PIX_FMT_YUVJ420P ||
                          sourceFormat == AV_PIX_FMT_YUVJ422P || sourceFormat == AV_PIX_FMT_YUVJ444P;
  const bool targetRgb = targetFormat == AV_PIX_FMT_RGB24 || targetFormat == AV_PIX_FMT_BGRA;
  sws_setColorspaceDetails(scaler, sws_getCoefficients(colorspace), sourceFull ? 1 : 0, sws_getCoefficients(colorspace),
                           targetRgb ? 1 : 0, brightness, contrast, saturation);
}

// Converts width x height pixels between two plane sets.
bool Convert(TMediaState& state, const TColorTags& sourceTags, const uint8_t* const sourceData[4],
             const int sourcePitch[4], int sourceWidth, int sourceHeight, AVPixelFormat sourceFormat,
             uint8_t* const targetData[4], const int targetPitch[4], int targetWidth, int targetHeight,
             AVPixelFormat targetFormat) {
  if (sourceFormat == AV_PIX_FMT_NONE || targetFormat == AV_PIX_FMT_NONE || sourceWidth <= 0 || sourceHeight <= 0)
    return false;
  state.Scaler = sws_getCachedContext(state.Scaler, sourceWidth, sourceHeight, sourceFormat, targetWidth, targetHeight,
                                      targetFormat, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!state.Scaler)
    return false;
  SetColorDetails(state.Scaler, sourceTags, sourceFormat, targetFormat);
  return sws_scale(state.Scaler, sourceData, sourcePitch, 0, sourceHeight, targetData, targetPitch) > 0;
}

// A frame buffer's planes made to point at `frame`.
void PointAt(QxFrameBuffer& buffer, const AVFrame& frame) {
  for (int i = 0; i < 4; ++i) {
    buffer.Data[i] = frame.data[i];
    buffer.Pitch[i] = frame.linesize[i];
  }
  buffer.Width = frame.width;
  buffer.Height = frame.height;
}

// Hands a decoded picture to the buffer: converted into its own memory, or
// referenced (brought to the announced size and layout first when the
// decoder changed them midway).
bool Deliver(QxMediaFile* media, QxFrameBuffer& buffer, AVFrame& decoded) {
  TMediaState& state = StateOf(media);
  auto& own = *static_cast<TBufferState*>(buffer.Internal);
  const auto decodedFormat = static_cast<AVPixelFormat>(decoded.format);
  buffer.Pts = decoded.best_effort_timestamp != AV_NOPTS_VALUE ? decoded.best_effort_timestamp : decoded.pts;
  if (buffer.Pts == AV_NOPTS_VALUE)
    buffer.Pts = QX_FF_NO_PTS;
  buffer.Duration = decoded.pkt_duration > 0 ? decoded.pkt_duration : 0;
  buffer.Flags = FrameFlags(decoded);
  own.PacketDts = decoded.pkt_dts == AV_NOPTS_VALUE ? QX_FF_NO_PTS : decoded.pkt_dts;
  own.PacketPts = decoded.pts == AV_NOPTS_VALUE ? QX_FF_NO_PTS : decoded.pts;
  const TColorTags tags{decoded.colorspace, decoded.color_range};
  // Converted pictures keep the matrix; YUV targets are limited range.
  own.Color = TColorTags{decoded.colorspace, AVCOL_RANGE_MPEG};

  if (!own.Memory.empty()) {
    const AVPixelFormat target = ToAvFormat(buffer.PixelFormat, media);
    return Convert(state, tags, decoded.data, decoded.linesize, decoded.width, decoded.height, decodedFormat,
                   buffer.Data, buffer.Pitch, buffer.Width, buffer.Height, target);
  }
  const AVPixelFormat announced = ToAvFormat(media->PixelFormat, media);
  av_frame_unref(own.Frame.get());
  // A picture padded to whole macroblocks (1088 lines shown as 1080) is
  // cut, not scaled.
  const bool padded = decoded.width >= media->Width && decoded.width - media->Width < kMaxPadding &&
                      decoded.height >= media->Height && decoded.height - media->Height < kMaxPadding;
  if (padded && decodedFormat == announced) {
    own.Color = tags;
    av_frame_move_ref(own.Frame.get(), &decoded);
  } else {
    AVFrame* fitted = own.Frame.get();
    fitted->width = media->Width;
    fitted->height = media->Height;
    fitted->format = announced;
    if (av_frame_get_buffer(fitted, kPitchAlign) < 0)
      return false;
    if (!Convert(state, tags, decoded.data, decoded.linesize, decoded.width, decoded.height, decodedFormat,
                 fitted->data, fitted->linesize, fitted->width, fitted->height, announced))
      return false;
  }
  PointAt(buffer, *own.Frame);
  buffer.Width = media->Width;
  buffer.Height = media->Height;
  return true;
}

} // namespace

AVPixelFormat ToAvFormat(int32_t format, const QxMediaFile* media) {
  switch (format) {
  case QX_FF_PIX_YUV420P: return AV_PIX_FMT_YUV420P;
  case QX_FF_PIX_RGB24: return AV_PIX_FMT_RGB24;
  case QX_FF_PIX_BGRA: return AV_PIX_FMT_BGRA;
  case QX_FF_PIX_NATIVE: {
    if (!media || !media->Internal)
      return AV_PIX_FMT_NONE;
    const TMediaState& state = *static_cast<const TMediaState*>(media->Internal);
    if (state.VideoIndex < 0)
      return AV_PIX_FMT_NONE;
    return static_cast<AVPixelFormat>(state.Format->streams[state.VideoIndex]->codecpar->format);
  }
  default: return AV_PIX_FMT_NONE;
  }
}

bool OpenVideoDecoder(TMediaState& state) {
  if (state.Video)
    return true;
  if (state.VideoIndex < 0)
    return false;
  const AVStream& stream = *state.Format->streams[state.VideoIndex];
  const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
  if (!codec)
    return false;
  TCodecPtr context(avcodec_alloc_context3(codec));
  if (!context || avcodec_parameters_to_context(context.get(), stream.codecpar) < 0)
    return false;
  context->pkt_timebase = stream.time_base;
  context->max_pixels = kMaxPixels;
  context->thread_count = 0;
  context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  if (avcodec_open2(context.get(), codec, nullptr) < 0)
    return false;
  state.Video = std::move(context);
  state.VideoDraining = false;
  state.DecodeErrors = 0;
  return true;
}

int DecodePicture(TMediaState& state, AVFrame& decoded, bool keepDamaged) {
  if (state.PendingVideo) {
    av_frame_move_ref(&decoded, state.PendingVideo.get());
    state.PendingVideo.reset();
    return 0;
  }
  AVCodecContext& decoder = *state.Video;
  for (;;) {
    const int received = avcodec_receive_frame(&decoder, &decoded);
    if (received == 0) {
      if (!keepDamaged && (decoded.flags & AV_FRAME_FLAG_CORRUPT)) {
        av_frame_unref(&decoded);
        continue;
      }
      state.DecodeErrors = 0;
      return 0;
    }
    if (received == AVERROR_EOF)
      return 1;
    if (received != AVERROR(EAGAIN)) {
      if (++state.DecodeErrors > kMaxDecodeErrors)
        return received;
      continue;
    }
    if (state.VideoDraining)
      return 1;
    TPacketPtr packet = state.NextPacket(state.VideoIndex);
    if (!packet) {
      state.VideoDraining = true;
      avcodec_send_packet(&decoder, nullptr);
      continue;
    }
    const int sent = avcodec_send_packet(&decoder, packet.get());
    if (sent < 0 && sent != AVERROR(EAGAIN) && ++state.DecodeErrors > kMaxDecodeErrors)
      return sent;
  }
}

} // namespace qxff

using namespace qxff;

QX_FF_EXPORT QxFrameBuffer* AllocBuffer(QxMediaFile* media, int32_t pixelFormat) {
  auto own = std::make_unique<TBufferState>();
  own->Frame.reset(av_frame_alloc());
  if (!own->Frame)
    return nullptr;
  auto buffer = std::make_unique<QxFrameBuffer>();
  std::memset(buffer.get(), 0, sizeof(QxFrameBuffer));
  buffer->PixelFormat = pixelFormat;
  buffer->Width = media ? media->Width : 0;
  buffer->Height = media ? media->Height : 0;
  buffer->Pts = QX_FF_NO_PTS;
  buffer->Internal = own.release();
  return buffer.release();
}

QX_FF_EXPORT QxFrameBuffer* AllocBufferWithData(QxMediaFile* media, int32_t pixelFormat) {
  if (!media || media->Width <= 0 || media->Height <= 0)
    return nullptr;
  const int32_t width = media->Width;
  const int32_t height = media->Height;
  int32_t pitches[3] = {};
  int32_t heights[3] = {};
  switch (pixelFormat) {
  case QX_FF_PIX_YUV420P:
    pitches[0] = AlignedPitch(width);
    pitches[1] = pitches[2] = AlignedPitch((width + 1) / 2);
    heights[0] = height;
    heights[1] = heights[2] = (height + 1) / 2;
    break;
  case QX_FF_PIX_RGB24:
    pitches[0] = AlignedPitch(width * 3);
    heights[0] = height;
    break;
  case QX_FF_PIX_BGRA:
    pitches[0] = AlignedPitch(width * 4);
    heights[0] = height;
    break;
  default: return nullptr;
  }
  QxFrameBuffer* buffer = AllocBuffer(media, pixelFormat);
  if (!buffer)
    return nullptr;
  auto& own = *static_cast<TBufferState*>(buffer->Internal);
  size_t total = 0;
  for (int i = 0; i < 3; ++i)
    total += static_cast<size_t>(pitches[i]) * static_cast<size_t>(heights[i]);
  own.Memory.assign(total + kPitchAlign, 0);
  uint8_t* at = own.Memory.data();
  for (int i = 0; i < 3 && pitches[i] > 0; ++i) {
    buffer->Data[i] = at;
    buffer->Pitch[i] = pitches[i];
    at += static_cast<size_t>(pitches[i]) * static_cast<size_t>(heights[i]);
  }
  return buffer;
}

QX_FF_EXPORT void FreeBuffer(QxFrameBuffer* buffer) {
  if (!buffer)
    return;
  delete static_cast<TBufferState*>(buffer->Internal);
  delete buffer;
}

QX_FF_EXPORT int32_t GetNextVideoFrame(QxMediaFile* media, QxFrameBuffer* buffer, int32_t flag) {
  if (!media || !buffer || !OpenVideoDecoder(StateOf(media)))
    return -1;
  TFramePtr decoded(av_frame_alloc());
  if (!decoded)
    return -1;
  const int code = DecodePicture(StateOf(media), *decoded, flag != 0);
  if (code != 0)
    return code;
  return Deliver(media, *buffer, *decoded) ? 0 : -1;
}

QX_FF_EXPORT int32_t ConvertFrame(QxMediaFile* media, QxFrameBuffer* source, QxFrameBuffer* destination,
                                  int32_t sourceFormat, int32_t destinationFormat) {
  if (!media || !source || !destination || !source->Data[0] || !destination->Data[0])
    return -1;
  const auto& own = *static_cast<const TBufferState*>(source->Internal);
  const AVFrame* frame = own.Frame && own.Frame->data[0] == source->Data[0] ? own.Frame.get() : nullptr;
  const AVPixelFormat from = frame ? static_cast<AVPixelFormat>(frame->format) : ToAvFormat(sourceFormat, media);
  auto& target = *static_cast<TBufferState*>(destination->Internal);
  // YUV targets are written in limited range, RGB in full range.
  target.Color =
      TColorTags{own.Color.Space, destinationFormat == QX_FF_PIX_YUV420P ? AVCOL_RANGE_MPEG : AVCOL_RANGE_JPEG};
  const int sourcePitch[4] = {source->Pitch[0], source->Pitch[1], source->Pitch[2], source->Pitch[3]};
  const int targetPitch[4] = {destination->Pitch[0], destination->Pitch[1], destination->Pitch[2],
                              destination->Pitch[3]};
  const uint8_t* const sourceData[4] = {source->Data[0], source->Data[1], source->Data[2], source->Data[3]};
  const bool done = Convert(StateOf(media), own.Color, sourceData, sourcePitch, source->Width, source->Height, from,
                            destination->Data, targetPitch, destination->Width, destination->Height,
                            ToAvFormat(destinationFormat, media));
  if (!done)
    return -1;
  destination->Pts = source->Pts;
  destination->Duration = source->Duration;
  destination->Flags = source->Flags;
  return 0;
}

QX_FF_EXPORT void FlushVideo(QxMediaFile* media) {
  if (!media)
    return;
  TMediaState& state = StateOf(media);
  if (state.VideoIndex >= 0)
    state.Queues[static_cast<size_t>(state.VideoIndex)].clear();
  if (state.Video)
    avcodec_flush_buffers(state.Video.get());
  state.PendingVideo.reset();
  state.VideoDraining = false;
  state.DecodeErrors = 0;
}

QX_FF_EXPORT int32_t GetFrameInfo(QxFrameBuffer* buffer) { return buffer ? buffer->Flags : 0; }

QX_FF_EXPORT void GetDtsPts(QxFrameBuffer* buffer, int64_t* dts, int64_t* pts) {
  const auto* own = buffer ? static_cast<const TBufferState*>(buffer->Internal) : nullptr;
  if (dts)
    *dts = own ? own->PacketDts : QX_FF_NO_PTS;
  if (pts)
    *pts = own ? own->PacketPts : QX_FF_NO_PTS;
}
