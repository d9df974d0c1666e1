// A draw item that draws by running a function, for tests that drive the
// drawer's protocol with calls of their own.
#pragma once

#include "VmoLib2/3DEngine/qxDrawItem.h"

#include <functional>
#include <utility>

namespace qx::test {

class TFunctionItem final : public TDrawItem {
public:
  using TDraw = std::function<void(TDeviceDrawer&)>;
  explicit TFunctionItem(TDraw draw, bool offScreen = false) : m_draw(std::move(draw)), m_offScreen(offScreen) {}

  void Draw(TDeviceDrawer& drawer) override {
    if (m_draw) {
      m_draw(drawer);
    }
  }
  bool NeedsRedraw() const override { return true; }
  bool ComposeOffScreen() const override { return m_offScreen; }
  void FrameEnded() override { ++frameEnded; }

  int frameEnded = 0;

private:
  TDraw m_draw;
  bool m_offScreen;
};

} // namespace qx::test
