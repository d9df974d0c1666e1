// Builds GIF files in memory, block by block, with a real LZW encoder, for
// the GIF tests and the GIF benchmark.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qx::test {

struct TGifFrameData {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Indexes;       // Width * Height, rows top-down
  std::vector<uint32_t> LocalPalette; // 0xRRGGBB; empty: the global one
  bool Interlaced = false;
  bool Control = true; // write a graphic control extension
  int Disposal = 0;
  int Transparent = -1;
  int DelayField = 0;
  int MinCodeSize = 8; // 2 .. 8; the indexes must fit
};

struct TGifBuilder {
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> GlobalPalette; // 0xRRGGBB
  int LoopCount = -1;                  // -1: no "NETSCAPE2.0" extension
  std::vector<TGifFrameData> Frames;

  std::string Build() const;
};

// The LZW data of `indexes` as GIF sub-blocks, ending with the terminator.
std::string EncodeGifLzw(const std::vector<uint8_t>& indexes, int minCodeSize);

namespace gif_detail {

inline void Put16(std::string& out, int value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

// log2 of the padded table size, minus one, as GIF's packed fields want it.
inline int PaletteBits(size_t count) {
  int bits = 0;
  while ((size_t{2} << bits) < count && bits < 7)
    ++bits;
  return bits;
}

inline void PutPalette(std::string& out, const std::vector<uint32_t>& palette) {
  const size_t padded = size_t{2} << PaletteBits(palette.size());
  for (size_t i = 0; i < padded; ++i) {
    const uint32_t rgb = i < palette.size() ? palette[i] : 0;
    out.push_back(static_cast<char>((rgb >> 16) & 0xFF));
    out.push_back(static_cast<char>((rgb >> 8) & 0xFF));
    out.push_back(static_cast<char>(rgb & 0xFF));
  }
}

class TBitWriter {
public:
  void Put(int code, int width) {
    m_bits |= static_cast<uint32_t>(code) << m_count;
    m_count += width;
    while (m_count >= 8) {
      m_data.push_back(static_cast<char>(m_bits & 0xFF));
      m_bits >>= 8;
      m_count -= 8;
    }
  }
  std::string Blocks() {
    if (m_count > 0)
      m_data.push_back(static_cast<char>(m_bits & 0xFF));
    m_count = 0;
    std::string out;
    for (size_t i = 0; i < m_data.size(); i += 255) {
      const size_t n = std::min<size_t>(255, m_data.size() - i);
      out.push_back(static_cast<char>(n));
      out.append(m_data, i, n);
    }
    out.push_back('\0');
    return out;
  }

private:
  std::string m_data;
  uint32_t m_bits = 0;
  int m_count = 0;
};

} // namespace gif_detail

inline std::string EncodeGifLzw(const std::vector<uint8_t>& indexes, int minCodeSize) {
  constexpr int kMaxCodes = 4096;
  const int clear = 1 << minCodeSize;
  gif_detail::TBitWriter out;
  // The decoder's table size and code width, which the writer must follow.
  int readerNext = clear + 2;
  int readerWidth = minCodeSize + 1;
  bool firstAfterClear = true;
  auto emit = [&](int code) {
    out.Put(code, readerWidth);
    if (code == clear) {
      readerNext = clear + 2;
      readerWidth = minCodeSize + 1;
      firstAfterClear = true;
      return;
    }
    if (firstAfterClear) {
      firstAfterClear = false;
      return;
    }
    if (readerNext < kMaxCodes && ++readerNext >= (1 << readerWidth) && readerWidth < 12)
      ++readerWidth;
  };
  // Dictionary (code, next byte) -> code, emptied by bumping the generation.
  std::vector<uint16_t> codes(size_t{kMaxCodes} * 256);
  std::vector<uint32_t> generation(size_t{kMaxCodes} * 256);
  uint32_t current = 1;
  int next = clear + 2;
  emit(clear);
  if (indexes.empty()) {
    emit(clear + 1);
    return out.Blocks();
  }
  int prefix = indexes[0];
  for (size_t i = 1; i < indexes.size(); ++i) {
    const size_t key = static_cast<size_t>(prefix) * 256 + indexes[i];
    if (generation[key] == current) {
      prefix = codes[key];
      continue;
    }
    emit(prefix);
    codes[key] = static_cast<uint16_t>(next);
    generation[key] = current;
    if (++next == kMaxCodes) {
      emit(clear);
      ++current;
      next = clear + 2;
    }
    prefix = indexes[i];
  }
  emit(prefix);
  emit(clear + 1);
  return out.Blocks();
}

inline std::string TGifBuilder::Build() const {
  using namespace gif_detail;
  std::string out = "GIF89a";
  Put16(out, Width);
  Put16(out, Height);
  const bool global = !GlobalPalette.empty();
  out.push_back(static_cast<char>(global ? 0x80 | 0x70 | PaletteBits(GlobalPalette.size()) : 0));
  out.push_back('\0');
  out.push_back('\0');
  if (global)
    PutPalette(out, GlobalPalette);
  if (LoopCount >= 0) {
    out += "\x21\xFF\x0BNETSCAPE2.0";
    out += std::string("\x03\x01", 2);
    Put16(out, LoopCount);
    out.push_back('\0');
  }
  for (const TGifFrameData& frame : Frames) {
    if (frame.Control) {
      out += "\x21\xF9\x04";
      out.push_back(static_cast<char>((frame.Disposal << 2) | (frame.Transparent >= 0 ? 1 : 0)));
      Put16(out, frame.DelayField);
      out.push_back(static_cast<char>(frame.Transparent >= 0 ? frame.Transparent : 0));
      out.push_back('\0');
    }
    out.push_back('\x2C');
    Put16(out, frame.Left);
    Put16(out, frame.Top);
    Put16(out, frame.Width);
    Put16(out, frame.Height);
    const bool local = !frame.LocalPalette.empty();
    out.push_back(
        static_cast<char>((local ? 0x80 | PaletteBits(frame.LocalPalette.size()) : 0) | (frame.Interlaced ? 0x40 : 0)));
    if (local)
      PutPalette(out, frame.LocalPalette);
    std::vector<uint8_t> stored = frame.Indexes;
    if (frame.Interlaced) {
      // Rows in the order of the four passes.
      stored.clear();
      const int starts[4] = {0, 4, 2, 1};
      const int steps[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < frame.Height; y += steps[pass])
          stored.insert(stored.end(), frame.Indexes.begin() + static_cast<std::ptrdiff_t>(y) * frame.Width,
                        frame.Indexes.begin() + static_cast<std::ptrdiff_t>(y + 1) * frame.Width);
    }
    out.push_back(static_cast<char>(frame.MinCodeSize));
    out += EncodeGifLzw(stored, frame.MinCodeSize);
  }
  out.push_back('\x3B');
  return out;
}

} // namespace qx::test
