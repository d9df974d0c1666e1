#include "QxLib/Graphics/qxBmpReader.h"

#include "QxLib/Graphics/qxImage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qx {

namespace {

constexpr uint16_t kBmpMagic = 0x4D42; // "BM"
constexpr int64_t kFileHeaderSize = 14;
constexpr int64_t kInfoHeaderSize = 40;
constexpr int64_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;

enum TCompression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };
constexpr uint32_t kCompressionLimit = 6;

// Filled into palette entries the file does not provide.
constexpr TBgra kMissingPaletteColour{0, 0, 0, 255};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

struct TBmpHeader {
  uint32_t FileSize = 0;
  uint32_t DataOffset = 0;
  uint32_t HeaderSize = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  uint16_t Planes = 0;
  uint16_t BitCount = 0;
  uint32_t Compression = 0;
  uint32_t ColoursUsed = 0;
};

// Restores the stream position unless the read succeeded.
class TPositionGuard {
public:
  explicit TPositionGuard(TStream& stream) : m_stream(stream), m_position(stream.GetPosition()) {}
  ~TPositionGuard() {
    if (!m_keep)
      m_stream.SetPosition(m_position);
  }
  TPositionGuard(const TPositionGuard&) = delete;
  TPositionGuard& operator=(const TPositionGuard&) = delete;
  void Keep() { m_keep = true; }
  int64_t Start() const { return m_position; }

private:
  TStream& m_stream;
  int64_t m_position;
  bool m_keep = false;
};

// The output format for a header, or None when the combination is refused.
// Bit-field masks are checked separately.
TPixelFormat FormatFor(const TBmpHeader& h) {
  switch (h.BitCount) {
  case 1: return h.Compression == kRgb ? TPixelFormat::Bgr24 : TPixelFormat::None;
  case 4: return h.Compression == kRgb || h.Compression == kRle4 ? TPixelFormat::Bgr24 : TPixelFormat::None;
  case 8: return h.Compression == kRgb || h.Compression == kRle8 ? TPixelFormat::Bgr24 : TPixelFormat::None;
  case 16: return h.Compression == kRgb || h.Compression == kBitFields ? TPixelFormat::X1R5G5B5 : TPixelFormat::None;
  case 24: return h.Compression == kRgb ? TPixelFormat::Bgr24 : TPixelFormat::None;
  case 32: return h.Compression == kRgb || h.Compression == kBitFields ? TPixelFormat::Bgra32 : TPixelFormat::None;
  default: return TPixelFormat::None;
  }
}

// 16-bit bit fields: only the 5-5-5 and 5-6-5 layouts are accepted. The
// three masks follow the 40-byte info header (or sit at the same place
// inside a longer header).
TPixelFormat SixteenBitFormat(const std::string& file, const TBmpHeader& h) {
  if (h.Compression == kRgb)
    return TPixelFormat::X1R5G5B5;
  if (static_cast<int64_t>(file.size()) < kHeadersSize + 12)
    return TPixelFormat::None;
  const auto* masks = reinterpret_cast<const uint8_t*>(file.data()) + kHeadersSize;
  const uint32_t red = Le32(masks);
  const uint32_t green = Le32(masks + 4);
  const uint32_t blue = Le32(masks + 8);
  if (green == 0x3E0 && red == 0x7C00 && blue == 0x1F)
    return TPixelFormat::X1R5G5B5;
  if (green == 0x7E0 && red == 0xF800 && blue == 0x1F)
    return TPixelFormat::R5G6B5;
  return TPixelFormat::None;
}

std::vector<TBgra> ReadPalette(const std::string& file, const TBmpHeader& h) {
  const size_t entries = size_t{1} << h.BitCount;
  std::vector<TBgra> palette(entries, kMissingPaletteColour);
  const size_t present = h.ColoursUsed == 0 || h.ColoursUsed > entries ? entries : h.ColoursUsed;
  const int64_t start = kFileHeaderSize + int64_t{h.HeaderSize};
  for (size_t i = 0; i < present; ++i) {
    const int64_t at = start + static_cast<int64_t>(i) * 4;
    if (at + 4 > static_cast<int64_t>(file.size()))
      break;
    const auto* p = reinterpret_cast<const uint8_t*>(file.data()) + at;
    palette[i] = TBgra{p[0], p[1], p[2], 255};
  }
  return palette;
}

