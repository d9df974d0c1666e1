#include "VmoLib2/VmoClasses/qxVmoSlideSize.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qx {

namespace {

// The project version from which the design size gives the aspect.
constexpr int kCurrentMinorVersion = 13;

// The design size fitted into the output without enlarging it.
TSize FixedSlideSize(TSize output, TSize design) {
  const double outputAspect = static_cast<double>(output.Width) / output.Height;
  const double designAspect = static_cast<double>(design.Width) / design.Height;
  if (outputAspect >= designAspect) {
    const int32_t height = std::min(design.Height, output.Height);
    return {RoundToInt(static_cast<double>(height) * design.Width / design.Height), height};
  }
  const int32_t width = std::min(design.Width, output.Width);
  return {width, RoundToInt(static_cast<double>(width) * design.Height / design.Width)};
}

TSize ZoomedSlideSize(const TSlideSizeParams& params) {
  const int32_t a = RoundToInt(params.Output.Width / params.ZoomX * 100);
  const int32_t b = RoundToInt(params.Output.Height / params.ZoomY * 100);
  double width = RoundToInt(b * params.Aspect);
  double height = b;
  switch (params.Fit) {
  case TSlideFitMode::FitInside:
    if (width > 0 && height > 0) {
      const double d = std::min(a / width, b / height);
      if (d != 1) {
        width = RoundToInt(width * d);
        height = RoundToInt(height * d);
      }
    }
    break;
  case TSlideFitMode::Cover:
    if (a > 0 && b > 0 && width > 0) {
      const double m = std::min(width / a, height / b);
      if (m != 1) {
        width = RoundToInt(width / m);
        height = RoundToInt(height / m);
      }
    }
    break;
  case TSlideFitMode::Stretch:
    width = a;
    height = b;
    break;
  }
  return {RoundToInt(width * params.ZoomX / 100), RoundToInt(height * params.ZoomY / 100)};
}

// A project with an absurd aspect would make a slide too large to draw;
// such a slide keeps its aspect at a side of kMaxSlideSide.
TSize LimitSlideSize(TSize size) {
  if (size.Width <= kMaxSlideSide && size.Height <= kMaxSlideSide)
    return size;
  const double factor =
      std::min(static_cast<double>(kMaxSlideSide) / size.Width, static_cast<double>(kMaxSlideSide) / size.Height);
  return {std::max(1, RoundToInt(size.Width * factor)), std::max(1, RoundToInt(size.Height * factor))};
}

} // namespace

int32_t RoundToInt(double value) {
  if (!std::isfinite(value))
    return 0;
  return static_cast<int32_t>(std::clamp(std::round(value), -2147483647.0, 2147483647.0));
}

double ShowAspect(const TIniIdentList& mainSection, TSize output) {
  if (mainSection.ReadInteger("MinorVersion", kCurrentMinorVersion) >= kCurrentMinorVersion) {
    const int32_t height = mainSection.ReadInteger("opt_scr_height", 0);
    QX_ASSERT(height > 0, "ZeroSize of Presentation!");
    return static_cast<double>(mainSection.ReadInteger("opt_scr_width", 0)) / height;
  }
  const double outputAspect = output.Height > 0 ? static_cast<double>(output.Width) / output.Height : kDefaultAspect;
  if (!mainSection.KeyExists("opt_scr_ratio"))
    return outputAspect;
  const double ratio = mainSection.ReadFloat("opt_scr_ratio", outputAspect);
  // A ratio that would give no slide at all is ignored.
  return std::isfinite(ratio) && ratio > 0 ? ratio : outputAspect;
}

TSize ComputeSlideSize(const TSlideSizeParams& params) {
  if (params.Output.Width <= 0 || params.Output.Height <= 0)
    return {};
  TSize size;
  if (params.FixedSize && params.Design.Width > 0 && params.Design.Height > 0) {
    size = FixedSlideSize(params.Output, params.Design);
  } else {
    if (!(params.ZoomX > 0) || !(params.ZoomY > 0) || !(params.Aspect > 0) || !std::isfinite(params.Aspect))
      return {};
    size = ZoomedSlideSize(params);
  }
  size = LimitSlideSize(size);
  if (size.Width % 2 != 0 && size.Width < params.Output.Width)
    ++size.Width;
  if (size.Height % 2 != 0 && size.Height < params.Output.Height)
    ++size.Height;
  return size;
}

TPixelRect CenteredSlideRect(const TPixelRect& output, TSize slide) {
  const int64_t left = output.Left + (static_cast<int64_t>(output.Width()) - slide.Width) / 2;
  const int64_t top = output.Top + (static_cast<int64_t>(output.Height()) - slide.Height) / 2;
  TPixelRect rect;
  rect.Left = static_cast<int32_t>(std::max<int64_t>(left, output.Left));
  rect.Top = static_cast<int32_t>(std::max<int64_t>(top, output.Top));
  rect.Right = static_cast<int32_t>(std::min<int64_t>(left + slide.Width, output.Right));
  rect.Bottom = static_cast<int32_t>(std::min<int64_t>(top + slide.Height, output.Bottom));
  if (rect.Right <= rect.Left || rect.Bottom <= rect.Top)
    return {output.Left, output.Top, output.Left, output.Top};
  return rect;
}

} // namespace qx
