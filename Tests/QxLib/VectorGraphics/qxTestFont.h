// A made-up font for the vector text tests: glyph i is a box (or, for index
// 0, a ring) with plain metrics, so that layouts and bitmaps can be checked
// against numbers worked out by hand.
#pragma once

#include "QxLib/VectorGraphics/qxVectorText.h"

#include <memory>
#include <string>
#include <vector>

namespace qx::test {

// Layout units per em of the test font; ascent 800, descent 200.
inline constexpr float kTestSize = 1000;

inline TFontMetrics TestMetrics() {
  TFontMetrics metrics;
  metrics.Ascent = 800;
  metrics.Descent = 200;
  metrics.UnderlinePosition = -100;
  metrics.UnderlineThickness = 50;
  metrics.StrikeOutPosition = 300;
  metrics.StrikeOutThickness = 50;
  return metrics;
}

// Glyph `index`: ink from x = A to A + B and from the baseline up to 700,
// advance A + B + C = 600 (index 1: a narrow glyph with advance 300).
inline TGlyphData TestGlyph(uint16_t index) {
  TGlyphData glyph;
  glyph.Index = index;
  glyph.ReferenceSize = kTestSize;
  glyph.A = 50;
  glyph.B = index == 1 ? 200 : 500;
  glyph.C = 50;
  glyph.InkAscent = 700;
  glyph.InkDescent = 0;
  const float left = 50, right = left + static_cast<float>(glyph.B);
  glyph.Points = {{left, -700, kPathMove}, {right, -700, kPathLine}, {right, 0, kPathLine}, {left, 0, kPathLine}};
  if (index == 0) {
    // A hole, wound the other way.
    glyph.Points.insert(
        glyph.Points.end(),
        {{150, -600, kPathMove}, {150, -100, kPathLine}, {450, -100, kPathLine}, {450, -600, kPathLine}});
  }
  return glyph;
}

inline std::shared_ptr<TFontCache> TestFonts(const std::string& name = "Test Font") {
  auto fonts = std::make_shared<TFontCache>();
  for (uint16_t i = 0; i < 4; ++i)
    fonts->Acquire(name)->Add(TestGlyph(i));
  return fonts;
}

// A line of glyph indices set one after another by their advances.
inline TGlyphLine TestLine(const std::vector<uint16_t>& indices, const std::string& name = "Test Font") {
  TGlyphLine line;
  int32_t x = 0;
  for (const uint16_t index : indices) {
    line.push_back({name, index, x, kTestSize});
    x += index == 1 ? 300 : 600;
  }
  return line;
}

} // namespace qx::test
