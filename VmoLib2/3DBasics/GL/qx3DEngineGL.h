// The GL ES 3.0 engine: makes renderers on SDL2 windows or, for a draw
// device without a window (or when forced), on an off-screen EGL context.
#pragma once

#include "VmoLib2/3DBasics/qx3DEngine.h"

#include <optional>

namespace qx {

class T3DEngineGL final : public T3DEngine {
public:
  // The process's engine, made on first use.
  static T3DEngineGL& Instance();

  // Forces off-screen contexts even for windowed draw devices.
  void SetForceHeadless(bool force) { m_forceHeadless = force; }
  bool ForceHeadless() const { return m_forceHeadless; }

  int AdapterForRect(const T3DRect& rect) override;
  // "PixelShaderVersion" is the shading-language version as major * 256 +
  // minor (0x300 for GLSL ES 3.00); "Vendor" is the PCI vendor id guessed
  // from the driver's vendor name (0 when unknown).
  int64_t Caps(std::string_view key, int adapter) override;
  // The SDL display's mode; off-screen, a 1920x1080 output that reports no
  // refresh rate (presentation is then not paced).
  bool DisplayMode(int adapter, T3DDisplayMode& mode) override;
  // Creates on the calling thread (never pending) and leaves the device
  // free for whichever thread draws next.
  std::unique_ptr<T3DRenderer> CreateRenderer(TDrawDevice& device, const T3DRendererParams& params) override;
  bool DeviceAvailable() override { return true; }
  int ShaderLevel(int adapter) override;

  // Marks the device of `device` as lost, as a driver reset would: the
  // next renderer call on it drops the store and everything on it.
  void SimulateDeviceLoss(TDrawDevice& device);

private:
  struct TCapsRecord {
    int64_t maxTextureSize = 0;
    int64_t shaderVersion = 0;
    int64_t maxAnisotropy = 0;
    int64_t raster = 0;
    int64_t vendor = 0;
  };
  // Reads the limits once, on a probe context of its own.
  const TCapsRecord* ReadCaps();

  bool m_forceHeadless = false;
  std::optional<TCapsRecord> m_caps;
};

} // namespace qx
