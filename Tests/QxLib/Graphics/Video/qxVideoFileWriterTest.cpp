// The video library's file-creating functions: pictures and sound written
// into MP4, WebM and WAVE files that the library (and so FFmpeg) reads back
// with the stream parameters asked for.
#include "QxLib/Graphics/Video/qxFFMpegDll.h"

#include "Tests/TestSupport/qxTestClips.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace qx {
namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;
constexpr int kFrames = 25;

struct TWritten {
  int32_t Width = 0;
  int32_t Height = 0;
  double Rate = 0;
  int64_t Pictures = 0;
  int32_t SampleRate = 0;
  int32_t Channels = 0;
  int64_t SampleBytes = 0;
};

// Reads a file back through the library: its video parameters, the
// pictures it decodes and the sound of its first sound stream.
TWritten ReadBack(TFFMpegDll& dll, const std::string& path) {
  TWritten written;
  QxMediaFile* media = dll.OpenMediaFile2(path.c_str());
  if (!media)
    return written;
  written.Width = media->Width;
  written.Height = media->Height;
  written.Rate = media->FrameRateDen > 0 ? static_cast<double>(media->FrameRateNum) / media->FrameRateDen : 0;
  if (media->VideoStream >= 0) {
    QxFrameBuffer* buffer = dll.AllocBuffer(media, media->PixelFormat);
    while (dll.GetNextVideoFrame(media, buffer, 0) == 0)
      ++written.Pictures;
    dll.FreeBuffer(buffer);
  }
  QxAudioFormat format{};
  if (dll.GetAudioInfo(media, 0, &format) && dll.OpenAudioStream(media, 0) > 0) {
    // The pictures were read to the end: back to the start for the sound.
    dll.Flush(media);
    dll.SeekFile(media, -1, 0, 0);
    written.SampleRate = format.SampleRate;
    written.Channels = format.Channels;
    std::vector<uint8_t> area(QX_FF_AUDIO_AREA_SIZE);
    int32_t count = 0;
    while (dll.GetNextAudioFrame(media, area.data(), &count) == 0)
      written.SampleBytes += count;
    dll.CloseAudioStream(media);
  }
  dll.CloseMediaFile(media);
  return written;
}

// Writes a second of moving BGRA pictures and of a stereo tone.
bool WriteSecond(TFFMpegDll& dll, QxOutputFile* file, bool pictures, bool sound) {
  std::vector<uint8_t> picture(static_cast<size_t>(kWidth) * kHeight * 4);
  std::vector<int16_t> samples(2 * 1764);
  for (int frame = 0; frame < kFrames; ++frame) {
    for (size_t i = 0; i < picture.size(); ++i)
      picture[i] = static_cast<uint8_t>(i * 7 + frame * 9);
    if (pictures && dll.WriteVideoFrame(file, picture.data(), kWidth * 4) != 0)
      return false;
    for (size_t i = 0; i < samples.size(); i += 2)
      samples[i] = samples[i + 1] = static_cast<int16_t>(8000 * std::sin((frame * 1764 + i / 2) * 0.05));
    if (sound && dll.WriteAudioSamples(file, samples.data(), 1764) != 0)
      return false;
  }
  return true;
}

TEST(VideoFileWriter, MakesMp4AndWebmWithPicturesAndSound) {
  std::string error;
  TRefPtr<TFFMpegDll> dll = TFFMpegDll::Load(test::VideoLibraryPath(), &error);
  ASSERT_TRUE(dll) << error;
  ASSERT_NE(dll->WriteVideoFrame, nullptr);
  const QxVideoFileParams video{kWidth, kHeight, 25, 1, QX_FF_PIX_BGRA, nullptr, 30, "veryfast", 0};
  const QxAudioFileParams audio{44100, 2, nullptr, 0};
  for (const char* name : {"written.mp4", "written.webm"}) {
    const std::string path = test::WriteTestFile(name, "");
    char text[256] = {};
    QxOutputFile* file = dll->CreateVideoAudioFile(path.c_str(), &video, &audio, text, sizeof text);
    ASSERT_NE(file, nullptr) << name << ": " << text;
    ASSERT_TRUE(WriteSecond(*dll, file, true, true)) << name;
    ASSERT_EQ(dll->CloseOutputFile(file, 0), 0) << name;
    const TWritten written = ReadBack(*dll, path);
    EXPECT_EQ(written.Width, kWidth) << name;
    EXPECT_EQ(written.Height, kHeight) << name;
    EXPECT_DOUBLE_EQ(written.Rate, 25.0) << name;
    EXPECT_EQ(written.Pictures, kFrames) << name;
    EXPECT_EQ(written.Channels, 2) << name;
    // One second of sound, give or take the encoder's padding.
    const double seconds = static_cast<double>(written.SampleBytes) / (written.SampleRate * 4.0);
    EXPECT_NEAR(seconds, 1.0, 0.05) << name;
  }
}

TEST(VideoFileWriter, SoundOnlyFilesAndRefusals) {
  TRefPtr<TFFMpegDll> dll = TFFMpegDll::Load(test::VideoLibraryPath());
  ASSERT_TRUE(dll);
  const std::string wav = test::WriteTestFile("written.wav", "");
  const QxAudioFileParams audio{44100, 2, nullptr, 0};
  QxOutputFile* file = dll->CreateAudioFile(wav.c_str(), &audio, nullptr, 0);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(WriteSecond(*dll, file, false, true));
  ASSERT_EQ(dll->CloseOutputFile(file, 0), 0);
  const TWritten written = ReadBack(*dll, wav);
  EXPECT_EQ(written.SampleRate, 44100);
  EXPECT_EQ(written.SampleBytes, 44100 * 4);

  // A folder that does not exist, a size no encoder takes, an abandoned file.
  char text[256] = {};
  const QxVideoFileParams video{kWidth, kHeight, 25, 1, QX_FF_PIX_BGRA, nullptr, -1, nullptr, 0};
  EXPECT_EQ(dll->CreateVideoFile("/nonexistent/folder/out.mp4", &video, text, sizeof text), nullptr);
  EXPECT_NE(std::string(text).find("creating"), std::string::npos) << text;
  const QxVideoFileParams odd{0, 10, 25, 1, QX_FF_PIX_BGRA, nullptr, -1, nullptr, 0};
  EXPECT_EQ(dll->CreateVideoFile(test::WriteTestFile("odd.mp4", "").c_str(), &odd, nullptr, 0), nullptr);
  const std::string abandoned = test::WriteTestFile("abandoned.mp4", "");
  file = dll->CreateVideoFile(abandoned.c_str(), &video, nullptr, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(dll->CloseOutputFile(file, 1), 0);
  EXPECT_FALSE(std::filesystem::exists(abandoned));
}

} // namespace
} // namespace qx
