#include "QxLib/qxUtf8.h"

#include <gtest/gtest.h>

namespace qx {

TEST(Utf8, CaseMappingCoversLatinGreekAndCyrillic) {
  EXPECT_EQ(LowerCase("Slide ÄÖÜ ŁŃ ΣΑΛΑΤΑ ΆΈ Привет ЁЇ"), "slide äöü łń σαλατα άέ привет ёї");
  EXPECT_EQ(UpperCase("straße ÿ ł ς ё"), "STRAßE Ÿ Ł Σ Ё");
  EXPECT_EQ(LowerCase("ABC"), "abc");
  EXPECT_EQ(UpperCase("abc1"), "ABC1");
  EXPECT_EQ(LowerCase("×÷"), "×÷"); // signs between the letter ranges are not letters
}

TEST(Utf8, CaseMappingKeepsMalformedBytes) {
  const std::string bad = "A\xC3Z\xFF";
  EXPECT_EQ(LowerCase(bad), "a\xC3z\xFF");
}

TEST(Utf8, SameTextIgnoresCaseOnly) {
  EXPECT_TRUE(SameText("Main", "MAIN"));
  EXPECT_TRUE(SameText("Ärger", "äRGER"));
  EXPECT_FALSE(SameText("main", "mains"));
  EXPECT_FALSE(SameText("", "a"));
  EXPECT_TRUE(SameText("", ""));
}

TEST(Utf8, SameAsciiTextFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(SameAsciiText("Photo.JPG", "photo.jpg"));
  EXPECT_FALSE(SameAsciiText("photo.jpg", "photo.jpeg"));
  // Other bytes are compared as they are: file names differ by them.
  EXPECT_FALSE(SameAsciiText("Ärger", "ärger"));
  EXPECT_TRUE(SameText("Ärger", "ärger"));
}

TEST(Utf8, Utf16RoundTripUsesSurrogatePairs) {
  const std::string text = "a\u00E9\u20AC\U0001F600";
  const std::u16string wide = Utf8ToUtf16(text);
  ASSERT_EQ(wide.size(), 5u);
  EXPECT_EQ(wide[3], 0xD83D);
  EXPECT_EQ(wide[4], 0xDE00);
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf8, MalformedInputNeverReadsPastTheEnd) {
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), std::u16string(u"\uFFFD\uFFFD"));
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), std::u16string(u"\uFFFD\uFFFD")); // overlong form
  size_t pos = 0;
  EXPECT_EQ(NextUtf8Char("\xF0\x9F\x98", pos), 0xFFFDu);
  EXPECT_EQ(pos, 1u);
}

TEST(Utf8, TrimVariants) {
  EXPECT_EQ(Trim(" \t\r a b \n"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a \x01"), "  a");
  EXPECT_EQ(TrimBlanks("\t a\r "), "a\r");
  EXPECT_EQ(Trim("   "), "");
}

} // namespace qx
