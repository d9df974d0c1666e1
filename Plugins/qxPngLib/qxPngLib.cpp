// The player's external picture library: decodes PNG with libpng into rows
// of 24-bit BGR or, when the picture has any transparency, 32-bit BGRA.
// Palette, grey, 16-bit and interlaced pictures are turned into those rows
// by libpng's own transforms.
#include "Plugins/qxPngLib/qxPngLib.h"

#include <png.h>

#include <cstdio>
#include <memory>

#define QX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const int kSignatureSize = 8;

// Everything one open picture needs. libpng jumps out of its calls on
// errors, so the state is plain data owned through the descriptor.
struct TPngState {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  QxImageStreamAccess Access{};
  int64_t Position = 0;
  std::FILE* File = nullptr; // set by OpenImageFile

  ~TPngState() {
    if (Png)
      png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr);
    if (File)
      std::fclose(File);
  }
};

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void OnWarning(png_structp, png_const_charp) {}

void ReadData(png_structp png, png_bytep data, size_t length) {
  auto* state = static_cast<TPngState*>(png_get_io_ptr(png));
  size_t done = 0;
  while (done < length) {
    const size_t piece = length - done > 0x40000000 ? 0x40000000 : length - done;
    const int32_t got =
        state->Access.Read(state->Access.Stream, state->Position, data + done, static_cast<int32_t>(piece));
    if (got <= 0)
      png_error(png, "PNG data cut short");
    state->Position += got;
    done += static_cast<size_t>(got);
  }
}

int64_t FileGetSize(void* stream) {
  auto* file = static_cast<std::FILE*>(stream);
  const auto old = ftello(file);
  if (fseeko(file, 0, SEEK_END) != 0)
    return -1;
  const auto size = ftello(file);
  fseeko(file, old, SEEK_SET);
  return size;
}

int32_t FileRead(void* stream, int64_t position, void* buffer, int32_t count) {
  auto* file = static_cast<std::FILE*>(stream);
  if (count <= 0 || fseeko(file, position, SEEK_SET) != 0)
    return 0;
  return static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(count), file));
}

int32_t FileWrite(void*, int64_t, const void*, int32_t) { return 0; }

// Reads the header and sets the transforms; false on any libpng error.
bool ReadHeader(TPngState& state, QxImageDescriptor& image) {
  if (setjmp(png_jmpbuf(state.Png)))
    return false;
  png_set_read_fn(state.Png, &state, ReadData);
  png_read_info(state.Png, state.Info);
  const png_byte colorType = png_get_color_type(state.Png, state.Info);
  const png_byte bitDepth = png_get_bit_depth(state.Png, state.Info);
  if (colorType == PNG_COLOR_TYPE_PALETTE)
    png_set_palette_to_rgb(state.Png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
    png_set_expand_gray_1_2_4_to_8(state.Png);
  if (png_get_valid(state.Png, state.Info, PNG_INFO_tRNS))
    png_set_tRNS_to_alpha(state.Png);
  if (bitDepth == 16)
    png_set_strip_16(state.Png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(state.Png);
  png_set_bgr(state.Png);
  png_set_interlace_handling(state.Png);
  png_read_update_info(state.Png, state.Info);
  const int channels = png_get_channels(state.Png, state.Info);
  if (channels != 3 && channels != 4)
    return false;
  image.Width = static_cast<int32_t>(png_get_image_width(state.Png, state.Info));
  image.Height = static_cast<int32_t>(png_get_image_height(state.Png, state.Info));
  image.BitsPerPixel = channels * 8;
  return image.Width > 0 && image.Height > 0;
}

int32_t OpenWith(QxImageDescriptor* image, std::unique_ptr<TPngState> state) {
  png_byte signature[kSignatureSize] = {};
  if (state->Access.Read(state->Access.Stream, 0, signature, kSignatureSize) != kSignatureSize ||
      png_sig_cmp(signature, 0, kSignatureSize) != 0)
    return 0;
  state->Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (!state->Png)
    return 0;
  state->Info = png_create_info_struct(state->Png);
  if (!state->Info || !ReadHeader(*state, *image))
    return 0;
  image->Handle = state.release();
  return 1;
}

bool ReadRows(TPngState& state, png_bytepp rows) {
  if (setjmp(png_jmpbuf(state.Png)))
    return false;
  png_read_image(state.Png, rows);
  return true;
}

} // namespace

QX_EXPORT int32_t OpenImage(QxImageDescriptor* image, const QxImageStreamAccess* access) {
  if (!image || !access || !access->Read)
    return 0;
  *image = QxImageDescriptor{};
  auto state = std::make_unique<TPngState>();
  state->Access = *access;
  return OpenWith(image, std::move(state));
}

QX_EXPORT int32_t OpenImageFile(QxImageDescriptor* image, const char* fileName) {
  if (!image || !fileName)
    return 0;
  *image = QxImageDescriptor{};
  auto state = std::make_unique<TPngState>();
  state->File = std::fopen(fileName, "rb");
  if (!state->File)
    return 0;
  state->Access = QxImageStreamAccess{state->File, FileGetSize, FileRead, FileWrite};
  return OpenWith(image, std::move(state));
}

QX_EXPORT int32_t ReadImage(QxImageDescriptor* image, uint8_t** rows) {
  if (!image || !image->Handle || !rows)
    return 0;
  return ReadRows(*static_cast<TPngState*>(image->Handle), rows) ? 1 : 0;
}

QX_EXPORT void CloseImage(QxImageDescriptor* image) {
  if (!image || !image->Handle)
    return;
  // Takes back the ownership handed out by OpenWith.
  std::unique_ptr<TPngState> state(static_cast<TPngState*>(image->Handle));
  *image = QxImageDescriptor{};
}
