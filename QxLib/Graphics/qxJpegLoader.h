// JPEG pictures through libjpeg: levels 0 to 3 come straight from the
// decoder's DCT scaling (1/1, 1/2, 1/4, 1/8).
#pragma once

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/qxStream.h"

#include <memory>
#include <string>

namespace qx {

// Facts from a JPEG header.
struct TJpegInfo {
  int Width = 0;
  int Height = 0;
  int Components = 0;
  bool Grey = false;
};

// Reads the header of JPEG bytes; false for anything libjpeg refuses or a
// zero width or height.
bool ReadJpegInfo(const std::string& bytes, TJpegInfo& info);

// Decodes JPEG bytes at scale 1 / 2^level (level 0 .. 3) into `format`,
// Bgr24 or Bgra32 (opaque); grey-scale pictures are expanded, CMYK pictures
// converted. Raises EQxError with libjpeg's message on damaged data.
// `progress` receives fractions as described for the store.
TBitmap DecodeJpeg(const std::string& bytes, int level, const TProgressCallback& progress = {},
                   TPixelFormat format = TPixelFormat::Bgr24);

class TJpegBitmapStore : public TSysBitmapStore {
public:
  TJpegBitmapStore(std::string fileName, std::string bytes, const TJpegInfo& info);
  const char* ClassName() const override { return "TJpegBitmapStore"; }
  bool IsGrey() const { return m_info.Grey; }

protected:
  // Levels 0 to 3; the halving rule of the base gives the same sizes as
  // the decoder's scaling (rounded up).
  std::unique_ptr<TBitmap> DecodeLevel(int level) override;
  // Textures are 32-bit: libjpeg writes those pixels directly, which saves
  // a conversion pass over the whole level.
  std::unique_ptr<TBitmap> DecodeLevelAs(int level, TPixelFormat wanted) override;

private:
  std::string m_bytes;
  TJpegInfo m_info;
};

// The loader of the registry: keeps a copy of the compressed bytes.
TRefPtr<TBitmapStore> LoadJpegPicture(TStream& stream, const std::string& fileName,
                                      std::unique_ptr<TStream>& ownedStream, const TProgressCallback& progress);

} // namespace qx
