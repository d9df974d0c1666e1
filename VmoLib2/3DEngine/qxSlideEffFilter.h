// Effects that need both slides as pictures (the custom transitions): the
// drawer renders the outgoing slide into one render target and the
// incoming one into the other, clears the screen to opaque black and lets
// the effect compose the frame from them with items of its own.
#pragma once

#include "VmoLib2/3DBasics/qx3DTypes.h"
#include "VmoLib2/3DEngine/qxDrawFilter2.h"

#include <array>

namespace qx {

class TCustomTexture;
class TDeviceDrawer;

// Where the drawer put both slides.
struct TSlideBuffers {
  // The outgoing and the incoming slide's render targets.
  std::array<TCustomTexture*, 2> targets{};
  // The slide rectangle inside the targets, texture pixels.
  TFloatRect slide;
  // The slide rectangle on the output, device pixels.
  T3DRect slideRect;
  // The whole output, device pixels.
  T3DRect deviceRect;
};

class TSlideEffFilter : public TDrawFilter {
public:
  using TDrawFilter::TDrawFilter;
  // Draws the frame through `drawer` (its items as nested items of the
  // frame). False when the effect has nothing to show; the drawer then
  // shows the incoming slide.
  virtual bool Compose(TDeviceDrawer& drawer, const TSlideBuffers& buffers) = 0;
};

} // namespace qx
