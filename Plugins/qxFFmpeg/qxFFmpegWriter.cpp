// Creating video and sound files: a muxer chosen by the file name, an H.264
// (VP9 for WebM) picture encoder fed pictures at a constant frame rate, a
// sound encoder (AAC, Opus for WebM, PCM for WAVE) fed 16-bit samples, and
// the file finished (or abandoned and deleted) at close.
#include "Plugins/qxFFmpeg/qxFFmpegState.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
}

#include <cstdio>
#include <cstring>
#include <string>

struct QxOutputFile {
  ~QxOutputFile();

  std::string Path;
  AVFormatContext* Format = nullptr;
  bool HeaderWritten = false;

  qxff::TCodecPtr Video;
  AVStream* VideoStream = nullptr;
  SwsContext* Scaler = nullptr;
  qxff::TFramePtr Picture;
  int32_t InputFormat = QX_FF_PIX_BGRA;
  int64_t PicturesWritten = 0;

  qxff::TCodecPtr Audio;
  AVStream* AudioStream = nullptr;
  SwrContext* Resampler = nullptr;
  AVAudioFifo* Fifo = nullptr;
  qxff::TFramePtr Samples;
  int32_t InputChannels = 0;
  int32_t InputRate = 0;
  int64_t SamplesWritten = 0;
};

QxOutputFile::~QxOutputFile() {
  Video.reset();
  Audio.reset();
  sws_freeContext(Scaler);
  swr_free(&Resampler);
  if (Fifo)
    av_audio_fifo_free(Fifo);
  if (Format) {
    if (Format->pb && !(Format->oformat->flags & AVFMT_NOFILE))
      avio_closep(&Format->pb);
    avformat_free_context(Format);
  }
}

namespace qxff {

namespace {

class EWriteError {
public:
  explicit EWriteError(std::string text) : Text(std::move(text)) {}
  std::string Text;
};

std::string ErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof(text));
  return text;
}

void Check(int code, const std::string& what) {
  if (code < 0)
    throw EWriteError(what + ": " + ErrorText(code));
}

bool IsWebm(const AVOutputFormat& format) { return std::strcmp(format.name, "webm") == 0; }

const AVCodec* VideoEncoder(const AVOutputFormat& format, const char* name) {
  if (name && *name) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec)
      throw EWriteError(std::string("no video encoder \"") + name + "\"");
    return codec;
  }
  if (IsWebm(format)) {
    if (const AVCodec* codec = avcodec_find_encoder_by_name("libvpx-vp9"))
      return codec;
    return avcodec_find_encoder(AV_CODEC_ID_VP9);
  }
  if (const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
      codec && avformat_query_codec(&format, AV_CODEC_ID_H264, FF_COMPLIANCE_NORMAL) == 1)
    return codec;
  return avcodec_find_encoder(format.video_codec);
}

const AVCodec* AudioEncoder(const AVOutputFormat& format, const char* name) {
  if (name && *name) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec)
      throw EWriteError(std::string("no audio encoder \"") + name + "\"");
    return codec;
  }
  if (IsWebm(format)) {
    if (const AVCodec* codec = avcodec_find_encoder_by_name("libopus"))
      return codec;
    return avcodec_find_encoder(AV_CODEC_ID_OPUS);
  }
  if (avformat_query_codec(&format, AV_CODEC_ID_AAC, FF_COMPLIANCE_NORMAL) == 1 &&
      format.audio_codec != AV_CODEC_ID_PCM_S16LE)
    return avcodec_find_encoder(AV_CODEC_ID_AAC);
  return avcodec_find_encoder(format.audio_codec);
}

// The rate an encoder takes that is nearest to `wanted`.
int SupportedRate(const AVCodec& codec, int wanted) {
  if (!codec.supported_samplerates)
    return wanted;
  int best = 0;
  for (const int* rate = codec.supported_samplerates; *rate; ++rate)
    if (*rate == wanted)
      return wanted;
    else if (best == 0 || std::abs(*rate - wanted) < std::abs(best - wanted))
      best = *rate;
  return best ? best : wanted;
}

AVPixelFormat InputPixelFormat(int32_t format) {
  switch (format) {
  case QX_FF_PIX_BGRA: return AV_PIX_FMT_BGRA;
  case QX_FF_PIX_RGB24: return AV_PIX_FMT_RGB24;
  case QX_FF_PIX_YUV420P: return AV_PIX_FMT_YUV420P;
  default: throw EWriteError("unknown input pixel format " + std::to_string(format));
  }
}

