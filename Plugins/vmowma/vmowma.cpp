// The WMA decoder plug-in: reads Windows Media Audio (versions 1 and 2) from
// the player's stream through FFmpeg's ASF demuxer and WMA decoders, and
// delivers 16-bit PCM of the file's channels and rate.
#include "Plugins/qxSoundDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

#define QX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kIoBufferSize = 32768;
// Packets read per Decode call at most before it gives up on finding audio.
constexpr int kMaxPacketsPerDecode = 256;
// Seeks tried, each further back, the last from the start.
constexpr int kSeekAttempts = 5;

struct TSource {
  void* Stream;
  const QxSoundStreamFunctions* Functions;
};

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  const auto* s = static_cast<TSource*>(opaque);
  const int32_t got = s->Functions->Read(s->Stream, buffer, size);
  return got <= 0 ? AVERROR_EOF : got;
}

int64_t SeekSource(void* opaque, int64_t offset, int whence) {
  const auto* s = static_cast<TSource*>(opaque);
  if (whence & AVSEEK_SIZE)
    return s->Functions->Size64(s->Stream);
  const int64_t position = s->Functions->Seek64(s->Stream, offset, whence & ~AVSEEK_FORCE);
  return position < 0 ? AVERROR(EIO) : position;
}

int16_t ToSample16(float value) {
  const long scaled = std::lrintf(value * 32768.0f);
  return static_cast<int16_t>(scaled > 32767 ? 32767 : scaled < -32768 ? -32768 : scaled);
}

// One opened WMA file: the demuxer on the player's stream and the decoder.
class TWmaFile {
public:
  explicit TWmaFile(TSource source) : m_source(source) {}
  TWmaFile(const TWmaFile&) = delete;
  TWmaFile& operator=(const TWmaFile&) = delete;

  ~TWmaFile() {
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_codec);
    if (m_format)
      avformat_close_input(&m_format);
    if (m_io) {
      av_freep(&m_io->buffer);
      avio_context_free(&m_io);
    }
  }

  bool Open() {
    if (m_source.Functions->Seek64(m_source.Stream, 0, SEEK_SET) < 0)
      return false;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    if (!buffer)
      return false;
    m_io = avio_alloc_context(buffer, kIoBufferSize, 0, &m_source, ReadPacket, nullptr, SeekSource);
    if (!m_io) {
      av_free(buffer);
      return false;
    }
    m_format = avformat_alloc_context();
    if (!m_format)
      return false;
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&m_format, nullptr, av_find_input_format("asf"), nullptr) < 0) {
      m_format = nullptr; // freed by the failed open
      return false;
    }
    if (avformat_find_stream_info(m_format, nullptr) < 0)
      return false;
    const AVCodec* decoder = nullptr;
    m_streamIndex = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (m_streamIndex < 0 || !decoder)
      return false;
    const AVCodecParameters* parameters = m_format->streams[m_streamIndex]->codecpar;
    if (parameters->codec_id != AV_CODEC_ID_WMAV1 && parameters->codec_id != AV_CODEC_ID_WMAV2)
      return false;
    if (parameters->ch_layout.nb_channels < 1 || parameters->ch_layout.nb_channels > 2 || parameters->sample_rate <= 0)
      return false;
    m_codec = avcodec_alloc_context3(decoder);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_codec || !m_packet || !m_frame || avcodec_parameters_to_context(m_codec, parameters) < 0 ||
        avcodec_open2(m_codec, decoder, nullptr) < 0)
      return false;
    return FindFirstStamp();
  }

  int Channels() const { return m_codec->ch_layout.nb_channels; }
  int Rate() const { return m_codec->sample_rate; }

  int64_t LengthMs() const {
    const AVStream* stream = m_format->streams[m_streamIndex];
    if (stream->duration != AV_NOPTS_VALUE)
      return av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
    if (m_format->duration != AV_NOPTS_VALUE)
      return m_format->duration / 1000;
    return 0;
  }

  // Decodes until at least one frame is out; appends its samples to `out`.
  // False at the end.
  bool DecodeNext(std::vector<int16_t>& out) {
    if (!m_pending.empty()) {
      out.insert(out.end(), m_pending.begin(), m_pending.end());
      m_pending.clear();
      return true;
    }
    for (int i = 0; i < kMaxPacketsPerDecode; ++i) {
      if (ReceiveFrames(out))
        return true;
      if (m_drained)
        return false;
      const int read = av_read_frame(m_format, m_packet);
      if (read < 0) {
        avcodec_send_packet(m_codec, nullptr);
        m_drained = true;
        continue;
      }
      if (m_packet->stream_index == m_streamIndex)
        avcodec_send_packet(m_codec, m_packet);
      av_packet_unref(m_packet);
    }
    return false;
  }

  // Seeks to ms; the samples before it are dropped by the next decodes. The
  // demuxer may land after the stamp asked for; then it is asked again
  // further back, and at last from the start. It is asked for two frames
  // early, since the first frame after a seek lacks its overlap with the one
  // before and is thrown away.
  int64_t Seek(int64_t ms) {
    const AVStream* stream = m_format->streams[m_streamIndex];
    const int64_t target = m_firstStamp + av_rescale_q(ms, AVRational{1, 1000}, stream->time_base);
    const int64_t frameStamps = av_rescale_q(m_frameSamples, AVRational{1, Rate()}, stream->time_base);
    int64_t backoff = 2 * frameStamps;
    for (int attempt = 0; attempt < kSeekAttempts; ++attempt) {
      // Stamp 0 lies before the first packet: the start of the file.
      const int64_t stamp = attempt + 1 == kSeekAttempts || target - backoff <= m_firstStamp ? 0 : target - backoff;
      if (!SeekToStamp(stamp))
        break;
      m_dropUntilSample = static_cast<int64_t>(std::llround(ms / 1000.0 * Rate()));
      m_discardLanding = stamp != 0;
      m_landed = AV_NOPTS_VALUE;
      m_pending.clear();
      // Decode the first frame to see where the demuxer landed; what it gives
      // is kept for the next Decode.
      if (!DecodeNext(m_pending) || stamp == 0 || m_landed == AV_NOPTS_VALUE || m_landed <= target - frameStamps) {
        m_position = ms;
        return ms;
      }
      backoff *= 4;
    }
    m_pending.clear();
    return m_position;
  }

