#include "VmoLib2/3DEngine/qxRenderTargetTexture.h"

#include "QxLib/qxExceptions.h"

namespace qx {

TRenderTargetTexture::TRenderTargetTexture(T3DScreen& screen, T3DTextureKind kind, int width, int height)
    : TCustomTexture(screen) {
  QX_ASSERT(IsRenderTargetKind(kind), "TRenderTargetTexture of a sampled texture kind");
  SetKind(kind);
  SetSize(width, height);
  // Copies onto the screen land texel on pixel.
  SetPointFilter(true);
}

} // namespace qx
