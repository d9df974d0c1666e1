#include "VmoLib2/qxSpeedStorage.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qx {

namespace {

void ExpectSingleKeyAtZero(const TSpeedStorage& store) {
  EXPECT_EQ(store.KeyTimes(), std::vector<int32_t>{0});
  EXPECT_TRUE(store.Intervals().empty());
  EXPECT_EQ(store.DefaultAccelEnd(), 0);
  EXPECT_EQ(store.DefaultDecelStart(), 1);
}

} // namespace

TEST(SpeedStorage, ReadsAndWritesTheStoreText) {
  const std::string text = "7;0;1;2000;2100;19842;19889;21000;1;0;6;0;1;0;1;";
  TSpeedStorage store;
  ASSERT_TRUE(store.LoadFromText(text));
  EXPECT_EQ(store.KeyTimes(), (std::vector<int32_t>{0, 1, 2000, 2100, 19842, 19889, 21000}));
  ASSERT_EQ(store.Intervals().size(), 1u);
  EXPECT_EQ(store.Intervals()[0], (TInterval{0, 6, 0, 1}));
  EXPECT_FALSE(store.Intervals()[0].Smooths());
  EXPECT_EQ(store.SaveToText(), text);

  const std::string smoothed = "10;0;1;2;3;4;5;6;7;8;9;1;0;9;0.1351351351351351;0.1351351351351351;0;1;";
  ASSERT_TRUE(store.LoadFromText(smoothed));
  EXPECT_TRUE(store.Intervals()[0].Smooths());
  EXPECT_NEAR(static_cast<double>(store.Intervals()[0].AccelEnd), 0.1351351351351351, 1e-16);
  EXPECT_EQ(store.SaveToText(), smoothed);
}

TEST(SpeedStorage, DefaultsAreOptionalAndKeptWhenGiven) {
  TSpeedStorage store;
  ASSERT_TRUE(store.LoadFromText("2;0;500;1;0;1;0.25;0.75;"));
  EXPECT_EQ(store.DefaultAccelEnd(), 0);
  EXPECT_EQ(store.DefaultDecelStart(), 1);
  ASSERT_TRUE(store.LoadFromText("1;0;0;0.2;0.6;"));
  EXPECT_NEAR(static_cast<double>(store.DefaultAccelEnd()), 0.2, 1e-12);
  EXPECT_NEAR(static_cast<double>(store.DefaultDecelStart()), 0.6, 1e-12);
  // A later key inherits the defaults in its new interval.
  store.InsertKey(1, 900);
  ASSERT_EQ(store.Intervals().size(), 1u);
  EXPECT_NEAR(static_cast<double>(store.Intervals()[0].AccelEnd), 0.2, 1e-12);
}

TEST(SpeedStorage, UnreadableTextFallsBackToOneKeyAtZero) {
  const char* const broken[] = {
      "",                     // no field at all
      "abc;",                 // not a number
      "3;0;100",              // missing terminator
      "3;0;100;",             // fewer key times than announced
      "10001;",               // count above the limit
      "-1;",                  // negative count
      "2;0;100;1;0;1;0;",     // interval cut short
      "2;0;100;1;0;1;x;1;",   // unreadable real
      "2;0;100;1;0;1;1e5;1;", // not plain decimal
      "2;0;100;0;0.5;",       // only one default
      "2;0;99999999999;0;",   // key time beyond 32 bits
  };
  for (const char* text : broken) {
    SCOPED_TRACE(text);
    TSpeedStorage store;
    ASSERT_TRUE(store.LoadFromText("2;0;100;1;0;1;0.5;0.5;0.3;0.7;"));
    EXPECT_FALSE(store.LoadFromText(text));
    ExpectSingleKeyAtZero(store);
  }
}

TEST(SpeedStorage, EmptyIntervalsAreDroppedOnlyWhenThereAreSeveralKeys) {
  TSpeedStorage store;
  ASSERT_TRUE(store.LoadFromText("3;0;10;20;3;1;1;0;1;0;2;0.5;0.5;2;2;0;1;"));
  ASSERT_EQ(store.Intervals().size(), 1u);
  EXPECT_EQ(store.Intervals()[0].From, 0);
  EXPECT_EQ(store.Intervals()[0].To, 2);

  ASSERT_TRUE(store.LoadFromText("1;0;1;0;0;0;1;"));
  EXPECT_EQ(store.Intervals().size(), 1u);
}

