// The mask transitions whose shape grows from a centre: circle, diamond,
// rectangle, horizontal and vertical bands, and bands with 45 degree
// edges. Each says how far it must grow to cover the slide and what the
// ring between two distances of its edge looks like.
#pragma once

#include "VmoLib2/3DEngine/qxDrawFilter2.h"

namespace qx {

class TCircleFilter : public TCommonFilter {
public:
  // Segments of the circle, and of a circle whose centre lies outside the
  // slide.
  static constexpr int kSegments = 128;
  static constexpr int kOutsideSegments = 256;

  using TCommonFilter::TCommonFilter;
  std::string_view ClassName() const override { return "TCircleFilter"; }
  // The distance from the centre to the slide (0 when it lies inside).
  double CenterDistance() const;
  int Segments() const;

protected:
  // The largest corner distance minus the distance to the slide.
  double ComputeReach() const override;
  // A ring between circles of radius d + CenterDistance(); consecutive
  // circles start half a segment apart, so the rings zig-zag and share
  // their edges exactly.
  void EmitRing(int order, double outerAlpha, double innerAlpha, double outer, double inner) override;
};

// Diamond |x - cx| + |y - cy| = d.
class TRhombFilter : public TCommonFilter {
public:
  using TCommonFilter::TCommonFilter;
  std::string_view ClassName() const override { return "TRhombFilter"; }

protected:
  double ComputeReach() const override;
  void EmitRing(int order, double outerAlpha, double innerAlpha, double outer, double inner) override;
};

// Rectangle of half-width d and half-height d x height / width.
class TSquareFilter : public TCommonFilter {
public:
  using TCommonFilter::TCommonFilter;
  std::string_view ClassName() const override { return "TSquareFilter"; }

protected:
  double ComputeReach() const override;
  void EmitRing(int order, double outerAlpha, double innerAlpha, double outer, double inner) override;
};

// Two bands across the whole slide growing from a centre line: sideways
// from a vertical line, or up and down from a horizontal one.
class TLinesFilter : public TCommonFilter {
public:
  TLinesFilter(int effectClass, int variant, const TEffectParams& params, double centerX, double centerY, bool inverted,
               bool acrossRows);

protected:
  // The largest distance from the centre line to the slide's edges.
  double ComputeReach() const override;
  void EmitRing(int order, double outerAlpha, double innerAlpha, double outer, double inner) override;

private:
  bool m_acrossRows;
};

// Two full-height bands growing sideways from the centre.
class THLines : public TLinesFilter {
public:
  THLines(int effectClass, int variant, const TEffectParams& params, double centerX, double centerY, bool inverted)
      : TLinesFilter(effectClass, variant, params, centerX, centerY, inverted, false) {}
  std::string_view ClassName() const override { return "THLines"; }
};

// Two full-width bands growing up and down from the centre.
class TVLines : public TLinesFilter {
public:
  TVLines(int effectClass, int variant, const TEffectParams& params, double centerX, double centerY, bool inverted)
      : TLinesFilter(effectClass, variant, params, centerX, centerY, inverted, true) {}
  std::string_view ClassName() const override { return "TVLines"; }
};

// Bands whose edges run at 45 degrees: at the top edge x = left + s +- d,
// at the bottom x = left + s - height +- d (the other diagonal: s - height
// at the top and s at the bottom).
class TDiagLines : public TCommonFilter {
public:
  TDiagLines(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TDiagLines"; }
  // 0: one band on the right (s = 0), 1: both sides from the middle
  // (s = (width + height) / 2), 2: the left side only (s = width + height).
  int Mode() const { return m_mode; }
  bool OtherDiagonal() const { return m_otherDiagonal; }

protected:
  double ComputeReach() const override;
  void EmitRing(int order, double outerAlpha, double innerAlpha, double outer, double inner) override;

private:
  // One band between offsets `from` and `to` (signed, along x) of the
  // centre line.
  void EmitBand(double from, double fromAlpha, double to, double toAlpha);

  int m_mode = 1;
  bool m_otherDiagonal = false;
};

} // namespace qx
