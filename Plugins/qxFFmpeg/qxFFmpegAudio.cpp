// Sound decoding: the format a sound stream is delivered in (interleaved
// 16-bit samples at the stream's own rate; 1, 2 or 6 channels, any other
// count mixed down to 2), opening and closing the decoder, the next piece
// of sound, and the steps after a seek. Sound before a seek's target is
// dropped, so seeks are exact to the sample.
#include "Plugins/qxFFmpeg/qxFFmpegState.h"

#include <algorithm>
#include <cstring>

namespace qxff {

namespace {

constexpr int kBytesPerSample = 2;
constexpr int kMaxDecodeErrors = 200;

int DeliveredChannels(int channels) { return channels == 1 || channels == 2 || channels == 6 ? channels : 2; }

const AVStream* AudioStreamOf(QxMediaFile* media, int32_t selector) {
  TMediaState& state = StateOf(media);
  if (selector < 0 || selector >= static_cast<int32_t>(state.AudioStreams.size()))
    return nullptr;
  return state.Format->streams[state.AudioStreams[static_cast<size_t>(selector)]];
}

// (Re)makes the resampler for the decoder's current output.
bool PrepareResampler(TMediaState& state, const AVFrame& frame) {
  if (state.Resampler)
    return true;
  AVChannelLayout input{};
  if (frame.ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && frame.ch_layout.nb_channels > 0)
    av_channel_layout_copy(&input, &frame.ch_layout);
  else
    av_channel_layout_default(&input, std::max(1, frame.ch_layout.nb_channels));
  AVChannelLayout output{};
  av_channel_layout_default(&output, state.OutChannels);
  const int made = swr_alloc_set_opts2(&state.Resampler, &output, AV_SAMPLE_FMT_S16, state.OutRate, &input,
                                       static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&input);
  av_channel_layout_uninit(&output);
  if (made < 0 || swr_init(state.Resampler) < 0) {
    swr_free(&state.Resampler);
    return false;
  }
  return true;
}

// Appends a decoded frame to the pending sound, without what lies before
// the seek target.
void TakeFrame(TMediaState& state, AVFrame& frame) {
  if (frame.sample_rate != state.OutRate) {
    // A stream that changes its rate midway is resampled to the announced
    // one; the resampler is made anew for it.
    swr_free(&state.Resampler);
  }
  if (!PrepareResampler(state, frame))
    return;
  const int capacity = static_cast<int>(swr_get_out_samples(state.Resampler, frame.nb_samples));
  if (capacity <= 0)
    return;
  const size_t frameBytes = static_cast<size_t>(state.OutChannels) * kBytesPerSample;
  std::vector<uint8_t> converted(static_cast<size_t>(capacity) * frameBytes);
  uint8_t* out[1] = {converted.data()};
  const int produced =
      swr_convert(state.Resampler, out, capacity, const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
  if (produced <= 0)
    return;
  const AVRational timeBase = state.Format->streams[state.AudioIndex]->time_base;
  int64_t start = frame.best_effort_timestamp != AV_NOPTS_VALUE ? frame.best_effort_timestamp : frame.pts;
  if (start == AV_NOPTS_VALUE)
    start = state.AudioNextStamp;
  int64_t skip = 0;
  if (state.AudioSkipUntil != QX_FF_NO_PTS && start != QX_FF_NO_PTS && start < state.AudioSkipUntil) {
    skip = av_rescale_q(state.AudioSkipUntil - start, timeBase, AVRational{1, state.OutRate});
    skip = std::min<int64_t>(skip, produced);
  }
  if (start != QX_FF_NO_PTS)
    state.AudioNextStamp = start + av_rescale_q(produced, AVRational{1, state.OutRate}, timeBase);
  if (skip >= produced)
    return;
  state.AudioSkipUntil = QX_FF_NO_PTS;
  const size_t from = static_cast<size_t>(skip) * frameBytes;
  const size_t to = static_cast<size_t>(produced) * frameBytes;
  state.PendingAudio.insert(state.PendingAudio.end(), converted.begin() + static_cast<ptrdiff_t>(from),
                            converted.begin() + static_cast<ptrdiff_t>(to));
}

// Receives what the decoder has ready. False at the decoder's end (or when
// it keeps failing).
bool ReceiveAll(TMediaState& state) {
  TFramePtr frame(av_frame_alloc());
  if (!frame)
    return false;
  for (int errors = 0;;) {
    const int received = avcodec_receive_frame(state.Audio.get(), frame.get());
    if (received == 0) {
      TakeFrame(state, *frame);
      av_frame_unref(frame.get());
      continue;
    }
    if (received == AVERROR(EAGAIN))
      return true;
    if (received == AVERROR_EOF || ++errors > kMaxDecodeErrors)
      return false;
  }
}

// Sends the next sound packet to the decoder (or, past the last one, drains
// it) and takes what it gives. False when nothing more will come.
bool DecodeStep(TMediaState& state) {
  if (!state.AudioDraining) {
    if (TPacketPtr packet = state.NextPacket(state.AudioIndex)) {
      // A damaged packet is skipped; the next one decodes again.
      avcodec_send_packet(state.Audio.get(), packet.get());
      ReceiveAll(state);
      return true;
    }
    state.AudioDraining = true;
    avcodec_send_packet(state.Audio.get(), nullptr);
  }
  return ReceiveAll(state);
}

} // namespace

} // namespace qxff

using namespace qxff;

QX_FF_EXPORT int32_t GetAudioInfo(QxMediaFile* media, int32_t selector, QxAudioFormat* format) {
  if (!media || !format)
    return 0;
  const AVStream* stream = AudioStreamOf(media, selector);
  if (!stream)
    return 0;
  format->SampleRate = stream->codecpar->sample_rate;
  format->Channels = DeliveredChannels(stream->codecpar->ch_layout.nb_channels);
  format->BitsPerSample = 16;
  return 1;
}

QX_FF_EXPORT void CloseAudioStream(QxMediaFile* media) {
  if (!media)
    return;
  TMediaState& state = StateOf(media);
  if (state.AudioIndex >= 0)
    state.Queues[static_cast<size_t>(state.AudioIndex)].clear();
  state.Audio.reset();
  swr_free(&state.Resampler);
  state.AudioIndex = -1;
  state.PendingAudio.clear();
  state.AudioSkipUntil = QX_FF_NO_PTS;
  state.AudioNextStamp = QX_FF_NO_PTS;
  media->AudioStream = -1;
  media->AudioTimeBaseNum = 0;
  media->AudioTimeBaseDen = 0;
}

QX_FF_EXPORT int32_t OpenAudioStream(QxMediaFile* media, int32_t selector) {
  if (!media)
    return 0;
  const AVStream* stream = AudioStreamOf(media, selector);
  if (!stream)
    return 0;
  CloseAudioStream(media);
  TMediaState& state = StateOf(media);
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  TCodecPtr context(codec ? avcodec_alloc_context3(codec) : nullptr);
  if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0)
    return 0;
  context->pkt_timebase = stream->time_base;
  context->thread_count = 1;
  if (avcodec_open2(context.get(), codec, nullptr) < 0)
    return 0;
  state.Audio = std::move(context);
  state.AudioIndex = stream->index;
  state.AudioDraining = false;
  state.OutChannels = DeliveredChannels(stream->codecpar->ch_layout.nb_channels);
  state.OutRate = stream->codecpar->sample_rate;
  media->AudioStream = stream->index;
  media->AudioTimeBaseNum = stream->time_base.num;
  media->AudioTimeBaseDen = stream->time_base.den;
  return 1;
}

