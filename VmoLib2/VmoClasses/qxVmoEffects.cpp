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

enum TEffectClass : int {
  kRandom = 1,
  kAlpha = 2,
  kClock = 3,
  kCircle = 4,
  kRhomb = 5,
  kSquare = 6,
  kLines = 7,
  kDiagonal = 8,
  kWipe = 9,
  kDiagonalWipe = 10,
  kBroom = 11,
  kPush = 12,
  kSlide = 13,
  kRoll = 14,
  kDiagonalRoll = 15,
  kFlip = 16,
  kSwap = 17,
};

// Band effects of classes 7 and 9: horizontal bands for variants 1 and 2,
// vertical for 3 and 4, a cross-fade for any other variant.
std::unique_ptr<TDrawFilter> MakeLines(int cls, int variant, const TEffectParams& p) {
  const bool wipe = cls == kWipe;
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
  default:
    return std::make_unique<TAlphaFilter>(cls, variant, p);
  }
}

// Whether the class has a movement for the variant; other variants of
// these classes cross-fade.
bool KnownVariant(int cls, int variant) {
  switch (cls) {
  case kBroom: return variant >= 1 && variant <= kBroomVariants;
  case kPush:
  case kSlide:
  case kFlip:
  case kSwap: return variant >= 1 && variant <= kSides;
  case kRoll:
  case kDiagonalRoll: return variant >= 1 && variant <= kRollVariants;
  default: return true;
  }
}

std::unique_ptr<TDrawFilter> MakeEffect(int cls, int variant, const TEffectParams& p,
                                        const TFileAccessor* accessor) {
  const bool firstVariant = variant == 1;
  if (!KnownVariant(cls, variant))
    return std::make_unique<TAlphaFilter>(cls, variant, p);
  switch (cls) {
  case kRandom:
    return std::make_unique<TRandomFilter>(cls, variant, p);
  case kClock:
    return std::make_unique<TClockEffect>(cls, variant, p);
  case kCircle:
    return std::make_unique<TCircleFilter>(cls, variant, p, p.CenterX * kPercent,
                                           p.CenterY * kPercent, firstVariant);
  case kRhomb:
    return std::make_unique<TRhombFilter>(cls, variant, p, kMiddle, kMiddle, firstVariant);
  case kSquare:
    return std::make_unique<TSquareFilter>(cls, variant, p, kMiddle, kMiddle, firstVariant);
  case kLines:
  case kWipe:
    return MakeLines(cls, variant, p);
  case kDiagonal:
  case kDiagonalWipe:
    return std::make_unique<TDiagLines>(cls, variant, p);
  case kBroom:
    return std::make_unique<TBroomEffect>(cls, variant, p);
  case kPush:
    return std::make_unique<TPushFilter>(cls, variant, p);
  case kSlide:
    return std::make_unique<TSlideFilter>(cls, variant, p);
  case kRoll:
  case kDiagonalRoll:
    return std::make_unique<TRollEffect2>(cls, variant, p);
  case kFlip:
    return std::make_unique<TOverturnEffect>(cls, variant, p);
  case kSwap:
    return std::make_unique<TTwoSlidesEffect>(cls, variant, p);
  case kCustomEffectClass:
    return CreateCustomEffect(cls, variant, p, accessor);
  default:
    return std::make_unique<TAlphaFilter>(cls, variant, p);
  }
}

} // namespace

std::unique_ptr<TDrawFilter> CreateEffect(int effectClass, int variant,
                                          const TEffectParams& params,
                                          const TPixelRect& slideRect, double duration,
                                          const TFileAccessor* accessor) {
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
