#include "QxLib/Graphics/qxBitmapStore.h"

#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/Graphics/qxBitmapOrientation.h"
#include "QxLib/Graphics/qxMipFilter.h"

#include <atomic>
#include <utility>

namespace qx {

std::shared_ptr<const TBitmap> TLevelCache::Find(TPixelFormat format) const {
  for (const auto& bitmap : Bitmaps)
    if (format == TPixelFormat::None || bitmap->Format() == format)
      return bitmap;
  return nullptr;
}

TBitmapStore::TBitmapStore(std::string fileName, int width, int height, TPixelFormat format)
    : m_fileName(std::move(fileName)), m_width(width), m_height(height), m_format(format) {
  static std::atomic<uint64_t> lastId{0};
  m_id = ++lastId;
  m_levels.reserve(4);
}

int TBitmapStore::Width() const { return OrientationSwapsSides(m_orientation) ? m_height : m_width; }
int TBitmapStore::Height() const { return OrientationSwapsSides(m_orientation) ? m_width : m_height; }

int TBitmapStore::StoredLevelWidth(int level) const {
  int w = m_width;
  for (int i = 0; i < level; ++i)
    w = (w + 1) / 2;
  return w;
}

int TBitmapStore::StoredLevelHeight(int level) const {
  int h = m_height;
  for (int i = 0; i < level; ++i)
    h = (h + 1) / 2;
  return h;
}

int TBitmapStore::LevelWidth(int level) const {
  return OrientationSwapsSides(m_orientation) ? StoredLevelHeight(level) : StoredLevelWidth(level);
}

int TBitmapStore::LevelHeight(int level) const {
  return OrientationSwapsSides(m_orientation) ? StoredLevelWidth(level) : StoredLevelHeight(level);
}

void TBitmapStore::SetPostProcess(TPostProcessCallback callback) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_postProcess = std::move(callback);
}

void TBitmapStore::SetProgressCallback(TProgressCallback callback) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_progress = std::move(callback);
}

void TBitmapStore::SetOrientation(int orientation) {
  std::lock_guard<std::mutex> lock(m_lock);
  QX_ASSERT(m_levels.empty(), "TSysBitmapStore.SetOrientation after decoding");
  m_orientation = orientation;
}

void TBitmapStore::ReportProgress(double fraction) const {
  if (m_progress)
    m_progress(fraction);
}

std::shared_ptr<const TBitmap> TBitmapStore::GetMipLevel(int level, TPixelFormat format) {
  QX_ASSERT(level >= 0, "TSysBitmapStore.GetMipLevel - Index<0");
  std::lock_guard<std::mutex> lock(m_lock);
  return LevelLocked(level, format);
}

std::shared_ptr<const TBitmap> TBitmapStore::LevelLocked(int level, TPixelFormat format) {
  if (static_cast<size_t>(level) >= m_levels.size()) {
    size_t capacity = std::max<size_t>(m_levels.capacity(), 4);
    while (capacity <= static_cast<size_t>(level))
      capacity *= 2;
    m_levels.reserve(capacity);
    m_levels.resize(static_cast<size_t>(level) + 1);
  }
  if (auto cached = m_levels[static_cast<size_t>(level)].Find(format))
    return cached;

  if (m_levels[static_cast<size_t>(level)].Bitmaps.empty()) {
    std::unique_ptr<TBitmap> produced = DecodeLevelAs(level, format);
    bool direct = produced != nullptr;
    if (!produced) {
      if (level == 0)
        throw EQxError(std::string(ClassName()) + ".GetMipLevel(0): the decoder produced no bitmap for \"" +
                       m_fileName + "\"");
      const auto above = LevelLocked(level - 1, TPixelFormat::None);
      produced = std::make_unique<TBitmap>(HalveBitmap(*above, HasAlpha(m_format)));
    } else if (m_orientation != 1) {
      produced = std::make_unique<TBitmap>(ApplyOrientation(*produced, m_orientation));
    }
    if (m_postProcess)
      m_postProcess(*produced, level);
    TLevelCache& cache = m_levels[static_cast<size_t>(level)];
    cache.Direct = direct;
    cache.Bitmaps.push_back(std::shared_ptr<const TBitmap>(std::move(produced)));
    if (auto made = cache.Find(format))
      return made;
  }

  TLevelCache& cache = m_levels[static_cast<size_t>(level)];
  auto converted = std::make_shared<const TBitmap>(ConvertBitmap(*cache.Bitmaps.front(), format));
  cache.Bitmaps.push_back(converted);
  return converted;
}

std::unique_ptr<TBitmap> TBitmapStore::DecodeLevelAs(int level, TPixelFormat) { return DecodeLevel(level); }

TWrapperBitmapStore::TWrapperBitmapStore(std::string fileName, std::unique_ptr<TBitmap> bitmap)
    : TSysBitmapStore(std::move(fileName), bitmap->Width(), bitmap->Height(), bitmap->Format()),
      m_bitmap(std::move(bitmap)) {}

std::unique_ptr<TBitmap> TWrapperBitmapStore::DecodeLevel(int level) {
  if (level != 0)
    return nullptr;
  QX_ASSERT(m_bitmap != nullptr, "TWrapperBitmapStore.DecodeLevel - bitmap already handed out");
  return std::move(m_bitmap);
}

} // namespace qx
