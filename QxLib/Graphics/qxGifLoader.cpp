#include "QxLib/Graphics/qxGifLoader.h"

#include "QxLib/Graphics/qxImage.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

namespace qx {

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;
constexpr int kDelayUnitMs = 10;
constexpr int kZeroDelayMs = 50;
constexpr size_t kScreenDescriptorSize = 13;

// Disposal methods of the graphic control extension.
constexpr int kDisposeRestoreBackground = 2;
constexpr int kDisposeRestorePrevious = 3;

// A frame whose rectangle is this many times larger than the screen is
// refused rather than decoded: it lies mostly outside the picture, and
// decoding it would cost time without bound.
constexpr int64_t kMaxFrameToScreenRatio = 4;
constexpr int64_t kMinFrameAreaAllowance = 1 << 16;

// More frames than this are refused while the file is walked, before the
// frame list itself can grow without bound; the strip's memory limit
// usually refuses far fewer.
constexpr size_t kMaxFrames = 16384;

std::atomic<bool> g_animationEnabled{true};

using TPalette = std::array<TBgra, 256>;

constexpr TBgra kClear{0, 0, 0, 0};

struct TFrameInfo {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool Interlaced = false;
  int Disposal = 0;
  int Transparent = -1;
  int DelayField = 0;
  size_t PaletteOffset = 0;
  int PaletteSize = 0; // 0: use the global palette
  int MinCodeSize = 0;
  size_t DataOffset = 0; // the first sub-block's length byte
};

struct TGifLayout {
  int Width = 0;
  int Height = 0;
  size_t GlobalPaletteOffset = 0;
  int GlobalPaletteSize = 0;
  int LoopCount = 0;
  std::vector<TFrameInfo> Frames;
};

// Bounds-checked little-endian reading of the file bytes.
class TByteReader {
public:
  explicit TByteReader(const std::string& bytes) : m_bytes(bytes) {}

  bool Has(size_t count) const { return m_position <= m_bytes.size() && m_bytes.size() - m_position >= count; }
  size_t Position() const { return m_position; }
  uint8_t U8() { return static_cast<uint8_t>(m_bytes[m_position++]); }
  uint16_t U16() {
    const uint16_t low = U8();
    return static_cast<uint16_t>(low | (U8() << 8));
  }
  void Skip(size_t count) { m_position += count; }

