// The null engine: a device layer that accepts every call as a real one
// would (objects, device stores, device loss, the same argument checks) and
// draws nothing; its surfaces read back black. For tools and tests on
// machines without a graphics driver.
#pragma once

#include "VmoLib2/3DBasics/qx3DEngine.h"
#include "VmoLib2/3DBasics/qx3DEngineDriver.h"

namespace qx {

class T3DEngineNull final : public T3DEngine {
public:
  explicit T3DEngineNull(const TDisplays* displays) : T3DEngine(displays) {}

  // "PixelShaderVersion" 0x300 and textures up to 8192 pixels a side, so
  // that the drawer takes its fullest paths.
  int64_t Caps(std::string_view key, int adapter) override;
  std::unique_ptr<T3DRenderer> CreateRenderer(TDrawDevice& device, const T3DRendererParams& params) override;
  bool DeviceAvailable() override { return true; }
  int ShaderLevel(int adapter) override;
};

// The table's record of this back end ("null", always available).
extern const T3DEngineDriver k3DEngineNullDriver;

} // namespace qx
