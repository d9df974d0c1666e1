// A texture of the screen that drawing can go into: an opaque or an alpha
// render target of a given size (rounded up to powers of two), sampled
// like any other texture once drawn. Its contents are lost with the
// device; whoever draws into it fills it again.
#pragma once

#include "VmoLib2/3DEngine/qxCustomTexture.h"

namespace qx {

class TRenderTargetTexture final : public TCustomTexture {
public:
  // `kind` must be a render-target kind (assertion).
  TRenderTargetTexture(T3DScreen& screen, T3DTextureKind kind, int width, int height);

  // Makes the device texture now; false when the device refuses it.
  bool Make() { return DeviceTexture() != nullptr; }
  // The pixel rectangle (0, 0, TextureWidth(), TextureHeight()).
  T3DRect TargetRect() const { return {0, 0, TextureWidth(), TextureHeight()}; }
};

} // namespace qx
