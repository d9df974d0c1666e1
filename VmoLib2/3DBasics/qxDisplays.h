// The displays of the window system as the device layer sees them: where
// each lies on the desktop and its current mode. The window system's back
// end gives them to the engine it is used with; an engine made without
// them draws off-screen only.
#pragma once

#include "VmoLib2/3DBasics/qx3DTypes.h"

namespace qx {

class TDisplays {
public:
  virtual ~TDisplays() = default;

  virtual int Count() const = 0;
  // False for an index out of range or a failing query.
  virtual bool Bounds(int index, T3DRect& bounds) const = 0;
  virtual bool Mode(int index, T3DDisplayMode& mode) const = 0;
};

// The one display of off-screen drawing: 1920 x 1080 at the origin, with
// no refresh rate, so that presentation is not paced.
class TOffscreenDisplays final : public TDisplays {
public:
  static const TOffscreenDisplays& Instance();

  int Count() const override { return 1; }
  bool Bounds(int index, T3DRect& bounds) const override;
  bool Mode(int index, T3DDisplayMode& mode) const override;
};

// The display whose rectangle overlaps `rect` most; 0 when none does.
int DisplayForRect(const TDisplays& displays, const T3DRect& rect);

} // namespace qx
