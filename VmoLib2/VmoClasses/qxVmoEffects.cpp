#include "VmoLib2/VmoClasses/qxVmoEffects.h"

#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

#include <cmath>

namespace qx {

namespace {

constexpr double kMiddle = 0.5;
constexpr double kPercent = 0.01;
// The variants classes with movements know: sides of slides, pushes,
// flips and swaps; broom directions and their inverses; roll directions
// and their unrolling.
constexpr int kSides = 4;
constexpr int kBroomVariants = 2 * TBroomEffect::kDirections;
constexpr int kRollVariants = TRollEffect2::kVariants;

// Band effects of classes 7 and 9: horizontal bands for variants 1 and 2,
// vertical for 3 and 4, a cross-fade for any other variant.
std::unique_ptr<TDrawFilter> MakeLines(int cls, int variant, const TEffectParams& p) {
  const bool wipe = cls == kEffectWipe;
  switch (variant) {
  case 1:
    return wipe ? std::make_unique<THLines>(cls, variant, p, 0.0, 0.0, false)
                : std::make_unique<THLines>(cls, variant, p, kMiddle, kMiddle, true);
  case 2:
    return wipe ? std::make_unique<THLines>(cls, variant, p, 1.0, 0.0, false)
                : std::make_unique<THLines>(cls, variant, p, kMiddle, kMiddle, false);
  case 3:
    return wipe ? std::make_unique<TVLines>(cls, variant, p, 0.0, 0.0, false)
                : std::make_unique<TVLines>(cls, variant, p, kMiddle, kMiddle, true);
  case 4:
    return wipe ? std::make_unique<TVLines>(cls, variant, p, 0.0, 1.0, false)
                : std::make_unique<TVLines>(cls, variant, p, kMiddle, kMiddle, false);
  default: return std::make_unique<TAlphaFilter>(cls, variant, p);
  }
}

// Whether the class has a movement for the variant; other variants of
// these classes cross-fade.
bool KnownVariant(int cls, int variant) {
  switch (cls) {
  case kEffectBroom: return variant >= 1 && variant <= kBroomVariants;
  case kEffectPush:
  case kEffectSlide:
  case kEffectFlip:
  case kEffectSwap: return variant >= 1 && variant <= kSides;
  case kEffectRoll:
  case kEffectDiagonalRoll: return variant >= 1 && variant <= kRollVariants;
  default: return true;
  }
}

std::unique_ptr<TDrawFilter> MakeEffect(int cls, int variant, const TEffectParams& p, const TFileAccessor* accessor) {
  const bool firstVariant = variant == 1;
  if (!KnownVariant(cls, variant))
    return std::make_unique<TAlphaFilter>(cls, variant, p);
  switch (cls) {
  case kEffectMosaic: return std::make_unique<TRandomFilter>(cls, variant, p);
  case kEffectClock: return std::make_unique<TClockEffect>(cls, variant, p);
  case kEffectCircle:
    return std::make_unique<TCircleFilter>(cls, variant, p, p.CenterX * kPercent, p.CenterY * kPercent, firstVariant);
  case kEffectRhomb: return std::make_unique<TRhombFilter>(cls, variant, p, kMiddle, kMiddle, firstVariant);
  case kEffectSquare: return std::make_unique<TSquareFilter>(cls, variant, p, kMiddle, kMiddle, firstVariant);
  case kEffectLines:
  case kEffectWipe: return MakeLines(cls, variant, p);
  case kEffectDiagonal:
  case kEffectDiagonalWipe: return std::make_unique<TDiagLines>(cls, variant, p);
  case kEffectBroom: return std::make_unique<TBroomEffect>(cls, variant, p);
  case kEffectPush: return std::make_unique<TPushFilter>(cls, variant, p);
  case kEffectSlide: return std::make_unique<TSlideFilter>(cls, variant, p);
  case kEffectRoll:
  case kEffectDiagonalRoll: return std::make_unique<TRollEffect2>(cls, variant, p);
  case kEffectFlip: return std::make_unique<TOverturnEffect>(cls, variant, p);
  case kEffectSwap: return std::make_unique<TTwoSlidesEffect>(cls, variant, p);
  case kCustomEffectClass: return CreateCustomEffect(cls, variant, p, accessor);
  default: return std::make_unique<TAlphaFilter>(cls, variant, p);
  }
}

} // namespace

std::unique_ptr<TDrawFilter> CreateEffect(int effectClass, int variant, const TEffectParams& params,
                                          const TPixelRect& slideRect, double duration, const TFileAccessor* accessor) {
  if (effectClass <= 0)
    return nullptr;
  const double width = slideRect.Width();
  const double height = slideRect.Height();
  TEffectParams scaled = params;
  scaled.RollDiameter = static_cast<float>(params.RollDiameter * width);
  scaled.BroomOffset = static_cast<float>(params.BroomOffset * (width + height) * 0.5);
  const auto softEdge = static_cast<int>(std::trunc(width * params.Smoothline));

  std::unique_ptr<TDrawFilter> effect = MakeEffect(effectClass, variant, scaled, accessor);
  effect->Init(slideRect, softEdge, duration);
  return effect;
}

} // namespace qx
