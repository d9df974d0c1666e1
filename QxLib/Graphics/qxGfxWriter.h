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

// Raw deflate (no header, 15-bit window) and its inverse, as the container
// uses them. InflateRawLimited raises EQxError on damaged data or when the
// output would exceed maxOutput bytes.
std::string DeflateRawBytes(const std::string& data);
std::string InflateRawLimited(const std::string& data, int64_t maxOutput);

} // namespace qx
