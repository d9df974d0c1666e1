#include "QxLib/Music/qxFFMpegConverter.h"

#include "QxLib/Music/qxConverterFactory.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxFileStream.h"
#include "Tests/QxLib/Music/qxSoundTestSupport.h"
#include "Tests/TestSupport/qxTestClips.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qx {
namespace {

using test::TestClip;

class FFMpegConverter : public testing::Test {
protected:
  static void SetUpTestSuite() {
    TFFMpegDll::SetLibraryPath(test::VideoLibraryPath());
    InstallFFMpegAudio();
  }
  static void TearDownTestSuite() {
    SetConverterMaker(TMediaKind::FFmpeg, {});
    SetFallbackMediaProbe({});
    TFFMpegDll::SetLibraryPath("");
  }
};

// The whole file through the factory, as a channel plays it.
std::string DecodeAll(const std::string& name) {
  TOpenedSound sound(name, {});
  return test::ReadAll(sound.Converter());
}

int64_t ByteOf(double ms) { return std::llround(ms * 44.1) * 4; }

TEST_F(FFMpegConverter, FilesNoOtherConverterReadsBecomeKind10InTheMixingFormat) {
  auto stream = TFileStream::TryOpen(TestClip("tone.flac"), TFileMode::OpenRead);
  const std::optional<TMediaInfo> info = ReadMediaInfo(*stream, TestClip("tone.flac"));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Kind, TMediaKind::FFmpeg);
  EXPECT_EQ(info->Length, 2000);
  EXPECT_TRUE(info->Format == MixingFormat());

  // 32 kHz mono resampled to 44.1 kHz stereo: two seconds of it (the last
  // read padded to a whole read).
  const std::string pcm = DecodeAll(TestClip("tone.flac"));
  EXPECT_NEAR(static_cast<double>(pcm.size()), 2.0 * 44100 * 4, 4096);
  const std::string opus = DecodeAll(TestClip("tone.opus"));
  EXPECT_NEAR(static_cast<double>(opus.size()), 2.0 * 44100 * 4, 4096 + 44100 * 4 * 0.03);
}

TEST_F(FFMpegConverter, TheLibrarysSoundIsFfmpegsDecodingSampleForSample) {
  const std::string path = TestClip("tone.flac");
  ASSERT_TRUE(test::RunFfmpeg("-i '" + path + "' -f s16le '" + path + ".raw'"));
  const std::string expected = test::ReadBinary(path + ".raw");
  TRefPtr<TFFMpegDll> dll = TFFMpegDll::Acquire();
  ASSERT_TRUE(dll);
  auto stream = TFileStream::TryOpen(path, TFileMode::OpenRead);
  auto media = TFFMpegMedia::Open(dll, *stream, path);
  ASSERT_TRUE(media);
  QxAudioFormat format{};
  ASSERT_TRUE(dll->GetAudioInfo(&media->Handle(), 0, &format));
  EXPECT_EQ(format.SampleRate, 32000);
  EXPECT_EQ(format.Channels, 1);
  ASSERT_GT(dll->OpenAudioStream(&media->Handle(), 0), 0);
  std::vector<uint8_t> area(QX_FF_AUDIO_AREA_SIZE);
  std::string decoded;
  int32_t count = 0;
  while (dll->GetNextAudioFrame(&media->Handle(), area.data(), &count) == 0)
    decoded.append(reinterpret_cast<const char*>(area.data()), static_cast<size_t>(count));
  dll->CloseAudioStream(&media->Handle());
  EXPECT_EQ(decoded, expected);
}

struct TStrategyCase {
  const char* Clip;
  int32_t Strategy;
  // Matroska and ASF stamps are whole milliseconds: their sound lands
  // within one.
  int64_t ToleranceSamples;
};

class FFMpegConverterSeek : public FFMpegConverter, public testing::WithParamInterface<TStrategyCase> {};