  // Skips data sub-blocks up to and including the terminator; false when
  // the data ends first.
  bool SkipSubBlocks() {
    while (Has(1)) {
      const uint8_t length = U8();
      if (length == 0)
        return true;
      if (!Has(length))
        return false;
      Skip(length);
    }
    return false;
  }

private:
  const std::string& m_bytes;
  size_t m_position = 0;
};

bool ReadPalette(TByteReader& reader, uint8_t packed, size_t& offset, int& size) {
  if ((packed & 0x80) == 0)
    return true;
  size = 2 << (packed & 0x07);
  offset = reader.Position();
  if (!reader.Has(static_cast<size_t>(size) * 3))
    return false;
  reader.Skip(static_cast<size_t>(size) * 3);
  return true;
}

// The graphic control extension at `at` (its first sub-block): disposal,
// transparency and delay of the next image.
void ReadGraphicControl(const std::string& bytes, size_t at, TFrameInfo& next) {
  if (bytes.size() < at + 5 || static_cast<uint8_t>(bytes[at]) < 4)
    return;
  const auto* block = reinterpret_cast<const uint8_t*>(bytes.data()) + at + 1;
  next.Disposal = (block[0] >> 2) & 0x07;
  next.DelayField = block[1] | (block[2] << 8);
  next.Transparent = (block[0] & 0x01) ? block[3] : -1;
}

// An application extension at `at`; only the loop count of "NETSCAPE2.0"
// (and of its twin "ANIMEXTS1.0") is read.
void ReadApplication(const std::string& bytes, size_t at, TGifLayout& layout) {
  if (bytes.size() < at + 16 || static_cast<uint8_t>(bytes[at]) != 11)
    return;
  if (bytes.compare(at + 1, 11, "NETSCAPE2.0") != 0 && bytes.compare(at + 1, 11, "ANIMEXTS1.0") != 0)
    return;
  const auto* block = reinterpret_cast<const uint8_t*>(bytes.data()) + at + 12;
  if (block[0] >= 3 && block[1] == 1)
    layout.LoopCount = block[2] | (block[3] << 8);
}

// Walks the block structure without decoding pixels. Stops at the trailer,
// at damage or at the end of the data, keeping the frames found so far
// (a frame whose data is cut keeps what it has). With `allFrames` false it
// stops after the first frame. Raises EPictureTooLarge past kMaxFrames.
bool ParseLayout(const std::string& bytes, bool allFrames, TGifLayout& layout) {
  TByteReader reader(bytes);
  if (!reader.Has(kScreenDescriptorSize) || (bytes.compare(0, 6, "GIF87a") != 0 && bytes.compare(0, 6, "GIF89a") != 0))
    return false;
  reader.Skip(6);
  layout.Width = reader.U16();
  layout.Height = reader.U16();
  // A screen without area has nothing to show: not a picture, like bytes
  // that are no GIF.
  if (layout.Width == 0 || layout.Height == 0)
    return false;
  const uint8_t packed = reader.U8();
  reader.Skip(2); // background colour index, aspect ratio
  if (!ReadPalette(reader, packed, layout.GlobalPaletteOffset, layout.GlobalPaletteSize))
    layout.GlobalPaletteSize = 0;

  TFrameInfo next;
  while (reader.Has(1)) {
    const uint8_t block = reader.U8();
    if (block == 0x3B)
      break;
    if (block == 0x21) {
      if (!reader.Has(1))
        break;
      const uint8_t label = reader.U8();
      if (label == 0xF9)
        ReadGraphicControl(bytes, reader.Position(), next);
      else if (label == 0xFF)
        ReadApplication(bytes, reader.Position(), layout);
      if (!reader.SkipSubBlocks())
        break;
      continue;
    }
    if (block != 0x2C || !reader.Has(10))
      break;
    TFrameInfo frame = next;
    next = TFrameInfo{};
    frame.Left = reader.U16();
    frame.Top = reader.U16();
    frame.Width = reader.U16();
    frame.Height = reader.U16();
    const uint8_t framePacked = reader.U8();
    frame.Interlaced = (framePacked & 0x40) != 0;
    if (!ReadPalette(reader, framePacked, frame.PaletteOffset, frame.PaletteSize) || !reader.Has(1))
      break;
    frame.MinCodeSize = reader.U8();
    frame.DataOffset = reader.Position();
    if (layout.Frames.size() == kMaxFrames)
      throw EPictureTooLarge("Picture too large: animation of more than " + std::to_string(kMaxFrames) + " frames");
    layout.Frames.push_back(frame);
    if (!allFrames || !reader.SkipSubBlocks())
      break;
  }
  return !layout.Frames.empty();
}

void FillPalette(const std::string& bytes, size_t offset, int size, TPalette& palette) {
  palette.fill(TBgra{0, 0, 0, 255});
  for (int i = 0; i < size; ++i) {
    const auto* rgb = reinterpret_cast<const uint8_t*>(bytes.data()) + offset + static_cast<size_t>(i) * 3;
    palette[static_cast<size_t>(i)] = TBgra{rgb[2], rgb[1], rgb[0], 255};
  }
}

// Receives the colour indexes of one frame row by row and draws them into a
// screen-sized cell, clipped to it, skipping transparent pixels.
class TFrameSink {
public:
  TFrameSink(TBitmap& cell, const TFrameInfo& frame, const TPalette& palette)
      : m_cell(cell), m_frame(frame), m_palette(palette), m_row(static_cast<size_t>(frame.Width)) {}

  bool Done() const { return m_done; }

