#include "VmoLib2/3DEngine/qxDrawTwoSlides.h"

#include "VmoLib2/3DEngine/qxD3DEffecter.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"
#include "VmoLib2/3DEngine/qxOverturnEffect.h"
#include "VmoLib2/3DEngine/qxRollEffect2.h"
#include "VmoLib2/3DEngine/qxSlideEffFilter.h"
#include "VmoLib2/3DEngine/qxSlideFilter.h"
#include "VmoLib2/3DEngine/qxTwoSlidesEffect.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

namespace qx {

namespace {

constexpr double kHalfWay = 0.5;
constexpr T3DColor kOpaqueBlack = MakeColor(0, 0, 0, 255);

TPixelRect ToPixelRect(const T3DRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

// Slides moved whole by their effect read past their edge while filtered.
bool PadsEdges(const TDrawFilter& effect) {
  return effect.WholeSlide() || dynamic_cast<const TRollEffect2*>(&effect) != nullptr;
}

// Renders `slide` into the effecter and lets the effect draw it.
void ThroughEffect(TDeviceDrawer& drawer, TCustomD3DEffecter& effecter, TDrawFilter& effect, TDrawItem& slide) {
  TEffController& controller = effecter.RenderSlide(PadsEdges(effect), [&] { drawer.DrawItem(slide); });
  effect.Draw(controller);
}

// Draws `slide` plainly, shifted by `offset` when it is not zero; the
// drawer's offset is restored afterwards.
void Plainly(TDeviceDrawer& drawer, TDrawItem& slide, const std::array<float, 2>& offset) {
  if (offset[0] == 0 && offset[1] == 0) {
    drawer.DrawItem(slide);
    return;
  }
  const std::array<float, 2> previous = drawer.Offset();
  drawer.Set2DOffset(previous[0] + offset[0], previous[1] + offset[1]);
  try {
    drawer.DrawItem(slide);
  } catch (...) {
    drawer.Set2DOffset(previous[0], previous[1]);
    throw;
  }
  drawer.Set2DOffset(previous[0], previous[1]);
}

// The frame of `effect` at the progress it has, its target rectangle set.
void DrawEffectFrame(TDeviceDrawer& drawer, TCustomD3DEffecter& effecter, const T3DRect& slideRect, TDrawFilter& effect,
                     TDrawItem& first, TDrawItem& second) {
  if (auto* real = dynamic_cast<TSlideEffFilter*>(&effect)) {
    effecter.RenderRealSlide([&] { drawer.DrawItem(first); });
    effecter.RenderRealSlide([&] { drawer.DrawItem(second); });
    drawer.ClearScreen(kOpaqueBlack, false);
    const T3DRect& area = effecter.Area();
    TSlideBuffers buffers;
    buffers.targets = {effecter.RealSlideTarget(0), effecter.RealSlideTarget(1)};
    buffers.slide = {double(slideRect.left - area.left), double(slideRect.top - area.top),
                     double(slideRect.right - area.left), double(slideRect.bottom - area.top)};
    buffers.slideRect = slideRect;
    buffers.deviceRect = drawer.DeviceRect();
    if (!real->Compose(drawer, buffers)) {
      drawer.DrawItem(second);
    }
    return;
  }

  const bool inverted = effect.Inverted();
  TDrawItem& leading = inverted ? second : first;
  TDrawItem& trailing = inverted ? first : second;
  const bool firstHalf = effect.Phase() < kHalfWay;
  if (dynamic_cast<TOverturnEffect*>(&effect) != nullptr) {
    ThroughEffect(drawer, effecter, effect, firstHalf ? leading : trailing);
    return;
  }
  if (dynamic_cast<TTwoSlidesEffect*>(&effect) != nullptr) {
    ThroughEffect(drawer, effecter, effect, firstHalf ? trailing : leading);
    ThroughEffect(drawer, effecter, effect, firstHalf ? leading : trailing);
    return;
  }
  Plainly(drawer, leading, PushOffset(effect));
  ThroughEffect(drawer, effecter, effect, trailing);
}

} // namespace

std::array<float, 2> PushOffset(const TDrawFilter& effect) {
  const auto* push = dynamic_cast<const TPushFilter*>(&effect);
  if (push == nullptr) {
    return {0, 0};
  }
  const TFloatPoint shift = push->PushShift();
  return {static_cast<float>(shift.x), static_cast<float>(shift.y)};
}

void DrawTwoSlides(TDeviceDrawer& drawer, TCustomD3DEffecter& effecter, const T3DRect& slideRect, TDrawItem& first,
                   TDrawItem& second, bool skipEffect, TVmoFilter* filter, const TFileAccessor* accessor) {
  if (skipEffect || filter == nullptr) {
    drawer.DrawItem(first);
    return;
  }
  TDrawFilter* effect = filter->Effect(ToPixelRect(slideRect), accessor);
  const double progress = effect ? filter->Progress() * effect->Duration() : 0;
  if (effect == nullptr || progress < 0 || progress >= effect->Duration()) {
    drawer.DrawItem(second);
    return;
  }
  effect->SetTargetRect(ToPixelRect(drawer.ClipRect()));
  effect->SetProgress(progress);
  DrawEffectFrame(drawer, effecter, slideRect, *effect, first, second);
}

} // namespace qx
