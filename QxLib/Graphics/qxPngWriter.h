// Writing bitmaps as PNG files (through libpng), for the tools that let
// people look at decoded and generated pictures.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxStream.h"

#include <string>

namespace qx {

// How hard the compressor works: Small is zlib's default level with
// libpng's choice of row filters; Fast (for frame sequences, where the
// writer must keep up with the renderer) is level 1 with one cheap filter,
// about three times quicker for files a third larger.
enum class TPngEffort { Small, Fast };

// The PNG file of `bitmap`: Bgra32 becomes 8-bit RGBA, Gray8 8-bit grey,
// every other format 8-bit RGB. An empty bitmap or a libpng failure raises
// EQxError "PNG write error: ...".
std::string EncodePng(const TBitmap& bitmap, TPngEffort effort = TPngEffort::Small);

// Writes EncodePng(bitmap) to the stream.
void WritePng(const TBitmap& bitmap, TStream& stream);

// Writes EncodePng(bitmap, effort) to a new file at `path` (replaced when
// it exists); raises the file stream's error when it cannot be created.
void WritePngFile(const TBitmap& bitmap, const std::string& path, TPngEffort effort = TPngEffort::Small);

} // namespace qx
