// The frame of a running transition: which of the two slides is drawn
// plainly, which goes through the effect (rendered into the effecter
// first), and in which order, by the kind of effect.
#pragma once

#include "VmoLib2/3DBasics/qx3DTypes.h"

#include <array>

namespace qx {

class TCustomD3DEffecter;
class TDeviceDrawer;
class TDrawFilter;
class TDrawItem;
class TFileAccessor;
class TVmoFilter;

// The shift of the plain slide under a push effect: the outgoing slide
// moves out as the incoming one moves in. Target pixels, which are the
// logical pixels of the slides (they are laid out on the output). Zero for
// other effects.
std::array<float, 2> PushOffset(const TDrawFilter& effect);

// Draws `first`, `second` or the transition between them into the frame
// the drawer has open (slides through nested DrawItem calls):
// - with `skipEffect` or no transition record, `first` alone;
// - the effect is made on first use for `slideRect` (custom transitions
//   read through `accessor`) and gets the record's progress (0 ... 1 of
//   its duration); outside the transition, or without an effect, `second`
//   alone;
// - a real-slide effect renders both slides into the effecter's targets,
//   clears the screen to opaque black and composes them (the incoming
//   slide alone when it has nothing to show);
// - an overturn shows one slide through the effect: `first` below half
//   way, then `second`; a two-slides effect shows both, `second` first
//   below half way; any other effect draws `first` plainly (shifted under
//   a push) and `second` through the effect. The effect's inverted flag
//   swaps the slides' roles.
void DrawTwoSlides(TDeviceDrawer& drawer, TCustomD3DEffecter& effecter, const T3DRect& slideRect, TDrawItem& first,
                   TDrawItem& second, bool skipEffect, TVmoFilter* filter, const TFileAccessor* accessor = nullptr);

} // namespace qx
