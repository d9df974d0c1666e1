#include "QxLib/Music/qxAdpcmConverter.h"

#include "QxLib/Music/qxConverterFactory.h"
#include "Tests/QxLib/Music/qxSoundTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qx {
namespace {

using namespace qx::test;

const std::string kMedia = VMO_SOUND_MEDIA_DIR "/";

TEST(AdpcmConverter, DecodesSampleExactAsFFmpegDoes) {
  for (const char* file : {"adpcm.wav", "adpcm_mono.wav"}) {
    SCOPED_TRACE(file);
    TOpenedSound sound(kMedia + file, {});
    ASSERT_NE(dynamic_cast<TAdpcmConverter*>(&sound.Converter()), nullptr);
    const TPcmFormat& source = sound.Info().Format;
    EXPECT_EQ(sound.Converter().OutputFormat(), MakePcmFormat(source.SamplesPerSec, 16, source.Channels));
    const std::string expected = ReadFileBytes(kMedia + file + ".raw");
    const std::string actual = ReadAll(sound.Converter());
    ASSERT_GE(actual.size(), expected.size());
    EXPECT_TRUE(actual.compare(0, expected.size(), expected) == 0);
    EXPECT_EQ(actual.find_first_not_of('\0', expected.size()), std::string::npos);
  }
}

TEST(AdpcmConverter, SeekLandsOnABlockAndMatchesTheWholeDecode) {
  TOpenedSound sound(kMedia + "adpcm.wav", {});
  const TPcmFormat& source = sound.Info().Format;
  const int samplesPerBlock = sound.Info().AdpcmExtra[0] | (sound.Info().AdpcmExtra[1] << 8);
  sound.Converter().Seek(1500);
  const int64_t byte = std::llround(1.5 * source.AvgBytesPerSec) / source.BlockAlign;
  const std::string expected = ReadFileBytes(kMedia + "adpcm.wav.raw").substr(byte * samplesPerBlock * 4, 40000);
  EXPECT_EQ(ReadBytes(sound.Converter(), 40000), expected);
}

TEST(AdpcmConverter, PartialLastBlockAndDamagedBlocksGiveNoCrash) {
  const std::string file = ReadFileBytes(kMedia + "adpcm_mono.wav");
  auto stream = MemoryStreamOf(file);
  std::optional<TMediaInfo> info = ReadMediaInfo(*stream, "a.wav");
  ASSERT_TRUE(info);
  // Cut the data in the middle of a block, and fill it with noise.
  std::string damaged = file.substr(0, static_cast<size_t>(info->DataOffset) + info->Format.BlockAlign * 3 + 100);
  for (size_t i = static_cast<size_t>(info->DataOffset); i < damaged.size(); ++i)
    damaged[i] = static_cast<char>(i * 131 + 7);
  auto damagedStream = MemoryStreamOf(damaged);
  info = ReadMediaInfo(*damagedStream, "a.wav");
  ASSERT_TRUE(info);
  std::unique_ptr<TWavConverter> converter = CreateConverter(*damagedStream, "a.wav", *info);
  ASSERT_TRUE(converter->Open(*info));
  const int samplesPerBlock = info->AdpcmExtra[0] | (info->AdpcmExtra[1] << 8);
  bool more = true;
  const std::string out = ReadBytes(*converter, 3 * samplesPerBlock * 2 + 1000, &more);
  EXPECT_FALSE(more); // three whole blocks, then silence
  EXPECT_EQ(out.find_first_not_of('\0', 3 * samplesPerBlock * 2), std::string::npos);
}

TEST(AdpcmConverter, BlockAlignTooSmallForTheChannelsIsRefused) {
  TMediaInfo info;
  info.Kind = TMediaKind::WaveAdpcm;
  info.Format = MakePcmFormat(22050, 4, 2);
  info.Format.FormatTag = kWaveFormatAdpcm;
  info.Format.BlockAlign = 8;
  auto stream = MemoryStreamOf(std::string(100, '\0'));
  TAdpcmConverter converter(*stream);
  EXPECT_FALSE(converter.Open(info));
}

} // namespace
} // namespace qx
