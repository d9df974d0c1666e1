// The base of every transition effect (TDrawFilter), the plain cross-fade
// (TAlphaFilter) and the family of soft shapes grown from a centre
// (TCommonFilter). An effect is told its progress each frame and draws the
// slide rendered for it through the effecter's tile controller: triangles
// whose vertices carry the alpha the slide shows with, or textured
// triangles placed in space.
#pragma once

#include "VmoLib2/3DEngine/qxEffController.h"
#include "VmoLib2/VmoClasses/qxVmoEffectParams.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace qx {

class TMultiTile;

// A rectangle in pixels; Right and Bottom are exclusive.
struct TPixelRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
};

// The ease-in-out curve of the flip, the swap and the preset masks:
// 2t^2 below 0.5, 1 - 2(1 - t)^2 above (t in 0 ... 1).
double EaseInOut(double t);
// The S-shaped ramp of soft edges over 0 ... 255: x^2 / 128 below 127.5,
// 255 - (255 - x)^2 / 128 above.
double SoftRamp(double x);
// The 256-entry ramp table of the sweeps: T[i] = floor(i^2 / 128) for
// i < 128 and T[255 - i] = 255 - T[i].
const std::array<uint8_t, 256>& SweepRampTable();

// Draws the rendered slide's rectangle `picture` (target pixels) as a card
// whose corners stand at `corners` (the picture's top-left, top-right,
// bottom-left and bottom-right; depth in pixels away from the viewer),
// shaded `grey`, through the controller's whole-area tile.
void DrawCard(TEffController& controller, const TPixelRect& picture, const std::array<T3DPoint, 4>& corners,
              uint8_t grey);

// Base of every transition effect.
class TDrawFilter {
public:
  TDrawFilter(int effectClass, int variant, const TEffectParams& params);
  TDrawFilter(const TDrawFilter&) = delete;
  TDrawFilter& operator=(const TDrawFilter&) = delete;
  virtual ~TDrawFilter();

  // The name of the effect kind, for logs and inspection.
  virtual std::string_view ClassName() const = 0;

  // Stores the slide rectangle, the soft edge width (pixels) and the
  // duration (ms), resets the progress to 0 and lets the effect compute its
  // geometry. Called once, on the drawing thread, before the first frame.
  void Init(const TPixelRect& slideRect, int softEdge, double duration);
  // Progress in ms, kept within 0 ... duration.
  void SetProgress(double progress);

  // Emits this frame's geometry into the drawer's tile controller. Called on
  // the drawing thread inside the frame lock. The base emits nothing.
  virtual void Draw(TEffController& controller);

  int EffectClass() const { return m_class; }
  int Variant() const { return m_variant; }
  const TEffectParams& Params() const { return m_params; }
  float Duration() const { return m_duration; }
  // Progress over duration, 0 ... 1 (0 for a zero duration).
  double Phase() const { return m_progress * m_reciprocal; }
  float Progress() const { return m_progress; }
  int SoftEdge() const { return m_softEdge; }
  const TPixelRect& SlideRect() const { return m_slideRect; }
  const TPixelRect& TargetRect() const { return m_targetRect; }
  // The drawer's clip rectangle, set after creation.
  void SetTargetRect(const TPixelRect& rect) { m_targetRect = rect; }
  // The shape shrinks instead of growing; the drawer swaps the two slides.
  bool Inverted() const { return m_inverted; }
  // The effect moves the whole slide (slide and push).
  bool WholeSlide() const { return m_wholeSlide; }

  // A point of the slide rectangle mapped onto the target rectangle: the
  // slide rectangle covers the target rectangle exactly.
  TFloatPoint ToTarget(double x, double y) const;
  // Horizontal and vertical target pixels per slide pixel.
  double ScaleX() const;
  double ScaleY() const;

protected:
  // Called by Init once the rectangle and soft edge are known; members that
  // derive geometry from them override it.
  virtual void ComputeGeometry();
  void SetInverted(bool value) { m_inverted = value; }
  void SetWholeSlide(bool value) { m_wholeSlide = value; }

private:
  int m_class;
  int m_variant;
  TEffectParams m_params;
  float m_duration = 0;
  double m_reciprocal = 0;
  float m_progress = 0;
  int m_softEdge = 0;
  TPixelRect m_slideRect;
  TPixelRect m_targetRect;
  bool m_inverted = false;
  bool m_wholeSlide = false;
};

// Plain cross-fade; also the fallback of every class without a shape.
class TAlphaFilter : public TDrawFilter {
public:
  using TDrawFilter::TDrawFilter;
  std::string_view ClassName() const override { return "TAlphaFilter"; }
  // The whole target rectangle with alpha = phase x 255, no soft edge.
  void Draw(TEffController& controller) override;
};

// Shapes grown from a centre given as fractions of the slide: at distance
// r = phase x reach (reach - that when inverted) the incoming slide is
// opaque inside r - soft edge, fades along the S ramp up to r and is
// absent beyond. Members say what a ring between two distances is.
class TCommonFilter : public TDrawFilter {
public:
  // Soft edges are cut into at most this many rings.
  static constexpr int kSoftRings = 14;
  // Rings narrower than this (pixels) are merged into the next one.
  static constexpr double kMinRingWidth = 2;

  TCommonFilter(int effectClass, int variant, const TEffectParams& params, double centerX, double centerY,
                bool inverted);
  double CenterX() const { return m_centerX; }
  double CenterY() const { return m_centerY; }
  // The centre in slide pixels.
  TFloatPoint Center() const;
  // The distance at which the shape covers the whole slide, plus the soft
  // edge width.
  double Reach() const { return m_reach; }

  void Draw(TEffController& controller) override;

  // Emits the soft shape with outer distance `a` and inner distance `b`
  // (the core inside b, the soft edge between b and a) through EmitRing.
  void EmitSoftShape(double a, double b);

protected:
  void ComputeGeometry() override;
  // The distance at which the shape covers the whole slide (before the
  // soft edge is added).
  virtual double ComputeReach() const = 0;
  // Emits the region between distances `inner` and `outer` with the alphas
  // at those edges. `order` counts the rings emitted this frame from 0 (the
  // core, when there is one); ring k's inner edge is ring k - 1's outer.
  virtual void EmitRing(int order, double outerAlpha, double innerAlpha, double outer, double inner) = 0;
  // A triangle in slide pixels, mapped onto the target.
  void Emit(const TEffVertex& a, const TEffVertex& b, const TEffVertex& c);
  // A quadrilateral (in order around it) in slide pixels.
  void EmitQuad(const TEffVertex& a, const TEffVertex& b, const TEffVertex& c, const TEffVertex& d);

private:
  double m_centerX;
  double m_centerY;
  double m_reach = 0;
  TMultiTile* m_sink = nullptr;
};

} // namespace qx
