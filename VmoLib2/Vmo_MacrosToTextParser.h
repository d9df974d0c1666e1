// Text macros: splits a text object's "Text" into lines and replaces the
// macros of each line ("<%SlideIndex%>", "<%MainImg.Exif.Date%>", ...) by
// values the text object supplies; the file-name macros are derived here
// from the main picture's name.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// Macros the value callback answers.
inline constexpr std::string_view kMacroSlideIndex = "<%SlideIndex%>";
inline constexpr std::string_view kMacroSlidesCount = "<%SlidesCount%>";
inline constexpr std::string_view kMacroPathNameExt = "<%MainImg.PathNameExt%>";
inline constexpr std::string_view kMacroWidth = "<%MainImg.Width%>";
inline constexpr std::string_view kMacroHeight = "<%MainImg.Height%>";
inline constexpr std::string_view kMacroExifComment = "<%MainImg.Exif.Comment%>";
inline constexpr std::string_view kMacroExifDescription = "<%MainImg.Exif.Description%>";
// Answered through the EXIF date and time field.
inline constexpr std::string_view kMacroExifDateTime = "<%MainImg.Exif.DateTime%>";

// The IPTC macros in replacement order, with the dataset each one reads.
struct TIptcMacro {
  std::string_view Macro;
  int Dataset;
  // Repeatable fields: the first entry, trimmed.
  bool Trimmed;
};
inline constexpr TIptcMacro kIptcMacros[] = {
    {"<%MainImg.IPTC.DocumentTitle%>", 5, false},  {"<%MainImg.IPTC.SpecialInstructions%>", 40, false},
    {"<%MainImg.IPTC.AuthorByline%>", 80, true},   {"<%MainImg.IPTC.AuthorTitle%>", 85, true},
    {"<%MainImg.IPTC.City%>", 90, false},          {"<%MainImg.IPTC.Sublocation%>", 92, false},
    {"<%MainImg.IPTC.ProvinceState%>", 95, false}, {"<%MainImg.IPTC.Country%>", 101, false},
    {"<%MainImg.IPTC.OTR%>", 103, false},          {"<%MainImg.IPTC.Headline%>", 105, false},
    {"<%MainImg.IPTC.Credits%>", 110, false},      {"<%MainImg.IPTC.Source%>", 115, false},
    {"<%MainImg.IPTC.Copyright%>", 116, false},    {"<%MainImg.IPTC.CaptionDescription%>", 120, false},
    {"<%MainImg.IPTC.CaptionWriter%>", 122, true},
};

// Splits a "Text" value into lines: one enclosing pair of double quotes is
// dropped, "^&" ends a line ("^" with any other character is kept as it
// is), and an empty text is a single space.
std::vector<std::string> SplitTextLines(std::string_view text);

// Derived names of a picture name such as "D:\Photos\Trip\img01.jpg".
std::string PictureFileNameExt(std::string_view path); // img01.jpg
std::string PictureFileName(std::string_view path);    // img01
std::string PicturePathName(std::string_view path);    // D:\Photos\Trip\img01
std::string PictureFolderPath(std::string_view path);  // D:\Photos\Trip\ (with the backslash)
std::string PictureFolderName(std::string_view path);  // Trip

class TMTParser {
public:
  // Answers a base macro (as written in the constants above) with its
  // value; empty when there is none.
  using TValueCallback = std::function<std::string(std::string_view macro)>;

  explicit TMTParser(TValueCallback value) : m_value(std::move(value)) {}

  // Replaces every macro of the line, without regard to case, in the fixed
  // order of the macro table; a value is asked for each occurrence. The
  // search for a macro goes on after the value just inserted, so a value
  // that holds the same macro text is not expanded again and expansion
  // always ends. A line that ends up empty becomes a single space.
  std::string Expand(std::string_view line) const;

private:
  std::string Value(std::string_view macro) const;

  TValueCallback m_value;
};

} // namespace qx
