#include "QxLib/Music/qxCompositeConverter.h"

#include "Tests/QxLib/Music/qxSoundTestSupport.h"

#include <gtest/gtest.h>

#include <map>

namespace qx {

namespace {

using test::MakeWave;
using test::MemoryStreamOf;
using test::Samples16;
using test::ToSamples16;

// Files served from memory, as a show package would.
class TMemoryFiles {
public:
  void Add(const std::string& name, std::string bytes) { m_files[name] = std::move(bytes); }
  TSoundFileAccess Access() {
    TSoundFileAccess access;
    access.Open = [this](const std::string& name) -> std::unique_ptr<TStream> {
      ++opened;
      const auto found = m_files.find(name);
      return found == m_files.end() ? nullptr : MemoryStreamOf(found->second);
    };
    return access;
  }
  int opened = 0;

private:
  std::map<std::string, std::string> m_files;
};

// Stereo frames whose samples differ from frame to frame and between the
// channels, so that any offset or swap shows.
std::vector<int16_t> Signal(int frames, int seed) {
  std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    samples[2 * i] = static_cast<int16_t>((i * 37 + seed * 1000) % 20000 - 10000);
    samples[2 * i + 1] = static_cast<int16_t>((i * 53 + seed * 3000) % 16000 - 8000);
  }
  return samples;
}

std::vector<int16_t> Constant(int frames, int16_t value) {
  return std::vector<int16_t>(static_cast<size_t>(frames) * 2, value);
}

std::string Wave(const std::vector<int16_t>& samples) { return MakeWave(MixingFormat(), Samples16(samples)); }

std::string Description(std::string_view ini) { return std::string(kCompositeMarker) + std::string(ini); }

std::string Item(int index, const std::string& file, int timeLine, int duration, int beginTime = 0) {
  const std::string s = std::to_string(index);
  return "[" + s + "]\nFileName=" + file + "\nTimeLine=" + std::to_string(timeLine) +
         "\nBeginTime=" + std::to_string(beginTime) + "\nDuration=" + std::to_string(duration) + "\n";
}

// Two-point envelope j of item section s.
std::string Envelope(const std::string& s, int j, int t0, int v0, int t1, int v1) {
  const std::string prefix = "[Vol_" + s + "_" + std::to_string(j) + "_";
  return prefix + "0]\n0=" + std::to_string(t0) + "\n1=" + std::to_string(v0) + "\n" + prefix +
         "1]\n0=" + std::to_string(t1) + "\n1=" + std::to_string(v1) + "\n";
}

struct TMixed {
  std::vector<int16_t> samples;
  bool ended = false; // a read reported the end
};

// Opens the description, seeks to `from` ms and reads `bytes` in channel
// sized steps.
TMixed Mix(const std::string& description, TMemoryFiles& files, int64_t bytes, double from = 0) {
  TCompositeConverter converter(description, files.Access());
  const std::optional<TMediaInfo> info = CompositeDescriptionInfo(description);
  EXPECT_TRUE(info.has_value());
  TMixed mixed;
  if (!info || !converter.Open(*info))
    return mixed;
  converter.Seek(from);
  std::string out;
  while (static_cast<int64_t>(out.size()) < bytes) {
    const bool more = converter.Read(4096);
    std::string piece(4096, '\0');
    converter.Output().Take(piece.data(), 4096);
    out += piece;
    mixed.ended = mixed.ended || !more;
  }
  out.resize(std::min<size_t>(out.size(), static_cast<size_t>(bytes)));
  mixed.samples = ToSamples16(out);
  return mixed;
}

int64_t FrameOf(int ms) { return MixBytesOfTime(ms) / 4; }

} // namespace

TEST(CompositeConverter, MediaInformationIsTheMixingFormatForTheDuration) {
  const auto info = CompositeDescriptionInfo(Description("[Main]\nDuration=2500\n" + Item(0, "a.wav", 0, 100)));
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->Kind, TMediaKind::Composite);
  EXPECT_EQ(info->Format, MixingFormat());
  EXPECT_EQ(info->Length, 2500);
  EXPECT_FALSE(CompositeDescriptionInfo(Description("[Main]\nDuration=2500\n")).has_value());
}

TEST(CompositeConverter, OneItemIsUnchangedBetweenItsAutomaticFades) {
  TMemoryFiles files;
  const std::vector<int16_t> source = Signal(44100, 1);
  files.Add("a.wav", Wave(source));
  const TMixed mixed = Mix(Description("[Main]\nDuration=1000\n" + Item(0, "a.wav", 0, 1000)), files, 176400);
  ASSERT_EQ(mixed.samples.size(), source.size());
  // Unchanged from 10 ms after the start to 10 ms before the end.
  for (int64_t i = 2 * FrameOf(10); i < 2 * FrameOf(990); ++i)
    ASSERT_EQ(mixed.samples[static_cast<size_t>(i)], source[static_cast<size_t>(i)]) << i;
  // Faded in from silence over the first 10 ms, out over the last.
  EXPECT_EQ(mixed.samples[0], 0);
  const size_t middleOfFade = static_cast<size_t>(2 * FrameOf(5));
  EXPECT_NEAR(mixed.samples[middleOfFade], source[middleOfFade] / 2, 120);
  EXPECT_NEAR(mixed.samples.back(), 0, std::abs(source.back()) / 50 + 1);
}

