// The picture loaders vmopack decodes with: the player's built-in ones and,
// when it is found beside vmopack the way the player finds it, the external
// picture library for PNG.
#pragma once

#include "QxLib/Graphics/qxImage.h"

namespace qx::vmopack {

// The process-wide registry, with the picture library added on first use.
const TImageLoaderRegistry& PictureLoaders();

// Whether the picture library was found.
bool HasPictureLibrary();

} // namespace qx::vmopack