  // Takes `count` indexes; returns false once the frame is complete.
  bool Put(const uint8_t* indexes, int count) {
    while (count > 0 && !m_done) {
      const int take = std::min(count, m_frame.Width - m_x);
      std::memcpy(m_row.data() + m_x, indexes, static_cast<size_t>(take));
      m_x += take;
      indexes += take;
      count -= take;
      if (m_x == m_frame.Width)
        FlushRow();
    }
    return !m_done;
  }

  // Draws a row cut short by the end of the data.
  void Finish() {
    if (!m_done && m_x > 0)
      DrawRow(m_x);
  }

private:
  static constexpr int kPassStart[4] = {0, 4, 2, 1};
  static constexpr int kPassStep[4] = {8, 8, 4, 2};

  void DrawRow(int columns) {
    const int y = m_frame.Top + m_rowIndex;
    if (y >= m_cell.Height())
      return;
    const int visible = std::min(columns, m_cell.Width() - m_frame.Left);
    auto* out = reinterpret_cast<TBgra*>(m_cell.Scanline(y)) + m_frame.Left;
    for (int x = 0; x < visible; ++x) {
      const uint8_t index = m_row[static_cast<size_t>(x)];
      if (index != m_frame.Transparent)
        out[x] = m_palette[index];
    }
  }

  void FlushRow() {
    DrawRow(m_frame.Width);
    m_x = 0;
    if (!m_frame.Interlaced) {
      ++m_rowIndex;
      m_done = m_rowIndex >= m_frame.Height || m_frame.Top + m_rowIndex >= m_cell.Height();
      return;
    }
    m_rowIndex += kPassStep[m_pass];
    while (m_rowIndex >= m_frame.Height && m_pass < 3)
      m_rowIndex = kPassStart[++m_pass];
    m_done = m_rowIndex >= m_frame.Height;
  }

  TBitmap& m_cell;
  const TFrameInfo& m_frame;
  const TPalette& m_palette;
  std::vector<uint8_t> m_row;
  int m_x = 0;
  int m_rowIndex = 0;
  int m_pass = 0;
  bool m_done = false;
};

// Reads variable-width codes, least significant bit first, from the data
// sub-blocks of one frame.
class TCodeReader {
public:
  TCodeReader(const std::string& bytes, size_t offset) : m_bytes(bytes), m_position(offset) {}

