#include "VmoLib2/VmoClasses/qxVmoDrawing.h"

#include "QxLib/Graphics/qxBitmapStore.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoClasses/qxVmoObjects4.h"

#include <cmath>
#include <numbers>

namespace qx {

T3DPoint ToPoint(const TVec3& v) { return {v.x, v.y, v.z}; }

TPlacement FramePlacement(const TObjectFrame& frame, double x, double y, double width, double height) {
  const T3DPoint ax = ToPoint(frame.X);
  const T3DPoint ay = ToPoint(frame.Y);
  return {ToPoint(frame.Origin) + ax * x + ay * y, ax * width, ay * height};
}

TPlacement ObjectPlacement(const TVmoObject& object) {
  return FramePlacement(object.ObjectFrame(), object.PivotX(), object.PivotY(), object.Width(), object.Height());
}

void TObjectShadow::Prepare(TVmoObjectHost* host, bool enabled, const TShadowNameParams& params) {
  if (!enabled || !host || params.Width <= 0 || params.Height <= 0) {
    Clear();
    return;
  }
  const std::string name = ComposeShadowName(params);
  if (name == m_name && m_picture)
    return;
  Clear();
  m_name = name;
  m_params = params;
  m_picture = host->OpenPicture(name);
}

void TObjectShadow::Clear() {
  m_name.clear();
  m_params = {};
  m_picture.Reset();
}

TPlacement TObjectShadow::Placement(const TObjectFrame& frame, float pivotX, float pivotY, double width, double height,
                                    double sizeMeasure, float distance, float angleDegrees, bool shadow3D) const {
  const int64_t borderedWidth = int64_t{m_params.Width} + 2 * int64_t{m_params.BorderX};
  const int64_t borderedHeight = int64_t{m_params.Height} + 2 * int64_t{m_params.BorderY};
  const TShadowReduction reduction = ComputeShadowReduction(borderedWidth, borderedHeight);

  T3DPoint ex = ToPoint(frame.X);
  T3DPoint ey = ToPoint(frame.Y);
  // A shape shadow is made at a scaled size: its edges step per pixel of it.
  if (m_params.IsShape() && borderedWidth > 0 && borderedHeight > 0) {
    ex = ex * (width / static_cast<double>(borderedWidth));
    ey = ey * (height / static_cast<double>(borderedHeight));
  }
  const double lengthX = std::sqrt(Dot(ex, ex));
  const double lengthY = std::sqrt(Dot(ey, ey));
  const double d = std::sqrt(lengthX * lengthY) * distance * sizeMeasure / 100;
  const double theta = angleDegrees * std::numbers::pi / 180;

  T3DPoint origin = ToPoint(frame.At(pivotX, pivotY));
  if (shadow3D) {
    origin = origin + ex * (std::cos(theta) * d) + ey * (std::sin(theta) * d);
  } else {
    origin.x += std::cos(theta) * d;
    origin.y += std::sin(theta) * d;
  }

  const double pictureWidth = m_picture ? m_picture->Width() : static_cast<double>(reduction.Width);
  const double pictureHeight = m_picture ? m_picture->Height() : static_cast<double>(reduction.Height);
  const double ks = reduction.Factor * std::ldexp(1.0, m_params.MipLevel);
  origin = origin - ex * ((pictureWidth - static_cast<double>(reduction.Width)) / 2 * ks) -
           ey * ((pictureHeight - static_cast<double>(reduction.Height)) / 2 * ks);
  return {origin, ex * (pictureWidth * ks), ey * (pictureHeight * ks)};
}

void TObjectShadow::Draw(TDeviceDrawer& drawer, const TVmoObject& object, double sizeMeasure, float opacity) const {
  if (!m_picture || !(opacity > 0))
    return;
  const TShadowSettings& shadow = object.Shadow();
  const TPlacement placement = Placement(object.ObjectFrame(), object.PivotX(), object.PivotY(), object.Width(),
                                         object.Height(), sizeMeasure, shadow.Distance, shadow.Angle, shadow.Shadow3D);
  TPictureSource source;
  source.Store = m_picture.Get();
  TPictureDrawParams params;
  params.Feathered = false;
  params.Opacity = opacity;
  drawer.DrawPicture(source, placement, params);
}

TShadowNameParams ShapeShadowParams(const TVmoObject& object, int gradient, int startAlpha, int endAlpha) {
  const TShadowSettings& shadow = object.Shadow();
  TShadowNameParams params;
  params.Width = object.Width();
  params.Height = object.Height();
  params.BaseAlpha = 0;
  params.ContourIndex = shadow.SpreadIndex;
  params.Gradient = gradient;
  params.GradientStartAlpha = startAlpha;
  params.GradientEndAlpha = endAlpha;
  params.Blue = shadow.Color.b;
  params.Green = shadow.Color.g;
  params.Red = shadow.Color.r;
  params.Opacity = shadow.Opacity;
  params.Source = std::string(kShapeShadowSource);
  if (params.Width > 0 && params.Height > 0)
    ScaleShapeShadow(params, shadow.Size);
  return params;
}

} // namespace qx
