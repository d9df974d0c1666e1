#include "QxLib/Music/qxMediaInfo.h"

#include "QxLib/Music/qxMpegHeader.h"
#include "Tests/QxLib/Music/qxSoundTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qx {
namespace {

using namespace qx::test;

const std::string kMedia = VMO_SOUND_MEDIA_DIR "/";

std::optional<TMediaInfo> InfoOf(const std::string& bytes, const std::string& name) {
  auto stream = MemoryStreamOf(bytes);
  return ReadMediaInfo(*stream, name);
}

// An ID3v2 tag of `bodySize` bytes after its 10-byte header.
std::string Id3v2(uint32_t bodySize) {
  std::string tag = "ID3";
  tag += '\x03';
  tag += '\0';
  tag += '\0';
  for (int shift : {21, 14, 7, 0})
    tag += static_cast<char>((bodySize >> shift) & 0x7F);
  return tag + std::string(bodySize, 'x');
}

std::string Id3v1() { return "TAG" + std::string(125, ' '); }

TEST(MediaInfo, WaveDataChunkIsFoundAfterOtherChunks) {
  const TPcmFormat format = MakePcmFormat(44100, 16, 2);
  const std::string between = Chunk("LIST", std::string(27, 'i')) + Chunk("fact", std::string(4, '\0'));
  const std::string wave = MakeWave(format, std::string(176400, '\0'), between);
  const std::optional<TMediaInfo> info = InfoOf(wave, "x.wav");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Kind, TMediaKind::WavePcm);
  EXPECT_EQ(info->Format, format);
  // RIFF header 12, fmt 24, LIST 8 + 27 + pad, fact 12, data header 8.
  EXPECT_EQ(info->DataOffset, 12 + 24 + 36 + 12 + 8);
  EXPECT_EQ(info->DataSize, 176400);
  EXPECT_EQ(info->Length, 1000);
}

TEST(MediaInfo, WaveLengthIsRoundedAndKindsFollowTheTag) {
  TPcmFormat format = MakePcmFormat(1000, 16, 1);
  EXPECT_EQ(InfoOf(MakeWave(format, std::string(2001, '\0')), "x")->Length, 1001); // 1000.5 ms
  format.FormatTag = kWaveFormatIeeeFloat;
  format.BitsPerSample = 32;
  EXPECT_EQ(InfoOf(MakeWave(format, std::string(8, '\0')), "x")->Kind, TMediaKind::WaveFloat);
  format.FormatTag = 0x55AA; // unknown tag: no information, nothing else to ask
  EXPECT_FALSE(InfoOf(MakeWave(format, std::string(8, '\0')), "x.wav"));
}

TEST(MediaInfo, WaveWhoseDataChunkPointsPastTheEndCoversWhatIsThere) {
  std::string wave = MakeWave(MakePcmFormat(8000, 16, 1), std::string(100, '\0'));
  // Claim 1 GB of data.
  wave[wave.size() - 100 - 4 + 3] = '\x40';
  const std::optional<TMediaInfo> info = InfoOf(wave, "x.wav");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->DataSize, 100);
}

TEST(MediaInfo, WaveChunkWalkStopsAtTheEnd) {
  // A chunk before "data" claims to be huge: the walk runs off the end and
  // finds no data.
  const std::string huge = "junk" + std::string("\xff\xff\xff\x7f", 4);
  const std::string wave = MakeWave(MakePcmFormat(8000, 16, 1), std::string(10, '\0'), huge);
  EXPECT_FALSE(InfoOf(wave, "x.wav"));
}

TEST(MediaInfo, AdpcmKeepsTheExtraFormatBytes) {
  const std::string bytes = ReadFileBytes(kMedia + "adpcm.wav");
  const std::optional<TMediaInfo> info = InfoOf(bytes, "adpcm.wav");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Kind, TMediaKind::WaveAdpcm);
  EXPECT_EQ(info->Format.FormatTag, kWaveFormatAdpcm);
  EXPECT_EQ(info->Format.ExtraSize, 32);
  // Samples per block, then the count of the seven standard coefficient pairs.
  const int samplesPerBlock = info->AdpcmExtra[0] | (info->AdpcmExtra[1] << 8);
  EXPECT_EQ(samplesPerBlock, (info->Format.BlockAlign - 7 * info->Format.Channels) * 2 / info->Format.Channels + 2);
  EXPECT_EQ(info->AdpcmExtra[2], 7);
  EXPECT_NEAR(info->Length, 4016, 1);
}

TEST(MediaInfo, MpegAfterId3v2AndBeforeId3v1) {
  const std::string mp3 = ReadFileBytes(kMedia + "cbr.mp3");
  const std::optional<TMediaInfo> plain = InfoOf(mp3, "a.mp3");
  ASSERT_TRUE(plain);
  const std::string tagged = Id3v2(1000) + mp3.substr(plain->DataOffset) + Id3v1();
  const std::optional<TMediaInfo> info = InfoOf(tagged, "a.MP3");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Kind, TMediaKind::Mpeg);
  EXPECT_EQ(info->DataOffset, 1010);
  EXPECT_EQ(info->DataSize, static_cast<int32_t>(tagged.size()) - 1010 - 128);
  EXPECT_EQ(info->Format, MakePcmFormat(44100, 16, 2));
  EXPECT_FALSE(info->Vbr);
  // 128 kbit/s at 44100 Hz: 417 bytes, 418 with padding, the largest wins.
  EXPECT_EQ(info->FrameSize, 418);
  EXPECT_EQ(info->Length, static_cast<int32_t>(std::lround(info->DataSize * 8.0 / 128)));
  EXPECT_NEAR(info->MeanFrameDuration, static_cast<double>(info->Length) / info->DataSize * 418, 1e-9);
}

