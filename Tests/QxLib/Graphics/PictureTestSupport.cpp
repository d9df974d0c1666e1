#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace qx::test {

TBitmap MakePattern(int width, int height, TPixelFormat format) {
  TBitmap bitmap(width, height, format);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap.SetPixel(x, y,
                      TBgra{static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 11), static_cast<uint8_t>(x + y),
                            static_cast<uint8_t>(255 - x)});
  return bitmap;
}

std::unique_ptr<TMemoryStream> StreamOf(const std::string& bytes) {
  auto stream = std::make_unique<TMemoryStream>();
  stream->WriteString(bytes);
  stream->SetPosition(0);
  return stream;
}

std::string EncodeJpeg(const TBitmap& bitmap, int quality, bool progressive) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  const bool grey = bitmap.Format() == TPixelFormat::Gray8;
  if (!grey && bitmap.Format() != TPixelFormat::Bgr24)
    throw std::logic_error("EncodeJpeg takes Bgr24 or Gray8");
  info.image_width = static_cast<JDIMENSION>(bitmap.Width());
  info.image_height = static_cast<JDIMENSION>(bitmap.Height());
  info.input_components = grey ? 1 : 3;
  info.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (progressive)
    jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(bitmap.Scanline(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::string result(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return result;
}

std::string EncodeCmykJpeg(int width, int height, const uint8_t cmyk[4]) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 4;
  info.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&info);
  info.write_Adobe_marker = FALSE;
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
  for (int x = 0; x < width; ++x)
    std::copy(cmyk, cmyk + 4, row.begin() + 4 * x);
  while (info.next_scanline < info.image_height) {
    JSAMPROW rowPointer = row.data();
    jpeg_write_scanlines(&info, &rowPointer, 1);
  }
  jpeg_finish_compress(&info);
  std::string result(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return result;
}

namespace {

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

} // namespace

std::string TBmpBuilder::Build() const {
  const uint32_t dataOffset = static_cast<uint32_t>(54 + 4 * Masks.size() + 4 * Palette.size() + DataOffsetDelta);
  const uint32_t fileSize =
      static_cast<uint32_t>(54 + 4 * Masks.size() + 4 * Palette.size() + Pixels.size() + FileSizeDelta);
  std::string out = "BM";
  Put32(out, fileSize);
  Put32(out, 0);
  Put32(out, dataOffset);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(Width));
  Put32(out, static_cast<uint32_t>(Height));
  Put16(out, Planes);
  Put16(out, BitCount);
  Put32(out, Compression);
  Put32(out, static_cast<uint32_t>(Pixels.size()));
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, ColoursUsed);
  Put32(out, 0);
  for (uint32_t m : Masks)
    Put32(out, m);
  for (uint32_t c : Palette)
    Put32(out, c);
  out += Pixels;
  return out;
}

} // namespace qx::test
