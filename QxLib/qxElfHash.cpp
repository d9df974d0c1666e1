#include "QxLib/qxElfHash.h"

#include "QxLib/qxUtf8.h"

namespace qx {

uint32_t ElfHash(std::string_view text) {
  uint32_t h = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    const unsigned char b = static_cast<unsigned char>(text[pos]);
    if (b < 0x80) {
      h = ElfHashStep(h, b);
      ++pos;
      continue;
    }
    const char32_t c = NextUtf8Char(text, pos);
    if (c < 0x10000) {
      h = ElfHashStep(h, static_cast<uint8_t>(c & 0xFF));
      continue;
    }
    // A surrogate pair: the low bytes of both units.
    const char32_t v = c - 0x10000;
    h = ElfHashStep(h, static_cast<uint8_t>((0xD800 + (v >> 10)) & 0xFF));
    h = ElfHashStep(h, static_cast<uint8_t>((0xDC00 + (v & 0x3FF)) & 0xFF));
  }
  return h;
}

} // namespace qx