TEST(CompositeConverter, OverlappingItemsAreClippedNotWrapped) {
  TMemoryFiles files;
  files.Add("loud.wav", Wave(Constant(44100, 30000)));
  files.Add("low.wav", Wave(Constant(44100, -30000)));
  const TMixed up =
      Mix(Description("[Main]\nDuration=1000\n" + Item(0, "loud.wav", 0, 1000) + Item(1, "loud.wav", 0, 1000)), files,
          176400);
  const TMixed down =
      Mix(Description("[Main]\nDuration=1000\n" + Item(0, "low.wav", 0, 1000) + Item(1, "low.wav", 0, 1000)), files,
          176400);
  const size_t middle = static_cast<size_t>(2 * FrameOf(500));
  EXPECT_EQ(up.samples[middle], 32767);
  EXPECT_EQ(down.samples[middle + 1], -32768);
}

TEST(CompositeConverter, AnItemStartingInsideABlockBeginsAtItsExactFrame) {
  TMemoryFiles files;
  const std::vector<int16_t> source = Signal(22050, 2);
  files.Add("a.wav", Wave(source));
  // 1661 ms is byte 293000: 3000 bytes (frame 750) into the block at 290000.
  ASSERT_EQ(MixBytesOfTime(1661), 293000);
  const TMixed late = Mix(Description("[Main]\nDuration=3000\n" + Item(0, "a.wav", 1661, 500)), files, 3 * 176400);
  const TMixed early = Mix(Description("[Main]\nDuration=3000\n" + Item(0, "a.wav", 0, 500)), files, 176400);
  const size_t start = 2 * (290000 / 4 + 750);
  for (size_t i = 0; i < start; ++i)
    ASSERT_EQ(late.samples[i], 0) << i;
  // The same item placed at 0 gives the same samples, shifted.
  for (size_t i = 0; i < static_cast<size_t>(2 * FrameOf(500)); ++i)
    ASSERT_EQ(late.samples[start + i], early.samples[i]) << i;
}

TEST(CompositeConverter, SeekingIntoACrossFadeOpensBothItemsAtTheirOffsets) {
  TMemoryFiles files;
  files.Add("a.wav", Wave(Signal(2 * 44100, 3)));
  files.Add("b.wav", Wave(Signal(3 * 44100, 4)));
  // a fades out over 1000 ... 2000 ms; b starts at 1000 ms, 500 ms into its
  // file, and fades in over the same second.
  const std::string description = Description(
      "[Main]\nDuration=3000\n" + Item(0, "a.wav", 0, 2000) + "FadeCount=1\n" + Envelope("0", 0, 1000, 1000, 2000, 0) +
      Item(1, "b.wav", 1000, 2000, 500) + "FadeCount=1\n" + Envelope("1", 0, 0, 0, 1000, 1000));
  const TMixed played = Mix(description, files, 3 * 176400);
  const TMixed seeked = Mix(description, files, 176400, 1500);
  const size_t from = static_cast<size_t>(2 * FrameOf(1500));
  ASSERT_GE(played.samples.size(), from + seeked.samples.size());
  int worst = 0;
  for (size_t i = 0; i < seeked.samples.size(); ++i)
    worst = std::max(worst, std::abs(played.samples[from + i] - seeked.samples[i]));
  EXPECT_LE(worst, 1);
  // Half of each at the middle of the cross-fade.
  const std::vector<int16_t> a = Signal(2 * 44100, 3);
  const std::vector<int16_t> b = Signal(3 * 44100, 4);
  const size_t inB = static_cast<size_t>(2 * FrameOf(1000));
  EXPECT_NEAR(seeked.samples[0], (a[from] + b[inB]) / 2.0, 2.0);
}

TEST(CompositeConverter, TheEndComesAfterDurationAndIsPaddedWithSilence) {
  TMemoryFiles files;
  files.Add("long.wav", Wave(Constant(3 * 44100, 5000)));
  const TMixed mixed = Mix(Description("[Main]\nDuration=1000\n" + Item(0, "long.wav", 0, 0)), files, 10 * 176400);
  EXPECT_TRUE(mixed.ended);
  EXPECT_EQ(mixed.samples[static_cast<size_t>(2 * FrameOf(500))], 5000);
  for (size_t i = static_cast<size_t>(2 * FrameOf(1000)); i < mixed.samples.size(); ++i)
    ASSERT_EQ(mixed.samples[i], 0) << i;
}

TEST(CompositeConverter, TheMasterEnvelopeScalesTheMix) {
  TMemoryFiles files;
  files.Add("a.wav", Wave(Constant(44100, 8000)));
  const TMixed mixed = Mix(Description("[Main]\nDuration=1000\n" + Item(0, "a.wav", 0, 1000) +
                                       "[MainVolume]\nFadeCount=1\n" + Envelope("MainVolume", 0, 0, 500, 500, 500)),
                           files, 176400);
  EXPECT_EQ(mixed.samples[static_cast<size_t>(2 * FrameOf(700))], 4000);
}

