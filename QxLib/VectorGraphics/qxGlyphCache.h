// Glyph outlines per font: the glyph data of one font (`TGlyphCache`), its
// packed form ("VectTextCache: " entries), and the process-wide font cache
// that maps font names to glyph caches.
#pragma once

#include "QxLib/VectorGraphics/qxRasterizerUtils.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The prefix of packed glyph caches; the font name follows.
inline constexpr std::string_view kGlyphCachePrefix = "VectTextCache: ";

// Font metrics in layout units (the font size the layout was made at).
// Underline and strike-out positions are the centres of their strokes,
// measured upwards from the baseline.
struct TFontMetrics {
  int32_t Ascent = 0;
  int32_t Descent = 0;
  float UnderlinePosition = 0;
  float UnderlineThickness = 0;
  float StrikeOutPosition = 0;
  float StrikeOutThickness = 0;
  bool operator==(const TFontMetrics&) const = default;
};

// One glyph's outline and metrics at its reference size. The outline uses
// the path kinds 0 … 3 with y pointing down; contours are closed.
struct TGlyphData {
  uint16_t Index = 0;
  float ReferenceSize = 0;
  // Space before the ink, ink width, space after the ink.
  int32_t A = 0;
  int32_t B = 0;
  int32_t C = 0;
  int32_t InkAscent = 0;
  int32_t InkDescent = 0;
  TPath Points;
  bool operator==(const TGlyphData&) const = default;
};

// The glyph data of one font, looked up by glyph index. Safe to read while
// another thread adds glyphs.
class TGlyphCache {
public:
  // Limits of the packed form: more glyphs than a font can index, or more
  // points than any real glyph has, mark a damaged entry.
  static constexpr int32_t kMaxGlyphs = 65536;
  static constexpr int32_t kMaxPoints = 1 << 20;
  static constexpr int32_t kMaxFontNameLength = 1024;

  explicit TGlyphCache(std::string fontName) : m_fontName(std::move(fontName)) {}

  const std::string& FontName() const { return m_fontName; }
  // The glyph, or none.
  std::shared_ptr<const TGlyphData> Find(uint16_t index) const;
  bool Contains(uint16_t index) const { return Find(index) != nullptr; }
  // Adds a glyph unless one with its index is already there.
  void Add(TGlyphData glyph);
  // Adds the glyphs of `other` that this cache lacks.
  void Merge(const TGlyphCache& other);
  size_t Count() const;
  // All glyphs in index order.
  std::vector<std::shared_ptr<const TGlyphData>> Glyphs() const;

  // Reads a packed glyph cache (the bytes of a "VectTextCache: " entry).
  // Every count is checked against the bytes left; a damaged entry raises
  // EVectorTextError "VectTextCache: ...".
  static std::shared_ptr<TGlyphCache> Read(std::string_view bytes);
  // The packed form: exactly the fields Read reads, glyphs in index order.
  std::string Write() const;

private:
  std::string m_fontName;
  mutable std::mutex m_lock;
  std::map<uint16_t, std::shared_ptr<const TGlyphData>> m_glyphs;
};

// Font name → glyph cache.
class TFontCache {
public:
  // The font cache of a package identity (its "ExeGUID"): every slide host
  // of the same show shares it for as long as one holds it, and two shows
  // never mix their fonts.
  static std::shared_ptr<TFontCache> ForIdentity(const std::string& identity);

  std::shared_ptr<TGlyphCache> Find(const std::string& fontName) const;
  // The glyph cache of that font, made empty when missing.
  std::shared_ptr<TGlyphCache> Acquire(const std::string& fontName);
  // Merges a glyph cache read from the package entry of a font and
  // remembers that the entry has been looked up.
  void AddPacked(const std::string& fontName, const TGlyphCache& packed);
  // Notes that a font's packed entry was looked for and is missing.
  void MarkPackedMissing(const std::string& fontName);
  // Whether the package was already asked for the font's packed entry;
  // glyphs vectorised at run time do not count.
  bool PackedLookedUp(const std::string& fontName) const;
  void Clear();
  // All glyph caches, by font name.
  std::vector<std::shared_ptr<TGlyphCache>> Caches() const;

private:
  mutable std::mutex m_lock;
  std::map<std::string, std::shared_ptr<TGlyphCache>> m_caches;
  std::map<std::string, bool> m_packedLooked;
};

} // namespace qx
