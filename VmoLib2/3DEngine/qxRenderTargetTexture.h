// A screen texture that is drawn into: a render-target kind, sized to the
// next powers of two above the area it holds.
#pragma once

#include "VmoLib2/3DEngine/qxCustomTexture.h"

namespace qx {

class TRenderTargetTexture final : public TCustomTexture {
public:
  // `kind` must be a render-target kind (assertion).
  TRenderTargetTexture(T3DScreen& screen, int width, int height,
                       T3DTextureKind kind = T3DTextureKind::RenderTargetXrgb);
};

} // namespace qx
