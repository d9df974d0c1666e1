// Finds installed font files through fontconfig: the face that best matches
// a font name and style, and the fallback faces that cover characters the
// chosen face lacks.
#pragma once

#include "QxLib/VectorGraphics/qxGlyphOutlineSource.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace qx {

// One face of an installed font file, with the style the file cannot give
// itself and the renderer adds (a bold request answered by a regular face).
struct TFontFile {
  std::string Path;
  int32_t Index = 0;
  bool Embolden = false;
  bool Oblique = false;
  bool operator<(const TFontFile& other) const {
    return std::tie(Path, Index, Embolden, Oblique) < std::tie(other.Path, other.Index, other.Embolden, other.Oblique);
  }
  bool operator==(const TFontFile&) const = default;
};

// Not thread-safe; the outline source serialises its calls.
class TFontMatcher {
public:
  TFontMatcher();
  ~TFontMatcher();
  TFontMatcher(const TFontMatcher&) = delete;
  TFontMatcher& operator=(const TFontMatcher&) = delete;

  // The installed outline face closest to the request (fontconfig's best
  // match: a missing family gives the default sans-serif face). Raises
  // EQxError when fontconfig finds no font file at all. Answers are kept.
  TFontFile Match(const TFontRequest& request);
  // The first outline face in fontconfig's preference order for the request
  // that has a glyph for `c`, or none.
  std::optional<TFontFile> Fallback(const TFontRequest& request, char32_t c);

private:
  struct TSortedSet;
  TSortedSet& SortedFor(const TFontRequest& request);

  TFontFile FindMatch(const TFontRequest& request);

  std::map<std::string, std::unique_ptr<TSortedSet>> m_sorted;
  std::map<std::string, TFontFile> m_matches;
};

} // namespace qx
