#include "VmoLib2/qxContourCurves.h"

#include "QxLib/qxMemoryStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx {
namespace {

struct TPresetPoints {
  int Index;
  std::vector<TCurvePoint> Points;
};

const std::vector<TPresetPoints> kExpectedPresets = {
    {0, {{0, 0}, {255, 255}}},
    {1, {{0, 0}, {128, 255}, {255, 0}}},
    {2, {{0, 255}, {128, 0}, {255, 255}}},
    {3, {{1, 63}, {148, 110}, {192, 255}}},
    {4, {{0, 127}, {83, 174}, {128, 255}}},
    {5, {{0, 0}, {63, 11}, {113, 63}, {146, 194}, {191, 241}, {255, 255}}},
    {6, {{0, 0}, {27, 84}, {81, 178}, {173, 236}, {255, 255}}},
    {7, {{0, 0}, {86, 255}, {172, 0}, {255, 255}}},
    {8, {{0, 0}, {48, 255}, {105, 0}, {158, 253}, {214, 1}, {255, 255}}},
    {9, {{0, 0}, {64, 127}, {128, 1}, {193, 127}, {255, 0}}},
};

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values)
    bytes += static_cast<char>(v);
  return bytes;
}

bool LoadCurve(TCurvesData& curve, const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteString(bytes);
  stream.SetPosition(0);
  return curve.LoadFromStream(stream);
}

void ExpectIdentity(const TCurvesData& curve) {
  EXPECT_EQ(curve.Points(), (std::vector<TCurvePoint>{{0, 0}, {255, 255}}));
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(curve[i], i) << "entry " << i;
}

TEST(ContourCurves, PresetsHaveTheirNamesAndPassThroughTheirControlPoints) {
  const char* names[] = {"Linear",     "Cone", "Cone - Inverted", "Cove - Deep", "Cove - Shallow", "Gaussian",
                         "Half Round", "Ring", "Ring - Double",   "Tooth"};
  for (const TPresetPoints& preset : kExpectedPresets) {
    SCOPED_TRACE(names[preset.Index]);
    EXPECT_EQ(ContourPresetName(preset.Index), names[preset.Index]);
    TCurvesData curve;
    curve.SetPresetIndex(preset.Index);
    EXPECT_EQ(curve.PresetIndex(), preset.Index);
    EXPECT_EQ(curve.Points(), preset.Points);
    for (const TCurvePoint& p : preset.Points)
      EXPECT_EQ(curve[p.X], p.Y) << "at x = " << p.X;
  }
}

TEST(ContourCurves, FlatEndsTakeTheEndPointsValues) {
  TCurvesData deep;
  deep.SetPresetIndex(3); // (1,63) .. (192,255)
  EXPECT_EQ(deep[0], 63);
  for (int x = 193; x < 256; ++x)
    ASSERT_EQ(deep[x], 255) << x;
  TCurvesData shallow;
  shallow.SetPresetIndex(4); // .. (128,255)
  for (int x = 129; x < 256; ++x)
    ASSERT_EQ(shallow[x], 255) << x;
}

TEST(ContourCurves, SplineFollowsTheShapeBetweenPoints) {
  TCurvesData linear;
  linear.SetPresetIndex(0);
  ExpectIdentity(linear);

  // "Cone" rises to its peak and falls back; "Cone - Inverted" mirrors it.
  TCurvesData cone;
  cone.SetPresetIndex(1);
  TCurvesData inverted;
  inverted.SetPresetIndex(2);
  for (int x = 1; x <= 128; ++x)
    ASSERT_GE(cone[x], cone[x - 1]) << x;
  for (int x = 129; x < 256; ++x)
    ASSERT_LE(cone[x], cone[x - 1]) << x;
  for (int x = 0; x < 256; ++x)
    ASSERT_NEAR(cone[x] + inverted[x], 255, 1) << x;
  // The spline bulges above the straight line between the points, the same
  // way on both flanks.
  EXPECT_GT(cone[64], 140);
  EXPECT_NEAR(cone[64], cone[192], 6);
}

TEST(ContourCurves, IndexOutsideThePresetsMeansNoContour) {
  for (const int index : {-1, 10, 1000}) {
    TCurvesData curve;
    curve.SetPresetIndex(7);
    curve.SetPresetIndex(index);
    EXPECT_EQ(curve.PresetIndex(), kNoContourPreset);
    ExpectIdentity(curve);
  }
  EXPECT_EQ(ContourPresetName(10), "");
  EXPECT_EQ(ContourPresetData(-1), "");
}

