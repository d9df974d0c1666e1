// Bitmap stores: decoded-on-demand pictures that know their size and pixel
// format at once and produce pixels per mip level when asked, caching every
// level in each format asked for.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/Graphics/qxBitmapTags.h"
#include "QxLib/qxRefCounted.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qx {

// Progress of a decode as a fraction 0 .. 1.
using TProgressCallback = std::function<void(double fraction)>;

// Applied to each newly produced level bitmap (decoded or halved), before it
// is cached; receives the level index.
using TPostProcessCallback = std::function<void(TBitmap& bitmap, int level)>;

// The bitmaps produced for one mip level, one per format asked for.
struct TLevelCache {
  std::vector<std::shared_ptr<const TBitmap>> Bitmaps;
  // The level's first bitmap came from the decoder, not from halving.
  bool Direct = false;

  std::shared_ptr<const TBitmap> Find(TPixelFormat format) const;
};

class TBitmapStore : public TRefCounted {
public:
  const std::string& FileName() const { return m_fileName; }
  // Size of level 0 as shown (after the orientation turn).
  int Width() const;
  int Height() const;
  TPixelFormat PixelFormat() const { return m_format; }

  // Level `level` in `format` (None: the format the level was produced in).
  // Runs under the store's lock: the level comes from the cache, else from
  // the decoder, else by halving level - 1 (see HalveBitmap); other formats
  // are converted from the level's first bitmap and cached too.
  // Raises EAssertionFailed "TSysBitmapStore.GetMipLevel - Index<0" for a
  // negative level, EQxError naming the class and "GetMipLevel(" when the
  // decoder gives nothing for level 0, and the conversion's assertion for a
  // format that cannot be made.
  std::shared_ptr<const TBitmap> GetMipLevel(int level, TPixelFormat format = TPixelFormat::None);

  // The size a level has without decoding it.
  int LevelWidth(int level) const;
  int LevelHeight(int level) const;

  void SetPostProcess(TPostProcessCallback callback);
  void SetProgressCallback(TProgressCallback callback);

  // EXIF orientation (see qxBitmapOrientation.h) applied to every decoded
  // level; Width and Height report the turned size. Set it before the first
  // level is asked for (later is an assertion).
  void SetOrientation(int orientation);
  int Orientation() const { return m_orientation; }

  TTagList& Tags() { return m_tags; }
  const TTagList& Tags() const { return m_tags; }

  // A number no other store of the process carries; caches kept outside
  // the store (the drawer's textures) are keyed on it.
  uint64_t Id() const { return m_id; }
  // Expires when the store is destroyed, so that such caches can tell
  // their entry is stale and free it on their own thread.
  std::weak_ptr<const void> LifeToken() const { return m_lifeToken; }

  // The class name used in messages ("TJpegBitmapStore", ...).
  virtual const char* ClassName() const = 0;

protected:
  TBitmapStore(std::string fileName, int width, int height, TPixelFormat format);
  ~TBitmapStore() override = default;

  // Decodes level `level` as stored in the file (before the orientation
  // turn). Returns nullptr when the decoder does not serve that level
  // directly; for level 0 nullptr is a failure. May raise. Called with the
  // store's lock held, so implementations need no locking of their own.
  virtual std::unique_ptr<TBitmap> DecodeLevel(int level) = 0;
  // DecodeLevel for a caller that asked for `wanted` (None: any format). A
  // decoder that can write that format directly may return it instead of
  // its own; the level then keeps it as its first bitmap. By default the
  // level is decoded as stored and converted afterwards.
  virtual std::unique_ptr<TBitmap> DecodeLevelAs(int level, TPixelFormat wanted);

  // Reports decode progress to the store's progress callback, if any.
  void ReportProgress(double fraction) const;

  // Size of a level as stored (before the orientation turn): level 0 is the
  // store's size, each further level ((w + 1) / 2) x ((h + 1) / 2).
  virtual int StoredLevelWidth(int level) const;
  virtual int StoredLevelHeight(int level) const;

private:
  std::shared_ptr<const TBitmap> LevelLocked(int level, TPixelFormat format);

  std::string m_fileName;
  int m_width;
  int m_height;
  TPixelFormat m_format;
  int m_orientation = 1;
  TPostProcessCallback m_postProcess;
  TProgressCallback m_progress;
  TTagList m_tags;
  std::vector<TLevelCache> m_levels;
  std::mutex m_lock;
  uint64_t m_id;
  std::shared_ptr<const int> m_lifeToken = std::make_shared<const int>(0);
};

// The base of the stores of the built-in decoders: holds name, size and
// format and serves the levels the subclass decodes.
class TSysBitmapStore : public TBitmapStore {
public:
  const char* ClassName() const override { return "TSysBitmapStore"; }

protected:
  using TBitmapStore::TBitmapStore;
};

// Wraps a bitmap already decoded in memory (BMP, GIF): serves it as level 0.
class TWrapperBitmapStore : public TSysBitmapStore {
public:
  TWrapperBitmapStore(std::string fileName, std::unique_ptr<TBitmap> bitmap);
  const char* ClassName() const override { return "TWrapperBitmapStore"; }

protected:
  std::unique_ptr<TBitmap> DecodeLevel(int level) override;

private:
  std::unique_ptr<TBitmap> m_bitmap;
};

} // namespace qx
