// Opening and closing media files through the caller's stream table, the
// container's name, the packets read ahead per stream, seeking and the
// stamps of the packets read.
#include "Plugins/qxFFmpeg/qxFFmpegState.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <cstring>

namespace qxff {

namespace {

constexpr int kIoBufferSize = 65536;
// A seek that lands after its target steps back this far first (seconds),
// doubling on each further try.
constexpr double kSeekBackStep = 1.0;
constexpr int kSeekTries = 10;

struct TCodecNumber {
  AVCodecID Id;
  int32_t Number;
};

constexpr TCodecNumber kCodecNumbers[] = {
    {AV_CODEC_ID_MPEG1VIDEO, QX_FF_CODEC_MPEG1},
    {AV_CODEC_ID_MPEG2VIDEO, QX_FF_CODEC_MPEG2},
    {AV_CODEC_ID_MJPEG, QX_FF_CODEC_MJPEG},
    {AV_CODEC_ID_MPEG4, QX_FF_CODEC_MPEG4},
    {AV_CODEC_ID_MSMPEG4V1, QX_FF_CODEC_MSMPEG4V1},
    {AV_CODEC_ID_MSMPEG4V2, QX_FF_CODEC_MSMPEG4V2},
    {AV_CODEC_ID_MSMPEG4V3, QX_FF_CODEC_MSMPEG4V3},
    {AV_CODEC_ID_WMV1, QX_FF_CODEC_WMV1},
    {AV_CODEC_ID_WMV2, QX_FF_CODEC_WMV2},
    {AV_CODEC_ID_H264, QX_FF_CODEC_H264},
    {AV_CODEC_ID_THEORA, QX_FF_CODEC_THEORA},
    {AV_CODEC_ID_VP8, QX_FF_CODEC_VP8},
    {AV_CODEC_ID_VP9, QX_FF_CODEC_VP9},
    {AV_CODEC_ID_HEVC, QX_FF_CODEC_HEVC},
    {AV_CODEC_ID_AV1, QX_FF_CODEC_AV1},
};

int32_t CodecNumber(const AVCodecParameters& parameters) {
  // MPEG-4 part 2 written by Xvid carries its own four-character code.
  if (parameters.codec_id == AV_CODEC_ID_MPEG4 && parameters.codec_tag == MKTAG('X', 'V', 'I', 'D'))
    return QX_FF_CODEC_XVID;
  for (const TCodecNumber& entry : kCodecNumbers)
    if (entry.Id == parameters.codec_id)
      return entry.Number;
  return QX_FF_CODEC_OTHER;
}

int ReadCallback(void* opaque, uint8_t* buffer, int size) {
  auto* state = static_cast<TMediaState*>(opaque);
  if (state->DiskIo) {
    const int got = avio_read(state->DiskIo, buffer, size);
    return got <= 0 ? AVERROR_EOF : got;
  }
  const int64_t got = state->Functions->Read64(state->Stream, buffer, size);
  if (got <= 0)
    return AVERROR_EOF;
  return static_cast<int>(std::min<int64_t>(got, size));
}

int64_t SeekCallback(void* opaque, int64_t offset, int whence) {
  auto* state = static_cast<TMediaState*>(opaque);
  if (state->DiskIo)
    return avio_seek(state->DiskIo, offset, whence & ~AVSEEK_FORCE);
  if (whence & AVSEEK_SIZE) {
    const int64_t size = state->Functions->Size64(state->Stream);
    return size < 0 ? -1 : size;
  }
  whence &= ~AVSEEK_FORCE;
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
    return -1;
  const int32_t origin = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? 1 : 2;
  return state->Functions->Seek64(state->Stream, offset, origin);
}

// A container must not open further files by name (playlists, references):
// everything is read through the caller's stream.
int RefuseIoOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

int64_t ToMicroseconds(int64_t stamp, AVRational timeBase) {
  if (stamp == AV_NOPTS_VALUE)
    return QX_FF_NO_PTS;
  return av_rescale_q(stamp, timeBase, AVRational{1, AV_TIME_BASE});
}

bool Plausible(AVRational rate) { return rate.num > 0 && rate.den > 0; }

// The video stream the handle shows: the best one that is not a cover
// picture, has a decoder and a size the library accepts; -1 when none.
int ChooseVideoStream(AVFormatContext& format) {
  const int best = av_find_best_stream(&format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (best < 0)
    return -1;
  const AVStream& stream = *format.streams[best];
  if (stream.disposition & AV_DISPOSITION_ATTACHED_PIC)
    return -1;
  const AVCodecParameters& parameters = *stream.codecpar;
  if (parameters.width <= 0 || parameters.height <= 0 || parameters.width > kMaxSide || parameters.height > kMaxSide ||
      int64_t{parameters.width} * parameters.height > kMaxPixels)
    return -1;
  if (!avcodec_find_decoder(parameters.codec_id))
    return -1;
  return best;
}

void DescribeVideo(QxMediaFile& media, AVFormatContext& format, int index) {
  const AVStream& stream = *format.streams[index];
  const AVCodecParameters& parameters = *stream.codecpar;
  media.VideoStream = index;
  media.CodecId = CodecNumber(parameters);
  media.Width = parameters.width;
  media.Height = parameters.height;
  media.TimeBaseNum = stream.time_base.num;
  media.TimeBaseDen = stream.time_base.den;
  const AVRational mean = Plausible(stream.avg_frame_rate) ? stream.avg_frame_rate : stream.r_frame_rate;
  if (Plausible(mean)) {
    media.FrameRateNum = mean.num;
    media.FrameRateDen = mean.den;
  } else {
    media.FrameRateNum = 25;
    media.FrameRateDen = 1;
  }
  if (Plausible(stream.r_frame_rate)) {
    media.StreamRateNum = stream.r_frame_rate.num;
    media.StreamRateDen = stream.r_frame_rate.den;
  }
  media.TicksPerFrame = 0;
  media.PixelFormat = parameters.format == AV_PIX_FMT_YUV420P ? QX_FF_PIX_YUV420P : QX_FF_PIX_NATIVE;
  if (stream.start_time != AV_NOPTS_VALUE)
    media.StartTime = ToMicroseconds(stream.start_time, stream.time_base);
  if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0)
    media.Duration = ToMicroseconds(stream.duration, stream.time_base);

  AVRational pixel = av_guess_sample_aspect_ratio(&format, const_cast<AVStream*>(&stream), nullptr);
  if (Plausible(pixel)) {
    media.SampleAspectNum = pixel.num;
    media.SampleAspectDen = pixel.den;
  } else {
    pixel = AVRational{1, 1};
  }
  AVRational display;
  av_reduce(&display.num, &display.den, int64_t{parameters.width} * pixel.num, int64_t{parameters.height} * pixel.den,
            1 << 20);
  media.DisplayAspectNum = display.num;
  media.DisplayAspectDen = display.den;
}

void DescribeAudio(TMediaState& state, QxMediaFile& media, AVFormatContext& format) {
  for (unsigned i = 0; i < format.nb_streams; ++i) {
    const AVCodecParameters& parameters = *format.streams[i]->codecpar;
    if (parameters.codec_type == AVMEDIA_TYPE_AUDIO && parameters.sample_rate > 0 &&
        parameters.ch_layout.nb_channels > 0 && avcodec_find_decoder(parameters.codec_id))
      state.AudioStreams.push_back(static_cast<int>(i));
  }
  media.AudioStreamCount = static_cast<int32_t>(state.AudioStreams.size());
}

// Opens through the stream table, or through `disk` (taken over) when given.
QxMediaFile* Open(const char* name, void* stream, const QxStreamFunctions* functions, AVIOContext* disk) {
  // FFmpeg's own messages about damaged input would only clutter the
  // player's output.
  av_log_set_level(AV_LOG_QUIET);
  auto media = std::make_unique<QxMediaFile>();
  std::memset(media.get(), 0, sizeof(QxMediaFile));
  auto state = std::make_unique<TMediaState>();
  state->Stream = stream;
  state->Functions = functions;
  state->DiskIo = disk;
  media->StartTime = QX_FF_NO_PTS;
  media->VideoStream = -1;
  media->AudioStream = -1;

  AVFormatContext* format = avformat_alloc_context();
  if (!format)
    return nullptr;
  {
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    state->Io = buffer ? avio_alloc_context(buffer, kIoBufferSize, 0, state.get(), ReadCallback, nullptr, SeekCallback)
                       : nullptr;
    if (!state->Io) {
      av_free(buffer);
      avformat_free_context(format);
      return nullptr;
    }
    format->pb = state->Io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  format->io_open = RefuseIoOpen;
  // avformat_open_input frees the context when it fails.
  if (avformat_open_input(&format, name ? name : "", nullptr, nullptr) < 0)
    return nullptr;
  state->Format = format;
  if (avformat_find_stream_info(format, nullptr) < 0)
    return nullptr;

  state->FormatName = format->iformat && format->iformat->name ? format->iformat->name : "";
  state->Queues.resize(format->nb_streams);
  state->Stamps.resize(format->nb_streams);
  if (format->start_time != AV_NOPTS_VALUE)
    media->StartTime = format->start_time;
  if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
    media->Duration = format->duration;
  const int video = ChooseVideoStream(*format);
  if (video >= 0)
    DescribeVideo(*media, *format, video);
  state->VideoIndex = video;
  DescribeAudio(*state, *media, *format);
  if (const AVDictionaryEntry* comment = av_dict_get(format->metadata, "comment", nullptr, 0))
    CopyText(comment->value, media->FileTag, sizeof(media->FileTag));
  media->Internal = state.release();
  return media.release();
}

} // namespace

TMediaState::~TMediaState() {
  DropQueues();
  Video.reset();
  Audio.reset();
  sws_freeContext(Scaler);
  swr_free(&Resampler);
  if (Format)
    avformat_close_input(&Format);
  if (Io) {
    av_freep(&Io->buffer);
    avio_context_free(&Io);
  }
  if (DiskIo)
    avio_closep(&DiskIo);
}

TMediaState& StateOf(QxMediaFile* media) { return *static_cast<TMediaState*>(media->Internal); }

bool TMediaState::Wanted(int index) const {
  if (index < 0)
    return false;
  return (Video && index == VideoIndex) || (Audio && index == AudioIndex);
}

bool TMediaState::ReadOne() {
  if (DemuxEnd || !Format)
    return false;
  TPacketPtr packet(av_packet_alloc());
  if (!packet)
    return false;
  if (av_read_frame(Format, packet.get()) < 0) {
    DemuxEnd = true;
    return false;
  }
  const int index = packet->stream_index;
  if (index < 0 || index >= static_cast<int>(Queues.size()))
    return true;
  std::deque<TPacketPtr>& queue = Queues[static_cast<size_t>(index)];
  queue.push_back(std::move(packet));
  if (queue.size() > kMaxQueued)
    queue.pop_front();
  return true;
}

const AVPacket* TMediaState::PeekPacket(int index) {
  if (index < 0 || index >= static_cast<int>(Queues.size()))
    return nullptr;
  std::deque<TPacketPtr>& queue = Queues[static_cast<size_t>(index)];
  for (int read = 0; queue.empty() && read < kMaxPacketsPerSearch; ++read) {
    if (!ReadOne())
      break;
    // Packets of streams nobody decodes are not kept beyond this search.
    for (size_t other = 0; other < Queues.size(); ++other)
      if (static_cast<int>(other) != index && !Wanted(static_cast<int>(other)))
        Queues[other].clear();
  }
  return queue.empty() ? nullptr : queue.front().get();
}

TPacketPtr TMediaState::NextPacket(int index) {
  if (!PeekPacket(index))
    return nullptr;
  std::deque<TPacketPtr>& queue = Queues[static_cast<size_t>(index)];
  TPacketPtr packet = std::move(queue.front());
  queue.pop_front();
  TStreamStamps& stamps = Stamps[static_cast<size_t>(index)];
  stamps.Dts = packet->dts == AV_NOPTS_VALUE ? QX_FF_NO_PTS : packet->dts;
  stamps.Pts = packet->pts == AV_NOPTS_VALUE ? QX_FF_NO_PTS : packet->pts;
  stamps.Read = true;
  return packet;
}

void TMediaState::DropQueues() {
  for (std::deque<TPacketPtr>& queue : Queues)
    queue.clear();
  for (TStreamStamps& stamps : Stamps)
    stamps = TStreamStamps{};
  DemuxEnd = false;
}

void CopyText(const std::string& text, char* buffer, int32_t size) {
  if (!buffer || size <= 0)
    return;
  const size_t count = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, text.data(), count);
  buffer[count] = 0;
}

namespace {

// The stamp of a packet: its pts, else its dts.
int64_t PacketStamp(const AVPacket& packet) { return packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts; }

// Whether the first packet of `index` after a seek lies at or before
// `stamp` (and, for the video stream, starts a picture that decodes).
bool LandedBefore(TMediaState& state, int index, int64_t stamp, bool video) {
  const AVPacket* first = state.PeekPacket(index);
  if (!first)
    return false;
  const int64_t at = PacketStamp(*first);
  if (at == AV_NOPTS_VALUE || at > stamp)
    return false;
  return !video || (first->flags & AV_PKT_FLAG_KEY);
}

// The stamp of the first picture decoded after a seek, which is kept to be
// handed out next; QX_FF_NO_PTS when none decodes.
int64_t FirstPictureStamp(TMediaState& state) {
  if (!OpenVideoDecoder(state))
    return QX_FF_NO_PTS;
  TFramePtr first(av_frame_alloc());
  if (!first || DecodePicture(state, *first, true) != 0)
    return QX_FF_NO_PTS;
  const int64_t stamp = first->best_effort_timestamp != AV_NOPTS_VALUE ? first->best_effort_timestamp : first->pts;
  state.PendingVideo = std::move(first);
  return stamp == AV_NOPTS_VALUE ? QX_FF_NO_PTS : stamp;
}

// Seeks so that the stream's first packet (and for the video stream its
// first decoded picture, as packets of some containers carry only decode
// stamps) lies at or before `stamp`.
int SeekExact(TMediaState& state, int index, int64_t stamp, int flags, bool video) {
  AVFormatContext& format = *state.Format;
  const AVRational timeBase = format.streams[index]->time_base;
  int64_t step = std::max<int64_t>(
      1, av_rescale_q(static_cast<int64_t>(kSeekBackStep * AV_TIME_BASE), AVRational{1, AV_TIME_BASE}, timeBase));
  int64_t target = stamp;
  for (int attempt = 0; attempt < kSeekTries; ++attempt) {
    ResetDecoders(state);
    state.DropQueues();
    if (av_seek_frame(&format, index, target, flags | AVSEEK_FLAG_BACKWARD) < 0)
      break;
    if (LandedBefore(state, index, stamp, video)) {
      if (!video)
        return 0;
      const int64_t first = FirstPictureStamp(state);
      if (first == QX_FF_NO_PTS || first <= stamp)
        return 0;
    }
    target = stamp - step;
    step *= 2;
  }
  // Nothing earlier to be found: start from the beginning, by time or, in
  // a stream without time stamps, by byte.
  ResetDecoders(state);
  state.DropQueues();
  int result = avformat_seek_file(&format, -1, INT64_MIN, INT64_MIN, INT64_MIN, 0);
  if (result < 0)
    result = av_seek_frame(&format, -1, 0, AVSEEK_FLAG_BYTE);
  state.DropQueues();
  return result < 0 ? result : 0;
}

} // namespace

void ResetDecoders(TMediaState& state) {
  state.PendingVideo.reset();
  state.PendingAudio.clear();
  state.AudioNextStamp = QX_FF_NO_PTS;
  state.VideoDraining = false;
  state.AudioDraining = false;
  if (state.Video)
    avcodec_flush_buffers(state.Video.get());
  if (state.Audio)
    avcodec_flush_buffers(state.Audio.get());
}

} // namespace qxff