QX_FF_EXPORT int32_t GetNextAudioFrame(QxMediaFile* media, uint8_t* area, int32_t* byteCount) {
  if (byteCount)
    *byteCount = 0;
  if (!media || !area || !byteCount)
    return -1;
  TMediaState& state = StateOf(media);
  if (!state.Audio)
    return -1;
  while (state.PendingAudio.empty())
    if (!DecodeStep(state))
      break;
  if (state.PendingAudio.empty())
    return 1;
  const size_t block = static_cast<size_t>(state.OutChannels) * kBytesPerSample;
  const size_t count = std::min(state.PendingAudio.size(), QX_FF_AUDIO_AREA_SIZE / block * block);
  std::memcpy(area, state.PendingAudio.data(), count);
  state.PendingAudio.erase(state.PendingAudio.begin(), state.PendingAudio.begin() + static_cast<ptrdiff_t>(count));
  *byteCount = static_cast<int32_t>(count);
  return 0;
}

QX_FF_EXPORT void AfterAudioSeek(QxMediaFile* media, int32_t) {
  if (!media)
    return;
  TMediaState& state = StateOf(media);
  if (state.Audio)
    DecodeStep(state);
}

QX_FF_EXPORT void Flush(QxMediaFile* media) {
  if (!media)
    return;
  TMediaState& state = StateOf(media);
  if (state.AudioIndex >= 0)
    state.Queues[static_cast<size_t>(state.AudioIndex)].clear();
  if (state.Audio)
    avcodec_flush_buffers(state.Audio.get());
  state.AudioDraining = false;
  state.PendingAudio.clear();
  state.AudioNextStamp = QX_FF_NO_PTS;
  state.AudioSkipUntil = QX_FF_NO_PTS;
}
