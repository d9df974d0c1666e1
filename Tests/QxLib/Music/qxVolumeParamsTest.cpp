#include "QxLib/Music/qxVolumeParams.h"

#include "QxLib/qxIniStorage.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

constexpr int64_t kSecond = kMixBytesPerSecond;

TVolumeParams Envelope(std::initializer_list<TVolumeItem> points, int32_t length) {
  TVolumeParams envelope;
  for (const TVolumeItem& p : points)
    envelope.AddPoint(p.Time, p.Volume);
  envelope.Build(length);
  return envelope;
}

} // namespace

TEST(VolumeParams, BytePositionsAreWholeFramesTruncatedLikeTheMixer) {
  EXPECT_EQ(MixBytesOfTime(0), 0);
  EXPECT_EQ(MixBytesOfTime(1000), 176400);
  EXPECT_EQ(MixBytesOfTime(1), 176);   // 176400 / 4000 = 44.1 -> 44 frames
  EXPECT_EQ(MixBytesOfTime(17), 2996); // 749.7 frames -> 749
  EXPECT_EQ(MixBytesOfTime(-1), -176);
  // No 32-bit overflow for times of a long show.
  EXPECT_EQ(MixBytesOfTime(2000000000), 352800000000LL);
}

TEST(VolumeParams, BuildMakesSegmentsWithPerFrameSlopes) {
  const TVolumeParams e = Envelope({{0, 0}, {1000, 1000}}, 2000);
  // Points (0,0), (1000,1000) and the last point repeated at the length.
  ASSERT_EQ(e.Segments().size(), 3u);
  EXPECT_EQ(e.Segments()[0].Position, 0);
  EXPECT_TRUE(e.Segments()[0].Flat);
  EXPECT_EQ(e.Segments()[1].Position, kSecond);
  EXPECT_FALSE(e.Segments()[1].Flat);
  EXPECT_DOUBLE_EQ(e.Segments()[1].Slope, 1.0 / 44100);
  EXPECT_EQ(e.Segments()[2].Position, 2 * kSecond);
  EXPECT_TRUE(e.Segments()[2].Flat);
  EXPECT_TRUE(e.Segments()[2].Last);
  EXPECT_FALSE(e.Segments()[1].Last);
}

TEST(VolumeParams, PointsAreSortedAndTheLastOfOneTimeWins) {
  TVolumeParams e = Envelope({{500, 200}, {0, 1000}, {500, 700}}, 1000);
  // (0,1000), (500,200), (500,700) -> (500,700) stays; the repeat of the
  // last point added, (500,700), moves to 1000.
  e.Seek(MixBytesOfTime(500) - 4);
  EXPECT_NEAR(e.Gain(), 0.7, 1e-3);
  e.Seek(MixBytesOfTime(900));
  EXPECT_DOUBLE_EQ(e.Gain(), 0.7);
}

TEST(VolumeParams, SeekInterpolatesAndEndsWithSilence) {
  TVolumeParams e = Envelope({{0, 0}, {1000, 1000}}, 2000);
  e.Seek(kSecond / 2);
  EXPECT_DOUBLE_EQ(e.Gain(), 0.5);
  EXPECT_FALSE(e.IsUnity());
  e.Seek(kSecond * 3 / 2);
  EXPECT_DOUBLE_EQ(e.Gain(), 1.0);
  EXPECT_TRUE(e.IsUnity());
  // Before the first point the first level holds.
  TVolumeParams late = Envelope({{1000, 300}, {1500, 300}}, 2000);
  late.Seek(0);
  EXPECT_DOUBLE_EQ(late.Gain(), 0.3);
  // At the length the envelope is over.
  e.Seek(2 * kSecond);
  EXPECT_TRUE(e.PastEnd());
  EXPECT_EQ(e.Gain(), 0.0);
}

TEST(VolumeParams, SteppingFrameByFrameFollowsSeekWithoutDrift) {
  TVolumeParams stepped = Envelope({{0, 0}, {300, 1000}, {700, 250}, {1000, 0}}, 1000);
  TVolumeParams seeked = Envelope({{0, 0}, {300, 1000}, {700, 250}, {1000, 0}}, 1000);
  stepped.Seek(0);
  double worst = 0.0;
  int64_t x = 0;
  for (; x < kSecond; x += 4) {
    const TVolumeStep step = stepped.Step(x);
    ASSERT_FALSE(step.PastEnd) << x;
    seeked.Seek(x);
    worst = std::max(worst, std::abs(stepped.Gain() - seeked.Gain()));
  }
  EXPECT_LT(worst, 1e-9);
  EXPECT_TRUE(stepped.Step(x).PastEnd);
  EXPECT_EQ(stepped.Gain(), 0.0);
}

