// The time text of the video-style navigation bar: "MM:SS / MM:SS", or with
// hours for shows of an hour or more, drawn from twelve glyphs ("0" ... "9",
// ":" and " / ") rendered once in white from vector-text outlines.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

class TGlyphOutlineSource;

// Shows this long or longer show hours in the time text.
inline constexpr int64_t kNavHoursFromMs = 3600000;

// The text for the current time and the duration: every field two digits,
// seconds truncated, hours modulo 100; a negative time counts as 0.
std::string NavTimeText(int64_t timeMs, int64_t durationMs);

class TNavTimeGlyphs {
public:
  // The font the glyphs are drawn in (the closest installed one stands in).
  static constexpr std::string_view kFontName = "Arial";

  // Renders the glyphs scaled to `height` pixels (at least 1); each keeps
  // its own width.
  TNavTimeGlyphs(TGlyphOutlineSource& source, int32_t height);

  int32_t Height() const { return m_height; }
  // Width of a text of the glyphs' characters (others are skipped).
  int32_t TextWidth(std::string_view text) const;
  // Lays the text over `target` with its top-left corner at (x, y).
  void Draw(TBitmap& target, std::string_view text, int32_t x, int32_t y) const;

private:
  // Glyph index of the text at `pos` and its length in characters; -1 for
  // a character without a glyph.
  static int GlyphAt(std::string_view text, size_t pos, size_t& length);

  int32_t m_height;
  std::array<TBitmap, 12> m_glyphs;
};

} // namespace qx
