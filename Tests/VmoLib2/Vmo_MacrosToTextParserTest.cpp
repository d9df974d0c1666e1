#include "VmoLib2/Vmo_MacrosToTextParser.h"

#include <gtest/gtest.h>

#include <map>

namespace qx {
namespace {

TMTParser Parser(std::map<std::string_view, std::string> values, int* asked = nullptr) {
  return TMTParser([values = std::move(values), asked](std::string_view macro) {
    if (asked)
      ++*asked;
    const auto found = values.find(macro);
    return found == values.end() ? std::string() : found->second;
  });
}

TEST(TextLines, SplitAtCaretAmpersand) {
  EXPECT_EQ(SplitTextLines("\"One^&Two^&Three\""), (std::vector<std::string>{"One", "Two", "Three"}));
  EXPECT_EQ(SplitTextLines(""), std::vector<std::string>{" "});
  EXPECT_EQ(SplitTextLines("^&"), (std::vector<std::string>{"", ""}));
  // A caret with any other character (a caret too) stays as it is.
  EXPECT_EQ(SplitTextLines("a^b^^&c^"), std::vector<std::string>{"a^b^^&c^"});
  EXPECT_EQ(SplitTextLines("x^^^&y"), (std::vector<std::string>{"x^^", "y"}));
  // A lone quote is no pair.
  EXPECT_EQ(SplitTextLines("\""), std::vector<std::string>{"\""});
  EXPECT_EQ(SplitTextLines("\"quoted"), std::vector<std::string>{"quoted"});
}

TEST(TextMacros, SlideNumbersWithoutRegardToCase) {
  const TMTParser parser = Parser({{kMacroSlideIndex, "3"}, {kMacroSlidesCount, "10"}});
  EXPECT_EQ(parser.Expand("Slide <%SlideIndex%> of <%SlidesCount%>"), "Slide 3 of 10");
  EXPECT_EQ(parser.Expand("<%slideindex%>/<%SLIDESCOUNT%>"), "3/10");
  EXPECT_EQ(parser.Expand("no macros"), "no macros");
}

TEST(TextMacros, FileNamesAreDerivedFromThePictureName) {
  const TMTParser parser = Parser({{kMacroPathNameExt, "D:\\Photos\\Trip\\img01.jpg"}});
  EXPECT_EQ(parser.Expand("<%MainImg.FileName%>"), "img01");
  EXPECT_EQ(parser.Expand("<%MainImg.FileNameExt%>"), "img01.jpg");
  EXPECT_EQ(parser.Expand("<%MainImg.PathName%>"), "D:\\Photos\\Trip\\img01");
  EXPECT_EQ(parser.Expand("<%MainImg.FolderPath%>"), "D:\\Photos\\Trip\\");
  EXPECT_EQ(parser.Expand("<%MainImg.FolderName%>"), "Trip");
  EXPECT_EQ(parser.Expand("<%MainImg.PathNameExt%>"), "D:\\Photos\\Trip\\img01.jpg");
  EXPECT_EQ(PictureFolderName("img.jpg"), "");
  EXPECT_EQ(PictureFileName("C:\\dir.d\\noext"), "noext");
}

TEST(TextMacros, DateAndTimeSplitAtTheFirstSpace) {
  const TMTParser parser = Parser({{kMacroExifDateTime, "2009:10:21 14:05:33"}});
  EXPECT_EQ(parser.Expand("<%MainImg.Exif.Date%>"), "2009:10:21");
  EXPECT_EQ(parser.Expand("<%MainImg.Exif.Time%>"), "14:05:33");
  const TMTParser noTime = Parser({{kMacroExifDateTime, "2009:10:21"}});
  EXPECT_EQ(noTime.Expand("[<%MainImg.Exif.Time%>]"), "[]");
}

TEST(TextMacros, EmptyResultIsASpaceAndMissingValuesAreEmpty) {
  const TMTParser parser = Parser({});
  EXPECT_EQ(parser.Expand("<%MainImg.IPTC.City%>"), " ");
  EXPECT_EQ(parser.Expand(""), " ");
  EXPECT_EQ(parser.Expand("a<%MainImg.Exif.Comment%>b"), "ab");
}

TEST(TextMacros, AValueHoldingItsOwnMacroIsNotExpandedAgain) {
  int asked = 0;
  const TMTParser parser = Parser({{kMacroExifComment, "see <%MainImg.Exif.Comment%>"}}, &asked);
  EXPECT_EQ(parser.Expand("<%MainImg.Exif.Comment%>!"), "see <%MainImg.Exif.Comment%>!");
  EXPECT_EQ(asked, 1);
  // Each occurrence asks for its value.
  asked = 0;
  EXPECT_EQ(Parser({{kMacroSlideIndex, "1"}}, &asked).Expand("<%SlideIndex%><%SlideIndex%>"), "11");
  EXPECT_EQ(asked, 2);
}

TEST(TextMacros, LongLinesExpandInTime) {
  std::string line;
  for (int i = 0; i < 20000; ++i)
    line += "<%SlideIndex%>";
  EXPECT_EQ(Parser({{kMacroSlideIndex, "7"}}).Expand(line), std::string(20000, '7'));
}

} // namespace
} // namespace qx
