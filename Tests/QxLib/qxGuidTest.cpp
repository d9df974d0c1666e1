#include "QxLib/qxGuid.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace qx {

TEST(Guid, TextIsBracedUpperCaseVersion4) {
  const std::regex form("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
  for (int i = 0; i < 50; ++i) {
    const std::string text = NewGuidText();
    EXPECT_TRUE(std::regex_match(text, form)) << text;
  }
}

TEST(Guid, TextFollowsByteOrder) {
  std::array<uint8_t, 16> guid{};
  for (size_t i = 0; i < guid.size(); ++i)
    guid[i] = static_cast<uint8_t>(i * 17);
  EXPECT_EQ(GuidToText(guid), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
}

TEST(Guid, ManyGuidsAreDistinct) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i)
    seen.insert(NewGuidText());
  EXPECT_EQ(seen.size(), 1000u);
}

} // namespace qx