// After a seek to any time the sound is the same samples a decode from the
// start gives at that time, whatever the container's seek strategy.
TEST_P(FFMpegConverterSeek, SeeksAreExactToTheSample) {
  const std::string path = TestClip(GetParam().Clip);
  const std::string whole = DecodeAll(path);
  ASSERT_NEAR(static_cast<double>(whole.size()), static_cast<double>(ByteOf(3000)), 4.0 * 1024);
  TOpenedSound sound(path, {});
  auto* converter = dynamic_cast<TFFMpegConverter*>(&sound.Converter());
  ASSERT_NE(converter, nullptr);
  for (const double ms : {1234.0, 500.0, 2000.0, 10.0, 2900.0, 0.0}) {
    converter->Seek(ms);
    EXPECT_EQ(converter->Position(), ms);
    const std::string piece = test::ReadBytes(*converter, 8192);
    const int64_t tolerance = GetParam().ToleranceSamples * 4;
    const int64_t from = std::max<int64_t>(0, ByteOf(ms) - tolerance);
    const size_t found = whole.find(piece, static_cast<size_t>(from));
    ASSERT_NE(found, std::string::npos) << "at " << ms << " ms";
    EXPECT_LE(static_cast<int64_t>(found) - ByteOf(ms), tolerance) << "at " << ms << " ms";
  }
  EXPECT_EQ(converter->SeekStrategy(), GetParam().Strategy);
}

INSTANTIATE_TEST_SUITE_P(Strategies, FFMpegConverterSeek,
                         testing::Values(TStrategyCase{"sweep.mov", TFFMpegConverter::kSeekByStream, 0},
                                         TStrategyCase{"sweep.mkv", TFFMpegConverter::kSeekByTime, 44},
                                         TStrategyCase{"sweep.asf", TFFMpegConverter::kSeekAndDecode, 44}),
                         [](const auto& test) { return std::string(test.param.Clip).substr(6); });

TEST_F(FFMpegConverter, SelectorAfterTheQuestionMarkChoosesTheSoundStream) {
  EXPECT_EQ(TFFMpegConverter::StreamSelector("clip.mkv?1"), 1);
  EXPECT_EQ(TFFMpegConverter::StreamSelector("clip.mkv"), 0);
  EXPECT_EQ(TFFMpegConverter::StreamSelector("a?b.mkv?x"), 0);
  const auto energy = [](const std::string& pcm) {
    double sum = 0;
    for (const int16_t sample : test::ToSamples16(pcm))
      sum += std::abs(sample);
    return sum;
  };
  const std::string path = TestClip("two-sounds.mkv");
  EXPECT_EQ(energy(DecodeAll(path)), 0);
  EXPECT_GT(energy(DecodeAll(path + "?1")), 1e6);
}

TEST_F(FFMpegConverter, SoundOfAVideoFileAndFilesWithoutSound) {
  const std::string pcm = DecodeAll(TestClip("with-sound.mp4"));
  EXPECT_NEAR(static_cast<double>(pcm.size()), static_cast<double>(ByteOf(3000)), 44100 * 4 * 0.05);
  // A video without sound, or no media at all: no kind, a clear failure.
  const auto opens = [](const std::string& path) {
    try {
      TOpenedSound sound(path, {});
      return true;
    } catch (const EQxError&) {
      return false;
    }
  };
  EXPECT_FALSE(opens(TestClip("h264.mkv")));
  EXPECT_FALSE(opens(test::WriteTestFile("junk.xyz", std::string(5000, 'x'))));
}

TEST_F(FFMpegConverter, WithoutTheLibraryNothingIsKind10) {
  TFFMpegDll::SetLibraryPath(INCOMPLETE_VIDEO_LIBRARY);
  auto stream = TFileStream::TryOpen(TestClip("tone.flac"), TFileMode::OpenRead);
  EXPECT_FALSE(ReadMediaInfo(*stream, TestClip("tone.flac")));
  TFFMpegDll::SetLibraryPath(test::VideoLibraryPath());
}

} // namespace
} // namespace qx
