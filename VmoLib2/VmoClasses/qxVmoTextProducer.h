// The slide host's text producer: finds the laid-out glyphs of a text in
// the package ("VectTxt2: " with the fonts' "VectTextCache: " entries) or
// lays the text out from the installed fonts, and makes the pictures that
// "Text: " names stand for.
#pragma once

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/VectorGraphics/qxGlyphOutlineSource.h"
#include "QxLib/VectorGraphics/qxTextProducer.h"
#include "QxLib/VectorGraphics/qxVectorText.h"
#include "QxLib/qxStream.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qx {

// Opens a package entry by name; none when the package has no such entry.
using TEntryOpener = std::function<std::unique_ptr<TStream>(const std::string& name)>;

// The glyph-outline source of the installed fonts shared by the process.
TGlyphOutlineSource& InstalledFonts();

class TVmoTextProducer {
public:
  // Packed glyph caches and layouts larger than this are refused.
  static constexpr int64_t kMaxEntryBytes = int64_t{64} << 20;

  TVmoTextProducer(TEntryOpener opener, std::shared_ptr<TFontCache> fonts,
                   TGlyphOutlineSource* runtime = &InstalledFonts());

  // The laid-out glyphs of a text: the package's layout when it has one,
  // else the text laid out at run time. A text shown by several objects is
  // laid out once while any of them holds it. Raises EQxError (or
  // EVectorTextError for a damaged entry) when neither works.
  std::shared_ptr<const TVectorText> Layout(const std::string& fontName, uint32_t style,
                                            const std::vector<std::string>& lines);

  // The picture of a "Text: " name, drawn when its pixels are first asked
  // for; none when the name is not a valid text name. Raises like Layout.
  TRefPtr<TBitmapStore> OpenPicture(const std::string& name);

  TFontCache& Fonts() { return *m_fonts; }

private:
  // The bytes of a package entry, or none when the package lacks it.
  std::optional<std::string> ReadEntry(const std::string& name);
  void LoadPackedFont(const std::string& fontName);

  TEntryOpener m_opener;
  std::shared_ptr<TFontCache> m_fonts;
  TGlyphOutlineSource* m_runtime;
  std::mutex m_lock;
  std::map<std::string, std::weak_ptr<const TVectorText>> m_layouts;
};

} // namespace qx