// Sends a frame (null drains) and writes every packet the encoder gives.
void Encode(QxOutputFile& file, AVCodecContext& encoder, AVStream& stream, const AVFrame* frame) {
  Check(avcodec_send_frame(&encoder, frame), "encoding");
  TPacketPtr packet(av_packet_alloc());
  for (;;) {
    const int received = avcodec_receive_packet(&encoder, packet.get());
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
      return;
    Check(received, "encoding");
    av_packet_rescale_ts(packet.get(), encoder.time_base, stream.time_base);
    packet->stream_index = stream.index;
    Check(av_interleaved_write_frame(file.Format, packet.get()), "writing");
  }
}

void AddVideo(QxOutputFile& file, const QxVideoFileParams& params) {
  if (params.Width <= 0 || params.Height <= 0 || params.Width > kMaxSide || params.Height > kMaxSide)
    throw EWriteError("bad picture size");
  if (params.FrameRateNum <= 0 || params.FrameRateDen <= 0)
    throw EWriteError("bad frame rate");
  file.InputFormat = params.InputFormat;
  InputPixelFormat(params.InputFormat);
  const AVCodec* codec = VideoEncoder(*file.Format->oformat, params.Codec);
  if (!codec)
    throw EWriteError("no video encoder for this container");
  file.Video.reset(avcodec_alloc_context3(codec));
  AVCodecContext& encoder = *file.Video;
  encoder.width = params.Width;
  encoder.height = params.Height;
  encoder.time_base = AVRational{params.FrameRateDen, params.FrameRateNum};
  encoder.framerate = AVRational{params.FrameRateNum, params.FrameRateDen};
  encoder.pix_fmt = AV_PIX_FMT_YUV420P;
  encoder.color_range = AVCOL_RANGE_MPEG;
  encoder.colorspace = AVCOL_SPC_BT709;
  encoder.color_primaries = AVCOL_PRI_BT709;
  encoder.color_trc = AVCOL_TRC_BT709;
  encoder.thread_count = params.Threads;
  if (params.Crf >= 0) {
    av_opt_set_int(encoder.priv_data, "crf", params.Crf, 0);
    encoder.bit_rate = 0;
  }
  if (params.Preset && *params.Preset)
    av_opt_set(encoder.priv_data, "preset", params.Preset, 0);
  if (codec->id == AV_CODEC_ID_VP9) {
    // Realtime settings: the library's default ("good", cpu-used 1) is far
    // too slow to export a show.
    av_opt_set(encoder.priv_data, "deadline", "realtime", 0);
    av_opt_set_int(encoder.priv_data, "cpu-used", 8, 0);
    av_opt_set_int(encoder.priv_data, "row-mt", 1, 0);
  }
  if (file.Format->oformat->flags & AVFMT_GLOBALHEADER)
    encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(avcodec_open2(&encoder, codec, nullptr), "opening the video encoder");
  file.VideoStream = avformat_new_stream(file.Format, nullptr);
  if (!file.VideoStream)
    throw EWriteError("no memory");
  file.VideoStream->time_base = encoder.time_base;
  file.VideoStream->avg_frame_rate = encoder.framerate;
  Check(avcodec_parameters_from_context(file.VideoStream->codecpar, &encoder), "video stream");
  file.Picture.reset(av_frame_alloc());
  file.Picture->width = params.Width;
  file.Picture->height = params.Height;
  file.Picture->format = AV_PIX_FMT_YUV420P;
  Check(av_frame_get_buffer(file.Picture.get(), 32), "picture memory");
}

