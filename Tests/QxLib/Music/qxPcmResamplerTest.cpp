#include "QxLib/Music/qxPcmResampler.h"

#include "QxLib/Music/qxConverterFactory.h"
#include "QxLib/qxExceptions.h"
#include "Tests/QxLib/Music/qxSoundTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qx {
namespace {

using namespace qx::test;

const std::string kMedia = VMO_SOUND_MEDIA_DIR "/";

std::vector<int16_t> ResampleAll(TPcmResampler& resampler, const std::string& input) {
  std::string out(static_cast<size_t>(resampler.OutputSize(static_cast<int32_t>(input.size()))), '\0');
  const int32_t made = resampler.Resample(reinterpret_cast<const uint8_t*>(input.data()),
                                          static_cast<int32_t>(input.size()), reinterpret_cast<uint8_t*>(out.data()));
  out.resize(static_cast<size_t>(made));
  return ToSamples16(out);
}

TEST(PcmResampler, ThreePointFormulaReproducesAQuadratic) {
  // y = 10 n² sampled at 1000 Hz, read at 2000 Hz: every output lies on the
  // same parabola (the middle of the three points is the one before the
  // newest).
  std::vector<int16_t> input;
  for (int n = 0; n < 40; ++n)
    input.push_back(static_cast<int16_t>(10 * n * n));
  TPcmResampler resampler(MakePcmFormat(1000, 16, 1), MakePcmFormat(2000, 16, 1));
  const std::vector<int16_t> out = ResampleAll(resampler, Samples16(input));
  ASSERT_GE(out.size(), 70u);
  for (size_t k = 2; k < out.size(); ++k)
    EXPECT_EQ(out[k], std::lround(10 * (k / 2.0) * (k / 2.0))) << k;
}

TEST(PcmResampler, KeepsStateAcrossCalls) {
  std::vector<int16_t> input(600);
  for (size_t i = 0; i < input.size(); ++i)
    input[i] = static_cast<int16_t>(std::lround(8000 * std::sin(i * 0.05)));
  const std::string bytes = Samples16(input);
  TPcmResampler whole(MakePcmFormat(48000, 16, 1), MakePcmFormat(44100, 16, 1));
  TPcmResampler pieces(MakePcmFormat(48000, 16, 1), MakePcmFormat(44100, 16, 1));
  std::vector<int16_t> joined;
  for (size_t at = 0; at < bytes.size(); at += 202) {
    const std::vector<int16_t> part = ResampleAll(pieces, bytes.substr(at, 202));
    joined.insert(joined.end(), part.begin(), part.end());
  }
  EXPECT_EQ(joined, ResampleAll(whole, bytes));
}

TEST(PcmResampler, SampleSizesBecomeSixteenBits) {
  // 8-bit unsigned, 24-bit (top 16 bits), 32-bit float (× 32767, limited) at
  // equal rates give the samples themselves; the last waits for its
  // successor.
  TPcmResampler eight(MakePcmFormat(8000, 8, 1), MakePcmFormat(8000, 16, 1));
  EXPECT_EQ(ResampleAll(eight, std::string("\x80\xff\x00\x81", 4)), (std::vector<int16_t>{0, 127 * 256, -32768}));

  TPcmResampler twentyFour(MakePcmFormat(8000, 24, 1), MakePcmFormat(8000, 16, 1));
  EXPECT_EQ(ResampleAll(twentyFour, std::string("\x11\x34\x12\xff\xff\xff\x00\x00\x80\x00\x00\x00", 12)),
            (std::vector<int16_t>{0x1234, -1, -32768}));

  TPcmFormat floats = MakePcmFormat(8000, 32, 1);
  floats.FormatTag = kWaveFormatIeeeFloat;
  const float values[] = {0.5f, -1.0f, 3.0f, 0.0f};
  TPcmResampler fromFloat(floats, MakePcmFormat(8000, 16, 1));
  EXPECT_EQ(ResampleAll(fromFloat, std::string(reinterpret_cast<const char*>(values), sizeof values)),
            (std::vector<int16_t>{16384, -32767, 32767}));
}

TEST(PcmResampler, ChannelsFoldAndMix) {
  // Six channels: front left, front right, centre, low frequency, back left,
  // back right. Centre and low frequency go to both sides, limited.
  const std::vector<int16_t> six = {100, 200, 10, 1, 1000, 2000, 30000, 0, 5000, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  TPcmResampler fold(MakePcmFormat(8000, 16, 6), MakePcmFormat(8000, 16, 2));
  EXPECT_EQ(ResampleAll(fold, Samples16(six)), (std::vector<int16_t>{1111, 2211, 32767, 5000}));

  // Stereo to mono takes the mean; 8-bit output is the high byte + 128.
  TPcmResampler mono(MakePcmFormat(8000, 16, 2), MakePcmFormat(8000, 8, 1));
  const std::vector<int16_t> stereo = {1000, 3000, -32768, -32768, 0, 0};
  std::string out(16, '\0');
  const int32_t made = mono.Resample(reinterpret_cast<const uint8_t*>(Samples16(stereo).data()), 12,
                                     reinterpret_cast<uint8_t*>(out.data()));
  EXPECT_EQ(out.substr(0, static_cast<size_t>(made)), std::string("\x87\x00", 2));
}

TEST(PcmResampler, RejectsFormatsItCannotConvert) {
  EXPECT_THROW(TPcmResampler(MakePcmFormat(8000, 16, 4), MixingFormat()), EQxError);
  EXPECT_THROW(TPcmResampler(MakePcmFormat(8000, 12, 2), MixingFormat()), EQxError);
  EXPECT_THROW(TPcmResampler(MakePcmFormat(0, 16, 2), MixingFormat()), EQxError);
}

TEST(PcmResampler, TwentyFourBitWavePlaysAsMixingFormat) {
  // A 24-bit 48 kHz sine through the converter: 44100 Hz 16-bit stereo, the
  // same sine within the interpolation error.
  const double frequency = 440;
  std::string data;
  for (int i = 0; i < 48000; ++i) {
    const auto value = static_cast<int32_t>(std::lround(4000000 * std::sin(2 * M_PI * frequency * i / 48000)));
    for (int c = 0; c < 2; ++c)
      data += std::string(reinterpret_cast<const char*>(&value), 3);
  }
  const std::string wave = MakeWave(MakePcmFormat(48000, 24, 2), data);
  auto stream = MemoryStreamOf(wave);
  const std::optional<TMediaInfo> info = ReadMediaInfo(*stream, "x.wav");
  ASSERT_TRUE(info);
  std::unique_ptr<TWavConverter> converter = CreateConverter(*stream, "x.wav", *info);
  ASSERT_TRUE(converter->Open(*info));
  EXPECT_EQ(converter->OutputFormat(), MixingFormat());
  EXPECT_EQ(converter->ReadSize(), TWavConverter::k24BitReadSize);
  const std::vector<int16_t> out = ToSamples16(ReadBytes(*converter, 44000 * 4));
  int worst = 0;
  for (int k = 1; k < 44000; ++k) {
    // Output frame k lies at input frame k × 48000 / 44100.
    const double t = k / 44100.0;
    const double ideal = 4000000.0 / 256 * std::sin(2 * M_PI * frequency * t);
    worst = std::max(worst, static_cast<int>(std::lround(std::abs(out[2 * k] - ideal))));
    ASSERT_EQ(out[2 * k], out[2 * k + 1]);
  }
  EXPECT_LE(worst, 2);
}

TEST(PcmResampler, RealFilesOfEachSampleSizePlayAtTheirLength) {
  for (const char* file : {"pcm24.wav", "float32.wav", "mono11k.wav"}) {
    SCOPED_TRACE(file);
    TOpenedSound sound(kMedia + file, {});
    const bool resampled = std::string(file) != "mono11k.wav";
    EXPECT_EQ(sound.Converter().OutputFormat() == MixingFormat(), resampled);
    const std::string all = ReadAll(sound.Converter());
    // All of the three seconds, plus the silence that pads the last read.
    const double perSecond = sound.Converter().OutputFormat().AvgBytesPerSec;
    EXPECT_GE(all.size() * 1000.0 / perSecond, 2999);
    EXPECT_LT((all.size() - 4096) * 1000.0 / perSecond, 3000);
    EXPECT_NE(all.find_first_not_of('\0'), std::string::npos);
  }
}

} // namespace
} // namespace qx
