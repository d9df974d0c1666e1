#include "VmoLib2/Vmo_MacrosToTextParser.h"

#include <array>

namespace qx {

namespace {

constexpr std::string_view kMacroFileName = "<%MainImg.FileName%>";
constexpr std::string_view kMacroPathName = "<%MainImg.PathName%>";
constexpr std::string_view kMacroFileNameExt = "<%MainImg.FileNameExt%>";
constexpr std::string_view kMacroFolderPath = "<%MainImg.FolderPath%>";
constexpr std::string_view kMacroFolderName = "<%MainImg.FolderName%>";
constexpr std::string_view kMacroExifDate = "<%MainImg.Exif.Date%>";
constexpr std::string_view kMacroExifTime = "<%MainImg.Exif.Time%>";

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

size_t FindNoCase(std::string_view text, std::string_view what, size_t from) {
  if (what.size() > text.size())
    return std::string_view::npos;
  for (size_t i = from; i + what.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < what.size() && LowerAscii(text[i + k]) == LowerAscii(what[k]))
      ++k;
    if (k == what.size())
      return i;
  }
  return std::string_view::npos;
}

std::string_view WithoutExtension(std::string_view path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('\\');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return path;
  return path.substr(0, dot);
}

} // namespace

std::vector<std::string> SplitTextLines(std::string_view text) {
  if (text.size() > 1) {
    if (text.front() == '"')
      text.remove_prefix(1);
    if (!text.empty() && text.back() == '"')
      text.remove_suffix(1);
  }
  if (text.empty())
    return {" "};
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '^' && i + 1 < text.size()) {
      if (text[i + 1] == '&') {
        lines.push_back(std::move(line));
        line.clear();
      } else {
        line += text.substr(i, 2);
      }
      ++i;
      continue;
    }
    line += text[i];
  }
  lines.push_back(std::move(line));
  return lines;
}

std::string PictureFileNameExt(std::string_view path) {
  if (!path.empty() && path.back() == '\\')
    path.remove_suffix(1);
  const size_t slash = path.find_last_of('\\');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string PictureFileName(std::string_view path) { return std::string(WithoutExtension(PictureFileNameExt(path))); }

std::string PicturePathName(std::string_view path) { return std::string(WithoutExtension(path)); }

std::string PictureFolderPath(std::string_view path) {
  if (path.size() < 2)
    return {};
  const size_t slash = path.substr(0, path.size() - 1).find_last_of('\\');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string PictureFolderName(std::string_view path) {
  const size_t last = path.find_last_of('\\');
  if (last == std::string_view::npos || last == 0)
    return {};
  const size_t before = path.substr(0, last).find_last_of('\\');
  const size_t start = before == std::string_view::npos ? 0 : before + 1;
  return std::string(path.substr(start, last - start));
}

std::string TMTParser::Value(std::string_view macro) const {
  if (macro == kMacroFileName)
    return PictureFileName(Value(kMacroPathNameExt));
  if (macro == kMacroPathName)
    return PicturePathName(Value(kMacroPathNameExt));
  if (macro == kMacroFileNameExt)
    return PictureFileNameExt(Value(kMacroPathNameExt));
  if (macro == kMacroFolderPath)
    return PictureFolderPath(Value(kMacroPathNameExt));
  if (macro == kMacroFolderName)
    return PictureFolderName(Value(kMacroPathNameExt));
  if (macro == kMacroExifDate || macro == kMacroExifTime) {
    const std::string dateTime = Value(kMacroExifDateTime);
    const size_t space = dateTime.find(' ');
    if (macro == kMacroExifDate)
      return dateTime.substr(0, space);
    return space == std::string::npos ? std::string() : dateTime.substr(space + 1);
  }
  return m_value ? m_value(macro) : std::string();
}

std::string TMTParser::Expand(std::string_view input) const {
  static const auto kOrder = [] {
    std::array<std::string_view, 7 + std::size(kIptcMacros) + 7> order{};
    size_t n = 0;
    for (const std::string_view macro : {kMacroSlideIndex, kMacroSlidesCount, kMacroWidth, kMacroHeight,
                                         kMacroExifComment, kMacroExifDescription, kMacroPathNameExt})
      order[n++] = macro;
    for (const TIptcMacro& iptc : kIptcMacros)
      order[n++] = iptc.Macro;
    for (const std::string_view macro : {kMacroFileName, kMacroPathName, kMacroFileNameExt, kMacroFolderPath,
                                         kMacroFolderName, kMacroExifDate, kMacroExifTime})
      order[n++] = macro;
    return order;
  }();

  std::string line(input);
  for (const std::string_view macro : kOrder) {
    size_t from = 0;
    for (size_t at = FindNoCase(line, macro, from); at != std::string::npos; at = FindNoCase(line, macro, from)) {
      const std::string value = Value(macro);
      line.replace(at, macro.size(), value);
      from = at + value.size();
    }
  }
  return line.empty() ? std::string(" ") : line;
}

} // namespace qx
