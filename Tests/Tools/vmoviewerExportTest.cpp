// Runs "vmoviewer -render OUT.mp4" (and .mkv, .mov, .webm) on a small show
// with music made here, and reads the file back with libavformat: stream
// parameters, the frame count, the start of picture and sound, the sound
// against audio.wav of the folder form, an interrupted export and an
// output that cannot be written.
#include "Tests/TestSupport/qxPngTestSupport.h"
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "VmoLib2/VmoViewer/qxVmoVideoExport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numbers>

namespace qx {
namespace {

using test::ReadText;
using test::TProgramRun;
using test::TScratchFolder;

constexpr int kRate = 44100;
constexpr int kFps = 10;
constexpr int kDuration = 1500;
constexpr int kWidth = 64;
constexpr int kHeight = 36;

TProgramRun Viewer(const std::string& args) { return test::RunProgram(VMOVIEWER_PATH, args); }

// A rising tone, different in the two channels, so that a shift of the
// sound shows as a loss of correlation.
std::string ToneWave(int seconds) {
  const int frames = kRate * seconds;
  std::string data;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double f = 300 + 200 * t;
    const auto left = static_cast<int16_t>(8000 * std::sin(2 * std::numbers::pi * f * t));
    const auto right = static_cast<int16_t>(6000 * std::sin(2 * std::numbers::pi * 1.5 * f * t));
    data.append(reinterpret_cast<const char*>(&left), 2);
    data.append(reinterpret_cast<const char*>(&right), 2);
  }
  auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
  return "RIFF" + u32(static_cast<uint32_t>(36 + data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(2) + u32(kRate) +
         u32(kRate * 4) + u16(4) + u16(16) + "data" + u32(static_cast<uint32_t>(data.size())) + data;
}

// Two slides (red, then green after a one-second cross-fade) over the tone.
constexpr std::string_view kProject = "[Main]\r\n"
                                      "opt_slidescount=2\r\n"
                                      "opt_synchpos1=2000\r\n"
                                      "opt_synchpos2=4000\r\n"
                                      "opt_repeat=stop\r\n"
                                      "opt_scr_width=64\r\n"
                                      "opt_scr_height=36\r\n"
                                      "opt_fx_enable=0\r\n"
                                      "opt_bstyle=1\r\n"
                                      "opt_bname=255\r\n"
                                      "opt_usemusic=1\r\n"
                                      "opt_music_count=1\r\n"
                                      "opt_music1=tone.wav\r\n"
                                      "opt_lengthlist1=4000\r\n"
                                      "[Slide1]\r\n"
                                      "[Slide2]\r\n"
                                      "UsePersonal=1\r\n"
                                      "Pers_Fon=1\r\n"
                                      "bstyle=1\r\n"
                                      "bname=65280\r\n"
                                      "Pers_Effect=1\r\n"
                                      "Effect_Class=2\r\n"
                                      "Effect_Type=1\r\n"
                                      "EffectTime=1000\r\n";

struct TShow {
  TScratchFolder Folder;
  std::string Project;
  TShow() {
    Folder.Write("tone.wav", ToneWave(5));
    Project = Folder.Write("Project.vmo", std::string(kProject));
  }
  std::string Options() const {
    return "-exename '" + Project + "' -fps " + std::to_string(kFps) + " -size " + std::to_string(kWidth) + "x" +
           std::to_string(kHeight);
  }
};

struct TFormatCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct TCodecCloser {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct TFrameCloser {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TPacketCloser {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

struct TStreamInfo {
  std::string Codec;
  double StartSeconds = 0;
  // Picture streams.
  int Width = 0;
  int Height = 0;
  AVRational FrameRate{0, 1};
  AVPixelFormat PixelFormat = AV_PIX_FMT_NONE;
  AVColorRange Range = AVCOL_RANGE_UNSPECIFIED;
  AVColorSpace Matrix = AVCOL_SPC_UNSPECIFIED;
  int64_t Frames = 0;
  // The first picture, as RGB24 rows.
  std::vector<uint8_t> FirstPicture;
  // Sound streams.
  int SampleRate = 0;
  int Channels = 0;
  int InitialPadding = 0;
  // Decoded sound: interleaved stereo, -1 .. 1.
  std::vector<float> Sound;
};

struct TReadBack {
  bool Opened = false;
  bool ReadToEnd = false;
  TStreamInfo Video;
  TStreamInfo Audio;
};

void TakeFrame(const AVFrame& frame, const AVCodecContext& codec, TStreamInfo& info) {
  if (codec.codec_type == AVMEDIA_TYPE_VIDEO) {
    if (info.Frames++ > 0)
      return;
    SwsContext* scaler =
        sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width, frame.height,
                       AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
    const int* matrix = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(scaler, matrix, 0, matrix, 1, 0, 1 << 16, 1 << 16);
    info.FirstPicture.resize(static_cast<size_t>(frame.width * frame.height * 3));
    uint8_t* planes[1] = {info.FirstPicture.data()};
    const int pitches[1] = {frame.width * 3};
    sws_scale(scaler, frame.data, frame.linesize, 0, frame.height, planes, pitches);
    sws_freeContext(scaler);
    return;
  }
  const int channels = frame.ch_layout.nb_channels;
  for (int i = 0; i < frame.nb_samples; ++i)
    for (int c = 0; c < channels; ++c) {
      float value = 0;
      if (frame.format == AV_SAMPLE_FMT_FLTP)
        value = reinterpret_cast<const float*>(frame.extended_data[c])[i];
      else if (frame.format == AV_SAMPLE_FMT_FLT)
        value = reinterpret_cast<const float*>(frame.extended_data[0])[i * channels + c];
      else if (frame.format == AV_SAMPLE_FMT_S16)
        value = reinterpret_cast<const int16_t*>(frame.extended_data[0])[i * channels + c] / 32768.0F;
      info.Sound.push_back(value);
    }
}

// Opens the file with libavformat and decodes both streams to their end.
TReadBack ReadBack(const std::string& path) {
  TReadBack result;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
    return result;
  std::unique_ptr<AVFormatContext, TFormatCloser> format(raw);
  if (avformat_find_stream_info(format.get(), nullptr) < 0)
    return result;
  result.Opened = true;
  std::vector<std::unique_ptr<AVCodecContext, TCodecCloser>> codecs(format->nb_streams);
  std::vector<TStreamInfo*> infos(format->nb_streams, nullptr);
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVStream& stream = *format->streams[i];
    const AVCodecParameters& parameters = *stream.codecpar;
    TStreamInfo* info = parameters.codec_type == AVMEDIA_TYPE_VIDEO   ? &result.Video
                        : parameters.codec_type == AVMEDIA_TYPE_AUDIO ? &result.Audio
                                                                      : nullptr;
    if (!info)
      continue;
    infos[i] = info;
    info->Codec = avcodec_get_name(parameters.codec_id);
    info->StartSeconds = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time * av_q2d(stream.time_base);
    info->Width = parameters.width;
    info->Height = parameters.height;
    info->FrameRate = stream.r_frame_rate;
    info->PixelFormat = static_cast<AVPixelFormat>(parameters.format);
    info->Range = parameters.color_range;
    info->Matrix = parameters.color_space;
    info->SampleRate = parameters.sample_rate;
    info->Channels = parameters.ch_layout.nb_channels;
    info->InitialPadding = parameters.initial_padding;
    const AVCodec* decoder = avcodec_find_decoder(parameters.codec_id);
    codecs[i].reset(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(codecs[i].get(), &parameters);
    codecs[i]->pkt_timebase = stream.time_base;
    if (avcodec_open2(codecs[i].get(), decoder, nullptr) < 0)
      return result;
  }
  std::unique_ptr<AVPacket, TPacketCloser> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, TFrameCloser> frame(av_frame_alloc());
  auto drain = [&](unsigned index) {
    while (avcodec_receive_frame(codecs[index].get(), frame.get()) == 0) {
      TakeFrame(*frame, *codecs[index], *infos[index]);
      av_frame_unref(frame.get());
    }
  };
  int read = 0;
  while ((read = av_read_frame(format.get(), packet.get())) >= 0) {
    const auto index = static_cast<unsigned>(packet->stream_index);
    if (infos[index] && avcodec_send_packet(codecs[index].get(), packet.get()) >= 0)
      drain(index);
    av_packet_unref(packet.get());
  }
  result.ReadToEnd = read == AVERROR_EOF;
  for (unsigned i = 0; i < format->nb_streams; ++i)
    if (infos[i]) {
      avcodec_send_packet(codecs[i].get(), nullptr);
      drain(i);
    }
  return result;
}

// audio.wav of the folder form as -1 .. 1.
std::vector<float> WaveSamples(const std::string& path) {
  const std::string bytes = ReadText(path);
  std::vector<float> samples;
  for (size_t at = 44; at + 1 < bytes.size(); at += 2) {
    int16_t value = 0;
    std::memcpy(&value, bytes.data() + at, 2);
    samples.push_back(value / 32768.0F);
  }
  return samples;
}

// The correlation of `a` with `b` shifted by `lag` sample frames, over
// `count` frames from `from`.
double Correlation(const std::vector<float>& a, const std::vector<float>& b, int64_t from, int64_t count, int lag) {
  double ab = 0;
  double aa = 0;
  double bb = 0;
  for (int64_t i = from * 2; i < (from + count) * 2; ++i) {
    const int64_t j = i + lag * 2;
    if (j < 0 || static_cast<size_t>(j) >= b.size() || static_cast<size_t>(i) >= a.size())
      continue;
    ab += a[static_cast<size_t>(i)] * b[static_cast<size_t>(j)];
    aa += a[static_cast<size_t>(i)] * a[static_cast<size_t>(i)];
    bb += b[static_cast<size_t>(j)] * b[static_cast<size_t>(j)];
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

TEST(VmoviewerExport, TheFileHoldsThePicturesAndSoundAsked) {
  const TShow show;
  const std::string file = show.Folder.Path() + "show.mp4";
  const TProgramRun run = Viewer(show.Options() + " -duration " + std::to_string(kDuration) + " -render '" + file + "'");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("15 frame(s) and their sound written to " + file), std::string::npos) << run.Out;
  EXPECT_FALSE(std::filesystem::exists(PartialVideoFileName(file)));
  const TReadBack back = ReadBack(file);
  ASSERT_TRUE(back.Opened);
  EXPECT_TRUE(back.ReadToEnd);
  EXPECT_EQ(back.Video.Codec, "h264");
  EXPECT_EQ(back.Video.Width, kWidth);
  EXPECT_EQ(back.Video.Height, kHeight);
  EXPECT_EQ(back.Video.FrameRate.num, kFps);
  EXPECT_EQ(back.Video.FrameRate.den, 1);
  EXPECT_EQ(back.Video.PixelFormat, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(back.Video.Range, AVCOL_RANGE_MPEG);
  EXPECT_EQ(back.Video.Matrix, AVCOL_SPC_BT709);
  // Frame count = duration x fps.
  EXPECT_EQ(back.Video.Frames, kDuration * kFps / 1000);
  EXPECT_EQ(back.Audio.Codec, "aac");
  EXPECT_EQ(back.Audio.SampleRate, kRate);
  EXPECT_EQ(back.Audio.Channels, 2);
  // Picture and sound both begin at 0 (the encoder's priming is cut by the
  // container's edit list).
  EXPECT_EQ(back.Video.StartSeconds, 0.0);
  EXPECT_EQ(back.Audio.StartSeconds, 0.0);
  // The sound lasts as long as the pictures, to within one AAC frame.
  const auto soundFrames = static_cast<int64_t>(back.Audio.Sound.size() / 2);
  EXPECT_NEAR(soundFrames, kRate * kDuration / 1000, 1024);
}

TEST(VmoviewerExport, PicturesAndSoundAreThoseOfTheFolderFormFromTimeZero) {
  const TShow show;
  const std::string file = show.Folder.Path() + "show.mp4";
  const std::string frames = show.Folder.Path() + "frames";
  const std::string limits = " -duration " + std::to_string(kDuration);
  ASSERT_EQ(Viewer(show.Options() + limits + " -render '" + file + "'").ExitCode, 0);
  ASSERT_EQ(Viewer(show.Options() + limits + " -render '" + frames + "'").ExitCode, 0);
  const TReadBack back = ReadBack(file);
  ASSERT_TRUE(back.Opened);

  // The first picture is the folder form's first frame (red), within the
  // loss of 4:2:0 and the encoder.
  const TBitmap first = test::LoadPngFile(frames + "/frame000000.png");
  ASSERT_EQ(back.Video.FirstPicture.size(), static_cast<size_t>(kWidth * kHeight * 3));
  double difference = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const TBgra expected = first.GetPixel(x, y);
      const uint8_t* got = &back.Video.FirstPicture[static_cast<size_t>((y * kWidth + x) * 3)];
      difference += std::abs(got[0] - expected.r) + std::abs(got[1] - expected.g) + std::abs(got[2] - expected.b);
    }
  EXPECT_LT(difference / (kWidth * kHeight * 3), 6.0);

  // The sound is the mixed sound of audio.wav: best aligned without any
  // shift, and close to it after AAC's loss.
  const std::vector<float> wave = WaveSamples(frames + "/audio.wav");
  ASSERT_EQ(wave.size(), static_cast<size_t>(kRate * kDuration / 1000 * 2));
  const int64_t from = 2048;
  const int64_t count = kRate;
  const double aligned = Correlation(wave, back.Audio.Sound, from, count, 0);
  EXPECT_GT(aligned, 0.99);
  for (const int lag : {-1024, -64, -8, 8, 64, 1024})
    EXPECT_LT(Correlation(wave, back.Audio.Sound, from, count, lag), aligned) << "lag " << lag;
  // The first sound is there at once: the tone starts with the show.
  EXPECT_GT(Correlation(wave, back.Audio.Sound, 0, 2048, 0), 0.9);
}

// The lag (in sample frames, within +-`reach` of `around`) at which `b`
// correlates best with `a`.
int BestLag(const std::vector<float>& a, const std::vector<float>& b, int around, int reach) {
  int best = around;
  double bestValue = -2;
  for (int lag = around - reach; lag <= around + reach; ++lag) {
    const double value = Correlation(a, b, 4096, kRate / 2, lag);
    if (value > bestValue) {
      bestValue = value;
      best = lag;
    }
  }
  return best;
}

TEST(VmoviewerExport, OtherContainersCarryTheirCodecsInSync) {
  const TShow show;
  const std::string frames = show.Folder.Path() + "frames";
  ASSERT_EQ(Viewer(show.Options() + " -duration 1000 -render '" + frames + "'").ExitCode, 0);
  const std::vector<float> wave = WaveSamples(frames + "/audio.wav");
  struct TCase {
    const char* Name;
    const char* Video;
    const char* Audio;
  };
  for (const TCase& c : {TCase{"show.mkv", "h264", "aac"}, TCase{"show.MOV", "h264", "aac"},
                         TCase{"show.webm", "vp9", "opus"}}) {
    const std::string file = show.Folder.Path() + c.Name;
    const TProgramRun run = Viewer(show.Options() + " -duration 1000 -render '" + file + "'");
    ASSERT_EQ(run.ExitCode, 0) << c.Name << run.Err;
    const TReadBack back = ReadBack(file);
    ASSERT_TRUE(back.Opened) << c.Name;
    EXPECT_TRUE(back.ReadToEnd) << c.Name;
    EXPECT_EQ(back.Video.Codec, c.Video) << c.Name;
    EXPECT_EQ(back.Audio.Codec, c.Audio) << c.Name;
    EXPECT_EQ(back.Video.Frames, kFps) << c.Name;
    EXPECT_EQ(back.Video.PixelFormat, AV_PIX_FMT_YUV420P) << c.Name;
    EXPECT_EQ(back.Audio.Channels, 2) << c.Name;
    // Containers without edit lists may shift the pictures by the sound
    // encoder's priming; the sound must move with them. Sample s of
    // audio.wav belongs at picture time s / rate, so it must come out of
    // the file at index s + (picture start - sound start) x rate.
    const double shift = back.Video.StartSeconds - back.Audio.StartSeconds;
    EXPECT_LT(std::abs(shift), 0.03) << c.Name;
    if (back.Audio.SampleRate != kRate)
      continue; // Opus decodes at 48 kHz: no sample-by-sample comparison
    const int expected = static_cast<int>(std::lround(shift * kRate));
    EXPECT_NEAR(BestLag(wave, back.Audio.Sound, expected, 600), expected, 50) << c.Name;
  }
}

TEST(VmoviewerExport, AnInterruptedExportLeavesAPlayableFileOrNone) {
  const TShow show;
  const std::string file = show.Folder.Path() + "long.mp4";
  const std::string partial = PartialVideoFileName(file);
  // A long export, interrupted as Ctrl+C would once the partial file holds
  // some frames. The shell starts background jobs with SIGINT ignored;
  // "env" gives the player the default back.
  const std::string script = show.Folder.Write(
      "interrupt.sh", "env --default-signal=INT '" + std::string(VMOVIEWER_PATH) + "' " + show.Options() +
                          " -duration 600000 -render '" + file + "' >/dev/null 2>&1 &\n"
                          "pid=$!\n"
                          "n=0\n"
                          "while [ \"$(stat -c %s '" + partial + "' 2>/dev/null || echo 0)\" -lt 4096 ] && [ $n -lt 600 ]; do\n"
                          "  sleep 0.05; n=$((n+1))\n"
                          "done\n"
                          "kill -INT $pid\n"
                          "wait $pid\n"
                          "echo \"exit $?\"\n");
  const TProgramRun run = test::RunProgram("sh", "'" + script + "'");
  EXPECT_EQ(run.Out, "exit 0\n") << run.Err;
  EXPECT_FALSE(std::filesystem::exists(partial));
  ASSERT_TRUE(std::filesystem::exists(file));
  const TReadBack back = ReadBack(file);
  ASSERT_TRUE(back.Opened);
  EXPECT_TRUE(back.ReadToEnd);
  EXPECT_GT(back.Video.Frames, 0);
  EXPECT_LT(back.Video.Frames, 600 * kFps);
  // The sound ends with the pictures.
  EXPECT_NEAR(static_cast<double>(back.Audio.Sound.size() / 2) / kRate,
              static_cast<double>(back.Video.Frames) / kFps, 1024.0 / kRate);
}

TEST(VmoviewerExport, AnOutputThatCannotBeWrittenIsAClearError) {
  const TShow show;
  const std::string blocker = show.Folder.Write("not-a-folder", "x");
  for (const std::string& file : {show.Folder.Path() + "missing/show.mp4", blocker + "/show.mp4"}) {
    const TProgramRun run = Viewer(show.Options() + " -duration 500 -render '" + file + "'");
    EXPECT_EQ(run.ExitCode, 1) << file;
    EXPECT_NE(run.Err.find("cannot create " + PartialVideoFileName(file)), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(PartialVideoFileName(file)));
  }
  // A picture encoder preset that does not exist fails the same way.
  const std::string file = show.Folder.Path() + "preset.mp4";
  const TProgramRun run = Viewer(show.Options() + " -duration 500 -preset nonsense -render '" + file + "'");
  EXPECT_EQ(run.ExitCode, 1) << run.Err;
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(std::filesystem::exists(PartialVideoFileName(file)));
}

} // namespace
} // namespace qx
