#include "QxLib/qxIniValues.h"

#include "QxLib/qxIniStorage.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace qx {

namespace {

int32_t Int(std::string_view text, int32_t def = -99) {
  int32_t value = 0;
  return TryParseInteger(text, value) ? value : def;
}

double Float(std::string_view text, double def = -99) {
  double value = 0;
  return TryParseFloat(text, value) ? value : def;
}

std::unique_ptr<TIniStorage> Section(std::string_view lines) {
  auto ini = std::make_unique<TIniStorage>();
  ini->LoadFromString("[S]\n" + std::string(lines));
  return ini;
}

} // namespace

TEST(IniValues, IntegersDecimalAndHexadecimal) {
  EXPECT_EQ(Int("42"), 42);
  EXPECT_EQ(Int("  -17"), -17);
  EXPECT_EQ(Int("+7"), 7);
  EXPECT_EQ(Int("$1F"), 31);
  EXPECT_EQ(Int("x1f"), 31);
  EXPECT_EQ(Int("X10"), 16);
  EXPECT_EQ(Int("0x10"), 16);
  EXPECT_EQ(Int("0XfF"), 255);
  EXPECT_EQ(Int("$FFFFFFFF"), -1);
  EXPECT_EQ(Int("-2147483648"), INT32_MIN);
  EXPECT_EQ(Int("2147483647"), INT32_MAX);
}

TEST(IniValues, MalformedIntegersAreRejected) {
  for (const char* bad :
       {"", " ", "-", "$", "0x", "12a", "1.5", "2147483648", "-2147483649", "$100000000", "1 ", "--1", "0x-1"})
    EXPECT_EQ(Int(bad), -99) << bad;
}

