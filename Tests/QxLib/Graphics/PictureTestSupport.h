// Helpers shared by the picture tests: building pictures in memory.
#pragma once

#include "Tests/TestSupport/qxMutedDebugOutput.h"
#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxMemoryStream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qx::test {

// A 24- or 32-bit bitmap whose pixel (x, y) is (b = x * 7, g = y * 11,
// r = x + y, a = 255 - x) modulo 256.
TBitmap MakePattern(int width, int height, TPixelFormat format);

// A memory stream holding `bytes`, positioned at 0.
std::unique_ptr<TMemoryStream> StreamOf(const std::string& bytes);

// JPEG bytes (quality 90) of a Bgr24 bitmap, or of a Gray8 bitmap as a
// one-component grey-scale JPEG; baseline, or progressive when asked.
std::string EncodeJpeg(const TBitmap& bitmap, int quality = 90, bool progressive = false);

// JPEG bytes of a width x height picture whose every pixel has the CMYK
// value `cmyk` (four bytes, stored as given, with no Adobe marker).
std::string EncodeCmykJpeg(int width, int height, const uint8_t cmyk[4]);

// Builds BMP files field by field so that tests can write odd headers.
struct TBmpBuilder {
  int32_t Width = 2;
  int32_t Height = 2;
  uint16_t Planes = 1;
  uint16_t BitCount = 24;
  uint32_t Compression = 0;
  uint32_t ColoursUsed = 0;
  std::vector<uint32_t> Masks;   // written after the info header
  std::vector<uint32_t> Palette; // 0x00RRGGBB entries
  std::string Pixels;            // raw pixel data as stored in the file
  int64_t FileSizeDelta = 0;     // added to the true file size
  int64_t DataOffsetDelta = 0;   // added to the true pixel-data offset

  std::string Build() const;
};

} // namespace qx::test
