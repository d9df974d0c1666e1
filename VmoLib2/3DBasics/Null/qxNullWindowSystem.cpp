#include "VmoLib2/3DBasics/Null/qxNullWindowSystem.h"

namespace qx {

namespace {

std::unique_ptr<TWindowSystem> CreateNullWindowSystem(std::string&) {
  return std::make_unique<TNullWindowSystem>();
}

} // namespace

const TWindowSystemDriver kNullWindowSystemDriver{{"null", "off-screen outputs, no events", nullptr},
                                                  CreateNullWindowSystem};

std::unique_ptr<TDrawDevice> TNullWindowSystem::OpenWindow(const std::string&, const T3DRect& bounds,
                                                           bool fullScreen, std::string&) {
  auto device = std::make_unique<TDrawDevice>(bounds);
  device->SetFullScreen(fullScreen);
  return device;
}

} // namespace qx