TEST(CompositeConverter, ItemsOfOtherFormatsAreResampledToTheMixingFormat) {
  TMemoryFiles files;
  std::vector<int16_t> mono(22050, 6000);
  files.Add("mono.wav", MakeWave(MakePcmFormat(22050, 16, 1), Samples16(mono)));
  const TMixed mixed = Mix(Description("[Main]\nDuration=1000\n" + Item(0, "mono.wav", 0, 1000)), files, 176400);
  ASSERT_EQ(mixed.samples.size(), static_cast<size_t>(2 * 44100));
  const size_t middle = static_cast<size_t>(2 * FrameOf(500));
  EXPECT_EQ(mixed.samples[middle], 6000);
  EXPECT_EQ(mixed.samples[middle + 1], 6000);
}

TEST(CompositeConverter, AnItemThatCannotBeOpenedIsSkippedAndLaterItemsStillPlay) {
  TMemoryFiles files;
  files.Add("b.wav", Wave(Constant(44100, 7000)));
  const TMixed mixed =
      Mix(Description("[Main]\nDuration=8000\n" + Item(0, "missing.wav", 0, 1000) + Item(1, "b.wav", 6000, 1000)),
          files, 8 * 176400);
  EXPECT_EQ(mixed.samples[static_cast<size_t>(2 * FrameOf(6500))], 7000);
}

TEST(CompositeConverter, ItemsAreOpenedOnlyWithinFiveSecondsOfTheirStart) {
  TMemoryFiles files;
  files.Add("a.wav", Wave(Constant(4410, 100)));
  const std::string description =
      Description("[Main]\nDuration=20000\n" + Item(0, "a.wav", 0, 100) + Item(1, "a.wav", 12000, 100));
  TCompositeConverter converter(description, files.Access());
  ASSERT_TRUE(converter.Open(*CompositeDescriptionInfo(description)));
  converter.Seek(0);
  EXPECT_EQ(converter.WaitingCount(), 1);
  EXPECT_EQ(converter.PendingCount(), 1);
  // The second item is due once the next block starts within five seconds
  // of 12000 ms, at byte 1234800 (7000 ms): with the block at 1240000.
  const auto block = [&] {
    converter.Read(TCompositeConverter::kBlockBytes);
    converter.Output().Consume(TCompositeConverter::kBlockBytes);
  };
  while (converter.Current() < 1230000)
    block();
  EXPECT_EQ(converter.PendingCount(), 1);
  block();
  EXPECT_EQ(converter.Current(), 1240000);
  EXPECT_EQ(converter.PendingCount(), 0);
  EXPECT_EQ(converter.WaitingCount(), 1);
  EXPECT_EQ(converter.FinishedCount(), 1);
}

TEST(CompositeConverter, HostileDescriptionsFailOrStaySilent) {
  TMemoryFiles files;
  files.Add("a.wav", Wave(Constant(4410, 1000)));
  // A million items: refused when opened.
  std::string many = Description("[Main]\nDuration=1000\n");
  for (int i = 0; i < 1000000; ++i) {
    many += '[';
    many += std::to_string(i);
    many += "]\nFileName=a.wav\nDuration=100\n";
  }
  EXPECT_FALSE(CompositeDescriptionInfo(many).has_value());
  TMediaInfo info;
  info.Format = MixingFormat();
  TCompositeConverter refused(many, files.Access());
  EXPECT_FALSE(refused.Open(info));

  // An envelope whose points lie far beyond the item: the item still ends
  // with the description.
  const TMixed endless = Mix(Description("[Main]\nDuration=300\n" + Item(0, "a.wav", 0, 0) + "FadeCount=1\n" +
                                         Envelope("0", 0, 0, 1000, 2000000000, 1000)),
                             files, 100 * 176400);
  EXPECT_TRUE(endless.ended);

  // Levels of two million times the original, on many items and in the
  // master envelope: clipped, never wrapped.
  std::string loud = "[Main]\nDuration=300\n";
  for (int i = 0; i < 40; ++i)
    loud += Item(i, "a.wav", 0, 100) + "FadeCount=1\n" + Envelope(std::to_string(i), 0, 0, 2000000000, 100, 2000000000);
  loud += "[MainVolume]\nFadeCount=1\n" + Envelope("MainVolume", 0, 0, 2000000000, 300, 2000000000);
  const TMixed clipped = Mix(Description(loud), files, 176400);
  EXPECT_EQ(clipped.samples[static_cast<size_t>(2 * FrameOf(50))], 32767);

  // More items at one time than may be open: the first ones sound.
  std::string crowded = "[Main]\nDuration=200\n";
  for (int i = 0; i < 100; ++i)
    crowded += Item(i, "a.wav", 0, 100);
  const TMixed crowd = Mix(Description(crowded), files, 176400);
  EXPECT_EQ(crowd.samples[static_cast<size_t>(2 * FrameOf(50))], 1000 * TCompositeConverter::kMaxOpenItems);
}

} // namespace qx
