#include "QxLib/VectorGraphics/qxGlyphCache.h"

#include "QxLib/VectorGraphics/qxPackedBytes.h"

namespace qx {

namespace {

// uint16 index, five int32, float32 size, int32 point count.
constexpr size_t kGlyphRecordBytes = 2 + 5 * 4 + 4 + 4;
// float32 x, float32 y, int32 kind.
constexpr size_t kPointBytes = 12;

bool KnownOutlineKind(int32_t kind) { return kind >= kPathMove && kind <= kPathCubic; }

} // namespace

// --- TGlyphCache ------------------------------------------------------------

std::shared_ptr<const TGlyphData> TGlyphCache::Find(uint16_t index) const {
  const std::lock_guard lock(m_lock);
  const auto found = m_glyphs.find(index);
  return found == m_glyphs.end() ? nullptr : found->second;
}

void TGlyphCache::Add(TGlyphData glyph) {
  auto data = std::make_shared<const TGlyphData>(std::move(glyph));
  const std::lock_guard lock(m_lock);
  m_glyphs.emplace(data->Index, std::move(data));
}

void TGlyphCache::Merge(const TGlyphCache& other) {
  if (&other == this)
    return;
  for (const auto& glyph : other.Glyphs()) {
    const std::lock_guard lock(m_lock);
    m_glyphs.emplace(glyph->Index, glyph);
  }
}

size_t TGlyphCache::Count() const {
  const std::lock_guard lock(m_lock);
  return m_glyphs.size();
}

std::vector<std::shared_ptr<const TGlyphData>> TGlyphCache::Glyphs() const {
  const std::lock_guard lock(m_lock);
  std::vector<std::shared_ptr<const TGlyphData>> glyphs;
  glyphs.reserve(m_glyphs.size());
  for (const auto& [index, glyph] : m_glyphs)
    glyphs.push_back(glyph);
  return glyphs;
}

std::shared_ptr<TGlyphCache> TGlyphCache::Read(std::string_view bytes) {
  TPackedReader in(bytes, "VectTextCache");
  const int32_t count = in.Count("glyph count", kMaxGlyphs, 0);
  const int32_t nameLength = in.Count("font name length", kMaxFontNameLength, 2);
  auto cache = std::make_shared<TGlyphCache>(in.Utf16(nameLength));
  if (static_cast<size_t>(count) > in.Remaining() / kGlyphRecordBytes)
    in.Fail("glyph count " + std::to_string(count) + " exceeds the entry (" + std::to_string(in.Remaining()) +
            " bytes left)");
  for (int32_t g = 0; g < count; ++g) {
    TGlyphData glyph;
    glyph.Index = in.UInt16();
    glyph.A = in.Int32();
    glyph.B = in.Int32();
    glyph.C = in.Int32();
    glyph.InkAscent = in.Int32();
    glyph.InkDescent = in.Int32();
    glyph.ReferenceSize = in.Float();
    if (!(glyph.ReferenceSize > 0))
      in.Fail("glyph " + std::to_string(glyph.Index) + " has reference size " + std::to_string(glyph.ReferenceSize));
    const int32_t points = in.Count("point count", kMaxPoints, kPointBytes);
    glyph.Points.resize(static_cast<size_t>(points));
    for (TPathPoint& point : glyph.Points) {
      point.X = in.Float();
      point.Y = in.Float();
      point.Kind = in.Int32();
      if (!KnownOutlineKind(point.Kind))
        in.Fail("glyph " + std::to_string(glyph.Index) + " has a point of kind " + std::to_string(point.Kind));
    }
    if (!glyph.Points.empty() && glyph.Points.front().Kind != kPathMove)
      in.Fail("glyph " + std::to_string(glyph.Index) + " does not start with a contour start");
    cache->Add(std::move(glyph));
  }
  return cache;
}

std::string TGlyphCache::Write() const {
  const auto glyphs = Glyphs();
  TPackedWriter out;
  out.Int32(static_cast<int32_t>(glyphs.size()));
  out.Utf16WithLength(m_fontName);
  for (const auto& glyph : glyphs) {
    out.UInt16(glyph->Index);
    out.Int32(glyph->A);
    out.Int32(glyph->B);
    out.Int32(glyph->C);
    out.Int32(glyph->InkAscent);
    out.Int32(glyph->InkDescent);
    out.Float(glyph->ReferenceSize);
    out.Int32(static_cast<int32_t>(glyph->Points.size()));
    for (const TPathPoint& point : glyph->Points) {
      out.Float(point.X);
      out.Float(point.Y);
      out.Int32(point.Kind);
    }
  }
  return out.Take();
}

// --- TFontCache -------------------------------------------------------------

std::shared_ptr<TFontCache> TFontCache::ForIdentity(const std::string& identity) {
  static std::mutex lock;
  static std::map<std::string, std::weak_ptr<TFontCache>> caches;
  const std::lock_guard guard(lock);
  std::erase_if(caches, [](const auto& entry) { return entry.second.expired(); });
  std::weak_ptr<TFontCache>& entry = caches[identity];
  std::shared_ptr<TFontCache> cache = entry.lock();
  if (!cache) {
    cache = std::make_shared<TFontCache>();
    entry = cache;
  }
  return cache;
}

std::shared_ptr<TGlyphCache> TFontCache::Find(const std::string& fontName) const {
  const std::lock_guard lock(m_lock);
  const auto found = m_caches.find(fontName);
  return found == m_caches.end() ? nullptr : found->second;
}

std::shared_ptr<TGlyphCache> TFontCache::Acquire(const std::string& fontName) {
  const std::lock_guard lock(m_lock);
  auto& cache = m_caches[fontName];
  if (!cache)
    cache = std::make_shared<TGlyphCache>(fontName);
  return cache;
}

void TFontCache::AddPacked(const std::string& fontName, const TGlyphCache& packed) {
  Acquire(fontName)->Merge(packed);
  const std::lock_guard lock(m_lock);
  m_packedLooked[fontName] = true;
}

bool TFontCache::PackedLookedUp(const std::string& fontName) const {
  const std::lock_guard lock(m_lock);
  return m_packedLooked.contains(fontName);
}

void TFontCache::MarkPackedMissing(const std::string& fontName) {
  const std::lock_guard lock(m_lock);
  m_packedLooked.emplace(fontName, false);
}

void TFontCache::Clear() {
  const std::lock_guard lock(m_lock);
  m_caches.clear();
  m_packedLooked.clear();
}

std::vector<std::shared_ptr<TGlyphCache>> TFontCache::Caches() const {
  const std::lock_guard lock(m_lock);
  std::vector<std::shared_ptr<TGlyphCache>> caches;
  for (const auto& [name, cache] : m_caches)
    caches.push_back(cache);
  return caches;
}

} // namespace qx