TEST(IniValues, FloatsUseADotAndOptionalExponent) {
  EXPECT_DOUBLE_EQ(Float("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(Float(" -2e3"), -2000);
  EXPECT_DOUBLE_EQ(Float("+.25"), 0.25);
  EXPECT_DOUBLE_EQ(Float("7"), 7);
  for (const char* bad : {"", "1,5", "abc", "inf", "nan", "1.5x", "e5", "0x10", "."})
    EXPECT_EQ(Float(bad), -99) << bad;
  EXPECT_EQ(Float(FloatToText(0.1)), 0.1);
  EXPECT_EQ(FloatToText(2.5), "2.5");
}

TEST(IniValues, ScalarReadersFallBackToTheDefault) {
  const auto ini = Section("I=$10\nBad=12x\nF=0.75\nB0=0\nB2=2\nBE=\nBW=yes\n");
  const TIniSection& s = *ini->FindSection("S");
  EXPECT_EQ(s.ReadInteger("I", 0), 16);
  EXPECT_EQ(s.ReadInteger("Bad", 5), 5);
  EXPECT_EQ(s.ReadInteger("Missing", 6), 6);
  EXPECT_EQ(s.ReadInteger64Default("Missing", 0x100000005LL), 5);
  EXPECT_EQ(s.ReadInteger64Default("Bad", 0xFFFFFFFFLL), -1);
  EXPECT_EQ(s.ReadInteger64Default("I", 0x100000005LL), 16);
  EXPECT_DOUBLE_EQ(s.ReadFloat("F", 0), 0.75);
  EXPECT_DOUBLE_EQ(s.ReadFloat("Bad", 1.25), 1.25);
  EXPECT_FALSE(s.ReadBool("B0", true));
  EXPECT_TRUE(s.ReadBool("B2", false));
  EXPECT_TRUE(s.ReadBool("BE", true));
  EXPECT_FALSE(s.ReadBool("BE", false));
  EXPECT_TRUE(s.ReadBool("BW", true));
  EXPECT_TRUE(ini->ReadBool("s", "b2", false));
  EXPECT_DOUBLE_EQ(ini->ReadFloat("s", "f", 0), 0.75);
}

TEST(IniValues, ChoiceExactOrIgnoringCase) {
  const auto ini = Section("Mode=Loop\n");
  const TIniSection& s = *ini->FindSection("S");
  constexpr std::array<std::string_view, 3> words = {"pause", "loop", "exit"};
  EXPECT_EQ(s.ReadChoice("Mode", words, -1, false), -1);
  EXPECT_EQ(s.ReadChoice("Mode", words, -1, true), 1);
  EXPECT_EQ(s.ReadChoice("Missing", words, 2, true), 2);
  EXPECT_EQ(s.ReadChoice("Mode", {"a", "LOOP"}, 0, true), 1);
}

TEST(IniValues, TextListsDropLeadingBlanksAndHonourTheCount) {
  const auto ini = Section("L=a,  b c ,\tc,\nE=\n");
  const TIniSection& s = *ini->FindSection("S");
  EXPECT_EQ(s.ReadTextList("L", TIniIdentList::kNoLimit), (std::vector<std::string>{"a", "b c ", "c", ""}));
  EXPECT_EQ(s.ReadTextList("L", 2), (std::vector<std::string>{"a", "b c "}));
  EXPECT_TRUE(s.ReadTextList("E", 5).empty());
  EXPECT_TRUE(s.ReadTextList("Missing", 5).empty());
}

TEST(IniValues, NumberListsGiveTheComplementOfTheFirstBadIndex) {
  const auto ini = Section("Good=1, $10, -3\nBad=1, 2, x, 4\nF=0.5, 1e2,bad\n");
  const TIniSection& s = *ini->FindSection("S");
  std::vector<int32_t> ints;
  EXPECT_EQ(s.ReadIntegerList("Good", ints, 10), 3);
  EXPECT_EQ(ints, (std::vector<int32_t>{1, 16, -3}));
  EXPECT_EQ(s.ReadIntegerList("Bad", ints, 10), ~2);
  EXPECT_EQ(ints, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(s.ReadIntegerList("Bad", ints, 2), 2); // the bad item lies beyond the count
  EXPECT_EQ(s.ReadIntegerList("Missing", ints, 2), 0);
  std::vector<double> floats;
  EXPECT_EQ(s.ReadFloatList("F", floats, TIniIdentList::kNoLimit), ~2);
  EXPECT_EQ(floats, (std::vector<double>{0.5, 100}));
}

TEST(IniValues, ColoursAreClampedAndNeedEveryComponent) {
  const auto ini = Section("C=300, -5, 128\nShort=1,2\nA=10,20,30,999\nBadA=1,2,3\n");
  const TIniSection& s = *ini->FindSection("S");
  EXPECT_EQ(s.ReadColor("C", TRgb{1, 1, 1}), (TRgb{255, 0, 128}));
  EXPECT_EQ(s.ReadColor("Short", TRgb{1, 2, 3}), (TRgb{1, 2, 3}));
  EXPECT_EQ(s.ReadColorAlpha("A", TRgba{}), (TRgba{10, 20, 30, 255}));
  EXPECT_EQ(s.ReadColorAlpha("BadA", TRgba{9, 9, 9, 9}), (TRgba{9, 9, 9, 9}));
}

TEST(IniValues, PointsAndRectangles) {
  const auto ini = Section("P=3, -4\nFP=0.5,1.5\nR4=0,0,10.5,20\nR6=1,2,3,4,5,6\nR5=1,2,3,4,5\nOne=1\n");
  const TIniSection& s = *ini->FindSection("S");
  TPoint p{7, 7};
  EXPECT_TRUE(s.ReadPoint("P", p));
  EXPECT_EQ(p, (TPoint{3, -4}));
  EXPECT_FALSE(s.ReadPoint("One", p));
  EXPECT_FALSE(s.ReadPoint("FP", p)); // not integers
  EXPECT_EQ(p, (TPoint{3, -4}));
  TFloatPoint fp;
  EXPECT_TRUE(s.ReadFloatPoint("FP", fp));
  EXPECT_EQ(fp, (TFloatPoint{0.5, 1.5}));

  TFloatRect r;
  TFloatPoint extra{-1, -1};
  EXPECT_TRUE(s.ReadRect("R4", r, &extra));
  EXPECT_EQ(r, (TFloatRect{0, 0, 10.5, 20}));
  EXPECT_EQ(extra, (TFloatPoint{-1, -1}));
  EXPECT_TRUE(s.ReadRect("R6", r, &extra));
  EXPECT_EQ(r, (TFloatRect{1, 2, 3, 4}));
  EXPECT_EQ(extra, (TFloatPoint{5, 6}));
  EXPECT_TRUE(s.ReadRect("R6", r, nullptr));
  EXPECT_FALSE(s.ReadRect("R5", r, &extra));
  EXPECT_FALSE(s.ReadRect("Missing", r, &extra));
}

TEST(IniValues, WritersRoundTrip) {
  TIniStorage ini;
  TIniSection& s = *ini.FindOrAddSection("S");
  s.WriteFloat("F", 0.1);
  s.WriteBool("B", true);
  s.WriteInteger("I", -5);
  EXPECT_EQ(s.ReadFloat("F", 0), 0.1);
  EXPECT_TRUE(s.ReadBool("B", false));
  EXPECT_EQ(s.ReadInteger("I", 0), -5);
}

} // namespace qx
