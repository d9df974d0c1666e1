#include "VmoLib2/qxTextNames.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(TextNames, PictureNameHasEveryParameter) {
  TTextParams params;
  params.FontName = "DejaVu Sans";
  params.FontSize = 37.5f;
  params.Style = kStyleBold | kStyleUnderline;
  params.Align = TTextAlign::Right;
  params.LineSpacing = 25;
  params.Color = {30, 20, 10, 255};
  EXPECT_EQ(TextPictureName(params, {"One", "Two: 2"}),
            "Text: DejaVu Sans:37.500000:1.000000:1.000000:Bold,Underline:2:25.00:10:20:30:255:"
            "\"One\"^&\"Two: 2\"");
  const auto parsed = ParseTextPictureName(TextPictureName(params, {"One", "Two: 2"}));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->Params, params);
  EXPECT_EQ(parsed->Lines, (std::vector<std::string>{"One", "Two: 2"}));
}

TEST(TextNames, LayoutNameHasFontStyleAndLines) {
  EXPECT_EQ(TextLayoutName("Arial", kStyleItalic | kStyleStrikeOut, {"a", ""}),
            "VectTxt2: Arial:Italic,StrikeOut:\"a\"^&\"\"");
  EXPECT_EQ(ParseStyleWords("bold, StrikeOut,unknown"), kStyleBold | kStyleStrikeOut);
  EXPECT_EQ(ParseQuotedLines("\"x\"^&\"y\""), (std::vector<std::string>{"x", "y"}));
  EXPECT_FALSE(ParseQuotedLines("x"));
}

TEST(TextNames, MalformedPictureNamesAreRefused) {
  EXPECT_FALSE(ParseTextPictureName("Text: font:hello"));
  EXPECT_FALSE(ParseTextPictureName("Shadow: x"));
  const std::string good = "Text: F:10.0:1:1::1:0:1:2:3:255:\"a\"";
  EXPECT_TRUE(ParseTextPictureName(good));
  EXPECT_FALSE(ParseTextPictureName("Text: F:0:1:1::1:0:1:2:3:255:\"a\"")) << "size 0";
  EXPECT_FALSE(ParseTextPictureName("Text: F:1e9:1:1::1:0:1:2:3:255:\"a\"")) << "absurd size";
  EXPECT_FALSE(ParseTextPictureName("Text: F:nan:1:1::1:0:1:2:3:255:\"a\""));
  EXPECT_FALSE(ParseTextPictureName("Text: F:10:1:1::7:0:1:2:3:255:\"a\"")) << "alignment";
  EXPECT_FALSE(ParseTextPictureName("Text: F:10:1:1::1:0:1:2:300:255:\"a\"")) << "colour";
  EXPECT_FALSE(ParseTextPictureName("Text: F:10:1:1::1:0:1:2:3:255:a")) << "lines not quoted";
}

} // namespace
} // namespace qx
