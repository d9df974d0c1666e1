// The authoring side of the picture container: builds ".qxgfx" bytes.
#pragma once

#include <cstdint>
#include <string>

namespace qx {

// The container bytes for a picture: fields "File" (fileName), "Width",
// "Height", "OriginalSize", and `bmpBytes` (a BMP file, see WriteBmp)
// compressed as raw deflate.
std::string WriteQxGfx(const std::string& fileName, int width, int height, int64_t originalSize,
                       const std::string& bmpBytes);

} // namespace qx