private:
  bool SeekToStamp(int64_t stamp) {
    if (av_seek_frame(m_format, m_streamIndex, stamp, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(m_format, m_streamIndex, m_firstStamp, AVSEEK_FLAG_BACKWARD) < 0)
      return false;
    avcodec_flush_buffers(m_codec);
    m_drained = false;
    return true;
  }

  // The stamp of the first decoded frame (the packets' stamps run ahead of
  // the sound by the decoder's delay); the file is then put back at its start.
  bool FindFirstStamp() {
    bool found = false;
    for (int i = 0; i < kMaxPacketsPerDecode && !found; ++i) {
      if (av_read_frame(m_format, m_packet) < 0)
        break;
      if (m_packet->stream_index == m_streamIndex && avcodec_send_packet(m_codec, m_packet) >= 0) {
        while (avcodec_receive_frame(m_codec, m_frame) == 0) {
          if (!found && m_frame->pts != AV_NOPTS_VALUE) {
            m_firstStamp = m_frame->pts;
            m_frameSamples = std::max(m_frame->nb_samples, 1);
            found = true;
          }
          av_frame_unref(m_frame);
        }
      }
      av_packet_unref(m_packet);
    }
    return found && SeekToStamp(0);
  }

  // Index of the first sample of a frame with this stamp: the stamps are
  // rounded, the frames all have one length.
  int64_t SampleOf(int64_t stamp) const {
    const AVStream* stream = m_format->streams[m_streamIndex];
    const double seconds = static_cast<double>(stamp - m_firstStamp) * av_q2d(stream->time_base);
    return std::llround(seconds * Rate() / m_frameSamples) * m_frameSamples;
  }

  bool ReceiveFrames(std::vector<int16_t>& out) {
    bool any = false;
    const int channels = Channels();
    while (avcodec_receive_frame(m_codec, m_frame) == 0) {
      int first = 0;
      if (m_landed == AV_NOPTS_VALUE) {
        m_landed = m_frame->pts;
        if (m_discardLanding) {
          av_frame_unref(m_frame);
          continue;
        }
      }
      if (m_dropUntilSample >= 0 && m_frame->pts != AV_NOPTS_VALUE) {
        const int64_t late = m_dropUntilSample - SampleOf(m_frame->pts);
        first = late <= 0 ? 0 : late >= m_frame->nb_samples ? m_frame->nb_samples : static_cast<int>(late);
        if (first < m_frame->nb_samples)
          m_dropUntilSample = -1;
      }
      const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(m_frame->format));
      for (int i = first; i < m_frame->nb_samples; ++i) {
        for (int c = 0; c < channels; ++c) {
          const float* plane = reinterpret_cast<const float*>(m_frame->extended_data[planar ? c : 0]);
          out.push_back(ToSample16(planar ? plane[i] : plane[i * channels + c]));
        }
      }
      any = any || first < m_frame->nb_samples;
      av_frame_unref(m_frame);
    }
    return any;
  }

  TSource m_source;
  AVIOContext* m_io = nullptr;
  AVFormatContext* m_format = nullptr;
  AVCodecContext* m_codec = nullptr;
  AVPacket* m_packet = nullptr;
  AVFrame* m_frame = nullptr;
  int m_streamIndex = -1;
  bool m_drained = false;
  int64_t m_dropUntilSample = -1;
  int64_t m_position = 0;
  int64_t m_firstStamp = 0;
  int m_frameSamples = 1;
  bool m_discardLanding = false;     // the first frame after a seek is not whole
  int64_t m_landed = AV_NOPTS_VALUE; // stamp of the first frame after a seek
  std::vector<int16_t> m_pending;    // decoded while checking a seek
};