// Index of pixel x in a row of 1, 4 or 8 bits.
inline uint8_t PaletteIndex(const uint8_t* row, int x, int bits) {
  switch (bits) {
  case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
  case 4: return (x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4;
  default: return row[x];
  }
}

// Writes palette colours for a row of 1-, 4- or 8-bit indices into a Bgr24
// row.
void ExpandRow(const uint8_t* indices, int width, const std::vector<TBgra>& palette, uint8_t* d, int bits) {
  for (int x = 0; x < width; ++x, d += 3) {
    const TBgra& c = palette[PaletteIndex(indices, x, bits)];
    d[0] = c.b, d[1] = c.g, d[2] = c.r;
  }
}

// Decodes RLE8 or RLE4 data straight into the Bgr24 bitmap through the
// palette; pixels the data skips keep palette entry 0. Runs and deltas past
// the picture are clipped; decoding stops at the end-of-bitmap code, past the
// last row or at the end of the data.
void DecodeRle(const uint8_t* p, const uint8_t* end, const std::vector<TBgra>& palette, bool rle4, bool bottomUp,
               TBitmap& bitmap) {
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  bitmap.Fill(palette[0]);
  int64_t x = 0;
  int64_t y = 0;
  auto put = [&](uint8_t value) {
    if (x < width && y < height) {
      uint8_t* d = bitmap.Scanline(static_cast<int>(bottomUp ? height - 1 - y : y)) + x * 3;
      const TBgra& c = palette[value];
      d[0] = c.b, d[1] = c.g, d[2] = c.r;
    }
    ++x;
  };
  while (end - p >= 2 && y < height) {
    const uint8_t count = p[0];
    const uint8_t value = p[1];
    p += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < width; ++i)
        put(rle4 ? ((i & 1) ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) { // end of line
      x = 0;
      ++y;
    } else if (value == 1) { // end of bitmap
      break;
    } else if (value == 2) { // delta
      if (end - p < 2)
        break;
      x += p[0];
      y += p[1];
      p += 2;
    } else { // absolute run of `value` pixels, padded to a 16-bit boundary
      const int64_t bytes = rle4 ? (value + 1) / 2 : value;
      const int64_t padded = (bytes + 1) & ~int64_t{1};
      const int64_t available = std::min<int64_t>(bytes, end - p);
      for (int i = 0; i < value; ++i) {
        const int64_t at = rle4 ? i / 2 : i;
        if (at >= available)
          break;
        put(rle4 ? ((i & 1) ? p[at] & 15 : p[at] >> 4) : p[at]);
      }
      p += std::min<int64_t>(padded, end - p);
    }
  }
}

bool ParseHeader(const uint8_t* b, TBmpHeader& h) {
  if (Le16(b) != kBmpMagic)
    return false;
  h.FileSize = Le32(b + 2);
  h.DataOffset = Le32(b + 10);
  const uint8_t* info = b + kFileHeaderSize;
  h.HeaderSize = Le32(info);
  h.Width = static_cast<int32_t>(Le32(info + 4));
  h.Height = static_cast<int32_t>(Le32(info + 8));
  h.Planes = Le16(info + 12);
  h.BitCount = Le16(info + 14);
  h.Compression = Le32(info + 16);
  h.ColoursUsed = Le32(info + 32);
  return h.HeaderSize >= kInfoHeaderSize && h.Width > 0 && h.Height != 0 && h.Height != INT32_MIN && h.Planes == 1 &&
         h.Compression < kCompressionLimit && (h.BitCount != 0 || h.Compression >= 4);
}

// A 32-bit picture whose alpha bytes are all zero was written without alpha
// (many writers leave that byte zero); it is meant to be opaque.
void MakeOpaqueWhenAlphaUnused(TBitmap& bitmap) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* row = bitmap.Scanline(y);
    for (int x = 0; x < bitmap.Width(); ++x)
      if (row[4 * x + 3] != 0)
        return;
  }
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* row = bitmap.Scanline(y);
    for (int x = 0; x < bitmap.Width(); ++x)
      row[4 * x + 3] = 255;
  }
}

} // namespace

