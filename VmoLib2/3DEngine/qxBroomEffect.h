// The broom sweeps: a ray turning about a pivot outside the slide, beyond
// the side (or corner) the sweep comes from, reveals the incoming slide
// behind it with a soft edge of a fixed angle. Eight directions; inverted
// variants sweep the outgoing slide away.
#pragma once

#include "VmoLib2/3DEngine/qxClockEffect.h"

#include <array>
#include <memory>

namespace qx {

// The sweep of one direction. Angles are screen angles about the pivot
// (atan2 with y down, so they grow clockwise); the sweep turns from the
// start angle to the end angle.
class TBroom {
public:
  // The full turn is sampled at this many steps ...
  static constexpr int kSamples = 1000;
  // ... and emitted in fans of this many samples away from the soft edge.
  static constexpr int kCoarseSamples = 10;

  virtual ~TBroom() = default;

  // Sets the slide rectangle (slide pixels), the pivot's offset and the
  // soft edge width (pixels); computes the pivot, the angles and the soft
  // angle 2 arccot(2 x (distance to the slide's centre) / soft width).
  void Init(const TFloatRect& slide, double offset, double softWidth);
  TFloatPoint Pivot() const { return m_pivot; }
  // The slide lies between these angles; the sweep starts a soft angle
  // before the first, so that nothing shows at phase 0, and ends at the
  // last, where everything shows.
  double FirstAngle() const { return m_first; }
  double LastAngle() const { return m_last; }
  double StartAngle() const { return m_first - m_softAngle; }
  double EndAngle() const { return m_last; }
  double SoftAngle() const { return m_softAngle; }
  double RayLength() const { return m_rayLength; }

  // 0 behind the sweep angle, 255 more than the soft angle ahead of it,
  // the ramp table in between.
  double Level(double angle, double sweep) const;
  // Emits the fan of the part that shows at sweep angle `sweep`, from
  // where the rays enter the slide to their ends.
  void Emit(double sweep, const TLevelSink& sink) const;

protected:
  // The pivot for a slide rectangle and offset.
  virtual TFloatPoint PlacePivot(const TFloatRect& slide, double offset) const = 0;

private:
  TFloatPoint m_pivot;
  double m_first = 0;
  double m_last = 0;
  double m_softAngle = 0;
  double m_rayLength = 0;
  double m_innerRadius = 0;
};

// Pivots beyond a side: its middle, the offset away.
class TBroomUp final : public TBroom {
protected:
  TFloatPoint PlacePivot(const TFloatRect& slide, double offset) const override;
};
class TBroomRight final : public TBroom {
protected:
  TFloatPoint PlacePivot(const TFloatRect& slide, double offset) const override;
};
class TBroomDown final : public TBroom {
protected:
  TFloatPoint PlacePivot(const TFloatRect& slide, double offset) const override;
};
class TBroomLeft final : public TBroom {
protected:
  TFloatPoint PlacePivot(const TFloatRect& slide, double offset) const override;
};
// Pivots beyond a corner: the offset away along the diagonal.
class TBroomUpRight final : public TBroom {
protected:
  TFloatPoint PlacePivot(const TFloatRect& slide, double offset) const override;
};
class TBroomDownRight final : public TBroom {
protected:
  TFloatPoint PlacePivot(const TFloatRect& slide, double offset) const override;
};
class TBroomDownLeft final : public TBroom {
protected:
  TFloatPoint PlacePivot(const TFloatRect& slide, double offset) const override;
};
class TBroomUpLeft final : public TBroom {
protected:
  TFloatPoint PlacePivot(const TFloatRect& slide, double offset) const override;
};

// The broom of a direction 1 ... 8 (up, right, down, left, up-right,
// down-right, down-left, up-left); others are an assertion.
std::unique_ptr<TBroom> MakeBroom(int direction);

class TBroomEffect : public TDrawFilter {
public:
  // Variants above this sweep the other way.
  static constexpr int kDirections = 8;

  TBroomEffect(int effectClass, int variant, const TEffectParams& params);
  ~TBroomEffect() override;
  std::string_view ClassName() const override { return "TBroomEffect"; }
  // 1 ... 8: up, right, down, left, up-right, down-right, down-left, up-left.
  int Direction() const { return m_direction; }
  // The pivot's distance from the slide, pixels.
  float Offset() const { return Params().BroomOffset; }
  // The broom, made on the first draw.
  const TBroom* Broom() const { return m_broom.get(); }
  // The sweep angle at this phase (with 1 - phase when inverted).
  double SweepAngle();

  void Draw(TEffController& controller) override;

private:
  TBroom& Generator();

  int m_direction;
  std::unique_ptr<TBroom> m_broom;
};

} // namespace qx