  // The next code, or -1 at the end of the data.
  int Next(int width) {
    while (m_count < width) {
      if (m_blockLeft == 0) {
        if (m_position >= m_bytes.size())
          return -1;
        m_blockLeft = static_cast<uint8_t>(m_bytes[m_position++]);
        if (m_blockLeft == 0)
          return -1;
      }
      if (m_position >= m_bytes.size())
        return -1;
      m_bits |= static_cast<uint32_t>(static_cast<uint8_t>(m_bytes[m_position++])) << m_count;
      m_count += 8;
      --m_blockLeft;
    }
    const int code = static_cast<int>(m_bits & ((1u << width) - 1));
    m_bits >>= width;
    m_count -= width;
    return code;
  }

private:
  const std::string& m_bytes;
  size_t m_position;
  size_t m_blockLeft = 0;
  uint32_t m_bits = 0;
  int m_count = 0;
};

// The LZW decoder of GIF image data. A code beyond the table, a first code
// that is not a literal or the end of the data ends the frame; what was
// decoded until then stays.
void DecodeLzw(const std::string& bytes, const TFrameInfo& frame, TFrameSink& sink) {
  const int minCodeSize = frame.MinCodeSize;
  if (minCodeSize < 1 || minCodeSize >= kMaxCodeBits)
    return;
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  std::vector<uint16_t> prefix(kMaxCodes);
  std::vector<uint8_t> suffix(kMaxCodes);
  std::vector<uint8_t> first(kMaxCodes);
  std::vector<uint16_t> length(kMaxCodes);
  for (int code = 0; code < clear; ++code) {
    suffix[static_cast<size_t>(code)] = first[static_cast<size_t>(code)] = static_cast<uint8_t>(code);
    length[static_cast<size_t>(code)] = 1;
  }
  uint8_t text[kMaxCodes];
  auto emit = [&](int code) {
    const int count = length[static_cast<size_t>(code)];
    for (int i = count - 1; i >= 0; --i) {
      text[i] = suffix[static_cast<size_t>(code)];
      code = prefix[static_cast<size_t>(code)];
    }
    return sink.Put(text, count);
  };

  TCodeReader reader(bytes, frame.DataOffset);
  int width = minCodeSize + 1;
  int next = clear + 2;
  int previous = -1;
  while (true) {
    const int code = reader.Next(width);
    if (code < 0 || code == end)
      break;
    if (code == clear) {
      width = minCodeSize + 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (previous < 0) {
      if (code > clear || !emit(code))
        break;
      previous = code;
      continue;
    }
    if (code > next || (code == next && next >= kMaxCodes))
      break;
    if (next < kMaxCodes) {
      const auto slot = static_cast<size_t>(next);
      const auto prev = static_cast<size_t>(previous);
      prefix[slot] = static_cast<uint16_t>(previous);
      first[slot] = first[prev];
      suffix[slot] = code == next ? first[prev] : first[static_cast<size_t>(code)];
      length[slot] = static_cast<uint16_t>(length[prev] + 1);
      ++next;
      if (next >= (1 << width) && width < kMaxCodeBits)
        ++width;
    }
    if (!emit(code))
      break;
    previous = code;
  }
  sink.Finish();
}

bool FrameTooLarge(const TFrameInfo& frame, const TGifLayout& layout) {
  const int64_t area = int64_t{frame.Width} * frame.Height;
  const int64_t screen = int64_t{layout.Width} * layout.Height;
  return area > std::max(screen * kMaxFrameToScreenRatio, kMinFrameAreaAllowance);
}

void DrawFrame(const std::string& bytes, const TGifLayout& layout, const TFrameInfo& frame, TBitmap& cell) {
  if (frame.Width == 0 || frame.Height == 0 || frame.Left >= cell.Width() || frame.Top >= cell.Height() ||
      FrameTooLarge(frame, layout))
    return;
  TPalette palette;
  if (frame.PaletteSize > 0)
    FillPalette(bytes, frame.PaletteOffset, frame.PaletteSize, palette);
  else
    FillPalette(bytes, layout.GlobalPaletteOffset, layout.GlobalPaletteSize, palette);
  TFrameSink sink(cell, frame, palette);
  DecodeLzw(bytes, frame, sink);
}

// Sets the rectangle of `frame`, clipped to the cell, to transparent.
void ClearRect(TBitmap& cell, const TFrameInfo& frame) {
  const int right = std::min(cell.Width(), frame.Left + frame.Width);
  const int bottom = std::min(cell.Height(), frame.Top + frame.Height);
  if (frame.Left >= right || frame.Top >= bottom)
    return;
  for (int y = frame.Top; y < bottom; ++y)
    std::memset(cell.Scanline(y) + int64_t{frame.Left} * 4, 0, static_cast<size_t>(right - frame.Left) * 4);
}

bool KeepsPicture(int disposal) { return disposal != kDisposeRestoreBackground && disposal != kDisposeRestorePrevious; }

// Composes every frame into its cell of the strip: each cell starts from
// what the previous frame's disposal leaves and the frame is drawn over it.
void ComposeStrip(const std::string& bytes, const TGifLayout& layout, TBitmap& strip,
                  const TProgressCallback& progress) {
  const int w = layout.Width;
  const int h = layout.Height;
  int lastKept = -1;
  const int count = static_cast<int>(layout.Frames.size());
  for (int i = 0; i < count; ++i) {
    TBitmap cell = strip.CropView(i * w, 0, w, h);
    const TFrameInfo* previous = i > 0 ? &layout.Frames[static_cast<size_t>(i - 1)] : nullptr;
    if (!previous || (previous->Disposal == kDisposeRestorePrevious && lastKept < 0)) {
      cell.Fill(kClear);
    } else if (previous->Disposal == kDisposeRestorePrevious) {
      cell.Draw(strip.CropView(lastKept * w, 0, w, h), 0, 0);
    } else {
      cell.Draw(strip.CropView((i - 1) * w, 0, w, h), 0, 0);
      if (previous->Disposal == kDisposeRestoreBackground)
        ClearRect(cell, *previous);
    }
    DrawFrame(bytes, layout, layout.Frames[static_cast<size_t>(i)], cell);
    if (KeepsPicture(layout.Frames[static_cast<size_t>(i)].Disposal))
      lastKept = i;
    if (progress)
      progress(static_cast<double>(i + 1) / count);
  }
}

std::unique_ptr<TTilesTag> MakeTilesTag(const TGifPicture& picture) {
  auto tag = std::make_unique<TTilesTag>();
  tag->TileWidth = picture.ScreenWidth;
  tag->TileHeight = picture.ScreenHeight;
  tag->FrameCount = picture.FrameCount;
  tag->Tiled = true;
  tag->LoopCount = picture.LoopCount;
  for (size_t i = 0; i < picture.Delays.size(); ++i) {
    tag->TotalDuration += picture.Delays[i];
    if (i > 0)
      tag->Delays += ',';
    tag->Delays += std::to_string(picture.Delays[i]);
  }
  tag->AverageDelay = picture.FrameCount > 0 ? static_cast<double>(tag->TotalDuration) / picture.FrameCount : 0.0;
  return tag;
}

} // namespace

bool DecodeGif(const std::string& bytes, bool animate, TGifPicture& picture, const TProgressCallback& progress) {
  TGifLayout layout;
  if (!ParseLayout(bytes, animate, layout))
    return false;
  CheckPictureSize(layout.Width, layout.Height, TPixelFormat::Bgra32);
  const int64_t frames = static_cast<int64_t>(layout.Frames.size());
  // The strip is only bounded by memory: its width may pass the side limit
  // of a plain picture, but never the pixel memory limit.
  const int64_t stripBytes = frames * layout.Width * layout.Height * BytesPerPixel(TPixelFormat::Bgra32);
  if (stripBytes > kMaxPictureBytes || frames * layout.Width > INT32_MAX)
    throw EPictureTooLarge("Picture too large: animation of " + std::to_string(frames) + " frames of " +
                           std::to_string(layout.Width) + " x " + std::to_string(layout.Height));
  // Every cell is filled before its frame is drawn: no need to zero it first.
  auto strip = std::make_unique<TBitmap>(
      TBitmap::Uninitialized(static_cast<int>(frames * layout.Width), layout.Height, TPixelFormat::Bgra32));
  ComposeStrip(bytes, layout, *strip, progress);

  picture.Bitmap = std::move(strip);
  picture.ScreenWidth = layout.Width;
  picture.ScreenHeight = layout.Height;
  picture.FrameCount = static_cast<int>(frames);
  picture.LoopCount = layout.LoopCount;
  picture.Delays.clear();
  for (const TFrameInfo& frame : layout.Frames)
    picture.Delays.push_back(frame.DelayField == 0 ? kZeroDelayMs : frame.DelayField * kDelayUnitMs);
  return true;
}

void SetGifAnimationEnabled(bool enabled) { g_animationEnabled = enabled; }

bool GifAnimationEnabled() { return g_animationEnabled; }

TRefPtr<TBitmapStore> LoadGifPicture(TStream& stream, const std::string& fileName, std::unique_ptr<TStream>&,
                                     const TProgressCallback& progress) {
  const int64_t position = stream.GetPosition();
  char head[6] = {};
  const bool isGif = stream.Read(head, sizeof head) == sizeof head &&
                     (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0);
  stream.SetPosition(position);
  if (!isGif)
    return nullptr;
  const std::string bytes = ReadPictureBytes(stream, kMaxPictureBytes);
  stream.SetPosition(position);
  TGifPicture picture;
  if (!DecodeGif(bytes, GifAnimationEnabled(), picture, progress))
    return nullptr;
  auto store = MakeRef<TWrapperBitmapStore>(fileName, std::move(picture.Bitmap));
  if (picture.FrameCount > 1)
    store->Tags().Add(MakeTilesTag(picture));
  return store;
}

} // namespace qx
