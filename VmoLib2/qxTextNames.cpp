#include "VmoLib2/qxTextNames.h"

#include "QxLib/qxUtf8.h"
#include "VmoLib2/VmoClasses/qxVmoSlideHost.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qx {

namespace {

struct TStyleWord {
  std::string_view Word;
  uint32_t Bit;
};
constexpr TStyleWord kStyleWords[] = {
    {"Bold", kStyleBold}, {"Italic", kStyleItalic}, {"Underline", kStyleUnderline}, {"StrikeOut", kStyleStrikeOut}};

constexpr std::string_view kLineSeparator = "^&";
// Fields of a "Text: " name before the lines.
constexpr size_t kFixedFields = 11;

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::optional<double> Number(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<uint8_t> Component(std::string_view text) {
  const std::optional<double> value = Number(text);
  if (!value || *value < 0 || *value > 255 || *value != std::floor(*value))
    return std::nullopt;
  return static_cast<uint8_t>(*value);
}

} // namespace

std::string StyleWords(uint32_t style) {
  std::string words;
  for (const TStyleWord& word : kStyleWords) {
    if (!(style & word.Bit))
      continue;
    if (!words.empty())
      words += ',';
    words += word.Word;
  }
  return words;
}

uint32_t ParseStyleWords(std::string_view words) {
  uint32_t style = 0;
  size_t start = 0;
  while (start <= words.size()) {
    const size_t comma = words.find(',', start);
    const std::string_view word =
        TrimBlanks(words.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    for (const TStyleWord& known : kStyleWords) {
      if (SameText(word, known.Word))
        style |= known.Bit;
    }
    if (comma == std::string_view::npos)
      break;
    start = comma + 1;
  }
  return style;
}

std::string QuotedLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0)
      text += kLineSeparator;
    text += '"';
    text += lines[i];
    text += '"';
  }
  return text;
}

std::optional<std::vector<std::string>> ParseQuotedLines(std::string_view text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"')
    return std::nullopt;
  text = text.substr(1, text.size() - 2);
  std::vector<std::string> lines;
  const std::string separator = "\"" + std::string(kLineSeparator) + "\"";
  for (;;) {
    const size_t at = text.find(separator);
    lines.emplace_back(text.substr(0, at));
    if (at == std::string_view::npos)
      return lines;
    text.remove_prefix(at + separator.size());
  }
}

std::string TextLayoutName(const std::string& fontName, uint32_t style, const std::vector<std::string>& lines) {
  return std::string(kTextLayoutPrefix) + fontName + ":" + StyleWords(style) + ":" + QuotedLines(lines);
}

std::string TextPictureName(const TTextParams& params, const std::vector<std::string>& lines) {
  std::string name(kTextPicturePrefix);
  name += params.FontName + ":";
  name += Fixed(params.FontSize, 6) + ":" + Fixed(params.ScaleX, 6) + ":" + Fixed(params.ScaleY, 6) + ":";
  name += StyleWords(params.Style) + ":";
  name += std::to_string(static_cast<int>(params.Align)) + ":";
  name += Fixed(params.LineSpacing, 2) + ":";
  name += std::to_string(params.Color.r) + ":" + std::to_string(params.Color.g) + ":" + std::to_string(params.Color.b) +
          ":" + std::to_string(params.Color.a) + ":";
  name += QuotedLines(lines);
  return name;
}

std::optional<TTextPictureRequest> ParseTextPictureName(std::string_view name) {
  if (!name.starts_with(kTextPicturePrefix))
    return std::nullopt;
  name.remove_prefix(kTextPicturePrefix.size());
  std::vector<std::string_view> fields;
  while (fields.size() < kFixedFields) {
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos)
      return std::nullopt;
    fields.push_back(name.substr(0, colon));
    name.remove_prefix(colon + 1);
  }
  std::optional<std::vector<std::string>> lines = ParseQuotedLines(name);
  if (!lines)
    return std::nullopt;

  TTextPictureRequest request;
  TTextParams& params = request.Params;
  params.FontName = std::string(fields[0]);
  const std::optional<double> size = Number(fields[1]);
  const std::optional<double> scaleX = Number(fields[2]);
  const std::optional<double> scaleY = Number(fields[3]);
  const std::optional<double> align = Number(fields[5]);
  const std::optional<double> spacing = Number(fields[6]);
  const std::optional<uint8_t> r = Component(fields[7]);
  const std::optional<uint8_t> g = Component(fields[8]);
  const std::optional<uint8_t> b = Component(fields[9]);
  const std::optional<uint8_t> a = Component(fields[10]);
  if (!size || !(*size > 0) || *size > kMaxTextFontSize || !scaleX || !(*scaleX > 0) || *scaleX > 100 || !scaleY ||
      !(*scaleY > 0) || *scaleY > 100 || !align || !spacing || std::fabs(*spacing) > 10000 || !r || !g || !b || !a)
    return std::nullopt;
  if (*align != 0 && *align != 1 && *align != 2)
    return std::nullopt;
  params.FontSize = static_cast<float>(*size);
  params.ScaleX = static_cast<float>(*scaleX);
  params.ScaleY = static_cast<float>(*scaleY);
  params.Style = ParseStyleWords(fields[4]);
  params.Align = static_cast<TTextAlign>(static_cast<int>(*align));
  params.LineSpacing = static_cast<float>(*spacing);
  params.Color = {*b, *g, *r, *a};
  request.Lines = std::move(*lines);
  return request;
}

TFontRequest FontRequestOf(const std::string& fontName, uint32_t style) {
  return {fontName, (style & kStyleBold) != 0, (style & kStyleItalic) != 0};
}

} // namespace qx
