#include "VmoLib2/VmoClasses/qxVmoEffects.h"

#include "VmoLib2/3DEngine/qxD3DEffecter.h"
#include "VmoLib2/3DEngine/qxEffController.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qx {

namespace {

constexpr double kMiddle = 0.5;
constexpr double kPercent = 0.01;
// Mosaic scales of 100 and above fall back to this one.
constexpr int kMosaicScaleLimit = 100;
constexpr int kMosaicFallbackScale = 1000;
// Broom variants above this sweep the other way.
constexpr int kBroomDirections = 8;
// Roll variants above this unroll.
constexpr int kRollDirections = 4;
constexpr int kFlipCentreModeOffset = 4;

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

std::unique_ptr<TDrawFilter> MakeEffect(int cls, int variant, const TEffectParams& p,
                                        const TFileAccessor* accessor) {
  const bool firstVariant = variant == 1;
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

TDrawFilter::TDrawFilter(int effectClass, int variant, const TEffectParams& params)
    : m_class(effectClass), m_variant(variant), m_params(params) {}

TDrawFilter::~TDrawFilter() = default;

void TDrawFilter::Init(const TPixelRect& slideRect, int softEdge, double duration) {
  m_slideRect = slideRect;
  m_targetRect = slideRect;
  m_softEdge = softEdge;
  m_duration = static_cast<float>(std::max(duration, 0.0));
  m_reciprocal = m_duration > 0 ? 1.0 / m_duration : 0.0;
  m_progress = 0;
  ComputeGeometry();
}

void TDrawFilter::SetProgress(double progress) {
  m_progress = static_cast<float>(std::clamp(progress, 0.0, static_cast<double>(m_duration)));
}

void TDrawFilter::Draw(TEffController&) {}

void TDrawFilter::ComputeGeometry() {}

void TAlphaFilter::Draw(TEffController& controller) {
  const TPixelRect& target = TargetRect();
  if (target.Width() <= 0 || target.Height() <= 0) {
    return;
  }
  const double alpha = std::clamp(Phase() * 255.0, 0.0, 255.0);
  // The alpha is the same everywhere, so cutting the rectangle along the
  // grid is intersecting it with each cell.
  for (int row = 0; row < controller.Rows(); ++row) {
    for (int column = 0; column < controller.Columns(); ++column) {
      const TFloatRect cell = controller.CellRect(column, row);
      const double left = std::max<double>(cell.left, target.Left);
      const double top = std::max<double>(cell.top, target.Top);
      const double right = std::min<double>(cell.right, target.Right);
      const double bottom = std::min<double>(cell.bottom, target.Bottom);
      if (right <= left || bottom <= top) {
        continue;
      }
      auto* tile = dynamic_cast<TD3DTriTile*>(&controller.Tile(column, row));
      if (tile == nullptr) {
        continue;
      }
      const TEffVertex topLeft{left, top, alpha};
      const TEffVertex topRight{right, top, alpha};
      const TEffVertex bottomLeft{left, bottom, alpha};
      const TEffVertex bottomRight{right, bottom, alpha};
      tile->Begin(true, true);
      tile->AddAlphaTriangle(topLeft, topRight, bottomLeft);
      tile->AddAlphaTriangle(topRight, bottomRight, bottomLeft);
      tile->End();
    }
  }
}

TCommonFilter::TCommonFilter(int effectClass, int variant, const TEffectParams& params,
                             double centerX, double centerY, bool inverted)
    : TDrawFilter(effectClass, variant, params), m_centerX(centerX), m_centerY(centerY) {
  SetInverted(inverted);
}

TDiagLines::TDiagLines(int effectClass, int variant, const TEffectParams& params)
    : TCommonFilter(effectClass, variant, params, kMiddle, kMiddle,
                    effectClass == kDiagonal && (variant == 1 || variant == 3)),
      m_otherDiagonal(variant > 2) {
  if (effectClass == kDiagonal)
    m_mode = 1;
  else
    m_mode = (variant == 1 || variant == 3) ? 0 : 2;
}

TRandomFilter::TRandomFilter(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params), m_columns(params.MosaicDX),
      m_rows(params.MosaicDY),
      m_scale(params.MosaicSC < kMosaicScaleLimit ? params.MosaicSC : kMosaicFallbackScale),
      m_seed(static_cast<uint32_t>(params.Seed)) {}

TSlideFilter::TSlideFilter(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params) {
  SetWholeSlide(true);
}

TClockEffect::TClockEffect(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params), m_reversed(variant == 2) {}

TBroomEffect::TBroomEffect(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params),
      m_direction(variant > kBroomDirections ? variant - kBroomDirections : variant) {
  SetInverted(variant > kBroomDirections);
}

TRollEffect2::TRollEffect2(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params),
      m_diameter(static_cast<int>(std::trunc(params.RollDiameter))) {
  SetInverted(variant > kRollDirections);
}

TOverturnEffect::TOverturnEffect(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params),
      m_mode(params.FlipCenter ? variant + kFlipCentreModeOffset : variant) {}

TTwoSlidesEffect::TTwoSlidesEffect(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params),
      m_maxAngle(params.SwapMaxAngle * std::numbers::pi / 180.0) {}

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
