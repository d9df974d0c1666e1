#include "VmoLib2/VmoClasses/qxVmoTextProducer.h"

#include "QxLib/VectorGraphics/qxPackedBytes.h"
#include "QxLib/VectorGraphics/qxSimpleVectorText.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/qxTextNames.h"

namespace qx {

namespace {

// A text picture drawn when its pixels are first asked for; it keeps the
// layout it is drawn from. The whole text is always drawn: a picture cut
// short by a cancel would stay in the store.
class TTextBitmapStore : public TSysBitmapStore {
public:
  TTextBitmapStore(std::string name, std::shared_ptr<const TVectorText> text, TTextParams params,
                   const TTextPlacement& placement)
      : TSysBitmapStore(std::move(name), placement.BitmapWidth, placement.BitmapHeight, TPixelFormat::Bgra32),
        m_text(std::move(text)), m_params(std::move(params)) {}
  const char* ClassName() const override { return "TTextBitmapStore"; }

protected:
  std::unique_ptr<TBitmap> DecodeLevel(int level) override {
    if (level != 0)
      return nullptr;
    return std::make_unique<TBitmap>(ProduceTextBitmap(*m_text, m_params));
  }

private:
  std::shared_ptr<const TVectorText> m_text;
  TTextParams m_params;
};

} // namespace

TGlyphOutlineSource& InstalledFonts() {
  static const std::unique_ptr<TGlyphOutlineSource> source = CreateInstalledFontSource();
  return *source;
}

TVmoTextProducer::TVmoTextProducer(TEntryOpener opener, std::shared_ptr<TFontCache> fonts, TGlyphOutlineSource* runtime)
    : m_opener(std::move(opener)), m_fonts(std::move(fonts)), m_runtime(runtime) {}

std::optional<std::string> TVmoTextProducer::ReadEntry(const std::string& name) {
  const std::unique_ptr<TStream> stream = m_opener ? m_opener(name) : nullptr;
  if (!stream)
    return std::nullopt;
  const int64_t size = stream->GetSize();
  if (size > kMaxEntryBytes)
    throw EVectorTextError(name + ": entry too large (" + std::to_string(size) + " bytes)");
  std::string bytes = stream->ReadAll();
  if (static_cast<int64_t>(bytes.size()) > kMaxEntryBytes)
    throw EVectorTextError(name + ": entry too large");
  return bytes;
}

void TVmoTextProducer::LoadPackedFont(const std::string& fontName) {
  if (m_fonts->PackedLookedUp(fontName))
    return;
  const std::optional<std::string> bytes = ReadEntry(std::string(kGlyphCachePrefix) + fontName);
  if (!bytes) {
    m_fonts->MarkPackedMissing(fontName);
    return;
  }
  m_fonts->AddPacked(fontName, *TGlyphCache::Read(*bytes));
}

std::shared_ptr<const TVectorText> TVmoTextProducer::Layout(const std::string& fontName, uint32_t style,
                                                            const std::vector<std::string>& lines) {
  const std::string name = TextLayoutName(fontName, style, lines);
  const std::lock_guard lock(m_lock);
  std::erase_if(m_layouts, [](const auto& entry) { return entry.second.expired(); });
  if (const auto found = m_layouts.find(name); found != m_layouts.end())
    if (std::shared_ptr<const TVectorText> layout = found->second.lock())
      return layout;

  std::shared_ptr<const TVectorText> layout;
  if (const std::optional<std::string> bytes = ReadEntry(name)) {
    layout = TCachedVectorText::Read(*bytes, m_fonts, [this](const std::string& font) { LoadPackedFont(font); });
  } else {
    if (!m_runtime)
      throw EQxError("No layout for " + name + " and no installed fonts");
    layout = std::make_shared<TSimpleVectorText>(*m_runtime, FontRequestOf(fontName, style), lines, m_fonts);
  }
  m_layouts[name] = layout;
  return layout;
}

TRefPtr<TBitmapStore> TVmoTextProducer::OpenPicture(const std::string& name) {
  std::optional<TTextPictureRequest> request = ParseTextPictureName(name);
  if (!request)
    return {};
  std::shared_ptr<const TVectorText> text = Layout(request->Params.FontName, request->Params.Style, request->Lines);
  const TTextPlacement placement = PlaceText(*text, request->Params);
  CheckPictureSize(placement.BitmapWidth, placement.BitmapHeight, TPixelFormat::Bgra32);
  return MakeRef<TTextBitmapStore>(name, std::move(text), std::move(request->Params), placement);
}

} // namespace qx
