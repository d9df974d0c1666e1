// Reading back the PNG files the player writes, for comparing their pixels.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"

#include <png.h>

#include <fstream>
#include <iterator>
#include <string>

namespace qx::test {

// Decodes PNG bytes into BGRA through libpng's simplified reader; an empty
// bitmap when they are no PNG.
inline TBitmap DecodePng(const std::string& bytes) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
    return {};
  image.format = PNG_FORMAT_BGRA;
  TBitmap bitmap(static_cast<int>(image.width), static_cast<int>(image.height), TPixelFormat::Bgra32);
  if (!png_image_finish_read(&image, nullptr, bitmap.Bits(), static_cast<png_int_32>(bitmap.Stride()), nullptr))
    return {};
  return bitmap;
}

inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline TBitmap LoadPngFile(const std::string& path) { return DecodePng(FileBytes(path)); }

} // namespace qx::test