TEST(ContourCurves, PointWithTheSameXAsThePreviousIsDropped) {
  TCurvesData curve;
  const std::vector<TCurvePoint> points = {{0, 0}, {0, 200}, {255, 255}};
  ASSERT_TRUE(curve.SetPoints(points));
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(curve[i], i) << i;
}

TEST(ContourCurves, SerialisedCurveIsBigEndianAndRoundTrips) {
  TCurvesData curve;
  curve.SetPresetIndex(1);
  TMemoryStream stream;
  curve.SaveToStream(stream);
  stream.SetPosition(0);
  EXPECT_EQ(stream.ReadAll(), Bytes({0, 3, 0, 0, 0, 0, 0, 128, 0, 255, 0, 255, 0, 0}));

  TCurvesData loaded;
  ASSERT_TRUE(LoadCurve(loaded, Bytes({0, 3, 0, 0, 0, 0, 0, 128, 0, 255, 0, 255, 0, 0})));
  EXPECT_EQ(loaded.Table(), curve.Table());
}

TEST(ContourCurves, SerialisedPresetCarriesTheName) {
  TMemoryStream stream;
  stream.WriteString(ContourPresetData(8));
  stream.SetPosition(0);
  EXPECT_EQ(stream.ReadInt32(), 13);
  stream.SetPosition(0);
  TCurvesData curve;
  std::string name;
  ASSERT_TRUE(curve.LoadPresetFromStream(stream, name));
  EXPECT_EQ(name, "Ring - Double");
  EXPECT_EQ(curve.Points(), kExpectedPresets[8].Points);
  EXPECT_EQ(stream.GetPosition(), stream.GetSize());
}

TEST(ContourCurves, BadSerialisedCurvesResetToIdentity) {
  const std::string twoPoints = Bytes({0, 0, 0, 0, 0, 255, 0, 255});
  std::string countOf256 = Bytes({1, 0});
  for (int i = 0; i < 256; ++i)
    countOf256 += Bytes({0, i & 255, 0, 0});
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"count 1", Bytes({0, 1, 0, 0, 0, 0})},
      {"count 0", Bytes({0, 0}) + twoPoints},
      {"count 256", countOf256},
      {"x of 256", Bytes({0, 2, 0, 0, 0, 0, 1, 0, 0, 255})},
      {"y of 256", Bytes({0, 2, 0, 0, 0, 0, 0, 255, 1, 0})},
      {"points missing", Bytes({0, 3}) + twoPoints},
      {"count cut", Bytes({0})},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TCurvesData curve;
    curve.SetPresetIndex(9);
    EXPECT_FALSE(LoadCurve(curve, c.bytes));
    ExpectIdentity(curve);
    EXPECT_EQ(curve.PresetIndex(), 9);
  }
}

TEST(ContourCurves, BadPresetNameLengthIsRejected) {
  for (const std::string& bytes :
       {Bytes({0xff, 0xff, 0xff, 0xff, 0, 2}), Bytes({100, 0, 0, 0, 'a', 'b'}), Bytes({4, 0})}) {
    TMemoryStream stream;
    stream.WriteString(bytes);
    stream.SetPosition(0);
    TCurvesData curve;
    curve.SetPresetIndex(5);
    std::string name;
    EXPECT_FALSE(curve.LoadPresetFromStream(stream, name));
    ExpectIdentity(curve);
  }
}

TEST(ContourCurves, SetPointsValidatesCountAndRange) {
  TCurvesData curve;
  const std::vector<TCurvePoint> negative = {{0, 0}, {-1, 4}};
  EXPECT_FALSE(curve.SetPoints(negative));
  ExpectIdentity(curve);
  const std::vector<TCurvePoint> one = {{3, 3}};
  EXPECT_FALSE(curve.SetPoints(one));
  std::vector<TCurvePoint> most(255);
  for (int i = 0; i < 255; ++i)
    most[static_cast<size_t>(i)] = {i, 255 - i};
  EXPECT_TRUE(curve.SetPoints(most));
  EXPECT_EQ(curve[0], 255);
  EXPECT_EQ(curve[254], 1);
  EXPECT_EQ(curve[255], 1);
}

} // namespace
} // namespace qx
