// A photo-like JPEG made in memory for the benchmarks: gradients with fine
// noise, so the entropy coder and the decoder have real work.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace qx::bench {

inline std::string EncodePhoto(int width, int height, int quality, uint32_t seed) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  std::mt19937 random(seed);
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < width; ++x) {
      const int noise = static_cast<int>(random() % 24) - 12;
      row[x * 3] = static_cast<uint8_t>(std::clamp(x * 255 / width + noise, 0, 255));
      row[x * 3 + 1] = static_cast<uint8_t>(std::clamp(y * 255 / height + noise, 0, 255));
      row[x * 3 + 2] = static_cast<uint8_t>(std::clamp(((x + y) / 40) % 256 + noise, 0, 255));
    }
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&info, &pointer, 1);
  }
  jpeg_finish_compress(&info);
  std::string result(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return result;
}

} // namespace qx::bench
