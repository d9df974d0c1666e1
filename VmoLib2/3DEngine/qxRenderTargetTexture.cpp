#include "VmoLib2/3DEngine/qxRenderTargetTexture.h"

#include "QxLib/qxExceptions.h"

namespace qx {

TRenderTargetTexture::TRenderTargetTexture(T3DScreen& screen, int width, int height, T3DTextureKind kind)
    : TCustomTexture(screen) {
  QX_ASSERT(IsRenderTargetKind(kind), "Render target of a sampled texture kind");
  SetKind(kind);
  SetSize(width, height);
}

} // namespace qx
