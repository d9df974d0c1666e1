// The picture loaders vmopack decodes with: the player's built-in ones and,
// when it is found beside vmopack the way the player finds it, the external
// picture library for PNG.
#pragma once

#include "QxLib/Graphics/qxImage.h"

#include <string>

namespace qx::vmopack {

// The process-wide registry, with the picture library added on first use.
const TImageLoaderRegistry& PictureLoaders();

// Whether the picture library was found.
bool HasPictureLibrary();

// Decodes the picture `name` of the show package `show` (turned as its
// EXIF orientation says); raises when it is missing or cannot be decoded.
TImage OpenPackagePicture(const std::string& show, const std::string& name);

} // namespace qx::vmopack
