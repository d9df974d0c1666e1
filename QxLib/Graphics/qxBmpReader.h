// The BMP/DIB reader, used by the BMP loader and inside the picture
// container.
#pragma once

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/qxStream.h"

#include <memory>
#include <string>

namespace qx {

// Reads a BMP file at the stream position. Supports 1, 4, 8 bits with a
// palette (giving Bgr24), RLE8 and RLE4, 16 bits (X1R5G5B5, or bit fields
// 5-5-5 / 5-6-5), 24 bits (Bgr24) and 32 bits (Bgra32), bottom-up and
// top-down. Returns nullptr with the stream position restored for anything
// it does not accept (wrong magic, odd header values, unsupported bit-field
// masks, data shorter than the header promises). Raises EPictureTooLarge for
// a picture over the size limits, also with the position restored.
std::unique_ptr<TBitmap> ReadBmp(TStream& stream);

// The loader of the registry: a TWrapperBitmapStore around ReadBmp's bitmap.
TRefPtr<TBitmapStore> LoadBmpPicture(TStream& stream, const std::string& fileName,
                                     std::unique_ptr<TStream>& ownedStream, const TProgressCallback& progress);

// Writes `bitmap` as an uncompressed bottom-up BMP file: Bgr24 as 24 bits,
// Bgra32 as 32 bits, X1R5G5B5 as 16 bits, R5G6B5 as 16 bits with bit
// fields, Gray8 as 8 bits with a grey palette.
std::string WriteBmp(const TBitmap& bitmap);

} // namespace qx
