// The effect objects that draw a running slide transition, and the factory
// that makes the effect of a transition class. Each effect keeps the
// settings it was made with and draws through the drawer's tile controller;
// effects without drawing of their own yet emit nothing.
#pragma once

#include "VmoLib2/VmoClasses/qxVmoEffectParams.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace qx {

class TEffController;
class TFileAccessor;

// A rectangle in pixels; Right and Bottom are exclusive.
struct TPixelRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
};

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
  // geometry. Called once, on the engine thread, before the first frame.
  void Init(const TPixelRect& slideRect, int softEdge, double duration);
  // Progress in ms, kept within 0 ... duration.
  void SetProgress(double progress);

  // Emits this frame's geometry into the drawer's tile controller. Called on
  // the engine thread inside the frame lock. The base emits no geometry.
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

// Shapes grown from a centre given as fractions of the slide.
class TCommonFilter : public TDrawFilter {
public:
  TCommonFilter(int effectClass, int variant, const TEffectParams& params, double centerX,
                double centerY, bool inverted);
  double CenterX() const { return m_centerX; }
  double CenterY() const { return m_centerY; }

private:
  double m_centerX;
  double m_centerY;
};

class TCircleFilter : public TCommonFilter {
public:
  using TCommonFilter::TCommonFilter;
  std::string_view ClassName() const override { return "TCircleFilter"; }
};

class TRhombFilter : public TCommonFilter {
public:
  using TCommonFilter::TCommonFilter;
  std::string_view ClassName() const override { return "TRhombFilter"; }
};

class TSquareFilter : public TCommonFilter {
public:
  using TCommonFilter::TCommonFilter;
  std::string_view ClassName() const override { return "TSquareFilter"; }
};

// Two full-height bands growing sideways from the centre.
class THLines : public TCommonFilter {
public:
  using TCommonFilter::TCommonFilter;
  std::string_view ClassName() const override { return "THLines"; }
};

// Two full-width bands growing up and down from the centre.
class TVLines : public TCommonFilter {
public:
  using TCommonFilter::TCommonFilter;
  std::string_view ClassName() const override { return "TVLines"; }
};

// Bands with 45 degree edges.
class TDiagLines : public TCommonFilter {
public:
  TDiagLines(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TDiagLines"; }
  // 0: one band on the right, 1: both sides from the middle, 2: left only.
  int Mode() const { return m_mode; }
  bool OtherDiagonal() const { return m_otherDiagonal; }

private:
  int m_mode = 1;
  bool m_otherDiagonal = false;
};

// Random mosaic of cells fading in.
class TRandomFilter : public TDrawFilter {
public:
  TRandomFilter(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TRandomFilter"; }
  int Columns() const { return m_columns; }
  int Rows() const { return m_rows; }
  int Scale() const { return m_scale; }
  uint32_t Seed() const { return m_seed; }

private:
  int m_columns;
  int m_rows;
  int m_scale;
  uint32_t m_seed;
};

// The incoming slide moves in whole from the side named by the variant.
class TSlideFilter : public TDrawFilter {
public:
  TSlideFilter(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TSlideFilter"; }
};

// As TSlideFilter, and the outgoing slide is pushed out.
class TPushFilter : public TSlideFilter {
public:
  using TSlideFilter::TSlideFilter;
  std::string_view ClassName() const override { return "TPushFilter"; }
};

// Sector sweep around the slide centre, clockwise from 12 o'clock.
class TClockEffect : public TDrawFilter {
public:
  TClockEffect(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TClockEffect"; }
  bool Reversed() const { return m_reversed; }
  double CenterX() const { return 0.5; }
  double CenterY() const { return 0.5; }

private:
  bool m_reversed;
};

// A ray swept around a pivot outside the slide.
class TBroomEffect : public TDrawFilter {
public:
  TBroomEffect(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TBroomEffect"; }
  // 1 ... 8: up, right, down, left, up-right, down-right, down-left, up-left.
  int Direction() const { return m_direction; }
  // The pivot's distance from the slide, pixels.
  float Offset() const { return Params().BroomOffset; }

private:
  int m_direction;
};

// Page roll, straight (class 14) or diagonal (class 15).
class TRollEffect2 : public TDrawFilter {
public:
  TRollEffect2(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TRollEffect2"; }
  // Roll diameter in whole pixels.
  int Diameter() const { return m_diameter; }

private:
  int m_diameter;
};

// Card flip about the vertical or horizontal axis.
class TOverturnEffect : public TDrawFilter {
public:
  TOverturnEffect(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TOverturnEffect"; }
  // 1 ... 8: the variant, plus 4 when turning about the centre line.
  int Mode() const { return m_mode; }

private:
  int m_mode;
};

// The two slides swap places in space.
class TTwoSlidesEffect : public TDrawFilter {
public:
  TTwoSlidesEffect(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TTwoSlidesEffect"; }
  double MaxAngle() const { return m_maxAngle; } // radians

private:
  double m_maxAngle;
};

// Makes and initialises the effect of a transition class for a slide
// rectangle; none for class 0 or less. Fractions of the params are scaled to
// the rectangle and the smooth edge becomes pixels. Custom transitions
// (class 18) look their definition up through `accessor` (none: cross-fade).
std::unique_ptr<TDrawFilter> CreateEffect(int effectClass, int variant,
                                          const TEffectParams& params,
                                          const TPixelRect& slideRect, double duration,
                                          const TFileAccessor* accessor);

} // namespace qx
