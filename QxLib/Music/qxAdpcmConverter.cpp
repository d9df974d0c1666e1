#include "QxLib/Music/qxAdpcmConverter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include <cstring>

namespace qx {

struct TAdpcmConverter::TCodec {
  AVCodecContext* Context = nullptr;
  AVPacket* Packet = nullptr;
  AVFrame* Frame = nullptr;

  ~TCodec() {
    av_frame_free(&Frame);
    av_packet_free(&Packet);
    avcodec_free_context(&Context);
  }
};

TAdpcmConverter::TAdpcmConverter(TStream& stream) : TWavConverter(&stream) {}

TAdpcmConverter::~TAdpcmConverter() = default;

bool TAdpcmConverter::Open(const TMediaInfo& info) {
  const TPcmFormat& format = info.Format;
  const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_ADPCM_MS);
  if (!decoder || format.Channels == 0 || format.BlockAlign < 7 * format.Channels)
    return false;
  auto codec = std::make_unique<TCodec>();
  codec->Context = avcodec_alloc_context3(decoder);
  codec->Packet = av_packet_alloc();
  codec->Frame = av_frame_alloc();
  if (!codec->Context || !codec->Packet || !codec->Frame)
    return false;
  codec->Context->sample_rate = static_cast<int>(format.SamplesPerSec);
  av_channel_layout_default(&codec->Context->ch_layout, format.Channels);
  codec->Context->block_align = format.BlockAlign;
  codec->Context->bits_per_coded_sample = format.BitsPerSample;
  // The format bytes after the header (samples per block, coefficients).
  const int extra = std::min<int>(format.ExtraSize, static_cast<int>(info.AdpcmExtra.size()));
  if (extra > 0) {
    codec->Context->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!codec->Context->extradata)
      return false;
    std::memcpy(codec->Context->extradata, info.AdpcmExtra.data(), static_cast<size_t>(extra));
    codec->Context->extradata_size = extra;
  }
  if (avcodec_open2(codec->Context, decoder, nullptr) < 0)
    return false;
  m_codec = std::move(codec);
  if (!TWavConverter::Open(info))
    return false;
  SetOutputFormat(MakePcmFormat(format.SamplesPerSec, 16, format.Channels));
  SetReadSize(kAdpcmReadSize);
  return true;
}

void TAdpcmConverter::Seek(double ms) {
  if (m_codec)
    avcodec_flush_buffers(m_codec->Context);
  TWavConverter::Seek(ms);
}

bool TAdpcmConverter::Convert(TLocalBuffer& input) {
  if (!m_codec)
    return false;
  const int32_t block = MediaInfo().Format.BlockAlign;
  const int channels = MediaInfo().Format.Channels;
  const int32_t whole = input.Used() / block * block;
  const int32_t before = Output().Used();
  for (int32_t offset = 0; offset < whole; offset += block) {
    AVPacket* packet = m_codec->Packet;
    if (av_new_packet(packet, block) < 0)
      break;
    std::memcpy(packet->data, input.DataStart() + offset, static_cast<size_t>(block));
    const int sent = avcodec_send_packet(m_codec->Context, packet);
    av_packet_unref(packet);
    if (sent < 0)
      continue; // a damaged block gives no output, as with the system codec
    while (avcodec_receive_frame(m_codec->Context, m_codec->Frame) == 0) {
      const AVFrame* frame = m_codec->Frame;
      const int32_t bytes = frame->nb_samples * channels * 2;
      Output().EnsureFree(bytes);
      auto* out = reinterpret_cast<int16_t*>(Output().DataEnd());
      if (av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format))) {
        for (int i = 0; i < frame->nb_samples; ++i)
          for (int c = 0; c < channels; ++c)
            out[i * channels + c] = reinterpret_cast<const int16_t*>(frame->extended_data[c])[i];
      } else {
        std::memcpy(out, frame->extended_data[0], static_cast<size_t>(bytes));
      }
      Output().Commit(bytes);
      av_frame_unref(m_codec->Frame);
    }
  }
  input.Consume(whole);
  AdvancePosition(Output().Used() - before);
  return true;
}

} // namespace qx
