#include "QxLib/Music/qxWavConverter.h"

#include "QxLib/Music/qxConverterFactory.h"
#include "Tests/QxLib/Music/qxSoundTestSupport.h"

#include <gtest/gtest.h>

#include <numeric>

namespace qx {
namespace {

using namespace qx::test;

std::vector<int16_t> Ramp(size_t count) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i)
    samples[i] = static_cast<int16_t>(i * 7 - 3000);
  return samples;
}

struct TOpened {
  std::unique_ptr<TMemoryStream> Stream;
  TMediaInfo Info;
  std::unique_ptr<TWavConverter> Converter;
};

TOpened OpenBytes(const std::string& bytes, const std::string& name = "a.wav") {
  TOpened opened;
  opened.Stream = MemoryStreamOf(bytes);
  std::optional<TMediaInfo> info = ReadMediaInfo(*opened.Stream, name);
  if (!info)
    return opened;
  opened.Info = *info;
  opened.Converter = CreateConverter(*opened.Stream, name, opened.Info);
  if (opened.Converter && !opened.Converter->Open(opened.Info))
    opened.Converter.reset();
  return opened;
}

TEST(WavConverter, DeliversPcmSamplesUnchangedAndPadsSilenceAtTheEnd) {
  const std::vector<int16_t> samples = Ramp(2 * 3000);
  TOpened opened = OpenBytes(MakeWave(MakePcmFormat(22050, 16, 2), Samples16(samples)));
  ASSERT_TRUE(opened.Converter);
  EXPECT_EQ(opened.Converter->OutputFormat(), MakePcmFormat(22050, 16, 2));

  bool more = true;
  const std::string first = ReadBytes(*opened.Converter, 10000, &more);
  EXPECT_TRUE(more);
  EXPECT_EQ(first, Samples16(samples).substr(0, 10000));
  // 2000 bytes remain; the read asks for 4096 and gets them plus silence.
  const std::string last = ReadBytes(*opened.Converter, 4096, &more);
  EXPECT_FALSE(more);
  EXPECT_EQ(last.substr(0, 2000), Samples16(samples).substr(10000));
  EXPECT_EQ(last.substr(2000), std::string(2096, '\0'));
  // Reading again past the end: false and silence of the requested size.
  const std::string after = ReadBytes(*opened.Converter, 100, &more);
  EXPECT_FALSE(more);
  EXPECT_EQ(after, std::string(100, '\0'));
}

TEST(WavConverter, EightBitSilenceIs128) {
  TOpened opened = OpenBytes(MakeWave(MakePcmFormat(8000, 8, 1), std::string(10, '\x40')));
  ASSERT_TRUE(opened.Converter);
  bool more = true;
  const std::string bytes = ReadBytes(*opened.Converter, 16, &more);
  EXPECT_FALSE(more);
  EXPECT_EQ(bytes, std::string(10, '\x40') + std::string(6, '\x80'));
}

TEST(WavConverter, SeekGoesToTheWholeBlockOfTheTime) {
  const std::vector<int16_t> samples = Ramp(2 * 1000);
  TOpened opened = OpenBytes(MakeWave(MakePcmFormat(1000, 16, 2), Samples16(samples)));
  ASSERT_TRUE(opened.Converter);
  // 250.4 ms at 4000 bytes/s is byte 1001.6 -> 1002 -> block 250 (byte 1000).
  opened.Converter->Seek(250.4);
  EXPECT_DOUBLE_EQ(opened.Converter->Position(), 250.4);
  const std::string bytes = ReadBytes(*opened.Converter, 8);
  EXPECT_EQ(bytes, Samples16(samples).substr(1000, 8));
  // The position counts what went into the output: the 3000 bytes left.
  EXPECT_DOUBLE_EQ(opened.Converter->Position(), 250.4 + 3000 * 1000.0 / 4000);
}

TEST(WavConverter, NeverReadsPastTheDataChunk) {
  const std::string trailer = Chunk("LIST", std::string(40, 'x'));
  const std::string wave = MakeWave(MakePcmFormat(8000, 16, 1), Samples16({1, 2, 3})) + trailer;
  TOpened opened = OpenBytes(wave);
  ASSERT_TRUE(opened.Converter);
  bool more = true;
  EXPECT_EQ(ReadBytes(*opened.Converter, 10, &more), Samples16({1, 2, 3, 0, 0}));
  EXPECT_FALSE(more);
}

} // namespace
} // namespace qx
