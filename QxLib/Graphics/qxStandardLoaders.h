// The built-in picture loaders and their registration order.
#pragma once

#include "QxLib/Graphics/qxImage.h"

namespace qx {

// Registers, in this order: the container loader (".qxgfx", ".bmp", ".dib",
// ".png", ".gif"), the BMP loader (".bmp", ".dib"), the JPEG loader (".jpg",
// ".jpeg", ".jpe", ".jfif"); the GIF loader (".gif") belongs right after the
// JPEG loader. The order decides which loader is tried first; the external
// picture library is appended later by start-up.
void RegisterStandardLoaders(TImageLoaderRegistry& registry);

} // namespace qx
