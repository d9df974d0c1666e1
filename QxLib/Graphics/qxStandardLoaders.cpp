#include "QxLib/Graphics/qxStandardLoaders.h"

#include "QxLib/Graphics/qxBmpReader.h"
#include "QxLib/Graphics/qxGfxContainer.h"
#include "QxLib/Graphics/qxJpegLoader.h"

namespace qx {

void RegisterStandardLoaders(TImageLoaderRegistry& registry) {
  registry.Register(LoadGfxContainer, {".qxgfx", ".bmp", ".dib", ".png", ".gif"});
  registry.Register(LoadBmpPicture, {".bmp", ".dib"});
  registry.Register(LoadJpegPicture, {".jpg", ".jpeg", ".jpe", ".jfif"});
}

} // namespace qx
