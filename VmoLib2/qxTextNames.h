// The names under which texts are asked for: the synthetic picture name of
// a rasterised text ("Text: ...") and the package name of its laid-out
// glyphs ("VectTxt2: ..."), and the reading of both back into parameters.
#pragma once

#include "QxLib/VectorGraphics/qxGlyphOutlineSource.h"
#include "QxLib/VectorGraphics/qxTextProducer.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The text's style words ("Bold", "Italic", "Underline", "StrikeOut"),
// joined by ",".
std::string StyleWords(uint32_t style);
// The style bits of a list of style words (unknown words are ignored).
uint32_t ParseStyleWords(std::string_view words);

// The display lines, each in double quotes, joined by "^&".
std::string QuotedLines(const std::vector<std::string>& lines);
// The lines of a QuotedLines text; none when it is not in that form.
std::optional<std::vector<std::string>> ParseQuotedLines(std::string_view text);

// "VectTxt2: <font>:<style words>:<quoted lines>".
std::string TextLayoutName(const std::string& fontName, uint32_t style, const std::vector<std::string>& lines);

// "Text: <font>:<size>:<scale x>:<scale y>:<style words>:<alignment>:
// <line spacing>:<red>:<green>:<blue>:<alpha>:<quoted lines>", floats with
// six decimals (line spacing two).
std::string TextPictureName(const TTextParams& params, const std::vector<std::string>& lines);

struct TTextPictureRequest {
  TTextParams Params;
  std::vector<std::string> Lines;
};

// Reads a "Text: " name back; none when the name is not in that form or a
// value is out of range (a size that is not positive or beyond
// kMaxTextFontSize, a colour component beyond 255).
std::optional<TTextPictureRequest> ParseTextPictureName(std::string_view name);

// The largest line height a text picture is made at, in pixels.
inline constexpr float kMaxTextFontSize = 2048;

// The font request of a text: its font name with bold and italic.
TFontRequest FontRequestOf(const std::string& fontName, uint32_t style);

} // namespace qx