std::unique_ptr<TBitmap> ReadBmp(TStream& stream) {
  TPositionGuard guard(stream);
  uint8_t head[kHeadersSize];
  if (stream.Read(head, kHeadersSize) != kHeadersSize)
    return nullptr;
  TBmpHeader h;
  if (!ParseHeader(head, h))
    return nullptr;
  const int64_t streamSize = stream.GetSize();
  const int64_t left = streamSize < 0 ? -1 : streamSize - guard.Start();
  if (left >= 0 && left < h.FileSize)
    return nullptr;

  TPixelFormat format = FormatFor(h);
  if (format == TPixelFormat::None)
    return nullptr;
  const int width = h.Width;
  const int height = h.Height > 0 ? h.Height : -h.Height;
  const bool bottomUp = h.Height > 0;
  CheckPictureSize(width, height, format);

  // Only what the picture needs is read: uncompressed rows end at a known
  // place; compressed data runs to the end of the stream (within the limit).
  const int64_t stride = (int64_t{h.BitCount} * width + 31) / 32 * 4;
  const bool rle = h.Compression == kRle8 || h.Compression == kRle4;
  int64_t wanted = rle ? kMaxPictureBytes : int64_t{h.DataOffset} + stride * height;
  if (left >= 0)
    wanted = std::min(wanted, left);
  stream.SetPosition(guard.Start());
  const std::string file = ReadPictureBytes(stream, wanted);
  if (static_cast<int64_t>(file.size()) < kHeadersSize || h.DataOffset > file.size())
    return nullptr;

  if (h.BitCount == 16) {
    format = SixteenBitFormat(file, h);
    if (format == TPixelFormat::None)
      return nullptr;
  }

  const auto* data = reinterpret_cast<const uint8_t*>(file.data()) + h.DataOffset;
  const auto* end = reinterpret_cast<const uint8_t*>(file.data()) + file.size();
  if (!rle && end - data < stride * height)
    return nullptr;

  auto bitmap = std::make_unique<TBitmap>(width, height, format);
  const auto targetRow = [&](int fileRow) { return bitmap->Scanline(bottomUp ? height - 1 - fileRow : fileRow); };
  if (rle) {
    const std::vector<TBgra> palette = ReadPalette(file, h);
    DecodeRle(data, end, palette, h.Compression == kRle4, bottomUp, *bitmap);
  } else if (h.BitCount <= 8) {
    const std::vector<TBgra> palette = ReadPalette(file, h);
    for (int r = 0; r < height; ++r)
      ExpandRow(data + r * stride, width, palette, targetRow(r), h.BitCount);
  } else {
    const size_t rowBytes = static_cast<size_t>(width) * bitmap->PixelBytes();
    for (int r = 0; r < height; ++r)
      std::memcpy(targetRow(r), data + r * stride, rowBytes);
    if (format == TPixelFormat::Bgra32)
      MakeOpaqueWhenAlphaUnused(*bitmap);
  }
  guard.Keep();
  return bitmap;
}

TRefPtr<TBitmapStore> LoadBmpPicture(TStream& stream, const std::string& fileName, std::unique_ptr<TStream>&,
                                     const TProgressCallback& progress) {
  std::unique_ptr<TBitmap> bitmap = ReadBmp(stream);
  if (!bitmap)
    return nullptr;
  if (progress)
    progress(1.0);
  return MakeRef<TWrapperBitmapStore>(fileName, std::move(bitmap));
}

namespace {

void PutLe16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutLe32(std::string& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

} // namespace

std::string WriteBmp(const TBitmap& bitmap) {
  QX_ASSERT(!bitmap.IsEmpty() && bitmap.Format() != TPixelFormat::None, "Invalid Combination Of Bitmap Parameters");
  const TPixelFormat format = bitmap.Format();
  const uint16_t bits = static_cast<uint16_t>(bitmap.PixelBytes() * 8);
  const bool bitFields = format == TPixelFormat::R5G6B5;
  const uint32_t paletteBytes = format == TPixelFormat::Gray8 ? 256 * 4 : 0;
  const uint32_t extra = bitFields ? 12 : paletteBytes;
  const int64_t stride = (int64_t{bits} * bitmap.Width() + 31) / 32 * 4;
  const uint32_t dataOffset = static_cast<uint32_t>(kHeadersSize + extra);
  const uint32_t fileSize = static_cast<uint32_t>(dataOffset + stride * bitmap.Height());

  std::string out;
  out.reserve(fileSize);
  PutLe16(out, kBmpMagic);
  PutLe32(out, fileSize);
  PutLe32(out, 0);
  PutLe32(out, dataOffset);
  PutLe32(out, kInfoHeaderSize);
  PutLe32(out, static_cast<uint32_t>(bitmap.Width()));
  PutLe32(out, static_cast<uint32_t>(bitmap.Height()));
  PutLe16(out, 1);
  PutLe16(out, bits);
  PutLe32(out, bitFields ? kBitFields : kRgb);
  PutLe32(out, static_cast<uint32_t>(stride * bitmap.Height()));
  PutLe32(out, 2835); // 72 dpi
  PutLe32(out, 2835);
  PutLe32(out, paletteBytes / 4);
  PutLe32(out, 0);
  if (bitFields) {
    PutLe32(out, 0xF800);
    PutLe32(out, 0x7E0);
    PutLe32(out, 0x1F);
  }
  for (uint32_t i = 0; i < paletteBytes / 4; ++i)
    PutLe32(out, i * 0x010101u);
  const size_t rowBytes = static_cast<size_t>(bitmap.Width()) * bitmap.PixelBytes();
  const std::string padding(static_cast<size_t>(stride) - rowBytes, '\0');
  for (int y = bitmap.Height() - 1; y >= 0; --y) {
    out.append(reinterpret_cast<const char*>(bitmap.Scanline(y)), rowBytes);
    out.append(padding);
  }
  return out;
}

} // namespace qx
