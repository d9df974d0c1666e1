#include "QxLib/qxElfHash.h"

#include <gtest/gtest.h>

namespace qx {

TEST(ElfHash, MatchesTheReferenceValues) {
  EXPECT_EQ(ElfHash(""), 0u);
  EXPECT_EQ(ElfHash("abc"), 0x6783u);
  // Long enough for the top bits to be folded back.
  EXPECT_EQ(ElfHash("slide_transition_effect_duration"), 0x6E0A19Eu);
  EXPECT_EQ(ElfHash("main") % 9973, 4355u);
}

TEST(ElfHash, HashesUtf16UnitsByTheirLowByte) {
  // U+0436 and a surrogate pair D83D DE00.
  EXPECT_EQ(ElfHash("\u0436\U0001F600"), 0x39D0u);
  // Only the low byte counts: U+0161 hashes like U+0061.
  EXPECT_EQ(ElfHash("\u0161"), ElfHash("a"));
}

} // namespace qx
