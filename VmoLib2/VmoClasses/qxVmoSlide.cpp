#include "VmoLib2/VmoClasses/qxVmoSlide.h"

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxIniStorage.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoClasses/qxVmoDrawing.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

namespace qx {

namespace {

// Clears a flag when the scope ends, also when an exception passes.
class TFlagScope {
public:
  explicit TFlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;
  ~TFlagScope() { m_flag = false; }

private:
  bool& m_flag;
};

// The solid and gradient backgrounds reach 2 pixels past the slide on every
// side so that no seam shows at its edges.
constexpr double kBackgroundMargin = 2;

TRgba Opaque(TRgb color) { return {color.r, color.g, color.b, 255}; }

} // namespace

TVmoSlide::TVmoSlide(TVmoObjectHost* host, std::string name) : TVmoObject(nullptr, std::move(name)), m_host(host) {}

TVmoSlide::~TVmoSlide() = default;

TAnchorTimes TVmoSlide::AnchorTimes() const {
  return {m_times.SlideStart, m_times.SlideStart + m_times.InEffect, m_times.SlideEnd,
          m_times.SlideEnd + m_times.OutEffect};
}

TVec3 TVmoSlide::CameraPosition() const {
  if (m_host)
    return m_host->CameraPosition();
  return TVec3{m_center.x, m_center.y, -static_cast<float>(std::max(Height(), 1))};
}

void TVmoSlide::LoadSlide(const TIniIdentList& mainSection, const TIniIdentList& slideSection, bool reload) {
  SetBackground(ReadSlideBackground(mainSection, &slideSection));
  Load(slideSection, reload);
}

void TVmoSlide::SetBackground(const TSlideBackground& background) { SetSetting(m_background, background); }

void TVmoSlide::SetTransition(std::unique_ptr<TVmoFilter> transition) {
  m_transition = std::move(transition);
  MarkNeedsRedraw();
}

TObjectFrame TVmoSlide::ParentFrame() const {
  TObjectFrame frame;
  frame.Origin = m_center;
  return frame;
}

std::array<double, 2> TVmoSlide::LargestExpectedSize() const {
  return {Values().ScaleX * static_cast<double>(Width()) / 100, Values().ScaleY * static_cast<double>(Height()) / 100};
}

void TVmoSlide::UpdatePlacement() {
  const double distance = -static_cast<double>(CameraPosition().z);
  m_depthScale = distance > 0 && Height() > 0 ? distance * Tan30() / Height() : Tan30();
  if (m_inSizePass) {
    TVmoObject::UpdatePlacement();
    return;
  }
  bool keyPointsChanged = false;
  ForEach([&keyPointsChanged](TVmoObject& object) { keyPointsChanged |= object.KeyPoints().Changed(); });
  if (!m_sizesValid || keyPointsChanged) {
    RunSizePass();
    return;
  }
  TVmoObject::UpdatePlacement();
}

void TVmoSlide::RunSizePass() {
  const TFlagScope inPass(m_inSizePass);
  const double previousTime = KeyPoints().EvaluationTime();

  std::vector<double> times;
  ForEach([&times](TVmoObject& object) {
    object.ResetMeasure();
    TKeyPoints& points = object.KeyPoints();
    points.UpdateAnchors();
    for (int i = 0; i < points.Count(); ++i)
      times.push_back(points.AbsoluteTime(i));
  });
  times.push_back(previousTime);
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());

  bool cancelled = false;
  for (const double time : times) {
    if (m_host && m_host->CancelRequested()) {
      cancelled = true;
      break;
    }
    EvaluateAndUpdate(time);
    ForEach([](TVmoObject& object) { object.Measure(); });
  }
  EvaluateAndUpdate(previousTime);
  if (cancelled)
    return;
  ForEach([](TVmoObject& object) {
    object.SizesMeasured();
    object.KeyPoints().ClearChanged();
  });
  m_sizesValid = true;
}

void TVmoSlide::PrepareResources() {
  if (m_background.Style == TBackgroundStyle::Picture && m_host)
    m_backgroundPicture.Update(*m_host, m_background.PictureName, m_background.SizePercent, BaseSize());
  else
    m_backgroundPicture.Clear();
  TVmoObject::PrepareResources();
}

void TVmoSlide::Draw(TDeviceDrawer& drawer) {
  if (m_drawnThisPass)
    return;
  m_drawnThisPass = true;
  try {
    UpdatePlacement();
    ApplyViewport(drawer);
    DrawBackground(drawer);
  } catch (const std::exception&) {
    return;
  }
  for (int i = 0; i < ChildCount(); ++i) {
    try {
      Child(i).Draw(drawer);
    } catch (const std::exception&) {
      // One object failing leaves the rest of the frame standing.
    }
  }
}

TFloatRect TVmoSlide::LogicalViewport() const {
  const TVec3 camera = CameraPosition();
  if (camera.x > 0 && camera.y > 0)
    return {0, 0, std::round(2.0 * camera.x), std::round(2.0 * camera.y)};
  return {0, 0, static_cast<double>(Width()), static_cast<double>(Height())};
}

