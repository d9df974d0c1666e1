#include "QxLib/Graphics/qxJpegWriter.h"

#include "QxLib/Graphics/qxJpegError.h"
#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace qx {

namespace {

struct TJpegOut {
  jpeg_compress_struct Info{};
  TJpegError Error{};
  unsigned char* Buffer = nullptr;
  unsigned long Size = 0;
  bool Created = false;
  std::vector<JSAMPLE> Row;

  ~TJpegOut() {
    if (Created)
      jpeg_destroy_compress(&Info);
    std::free(Buffer);
  }
};

// The compression run; returns false after a libjpeg error.
bool Compress(TJpegOut& out, const TBitmap& bitmap, int quality) {
  out.Info.err = jpeg_std_error(&out.Error.Manager);
  out.Error.Manager.error_exit = JpegErrorExit;
  out.Error.Manager.output_message = JpegSilentMessage;
  if (setjmp(out.Error.Jump) != 0)
    return false;
  jpeg_create_compress(&out.Info);
  out.Created = true;
  jpeg_mem_dest(&out.Info, &out.Buffer, &out.Size);
  out.Info.image_width = static_cast<JDIMENSION>(bitmap.Width());
  out.Info.image_height = static_cast<JDIMENSION>(bitmap.Height());
  out.Info.input_components = 3;
  out.Info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&out.Info);
  jpeg_set_quality(&out.Info, quality, TRUE);
  jpeg_start_compress(&out.Info, TRUE);
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const TBgra pixel = bitmap.GetPixel(x, y);
      out.Row[static_cast<size_t>(x) * 3] = pixel.r;
      out.Row[static_cast<size_t>(x) * 3 + 1] = pixel.g;
      out.Row[static_cast<size_t>(x) * 3 + 2] = pixel.b;
    }
    JSAMPROW row = out.Row.data();
    jpeg_write_scanlines(&out.Info, &row, 1);
  }
  jpeg_finish_compress(&out.Info);
  return true;
}

} // namespace

std::string EncodeJpeg(const TBitmap& bitmap, int quality) {
  if (bitmap.IsEmpty())
    throw EQxError("JPEG write error: empty picture");
  TJpegOut out;
  out.Row.resize(static_cast<size_t>(bitmap.Width()) * 3);
  if (!Compress(out, bitmap, std::clamp(quality, 1, 100)))
    throw EQxError(std::string("JPEG write error: ") + out.Error.Message);
  return std::string(reinterpret_cast<const char*>(out.Buffer), out.Size);
}

} // namespace qx