TEST(SpeedStorage, DefaultStoreSpansAllKeysWithOneLinearInterval) {
  EXPECT_EQ(TSpeedStorage::FromKeyTimes({}).SaveToText(), "0;0;0;1;");
  EXPECT_EQ(TSpeedStorage::FromKeyTimes({40}).SaveToText(), "1;40;0;0;1;");
  EXPECT_EQ(TSpeedStorage::FromKeyTimes({0, 1000, 2500}).SaveToText(), "3;0;1000;2500;1;0;2;0;1;0;1;");
}

TEST(SpeedStorage, InsertedKeysKeepIntervalsOnTheirKeyPoints) {
  TSpeedStorage store;
  ASSERT_TRUE(store.LoadFromText("4;0;10;20;30;2;0;1;0.5;0.5;1;3;0.2;0.8;"));
  store.InsertKey(2, 15); // between the two intervals' keys
  EXPECT_EQ(store.Intervals()[0], (TInterval{0, 1, 0.5L, 0.5L}));
  EXPECT_EQ(store.Intervals()[1].From, 1);
  EXPECT_EQ(store.Intervals()[1].To, 4);

  store.InsertKey(0, -5); // in front: the first interval grows
  EXPECT_EQ(store.Intervals()[0].From, 0);
  EXPECT_EQ(store.Intervals()[0].To, 2);
  EXPECT_EQ(store.Intervals()[1].From, 2);

  store.InsertKey(6, 40); // appended: the last interval reaches it
  EXPECT_EQ(store.Intervals()[1].To, 6);
  EXPECT_EQ(store.KeyTimes(), (std::vector<int32_t>{-5, 0, 10, 15, 20, 30, 40}));
}

TEST(SpeedStorage, ReportsEveryChange) {
  TSpeedStorage store;
  int changes = 0;
  store.SetOnChange([&] { ++changes; });
  store.LoadFromText("1;0;0;");
  store.LoadFromText("garbage");
  store.InsertKey(1, 10);
  store.SetKeyTimes({0, 20});
  EXPECT_EQ(changes, 4);
}

TEST(SpeedProfile, StartsAndEndsExactlyAndIsContinuous) {
  struct TCase {
    float accelEnd, decelStart;
  };
  for (const TCase c : {TCase{0.5f, 0.5f}, TCase{0.2f, 0.7f}, TCase{0.1351351f, 0.1351351f}, TCase{0, 0.6f},
                        TCase{0.3f, 1}, TCase{0, 1}}) {
    SCOPED_TRACE(testing::Message() << c.accelEnd << " / " << c.decelStart);
    const float d = 3000;
    EXPECT_EQ(SpeedProfile(-40, 250, d, c.accelEnd, c.decelStart, 0), -40);
    EXPECT_EQ(SpeedProfile(-40, 250, d, c.accelEnd, c.decelStart, d), 250);
    EXPECT_EQ(SpeedProfile(-40, 250, d, c.accelEnd, c.decelStart, d + 1), 250);
    // Continuous and never moving backwards: no step much larger than the
    // steepest constant speed allows.
    float previous = -40;
    const float maxStep = 2 * 290.0f / d * 2 / (1 - c.accelEnd + c.decelStart) + 0.01f;
    for (float e = 0.5f; e <= d; e += 0.5f) {
      const float value = SpeedProfile(-40, 250, d, c.accelEnd, c.decelStart, e);
      ASSERT_GE(value, previous - 1e-3f) << e;
      ASSERT_LE(value - previous, maxStep) << e;
      previous = value;
    }
  }
}

TEST(SpeedProfile, SymmetricProfileIsHalfwayAtHalfTime) {
  EXPECT_FLOAT_EQ(SpeedProfile(100, 200, 2000, 0.5f, 0.5f, 1000), 150);
  // Slow at the start and end compared with a straight line.
  EXPECT_LT(SpeedProfile(100, 200, 2000, 0.5f, 0.5f, 500), 125);
  EXPECT_GT(SpeedProfile(100, 200, 2000, 0.5f, 0.5f, 1500), 175);
}

TEST(SpeedProfile, DegenerateSettingsStayFinite) {
  // Accelerating over everything and decelerating over everything leaves no
  // finite speed; the movement falls back to a straight line.
  EXPECT_FLOAT_EQ(SpeedProfile(0, 10, 100, 1, 0, 50), 5);
  EXPECT_EQ(SpeedProfile(0, 10, 0, 0.5f, 0.5f, 0), 0);
  EXPECT_EQ(SpeedProfile(0, 10, 0, 0.5f, 0.5f, 5), 10);
  EXPECT_TRUE(std::isfinite(SpeedProfile(0, 10, 100, 0.9f, 0.05f, 60)));
}

} // namespace qx