struct TDecoder {
  explicit TDecoder(TSource source) : File(source) {}
  TWmaFile File;
  QxSoundWriteFunc Write = nullptr;
  void* User = nullptr;
  std::vector<int16_t> Samples;
};

} // namespace

QX_EXPORT uint8_t GetMediaInfo(void* stream, const QxSoundStreamFunctions* functions, int32_t* lengthMs,
                               int32_t* dataOffset, QxSoundFormat* format) {
  TWmaFile file({stream, functions});
  if (!file.Open())
    return 0;
  *lengthMs = static_cast<int32_t>(file.LengthMs());
  *dataOffset = 0;
  format->FormatTag = 1;
  format->Channels = static_cast<uint16_t>(file.Channels());
  format->SamplesPerSec = static_cast<uint32_t>(file.Rate());
  format->BitsPerSample = 16;
  format->BlockAlign = static_cast<uint16_t>(2 * file.Channels());
  format->AvgBytesPerSec = format->BlockAlign * format->SamplesPerSec;
  format->ExtraSize = 0;
  return 1;
}

QX_EXPORT void* CreateDecoder(void* stream, const QxSoundStreamFunctions* functions, QxSoundWriteFunc write, void* user,
                              int32_t) {
  auto* decoder = new (std::nothrow) TDecoder({stream, functions});
  if (!decoder)
    return nullptr;
  if (!decoder->File.Open()) {
    delete decoder;
    return nullptr;
  }
  decoder->Write = write;
  decoder->User = user;
  return decoder;
}

QX_EXPORT int32_t Decode(void* handle) {
  auto* decoder = static_cast<TDecoder*>(handle);
  decoder->Samples.clear();
  if (!decoder->File.DecodeNext(decoder->Samples))
    return 0;
  const auto bytes = static_cast<int32_t>(decoder->Samples.size() * sizeof(int16_t));
  decoder->Write(decoder->User, decoder->Samples.data(), bytes);
  return bytes;
}

QX_EXPORT void SetPosition(void* handle, int32_t* ms) {
  auto* decoder = static_cast<TDecoder*>(handle);
  *ms = static_cast<int32_t>(decoder->File.Seek(*ms < 0 ? 0 : *ms));
}

QX_EXPORT void DestroyDecoder(void* handle) { delete static_cast<TDecoder*>(handle); }

QX_EXPORT uint8_t isFileProtected(void*, const QxSoundStreamFunctions*) { return 0; }
