// The GL ES 3.0 engine: makes renderers on the windows of the window system
// (through the context each window makes) or, for a draw device without a
// window, on an off-screen EGL context.
#pragma once

#include "VmoLib2/3DBasics/qx3DEngine.h"
#include "VmoLib2/3DBasics/qx3DEngineDriver.h"

namespace qx {

class T3DEngineGL final : public T3DEngine {
public:
  explicit T3DEngineGL(const TDisplays* displays) : T3DEngine(displays) {}

  // "PixelShaderVersion" is the shading-language version as major * 256 +
  // minor (0x300 for GLSL ES 3.00); "Vendor" is the PCI vendor id guessed
  // from the driver's vendor name (0 when unknown). The limits are read
  // once per process.
  int64_t Caps(std::string_view key, int adapter) override;
  // Creates on the calling thread (never pending) and leaves the device
  // free for whichever thread draws next.
  std::unique_ptr<T3DRenderer> CreateRenderer(TDrawDevice& device, const T3DRendererParams& params) override;
  bool DeviceAvailable() override { return true; }
  int ShaderLevel(int adapter) override;
};

// The table's record of this back end ("gl", available when an off-screen
// GL ES 3.0 context can be made).
extern const T3DEngineDriver k3DEngineGLDriver;

} // namespace qx
