// An engine without devices, for tests of screen objects that never draw:
// every query fails and no renderer is made.
#pragma once

#include "VmoLib2/3DBasics/qx3DEngine.h"

namespace qx::test {

class TNoDeviceEngine final : public T3DEngine {
public:
  int AdapterForRect(const T3DRect&) override { return 0; }
  int64_t Caps(std::string_view, int) override { return 0; }
  bool DisplayMode(int, T3DDisplayMode&) override { return false; }
  std::unique_ptr<T3DRenderer> CreateRenderer(TDrawDevice&, const T3DRendererParams&) override { return nullptr; }
  bool DeviceAvailable() override { return false; }
  int ShaderLevel(int) override { return 0; }
};

} // namespace qx::test
