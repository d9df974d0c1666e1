#include "VmoLib2/3DBasics/qx3DTypes.h"

#include "QxLib/qxExceptions.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qx {
namespace {

TEST(PresentPacing, SixtyHertzSleepsOneToThirteenMs) {
  EXPECT_EQ(FramePeriodMs(60), 16);
  const int64_t last = 1000;
  EXPECT_EQ(PresentSleepMs(60, last, last), 13);       // right after a present
  EXPECT_EQ(PresentSleepMs(60, last, last + 5), 8);    // 11 ms left, 3 kept
  EXPECT_EQ(PresentSleepMs(60, last, last + 15), 1);   // never below 1 ms
  EXPECT_EQ(PresentSleepMs(60, last, last + 500), 1);  // a late frame
  EXPECT_EQ(PresentSleepMs(60, last, last - 500), 13); // clock went back
  EXPECT_EQ(PresentSleepMs(100, last, last), 7);
}

TEST(PresentPacing, UnknownRefreshRateIsNotPaced) {
  EXPECT_EQ(FramePeriodMs(0), 0);
  EXPECT_EQ(PresentSleepMs(0, 0, 0), 0);
  EXPECT_EQ(PresentSleepMs(-5, 0, 0), 0);
}

TEST(VertexLayout, PartsFollowThePositionInFixedOrder) {
  const T3DVertexLayout plain = T3DVertexLayout::Make(0, 0);
  EXPECT_EQ(plain.stride, 12);
  EXPECT_EQ(plain.diffuseOffset, -1);
  EXPECT_EQ(plain.texOffset, -1);

  const T3DVertexLayout full = T3DVertexLayout::Make(kVertexDiffuse | kVertexSpecular | kVertexNormal, 3);
  EXPECT_EQ(full.diffuseOffset, 12);
  EXPECT_EQ(full.specularOffset, 16);
  EXPECT_EQ(full.normalOffset, 20);
  EXPECT_EQ(full.texOffset, 32);
  EXPECT_EQ(full.stride, 56);

  const T3DVertexLayout textured = T3DVertexLayout::Make(kVertexDiffuse, 2);
  EXPECT_EQ(textured.texOffset, 16);
  EXPECT_EQ(textured.stride, 32);
  EXPECT_THROW(T3DVertexLayout::Make(0, 9), EAssertionFailed);
  EXPECT_THROW(T3DVertexLayout::Make(0, -1), EAssertionFailed);
}

TEST(VertexLayout, PackWritesOnlyTheCarriedParts) {
  T3DVertex v;
  v.x = 1;
  v.y = 2;
  v.z = 3;
  v.diffuse = 0x80FF0010;
  v.uv[0] = {0.25f, 0.5f};
  v.uv[1] = {0.75f, 1.0f};
  v.uv[2] = {9, 9};
  const T3DVertexLayout layout = T3DVertexLayout::Make(kVertexDiffuse, 2);
  std::vector<uint8_t> bytes(static_cast<size_t>(layout.stride) + 4, 0xEE);
  layout.Pack(v, bytes.data());
  float position[3];
  std::memcpy(position, bytes.data(), 12);
  EXPECT_EQ(position[2], 3.0f);
  uint32_t colour = 0;
  std::memcpy(&colour, bytes.data() + 12, 4);
  EXPECT_EQ(colour, 0x80FF0010u);
  float uv[4];
  std::memcpy(uv, bytes.data() + 16, 16);
  EXPECT_EQ(uv[1], 0.5f);
  EXPECT_EQ(uv[3], 1.0f);
  EXPECT_EQ(bytes[static_cast<size_t>(layout.stride)], 0xEE); // nothing past the stride
}

TEST(Matrix, ProductAppliesLeftFactorFirstToRowVectors) {
  T3DMatrix translate;
  translate.at(3, 0) = 5; // x + 5
  T3DMatrix scale;
  scale.at(0, 0) = 2; // x * 2
  const auto apply = [](const T3DMatrix& m, float x) { return x * m.at(0, 0) + m.at(3, 0); };
  EXPECT_EQ(apply(translate * scale, 1), 12); // (1 + 5) * 2
  EXPECT_EQ(apply(scale * translate, 1), 7);  // 1 * 2 + 5
  EXPECT_EQ((T3DMatrix::Identity() * scale).m, scale.m);
}

TEST(Primitives, VertexCountsPerKind) {
  EXPECT_EQ(VertexCountFor(T3DPrimitive::PointList, 4), 4);
  EXPECT_EQ(VertexCountFor(T3DPrimitive::LineList, 4), 8);
  EXPECT_EQ(VertexCountFor(T3DPrimitive::LineStrip, 4), 5);
  EXPECT_EQ(VertexCountFor(T3DPrimitive::TriangleList, 4), 12);
  EXPECT_EQ(VertexCountFor(T3DPrimitive::TriangleStrip, 4), 6);
  EXPECT_EQ(VertexCountFor(T3DPrimitive::TriangleFan, 4), 6);
  EXPECT_EQ(VertexCountFor(T3DPrimitive::TriangleStrip, 0), 0);
}

TEST(Results, KindsHaveTheirNames) {
  EXPECT_STREQ(ResultText(T3DResult::Ok), "Ok");
  EXPECT_STREQ(ResultText(T3DResult::Pending), "");
  EXPECT_STREQ(ResultText(T3DResult::InvalidCall), "InvalidCall");
  EXPECT_STREQ(ResultText(T3DResult::DeviceLost), "DeviceLost");
  EXPECT_STREQ(ResultText(T3DResult::Other), "Other");
  EXPECT_EQ(MakeColor(1, 2, 3, 4), 0x04010203u);
}

TEST(BackBuffer, WindowedTakesTheBoundsElseTheDisplayMode) {
  T3DRendererParams params;
  params.bounds = {10, 20, 330, 220};
  params.displayMode = {1920, 1080, 60, 0};
  int width = 0;
  int height = 0;
  BackBufferSize(params, width, height);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 200);
  params.windowed = false;
  BackBufferSize(params, width, height);
  EXPECT_EQ(width, 1920);
  params.windowed = true;
  params.bounds = {};
  BackBufferSize(params, width, height);
  EXPECT_EQ(height, 1080);
  EXPECT_EQ(FullMipChainLevels(64, 32), 7);
  EXPECT_EQ(FullMipChainLevels(1, 1), 1);
}

} // namespace
} // namespace qx
