#include "QxLib/Music/qxMpegConverter.h"

#include "QxLib/Music/qxConverterFactory.h"
#include "Tests/QxLib/Music/qxSoundTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace qx {
namespace {

using namespace qx::test;

const std::string kMedia = VMO_SOUND_MEDIA_DIR "/";

TSoundFileAccess DiskFiles() { return {}; }

// Decodes a whole file through the factory as a channel does.
std::string DecodeFile(const std::string& name, double from = 0) {
  TOpenedSound sound(name, DiskFiles());
  if (from > 0)
    sound.Converter().Seek(from);
  return ReadAll(sound.Converter());
}

// Largest difference between two sample runs over the length of `expected`.
int MaxDifference(const std::vector<int16_t>& actual, const std::vector<int16_t>& expected, size_t count) {
  int worst = 0;
  for (size_t i = 0; i < count; ++i)
    worst = std::max(worst, std::abs(actual[i] - expected[i]));
  return worst;
}

// Reads 8192 bytes from a converter that was seeked to ms and finds them in
// the whole decode of the file near ms. The byte-to-time mapping does not
// know the encoder's delay and the silent first frame, so the place may be up
// to three frames off; returns the largest sample difference at the best
// place.
int BestAlignedDifference(const std::string& file, TWavConverter& converter, double ms) {
  const std::vector<int16_t> whole = ToSamples16(DecodeFile(file));
  const std::vector<int16_t> after = ToSamples16(ReadBytes(converter, 8192));
  const long target = std::lround(ms * 44.1) * 2;
  int best = 1 << 30;
  for (long shift = -3 * 1152; shift <= 3 * 1152; ++shift) {
    const long start = target + 2 * shift;
    if (start < 0 || start + static_cast<long>(after.size()) > static_cast<long>(whole.size()))
      continue;
    int worst = 0;
    for (size_t i = 0; i < after.size() && worst < best; ++i)
      worst = std::max(worst, std::abs(after[i] - whole[start + i]));
    best = std::min(best, worst);
  }
  return best;
}

TEST(MpegConverter, DecodesAsTheMpg123ProgramDoes) {
  for (const char* file : {"cbr.mp3", "vbr.mp3", "layer2.mp2"}) {
    SCOPED_TRACE(file);
    const std::vector<int16_t> expected = ToSamples16(ReadFileBytes(kMedia + file + ".raw"));
    const std::vector<int16_t> actual = ToSamples16(DecodeFile(kMedia + file));
    ASSERT_FALSE(expected.empty());
    ASSERT_GE(actual.size(), expected.size());
    EXPECT_EQ(MaxDifference(actual, expected, expected.size()), 0);
    // After the file's samples only the padding silence of the last read.
    for (size_t i = expected.size(); i < actual.size(); ++i)
      ASSERT_EQ(actual[i], 0) << "sample " << i;
  }
}

TEST(MpegConverter, SeekTo50MsDecodesFromTheStartAndDropsTheFirst50Ms) {
  const std::vector<int16_t> whole = ToSamples16(DecodeFile(kMedia + "cbr.mp3"));
  TOpenedSound sound(kMedia + "cbr.mp3", DiskFiles());
  auto& converter = dynamic_cast<TMpegConverter&>(sound.Converter());
  converter.Seek(50);
  EXPECT_EQ(converter.SeekStart(), 0); // the shifted stream begins at the first frame
  const std::vector<int16_t> after = ToSamples16(ReadBytes(converter, 44100));
  const size_t skipped = 2205 * 2; // 50 ms of stereo samples
  ASSERT_GE(whole.size(), skipped + after.size());
  EXPECT_TRUE(std::equal(after.begin(), after.end(), whole.begin() + skipped));
}

TEST(MpegConverter, SeekTo10SecondsStartsDecodingAt9Point9Seconds) {
  TOpenedSound sound(kMedia + "cbr.mp3", DiskFiles());
  auto& converter = dynamic_cast<TMpegConverter&>(sound.Converter());
  const TMediaInfo& info = sound.Info();
  converter.Seek(10000);
  // The first frame at or after the byte of 9.9 s.
  const double byteOf9900 = static_cast<double>(info.DataSize) / info.Length * 9900;
  EXPECT_GE(converter.SeekStart(), static_cast<int64_t>(byteOf9900));
  EXPECT_LT(converter.SeekStart(), static_cast<int64_t>(byteOf9900) + info.FrameSize);
  EXPECT_DOUBLE_EQ(converter.Position(), 10000 + converter.Output().Used() * 1000.0 / 176400);

  // The sound after the seek is that of the whole decode near 10 s, without
  // a glitch from the bit reservoir.
  EXPECT_EQ(BestAlignedDifference(kMedia + "cbr.mp3", converter, 10000), 0);
}

TEST(MpegConverter, VbrSeekWalksTheFrames) {
  TOpenedSound sound(kMedia + "vbr.mp3", DiskFiles());
  ASSERT_TRUE(sound.Info().Vbr);
  auto& converter = dynamic_cast<TMpegConverter&>(sound.Converter());
  converter.Seek(5000);
  EXPECT_EQ(BestAlignedDifference(kMedia + "vbr.mp3", converter, 5000), 0);
}

} // namespace
} // namespace qx
