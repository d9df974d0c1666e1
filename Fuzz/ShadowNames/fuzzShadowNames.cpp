// Fuzz target of shadow picture names ("Shadow: " and seventeen values, then
// the source picture's name): the synthetic names under which slides ask
// the picture cache for drop shadows, and the shadow picture each stands for.
//
// Promises checked: a name parses or raises the invalid-name error;
// composing the parsed values and parsing again gives the same values (the
// opacity to two decimals) and the same name; a picture is produced, or a
// clear error raised, and every pixel of it is the shadow colour at an alpha
// no higher than the colour's own.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "VmoLib2/qxShadowNames.h"

#include <algorithm>
#include <cmath>

namespace {

using namespace qx;

// Larger shadows are not produced: the blur of a big picture would only slow
// the search down. The name and its reduction are still checked.
constexpr double kShadowPixelBudget = 250000;

TRefPtr<TBitmapStore> SourcePicture(const std::string& name) {
  if (name == "missing")
    return nullptr;
  auto bitmap = std::make_unique<TBitmap>(37, 23, TPixelFormat::Bgra32);
  for (int y = 0; y < bitmap->Height(); ++y)
    for (int x = 0; x < bitmap->Width(); ++x)
      bitmap->SetPixel(x, y, TBgra{uint8_t(x * 7), uint8_t(y * 11), 90, uint8_t((x * y * 5) % 256)});
  return MakeRef<TWrapperBitmapStore>(name, std::move(bitmap));
}

bool SameValues(const TShadowNameParams& a, const TShadowNameParams& b) {
  return a.Left == b.Left && a.Top == b.Top && a.Width == b.Width && a.Height == b.Height && a.BorderX == b.BorderX &&
         a.BorderY == b.BorderY && a.BaseAlpha == b.BaseAlpha && a.BlurSize == b.BlurSize &&
         a.ContourIndex == b.ContourIndex && a.Gradient == b.Gradient && a.GradientStartAlpha == b.GradientStartAlpha &&
         a.GradientEndAlpha == b.GradientEndAlpha && a.Blue == b.Blue && a.Green == b.Green && a.Red == b.Red &&
         a.MipLevel == b.MipLevel && a.Source == b.Source;
}

void CheckPicture(const std::string& name, const TShadowNameParams& params) {
  const TShadowReduction reduction = ComputeShadowReduction(int64_t{params.Width} + 2 * int64_t{params.BorderX},
                                                            int64_t{params.Height} + 2 * int64_t{params.BorderY});
  FUZZ_CHECK(reduction.Factor == 1 << reduction.Halvings);
  FUZZ_CHECK(static_cast<double>(reduction.Width) * static_cast<double>(reduction.Height) <= kMaxShadowArea);
  FUZZ_CHECK(reduction.Width <= kMaxShadowSide && reduction.Height <= kMaxShadowSide);
  // The blurred picture has a border of 2.5 sigma on each side.
  const double border = std::ceil(2.5 * std::max(params.BlurSize + 1, 1.0) / reduction.Factor);
  if ((static_cast<double>(reduction.Width) + 2 * border) * (static_cast<double>(reduction.Height) + 2 * border) >
      kShadowPixelBudget)
    return;

  TBitmap picture;
  if (!FUZZ_RESULT_OR_ERROR(picture = ProduceShadowPicture(name, SourcePicture)))
    return;
  FUZZ_CHECK(picture.Format() == TPixelFormat::Bgra32);
  FUZZ_CHECK(picture.Width() >= reduction.Width && picture.Height() >= reduction.Height);
  const uint8_t alpha = static_cast<uint8_t>(std::clamp(params.Opacity, 0.0, 100.0) * 255 / 100);
  const TBgra colour{static_cast<uint8_t>(std::clamp(params.Blue, 0, 255)),
                     static_cast<uint8_t>(std::clamp(params.Green, 0, 255)),
                     static_cast<uint8_t>(std::clamp(params.Red, 0, 255)), alpha};
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      const TBgra pixel = picture.GetPixel(x, y);
      FUZZ_CHECK(pixel.a <= colour.a);
      FUZZ_CHECK(pixel.b == colour.b && pixel.g == colour.g && pixel.r == colour.r);
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name = fuzz::Bytes(data, size);
  TShadowNameParams params;
  if (!FUZZ_RESULT_OR_ERROR(params = ParseShadowName(name)))
    return 0;
  FUZZ_CHECK(IsShadowName(name));
  FUZZ_CHECK(std::isfinite(params.BlurSize) && std::isfinite(params.Opacity));

  const std::string composed = ComposeShadowName(params);
  TShadowNameParams again;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(again = ParseShadowName(composed)));
  FUZZ_CHECK(SameValues(params, again));
  FUZZ_CHECK(std::fabs(again.Opacity - params.Opacity) <= 0.005 + std::fabs(params.Opacity) * 1e-15);
  FUZZ_CHECK(ComposeShadowName(again) == composed);

  CheckPicture(name, params);
  return 0;
}