using namespace qxff;

QX_FF_EXPORT QxMediaFile* OpenMediaFile(const char* name, void* stream, const QxStreamFunctions* functions) {
  if (!functions || !functions->Read64 || !functions->Seek64 || !functions->Size64)
    return nullptr;
  return Open(name, stream, functions, nullptr);
}

QX_FF_EXPORT QxMediaFile* OpenMediaFile2(const char* fileName) {
  if (!fileName)
    return nullptr;
  // The file is read through an I/O context of its own, so the demuxer
  // still opens nothing else by name.
  AVIOContext* disk = nullptr;
  if (avio_open(&disk, fileName, AVIO_FLAG_READ) < 0)
    return nullptr;
  return Open(fileName, nullptr, nullptr, disk);
}

QX_FF_EXPORT void CloseMediaFile(QxMediaFile* media) {
  if (!media)
    return;
  delete static_cast<TMediaState*>(media->Internal);
  delete media;
}

QX_FF_EXPORT int32_t GetFormatName(QxMediaFile* media, char* buffer, int32_t size, int32_t) {
  if (!media)
    return 0;
  const std::string& name = StateOf(media).FormatName;
  CopyText(name, buffer, size);
  return static_cast<int32_t>(name.size());
}

QX_FF_EXPORT int32_t SeekFile(QxMediaFile* media, int32_t streamIndex, int64_t stamp, int32_t flags) {
  if (!media)
    return -1;
  TMediaState& state = StateOf(media);
  AVFormatContext& format = *state.Format;
  if (streamIndex >= static_cast<int32_t>(format.nb_streams))
    return -1;
  const int avFlags =
      ((flags & QX_FF_SEEK_BACKWARD) ? AVSEEK_FLAG_BACKWARD : 0) | ((flags & QX_FF_SEEK_ANY) ? AVSEEK_FLAG_ANY : 0);
  ResetDecoders(state);
  // A seek by time may be repeated at earlier times to land before the
  // target: the sound is cut at the first target since the last Flush.
  const int64_t skip = state.AudioSkipUntil;
  state.AudioSkipUntil = QX_FF_NO_PTS;
  int result = 0;
  if (streamIndex >= 0 && (flags & QX_FF_SEEK_EXACT)) {
    result = SeekExact(state, streamIndex, stamp, avFlags, streamIndex == media->VideoStream);
  } else {
    // Every seek lands at or before its target: what lies before it is
    // decoded and dropped, what lies after it would be lost.
    state.DropQueues();
    result = av_seek_frame(&format, streamIndex, stamp, avFlags | AVSEEK_FLAG_BACKWARD);
  }
  if (result < 0)
    return result;
  // Sound before the target is dropped, so a seek is exact to the sample.
  if (state.Audio && (streamIndex == state.AudioIndex || streamIndex < 0)) {
    const AVRational audioBase = format.streams[state.AudioIndex]->time_base;
    state.AudioSkipUntil = streamIndex < 0 ? av_rescale_q(stamp, AVRational{1, AV_TIME_BASE}, audioBase) : stamp;
    if (streamIndex < 0 && !(flags & QX_FF_SEEK_EXACT) && skip != QX_FF_NO_PTS)
      state.AudioSkipUntil = skip;
  }
  return 0;
}

