// The player's own picture container (".qxgfx"): a few text fields and a raw
// deflate stream holding a BMP file. Pictures that the player does not decode
// itself (PNG button images) are converted into it when the show is built.
//
// Layout, little-endian: "QXGF"; uint16 field count; per field a name and a
// value, each a uint16 byte length and UTF-8 bytes; then the raw deflate
// payload to the end of the stream. Required fields: "File", "Width",
// "Height", "OriginalSize" (decimal integers).
#pragma once

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/qxStream.h"

#include <memory>
#include <string>

namespace qx {

// A container picture: Width x Height, Bgra32, level 0 only. The payload is
// inflated and decoded at the first level-0 request and then released; a
// payload that fails to inflate or decode gives an opaque green picture of
// the declared size instead of an error.
class TGfxBitmapStore : public TSysBitmapStore {
public:
  TGfxBitmapStore(std::string fileName, int width, int height, std::string sourceName, int64_t originalSize,
                  std::string compressed);
  const char* ClassName() const override { return "TGfxBitmapStore"; }

  // The "File" and "OriginalSize" fields.
  const std::string& SourceName() const { return m_sourceName; }
  int64_t OriginalSize() const { return m_originalSize; }

protected:
  std::unique_ptr<TBitmap> DecodeLevel(int level) override;

private:
  std::string m_sourceName;
  int64_t m_originalSize;
  std::string m_compressed;
};

// The loader of the registry. Rejects (nullptr, position restored) a stream
// without the magic, with a missing or non-numeric required field, with a
// size over the limits, or with fewer payload bytes than the stream claims.
TRefPtr<TBitmapStore> LoadGfxContainer(TStream& stream, const std::string& fileName,
                                       std::unique_ptr<TStream>& ownedStream, const TProgressCallback& progress);

} // namespace qx
