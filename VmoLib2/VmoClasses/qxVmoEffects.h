// The factory that makes the effect object of a transition class: the mask
// and 3D effects of the drawer, or a custom transition.
#pragma once

#include "VmoLib2/3DEngine/qxBroomEffect.h"
#include "VmoLib2/3DEngine/qxClockEffect.h"
#include "VmoLib2/3DEngine/qxDrawFilter2.h"
#include "VmoLib2/3DEngine/qxOverturnEffect.h"
#include "VmoLib2/3DEngine/qxRandomFilter.h"
#include "VmoLib2/3DEngine/qxRollEffect2.h"
#include "VmoLib2/3DEngine/qxShapeFilters.h"
#include "VmoLib2/3DEngine/qxSlideFilter.h"
#include "VmoLib2/3DEngine/qxTwoSlidesEffect.h"
#include "VmoLib2/VmoClasses/qxVmoEffectParams.h"

#include <memory>

namespace qx {

class TFileAccessor;

// Makes and initialises the effect of a transition class for a slide
// rectangle; none for class 0 or less. Fractions of the params are scaled to
// the rectangle and the smooth edge becomes pixels. A variant a class has
// no movement for gets the cross-fade. Custom transitions (class 18) look
// their definition up through `accessor` (none: cross-fade).
std::unique_ptr<TDrawFilter> CreateEffect(int effectClass, int variant, const TEffectParams& params,
                                          const TPixelRect& slideRect, double duration, const TFileAccessor* accessor);

} // namespace qx