QX_FF_EXPORT int64_t GetCurrentPts(QxMediaFile* media, int32_t streamIndex) {
  if (!media)
    return QX_FF_NO_PTS;
  TMediaState& state = StateOf(media);
  if (streamIndex < 0 || streamIndex >= static_cast<int32_t>(state.Stamps.size()))
    return QX_FF_NO_PTS;
  const TStreamStamps& stamps = state.Stamps[static_cast<size_t>(streamIndex)];
  if (stamps.Read)
    return stamps.Pts != QX_FF_NO_PTS ? stamps.Pts : stamps.Dts;
  const AVPacket* next = state.PeekPacket(streamIndex);
  if (!next)
    return QX_FF_NO_PTS;
  const int64_t stamp = next->pts != AV_NOPTS_VALUE ? next->pts : next->dts;
  return stamp == AV_NOPTS_VALUE ? QX_FF_NO_PTS : stamp;
}

QX_FF_EXPORT void GetDtsPts2(QxMediaFile* media, int32_t streamIndex, int64_t* dts, int64_t* pts) {
  TStreamStamps stamps;
  if (media && streamIndex >= 0 && streamIndex < static_cast<int32_t>(StateOf(media).Stamps.size()))
    stamps = StateOf(media).Stamps[static_cast<size_t>(streamIndex)];
  if (dts)
    *dts = stamps.Dts;
  if (pts)
    *pts = stamps.Pts;
}
