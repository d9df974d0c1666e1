// Colour values read from project texts.
#pragma once

#include <cstdint>

namespace qx {

struct TRgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  bool operator==(const TRgb&) const = default;
};

struct TRgba {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  uint8_t a = 0;
  bool operator==(const TRgba&) const = default;
};

} // namespace qx
