// A small button skin for the tests: one 30 x 20 picture cut into a 3 x 3
// grid (columns 0-9, 10-19, 20-29; rows 0-5, 6-13, 14-19) whose pixels tell
// the cell (blue and green) and the place inside it (red), so that a copied
// column can be told from its neighbours.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/Graphics/qxBmpReader.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::test {

inline TBgra SkinPixel(int x, int y, uint8_t alpha = 255) {
  const int column = x < 10 ? 0 : x < 20 ? 1 : 2;
  const int row = y < 6 ? 0 : y < 14 ? 1 : 2;
  return {static_cast<uint8_t>(10 + 80 * column), static_cast<uint8_t>(10 + 80 * row),
          static_cast<uint8_t>((x % 10) * 20 + y), alpha};
}

inline std::string SkinBmp(uint8_t alpha = 255) {
  TBitmap bitmap(30, 20, TPixelFormat::Bgra32);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x)
      bitmap.SetPixel(x, y, SkinPixel(x, y, alpha));
  return WriteBmp(bitmap);
}

// The section of one state, every piece cut from `file`.
inline std::string StateSection(std::string_view name, std::string_view file) {
  const std::string f(file);
  return "[" + std::string(name) + "]\n" + "LeftTop=" + f + ",0,0,10,6\nTop=" + f + ",10,0,20,6\nRightTop=" + f +
         ",20,0,30,6\nRight=" + f + ",20,6,30,14\nRightBottom=" + f + ",20,14,30,20\nBottom=" + f +
         ",10,14,20,20\nLeftBottom=" + f + ",0,14,10,20\nLeft=" + f + ",0,6,10,14\nCenter=" + f + ",10,6,20,14\n";
}

// A "btn.ini" whose normal and pressed states use "skin.bmp" and whose
// hover state uses `hoverFile` (a half-transparent copy in the tests).
inline std::string SkinIni(std::string_view hoverFile = "hover.bmp") {
  return StateSection("NormalState", "skin.bmp") + StateSection("HoverState", hoverFile) +
         StateSection("ClickState", "skin.bmp") +
         "[TextParams]\nColor=10,20,30\nBtnOffset=20\nBtnMinWidth=150\nFiltering=Nearest\n";
}

} // namespace qx::test
