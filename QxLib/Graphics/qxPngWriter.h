// Writing bitmaps as PNG files (through libpng), for the tools that let
// people look at decoded and generated pictures.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxStream.h"

#include <string>

namespace qx {

// The PNG file of `bitmap`: Bgra32 becomes 8-bit RGBA, Gray8 8-bit grey,
// every other format 8-bit RGB. An empty bitmap or a libpng failure raises
// EQxError "PNG write error: ...".
std::string EncodePng(const TBitmap& bitmap);

// Writes EncodePng(bitmap) to the stream.
void WritePng(const TBitmap& bitmap, TStream& stream);

// Writes EncodePng(bitmap) to a new file at `path` (replaced when it exists);
// raises the file stream's error when it cannot be created.
void WritePngFile(const TBitmap& bitmap, const std::string& path);

} // namespace qx