void AddAudio(QxOutputFile& file, const QxAudioFileParams& params) {
  if (params.SampleRate <= 0 || params.Channels < 1 || params.Channels > 8)
    throw EWriteError("bad sound format");
  const AVCodec* codec = AudioEncoder(*file.Format->oformat, params.Codec);
  if (!codec)
    throw EWriteError("no audio encoder for this container");
  file.Audio.reset(avcodec_alloc_context3(codec));
  AVCodecContext& encoder = *file.Audio;
  encoder.sample_rate = SupportedRate(*codec, params.SampleRate);
  encoder.sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  av_channel_layout_default(&encoder.ch_layout, params.Channels);
  encoder.time_base = AVRational{1, encoder.sample_rate};
  if (params.BitRate > 0)
    encoder.bit_rate = params.BitRate;
  if (file.Format->oformat->flags & AVFMT_GLOBALHEADER)
    encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(avcodec_open2(&encoder, codec, nullptr), "opening the audio encoder");
  file.AudioStream = avformat_new_stream(file.Format, nullptr);
  if (!file.AudioStream)
    throw EWriteError("no memory");
  file.AudioStream->time_base = encoder.time_base;
  Check(avcodec_parameters_from_context(file.AudioStream->codecpar, &encoder), "audio stream");

  file.InputChannels = params.Channels;
  file.InputRate = params.SampleRate;
  AVChannelLayout input{};
  av_channel_layout_default(&input, params.Channels);
  Check(swr_alloc_set_opts2(&file.Resampler, &encoder.ch_layout, encoder.sample_fmt, encoder.sample_rate, &input,
                            AV_SAMPLE_FMT_S16, params.SampleRate, 0, nullptr),
        "sound converter");
  av_channel_layout_uninit(&input);
  Check(swr_init(file.Resampler), "sound converter");
  file.Fifo = av_audio_fifo_alloc(encoder.sample_fmt, encoder.ch_layout.nb_channels, 4096);
  if (!file.Fifo)
    throw EWriteError("no memory");
  file.Samples.reset(av_frame_alloc());
}

// Encodes whole encoder frames from the FIFO; with `last`, the rest too.
void EncodeSamples(QxOutputFile& file, bool last) {
  AVCodecContext& encoder = *file.Audio;
  const int frameSize = (encoder.frame_size > 0 && !(encoder.codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
                            ? encoder.frame_size
                            : 1024;
  while (av_audio_fifo_size(file.Fifo) >= frameSize || (last && av_audio_fifo_size(file.Fifo) > 0)) {
    const int count = std::min(frameSize, av_audio_fifo_size(file.Fifo));
    AVFrame& frame = *file.Samples;
    av_frame_unref(&frame);
    frame.nb_samples = count;
    frame.format = encoder.sample_fmt;
    frame.sample_rate = encoder.sample_rate;
    Check(av_channel_layout_copy(&frame.ch_layout, &encoder.ch_layout), "sound frame");
    Check(av_frame_get_buffer(&frame, 0), "sound frame");
    if (av_audio_fifo_read(file.Fifo, reinterpret_cast<void**>(frame.data), count) < count)
      throw EWriteError("sound buffer");
    frame.pts = file.SamplesWritten;
    file.SamplesWritten += count;
    Encode(file, encoder, *file.AudioStream, &frame);
  }
}

// Converts input samples (null = what the converter still holds) into the
// FIFO.
void QueueSamples(QxOutputFile& file, const int16_t* samples, int frames) {
  const int capacity = swr_get_out_samples(file.Resampler, frames);
  if (capacity <= 0)
    return;
  std::vector<uint8_t*> planes(static_cast<size_t>(file.Audio->ch_layout.nb_channels));
  Check(
      av_samples_alloc(planes.data(), nullptr, file.Audio->ch_layout.nb_channels, capacity, file.Audio->sample_fmt, 0),
      "sound memory");
  const uint8_t* input[1] = {reinterpret_cast<const uint8_t*>(samples)};
  const int converted = swr_convert(file.Resampler, planes.data(), capacity, samples ? input : nullptr, frames);
  if (converted > 0)
    av_audio_fifo_write(file.Fifo, reinterpret_cast<void**>(planes.data()), converted);
  av_freep(&planes[0]);
  Check(converted, "converting sound");
}

QxOutputFile* Create(const char* fileName, const QxVideoFileParams* video, const QxAudioFileParams* audio, char* error,
                     int32_t errorSize) {
  av_log_set_level(AV_LOG_QUIET);
  auto file = std::make_unique<QxOutputFile>();
  try {
    if (!fileName || !*fileName)
      throw EWriteError("no file name");
    file->Path = fileName;
    Check(avformat_alloc_output_context2(&file->Format, nullptr, nullptr, fileName), "choosing the container");
    if (video)
      AddVideo(*file, *video);
    if (audio)
      AddAudio(*file, *audio);
    if (!(file->Format->oformat->flags & AVFMT_NOFILE))
      Check(avio_open(&file->Format->pb, fileName, AVIO_FLAG_WRITE), "creating \"" + file->Path + "\"");
    Check(avformat_write_header(file->Format, nullptr), "writing the header");
    file->HeaderWritten = true;
    return file.release();
  } catch (const EWriteError& failure) {
    CopyText(failure.Text, error, errorSize);
    const bool created = file->Format && file->Format->pb;
    file.reset();
    if (created)
      std::remove(fileName);
    return nullptr;
  }
}

} // namespace

} // namespace qxff