TEST(VolumeParams, UnityIsAStrictOnePercentBand) {
  TVolumeParams e;
  e.SetGain(0.9901);
  EXPECT_TRUE(e.IsUnity());
  e.SetGain(1.0099);
  EXPECT_TRUE(e.IsUnity());
  e.SetGain(0.99);
  EXPECT_FALSE(e.IsUnity());
  e.SetGain(1.01);
  EXPECT_FALSE(e.IsUnity());
}

TEST(VolumeParams, AnEnvelopeWithoutPointsIsNeutral) {
  TVolumeParams e;
  EXPECT_EQ(e.FirstVolume(), 1000);
  e.Build(1000);
  e.Seek(12345);
  EXPECT_TRUE(e.IsUnity());
  EXPECT_FALSE(e.Step(12349).PastEnd);
}

TEST(VolumeParamsList, AutoFadeIsReplacedOnEveryBuild) {
  TVolumeParamsList list(true);
  list.Add().AddPoint(0, 500);
  list.BuildAll(1000);
  list.BuildAll(2000);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.WrittenCount(), 1);
  // 5 ms into the 10 ms fade-in, at the author's level of 0.5.
  list.SeekAll(MixBytesOfTime(5));
  bool allUnity = true;
  EXPECT_NEAR(list.Gain(allUnity), 0.25, 0.01);
  EXPECT_FALSE(allUnity);
  // The auto fade of the second build ends at 2000 ms, not at 1000.
  list.SeekAll(MixBytesOfTime(1500));
  EXPECT_DOUBLE_EQ(list.Gain(allUnity), 0.5);
  EXPECT_FALSE(list.StepAll(MixBytesOfTime(1999)));
  EXPECT_TRUE(list.StepAll(MixBytesOfTime(2000)));
}

TEST(VolumeParamsList, GainCountsOnlyEnvelopesAwayFromUnity) {
  TVolumeParamsList list(false);
  list.Add().AddPoint(0, 1005);
  list.Add().AddPoint(0, 400);
  list.BuildAll(100);
  list.SeekAll(0);
  bool allUnity = true;
  EXPECT_DOUBLE_EQ(list.Gain(allUnity), 0.4);
  EXPECT_FALSE(allUnity);
  // An empty list never ends an item by itself.
  TVolumeParamsList none(false);
  EXPECT_FALSE(none.StepAll(0));
}

TEST(VolumeParamsList, ReadsPointsUntilTheVolumeIsMissingOrNegative) {
  TIniStorage ini;
  ini.LoadFromString("[3]\nFadeCount=2\n"
                     "[Vol_3_0_0]\n0=0\n1=0\n[Vol_3_0_1]\n0=100\n1=1000\n[Vol_3_0_2]\n0=200\n"
                     "[Vol_3_1_0]\n0=5\n1=800\n[Vol_3_1_1]\n0=9\n1=-1\n[Vol_3_1_2]\n0=10\n1=10\n");
  TVolumeParamsList list(true);
  ASSERT_TRUE(list.Read(ini, "3"));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0].PointCount(), 2);
  EXPECT_EQ(list[0].Points()[1].Time, 100);
  ASSERT_EQ(list[1].PointCount(), 1);
  EXPECT_EQ(list[1].Points()[0].Volume, 800);
}

TEST(VolumeParamsList, FadeCountOutOfRangeIsRefusedAndHugeCountsCostNothing) {
  TIniStorage ini;
  ini.LoadFromString("[a]\nFadeCount=-1\n[b]\nFadeCount=1000001\n[c]\nFadeCount=1000000\n"
                     "[Vol_c_0_0]\n0=0\n1=500\n");
  TVolumeParamsList a(false), b(false), c(false);
  EXPECT_FALSE(a.Read(ini, "a"));
  EXPECT_FALSE(b.Read(ini, "b"));
  // The second envelope has no points: reading stops there instead of
  // making a million empty envelopes.
  ASSERT_TRUE(c.Read(ini, "c"));
  EXPECT_EQ(c.Count(), 1);
}

} // namespace qx