void TVmoSlide::ApplyViewport(TDeviceDrawer& drawer) const {
  const TFloatRect viewport = LogicalViewport();
  drawer.SetViewport(&viewport, static_cast<int>(viewport.right), static_cast<int>(viewport.bottom));
}

void TVmoSlide::DrawBackground(TDeviceDrawer& drawer) {
  if (!FrameValid() || Width() <= 0 || Height() <= 0)
    return;
  const float opacity = Opacity();
  if (!(opacity > 0))
    return;
  const std::shared_ptr<const TBitmap>& picture = m_backgroundPicture.SharedBitmap();
  if (m_background.Style == TBackgroundStyle::Picture && picture && !picture->IsEmpty()) {
    DrawBackgroundTiles(drawer, picture, opacity);
    return;
  }
  TBoxDrawParams params;
  params.Opacity = opacity;
  params.Color1 = Opaque(m_background.Color1);
  params.Color2 = params.Color1;
  if (m_background.Style == TBackgroundStyle::Gradient && m_background.Gradient != TGradientKind::Solid) {
    params.Gradient = m_background.Gradient;
    params.Color2 = Opaque(m_background.Color2);
  }
  drawer.DrawBox(FramePlacement(ObjectFrame(), PivotX() - kBackgroundMargin, PivotY() - kBackgroundMargin,
                                Width() + 2 * kBackgroundMargin, Height() + 2 * kBackgroundMargin),
                 params);
}

void TVmoSlide::DrawBackgroundTiles(TDeviceDrawer& drawer, const std::shared_ptr<const TBitmap>& picture,
                                    float opacity) {
  const TSize tile{picture->Width(), picture->Height()};
  const TTileGrid grid = BackgroundTileGrid(BaseSize(), tile);
  // Slide rectangle in the slide's own coordinates; each tile is cut to it.
  const double left = PivotX();
  const double top = PivotY();
  const double right = left + Width();
  const double bottom = top + Height();
  const double centreX = left + Width() / 2.0;
  const double centreY = top + Height() / 2.0;
  TPictureDrawParams params;
  params.Opacity = opacity;
  params.Feathered = false;
  for (int32_t row = grid.FirstRow; row <= grid.LastRow; ++row) {
    for (int32_t column = grid.FirstColumn; column <= grid.LastColumn; ++column) {
      const double tileLeft = centreX + column * tile.Width - tile.Width / 2.0;
      const double tileTop = centreY + row * tile.Height - tile.Height / 2.0;
      const double x0 = std::max(tileLeft, left);
      const double y0 = std::max(tileTop, top);
      const double x1 = std::min(tileLeft + tile.Width, right);
      const double y1 = std::min(tileTop + tile.Height, bottom);
      if (!(x1 > x0) || !(y1 > y0))
        continue;
      TPictureSource source;
      source.Bitmap = picture;
      source.SourceRect = {x0 - tileLeft, y0 - tileTop, x1 - tileLeft, y1 - tileTop};
      drawer.DrawPicture(source, FramePlacement(ObjectFrame(), x0, y0, x1 - x0, y1 - y0), params);
    }
  }
}

void TVmoSlide::FrameEnded() {
  m_drawnThisPass = false;
  TVmoObject::FrameEnded();
}

TMouseResult TVmoSlide::MouseEvent(TMouseEventKind kind, double x, double y, int stateFlags, int button) {
  ForEach([](TVmoObject& object) {
    if (object.HasMouseStates())
      object.SetMouseState(TMouseState::Normal);
  });
  if (stateFlags != 0 && stateFlags != kMouseButtonHeld)
    return {};
  // A press arms only the object under the mouse, so that a release can
  // never report the action of an object pressed earlier somewhere else.
  if (kind == TMouseEventKind::ButtonDown)
    ForEach([](TVmoObject& object) { object.SetArmed(false); });

  const THitResult hit = HitTest(x, y, [](const TVmoObject& object) { return !object.ClickThrough(); });
  if (!hit.Object)
    return {};
  TVmoObject& object = *hit.Object;
  TMouseResult result{&object, object.Action(), false};

  if (object.HasMouseStates() && !object.Action().empty()) {
    switch (kind) {
    case TMouseEventKind::Move:
      object.SetMouseState(stateFlags == kMouseButtonHeld ? TMouseState::Pressed : TMouseState::Hover);
      break;
    case TMouseEventKind::ButtonDown:
      if (button == 1) {
        object.SetMouseState(TMouseState::Pressed);
        object.SetArmed(true);
      }
      break;
    case TMouseEventKind::ButtonUp:
      if (button == 1) {
        object.SetMouseState(TMouseState::Hover);
        result.ActionReported = object.Armed();
      }
      object.SetArmed(false);
      break;
    }
    return result;
  }

  if (kind == TMouseEventKind::ButtonDown) {
    object.SetArmed(true);
  } else if (kind == TMouseEventKind::ButtonUp) {
    result.ActionReported = object.Armed() && !object.Action().empty();
    object.SetArmed(false);
  }
  return result;
}

} // namespace qx
