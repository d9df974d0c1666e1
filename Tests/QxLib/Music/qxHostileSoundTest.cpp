// Damaged, truncated, empty and random sound files of every kind: each
// either has no information, refuses to open, or decodes to a bounded amount
// of sound and reports its end.
#include "QxLib/Music/qxConverterFactory.h"
#include "QxLib/Music/qxDecoderPlugins.h"
#include "Tests/QxLib/Music/qxSoundTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace qx {
namespace {

using namespace qx::test;

const std::string kMedia = VMO_SOUND_MEDIA_DIR "/";
const std::string kPlugins = VMO_PLUGIN_DIR "/";

enum class TOutcome { NoInformation, NotOpened, Decoded };

// Decodes like a channel; fails the test when the decoder delivers more than
// `maxSeconds` of sound or never reports the end.
TOutcome DecodeBounded(const std::string& bytes, const std::string& name, double maxSeconds = 60) {
  auto stream = MemoryStreamOf(bytes);
  const std::optional<TMediaInfo> info = ReadMediaInfo(*stream, name);
  if (!info)
    return TOutcome::NoInformation;
  std::unique_ptr<TWavConverter> converter = CreateConverter(*stream, name, *info);
  if (!converter || !converter->Open(*info))
    return TOutcome::NotOpened;
  converter->Seek(info->Length / 2.0);
  converter->Seek(0);
  const double perSecond = std::max<uint32_t>(converter->OutputFormat().AvgBytesPerSec, 1);
  const int reads = static_cast<int>(maxSeconds * perSecond / 4096) + 2;
  for (int i = 0; i < reads; ++i) {
    if (!converter->Read(4096))
      return TOutcome::Decoded;
    converter->Output().Consume(4096);
  }
  ADD_FAILURE() << name << ": no end after " << maxSeconds << " s of sound";
  return TOutcome::Decoded;
}

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random());
  return bytes;
}

class HostileSound : public testing::Test {
protected:
  static void SetUpTestSuite() {
    TDecoderPlugins::Instance().SetLibrary(TMediaKind::Ogg, TDecoderLibrary::Load(kPlugins + "vmoogg.so"));
    TDecoderPlugins::Instance().SetLibrary(TMediaKind::Wma, TDecoderLibrary::Load(kPlugins + "vmowma.so"));
  }
  static void TearDownTestSuite() { TDecoderPlugins::Instance().Shutdown(); }
};

const char* const kFiles[] = {"source.wav", "mono8.wav", "pcm24.wav",  "float32.wav", "adpcm.wav",
                              "cbr.mp3",    "vbr.mp3",   "layer2.mp2", "tone.ogg",    "tone.wma"};

TEST_F(HostileSound, EmptyAndTinyFilesHaveNoInformation) {
  for (const char* file : kFiles) {
    SCOPED_TRACE(file);
    const std::string bytes = ReadFileBytes(kMedia + file);
    EXPECT_EQ(DecodeBounded("", file), TOutcome::NoInformation);
    EXPECT_EQ(DecodeBounded(bytes.substr(0, 7), file), TOutcome::NoInformation);
  }
}

TEST_F(HostileSound, TruncatedFilesEndEarly) {
  for (const char* file : kFiles) {
    const std::string bytes = ReadFileBytes(kMedia + file);
    for (size_t cut : {size_t{12}, size_t{40}, size_t{60}, size_t{300}, size_t{5000}, bytes.size() / 2}) {
      SCOPED_TRACE(std::string(file) + " cut at " + std::to_string(cut));
      DecodeBounded(bytes.substr(0, cut), file, 13);
    }
  }
}

TEST_F(HostileSound, RandomBytesUnderEveryName) {
  for (const char* name : {"a.wav", "a.mp3", "a.mp2", "a.ogg", "a.wma", "a.ape", "a.aac", "a.xyz"}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE(std::string(name) + " seed " + std::to_string(seed));
      DecodeBounded(RandomBytes(60000, seed), name, 10);
      DecodeBounded("RIFF" + RandomBytes(4000, seed), name, 10);
    }
  }
}

TEST_F(HostileSound, CorruptedMiddlesStillEnd) {
  for (const char* file : kFiles) {
    SCOPED_TRACE(file);
    std::string bytes = ReadFileBytes(kMedia + file);
    const std::string noise = RandomBytes(bytes.size() / 3, 7);
    bytes.replace(bytes.size() / 3, noise.size(), noise);
    DecodeBounded(bytes, file, 13);
  }
}

TEST_F(HostileSound, AbsurdWaveFormatsAreRefusedOrBounded) {
  TPcmFormat format = MakePcmFormat(44100, 16, 2);
  const std::string data(1000, '\x11');
  struct TCase {
    const char* what;
    void (*change)(TPcmFormat&);
  };
  const TCase cases[] = {
      {"65535 channels", [](TPcmFormat& f) { f.Channels = 65535; }},
      {"1 byte per second", [](TPcmFormat& f) { f.AvgBytesPerSec = 1; }},
      {"block align 65535", [](TPcmFormat& f) { f.BlockAlign = 65535; }},
      {"0 bits", [](TPcmFormat& f) { f.BitsPerSample = 0; }},
      {"24 bits, 5 channels", [](TPcmFormat& f) { f.BitsPerSample = 24, f.Channels = 5; }},
      {"float of 16 bits", [](TPcmFormat& f) { f.FormatTag = kWaveFormatIeeeFloat; }},
      {"ADPCM of 65535 channels",
       [](TPcmFormat& f) { f.FormatTag = kWaveFormatAdpcm, f.Channels = 65535, f.BlockAlign = 7; }},
      {"rate 0", [](TPcmFormat& f) { f.SamplesPerSec = 0; }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TPcmFormat changed = format;
    c.change(changed);
    DecodeBounded(MakeWave(changed, data), "a.wav", 1e6);
  }
}

TEST_F(HostileSound, MpegInsideWaveWithoutFrames) {
  TPcmFormat format;
  format.FormatTag = kWaveFormatMpegLayer3;
  format.Channels = 2;
  format.SamplesPerSec = 44100;
  format.AvgBytesPerSec = 16000;
  format.BlockAlign = 1;
  EXPECT_EQ(DecodeBounded(MakeWave(format, std::string(5000, 'z')), "a.wav"), TOutcome::NoInformation);
  format.AvgBytesPerSec = 0;
  EXPECT_EQ(DecodeBounded(MakeWave(format, ReadFileBytes(kMedia + "cbr.mp3")), "a.wav"), TOutcome::NoInformation);
}

} // namespace
} // namespace qx
