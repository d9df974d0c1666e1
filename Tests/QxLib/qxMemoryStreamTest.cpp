#include "QxLib/qxMemoryStream.h"

#include "QxLib/qxExceptions.h"

#include <gtest/gtest.h>

namespace qx {

TEST(MemoryStream, CapacityGrowsBy16Then64ThenDoubles) {
  EXPECT_EQ(TMemoryStream::GrowCapacity(0, 1), 16);
  EXPECT_EQ(TMemoryStream::GrowCapacity(16, 33), 48);
  EXPECT_EQ(TMemoryStream::GrowCapacity(48, 100), 112);
  EXPECT_EQ(TMemoryStream::GrowCapacity(256, 257), 320);
  EXPECT_EQ(TMemoryStream::GrowCapacity(320, 321), 640);
}

TEST(MemoryStream, WriteBeyondEndFillsGapWithZeros) {
  TMemoryStream s;
  s.SetPosition(4);
  s.WriteByte(7);
  EXPECT_EQ(s.GetSize(), 5);
  s.SetPosition(0);
  EXPECT_EQ(s.ReadAll(), std::string("\0\0\0\0\x07", 5));
}

TEST(MemoryStream, RefusesSizesBeyondItsLimit) {
  TMemoryStream s;
  EXPECT_THROW(s.SetSize(TMemoryStream::kMaxSize + 1), EStreamError);
  s.SetPosition(TMemoryStream::kMaxSize);
  EXPECT_THROW(s.WriteByte(1), EStreamError);
  EXPECT_EQ(s.GetSize(), 0);
}

TEST(MemoryStream, LoadFromRestoresSourcePositionAndRewinds) {
  TMemoryStream source;
  source.WriteString("abcdef");
  source.SetPosition(2);
  TMemoryStream copy;
  copy.WriteString("zzzzzzzzzz");
  copy.LoadFrom(source);
  EXPECT_EQ(source.GetPosition(), 2);
  EXPECT_EQ(copy.GetPosition(), 0);
  EXPECT_EQ(copy.ReadAll(), "abcdef");
}

TEST(MemoryStream, ExactReadsRaiseWhenShort) {
  TMemoryStream s;
  s.WriteUInt32(0x01020304);
  s.SetPosition(0);
  EXPECT_EQ(s.ReadUInt16(), 0x0304);
  EXPECT_THROW(s.ReadUInt32(), EStreamReadError);
}

} // namespace qx