using namespace qxff;

QX_FF_EXPORT QxOutputFile* CreateVideoFile(const char* fileName, const QxVideoFileParams* video, char* error,
                                           int32_t errorSize) {
  if (!video) {
    CopyText("no video parameters", error, errorSize);
    return nullptr;
  }
  return Create(fileName, video, nullptr, error, errorSize);
}

QX_FF_EXPORT QxOutputFile* CreateAudioFile(const char* fileName, const QxAudioFileParams* audio, char* error,
                                           int32_t errorSize) {
  if (!audio) {
    CopyText("no audio parameters", error, errorSize);
    return nullptr;
  }
  return Create(fileName, nullptr, audio, error, errorSize);
}

QX_FF_EXPORT QxOutputFile* CreateVideoAudioFile(const char* fileName, const QxVideoFileParams* video,
                                                const QxAudioFileParams* audio, char* error, int32_t errorSize) {
  if (!video || !audio) {
    CopyText("no video or audio parameters", error, errorSize);
    return nullptr;
  }
  return Create(fileName, video, audio, error, errorSize);
}

QX_FF_EXPORT int32_t WriteVideoFrame(QxOutputFile* file, const uint8_t* pixels, int32_t pitch) {
  if (!file || !file->Video || !pixels || pitch <= 0)
    return -1;
  try {
    AVCodecContext& encoder = *file->Video;
    AVFrame& picture = *file->Picture;
    Check(av_frame_make_writable(&picture), "picture memory");
    const AVPixelFormat input = InputPixelFormat(file->InputFormat);
    const uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
    int pitches[4] = {pitch, 0, 0, 0};
    if (input == AV_PIX_FMT_YUV420P) {
      const int chromaPitch = (pitch + 1) / 2;
      planes[1] = pixels + static_cast<size_t>(pitch) * static_cast<size_t>(encoder.height);
      planes[2] = planes[1] + static_cast<size_t>(chromaPitch) * static_cast<size_t>((encoder.height + 1) / 2);
      pitches[1] = pitches[2] = chromaPitch;
    }
    file->Scaler = sws_getCachedContext(file->Scaler, encoder.width, encoder.height, input, encoder.width,
                                        encoder.height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!file->Scaler)
      throw EWriteError("picture converter");
    if (input != AV_PIX_FMT_YUV420P) {
      // RGB becomes BT.709 limited-range YUV, as the stream is tagged.
      const int* matrix = sws_getCoefficients(SWS_CS_ITU709);
      sws_setColorspaceDetails(file->Scaler, matrix, 1, matrix, 0, 0, 1 << 16, 1 << 16);
    }
    sws_scale(file->Scaler, planes, pitches, 0, encoder.height, picture.data, picture.linesize);
    picture.pts = file->PicturesWritten++;
    Encode(*file, encoder, *file->VideoStream, &picture);
    return 0;
  } catch (const EWriteError&) {
    return -1;
  }
}

QX_FF_EXPORT int32_t WriteAudioSamples(QxOutputFile* file, const int16_t* samples, int32_t frames) {
  if (!file || !file->Audio || !samples || frames < 0)
    return -1;
  try {
    QueueSamples(*file, samples, frames);
    EncodeSamples(*file, false);
    return 0;
  } catch (const EWriteError&) {
    return -1;
  }
}

QX_FF_EXPORT int32_t CloseOutputFile(QxOutputFile* file, int32_t abandon) {
  if (!file)
    return -1;
  std::unique_ptr<QxOutputFile> owned(file);
  int32_t result = 0;
  if (!abandon) {
    try {
      if (file->Audio) {
        QueueSamples(*file, nullptr, 0);
        EncodeSamples(*file, true);
        Encode(*file, *file->Audio, *file->AudioStream, nullptr);
      }
      if (file->Video)
        Encode(*file, *file->Video, *file->VideoStream, nullptr);
      Check(av_write_trailer(file->Format), "finishing the file");
    } catch (const EWriteError&) {
      result = -1;
    }
  }
  const std::string path = file->Path;
  owned.reset();
  if (abandon || result != 0) {
    std::remove(path.c_str());
    return abandon ? 0 : result;
  }
  return 0;
}