TEST(MediaInfo, MpegLengthFromTheXingFrameCount) {
  const std::optional<TMediaInfo> info = InfoOf(ReadFileBytes(kMedia + "vbr.mp3"), "vbr.mp3");
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->Vbr);
  // 12 s of audio; the count covers the encoder's delay and padding frames.
  EXPECT_NEAR(info->Length, 12000, 60);
  EXPECT_NEAR(info->MeanFrameDuration, 1152 * 1000.0 / 44100, 0.01);
}

TEST(MediaInfo, MpegInsideWaveUsesTheWaveBitRate) {
  const std::string mp3 = ReadFileBytes(kMedia + "cbr.mp3");
  TPcmFormat format;
  format.FormatTag = kWaveFormatMpegLayer3;
  format.Channels = 2;
  format.SamplesPerSec = 44100;
  format.AvgBytesPerSec = 16000; // 128 kbit/s
  format.BlockAlign = 1;
  const std::string wave = MakeWave(format, mp3);
  const std::optional<TMediaInfo> info = InfoOf(wave, "x.wav");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Kind, TMediaKind::Mpeg);
  EXPECT_TRUE(info->InsideRiff);
  EXPECT_EQ(info->DataOffset, 44 + InfoOf(mp3, "a.mp3")->DataOffset);
  EXPECT_EQ(info->Length, std::lround((static_cast<double>(mp3.size()) - (info->DataOffset - 44)) * 8 / 128));
}

TEST(MediaInfo, MpegOnlyByItsExtension) {
  const std::string mp3 = ReadFileBytes(kMedia + "cbr.mp3");
  EXPECT_TRUE(InfoOf(mp3, "song.mp2?1"));
  EXPECT_FALSE(InfoOf(mp3, "song.bin"));
}

TEST(MediaInfo, MpegOfOnlyTagsHasNoInformation) {
  EXPECT_FALSE(InfoOf(Id3v2(3000) + Id3v1(), "tags.mp3"));
  EXPECT_FALSE(InfoOf(Id3v1(), "tags.mp3"));
  // A tag size past the end.
  EXPECT_FALSE(InfoOf(Id3v2(10).substr(0, 6) + "\x7f\x7f\x7f\x7f" + "abc", "tags.mp3"));
}

TEST(MediaInfo, LoneSyncPatternIsNotAFrame) {
  // A valid-looking header inside junk whose next header is missing, then the
  // real frames.
  const std::string mp3 = ReadFileBytes(kMedia + "cbr.mp3");
  const std::string junk = std::string("\xff\xfb\x90\x64", 4) + std::string(600, 'j');
  const std::optional<TMediaInfo> info = InfoOf(junk + mp3, "a.mp3");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->DataOffset, 604 + InfoOf(mp3, "a.mp3")->DataOffset);
}

TEST(MpegFrameHeader, SizesAndRatesOfEachVersionAndLayer) {
  TMpegFrameHeader header;
  const uint8_t mpeg1Layer3[] = {0xFF, 0xFB, 0x92, 0x44}; // 128 kbit/s, 44100 Hz, padded
  ASSERT_TRUE(ParseMpegFrameHeader(mpeg1Layer3, header));
  EXPECT_EQ(header.FrameSize(), 418);
  EXPECT_EQ(header.SamplesPerFrame(), 1152);
  const uint8_t mpeg2Layer3[] = {0xFF, 0xF3, 0x80, 0xC4}; // 64 kbit/s, 22050 Hz, mono
  ASSERT_TRUE(ParseMpegFrameHeader(mpeg2Layer3, header));
  EXPECT_EQ(header.SampleRate, 22050);
  EXPECT_TRUE(header.SingleChannel);
  EXPECT_EQ(header.FrameSize(), 72 * 64000 / 22050);
  const uint8_t mpeg2Layer2[] = {0xFF, 0xF5, 0x80, 0x04}; // 64 kbit/s, 22050 Hz
  ASSERT_TRUE(ParseMpegFrameHeader(mpeg2Layer2, header));
  EXPECT_EQ(header.SamplesPerFrame(), 1152);
  EXPECT_EQ(header.FrameSize(), 144 * 64000 / 22050);
  const uint8_t mpeg1Layer1[] = {0xFF, 0xFF, 0x92, 0x04}; // 288 kbit/s, 44100 Hz, padded
  ASSERT_TRUE(ParseMpegFrameHeader(mpeg1Layer1, header));
  EXPECT_EQ(header.FrameSize(), (12 * 288000 / 44100 + 1) * 4);

  const uint8_t reserved[][4] = {{0xFF, 0xEB, 0x90, 0x04},  // version reserved
                                 {0xFF, 0xF9, 0x90, 0x04},  // layer 0
                                 {0xFF, 0xFB, 0x00, 0x04},  // free bit rate
                                 {0xFF, 0xFB, 0xF0, 0x04},  // bit-rate index 15
                                 {0xFF, 0xFB, 0x9C, 0x04},  // sample-rate index 3
                                 {0xFF, 0xFB, 0x90, 0x06}}; // emphasis 2
  for (const auto& bytes : reserved)
    EXPECT_FALSE(ParseMpegFrameHeader(bytes, header));
}

} // namespace
} // namespace qx
