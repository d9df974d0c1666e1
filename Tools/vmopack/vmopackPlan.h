// What vmopack pack is going to write, built from the manifest line by line
// before any output is made. Methods that convert their file (qxgfx) add
// entries made in memory and FileMap lines for the project text.
#pragma once

#include "QxLib/VectorGraphics/qxGlyphCache.h"
#include "Tools/vmopack/vmopackManifest.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qx::vmopack {

// One entry to be written: the bytes of a local file, or bytes made while
// planning, under a storage method.
struct TPlannedEntry {
  std::string name;
  uint8_t method = 0;
  std::string localFile;
  std::optional<std::string> bytes;
};

struct TPackPlan {
  std::vector<TPlannedEntry> entries;
  // (original name, converted entry name) pairs for the project's FileMap.
  std::vector<std::pair<std::string, std::string>> fileMap;
  // The glyphs the "text" lines used, written as glyph caches at the end.
  std::shared_ptr<TFontCache> fonts;
};

// The manifest method "qxgfx": decodes the local picture (PNG through the
// picture library, or any picture the player's loaders read), stores it as
// a ".qxgfx" container entry named after the original with ".qxgfx"
// appended, and maps the original name to it. Raises EQxError naming the
// manifest line when the picture cannot be decoded.
void PlanQxGfx(TPackPlan& plan, const TManifestLine& line);

// The manifest method "text": `text | <font name>:<style words> | <line>^&
// <line>...` lays the lines out with the installed font and adds their
// layout ("VectTxt2: ...", the name a text object with that font, style and
// lines looks up). Raises EQxError naming the line when no font exists.
void PlanText(TPackPlan& plan, const TManifestLine& line);
// Adds one "VectTextCache: " entry per font the text lines used.
void PlanGlyphCaches(TPackPlan& plan);

// The project text with one FileMap comment line `;"name"="target"` per
// pair added at the end of the "FileMap" section (made when missing).
// Raises EQxError when the text is not a readable project.
std::string AddFileMapLines(const std::string& projectText,
                            const std::vector<std::pair<std::string, std::string>>& fileMap);

} // namespace qx::vmopack
