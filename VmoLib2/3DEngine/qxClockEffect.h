// The clock sweep: the incoming slide shows through a sector around the
// slide's centre that starts at 12 o'clock and turns clockwise (mirrored
// for the reversed variant) through phase x 2 pi, both its edges soft.
#pragma once

#include "VmoLib2/3DEngine/qx2DSeparator.h"
#include "VmoLib2/3DEngine/qxDrawFilter2.h"

#include <functional>
#include <memory>
#include <vector>

namespace qx {

// A vertex of a sweep: a point and its level, 0 where the incoming slide
// shows fully, 255 where it is hidden.
struct TLevelVertex {
  double x = 0;
  double y = 0;
  double level = 0;
};

using TLevelSink = std::function<void(const TLevelVertex&, const TLevelVertex&, const TLevelVertex&)>;

// The sector generator of the clock. The fixed edge is a band of the soft
// width centred on the upward ray from the centre, revealing on its right;
// the hand is a band of the same width centred on the ray at the sweep
// angle, revealing behind it. Across each band the level follows the
// soft-edge S ramp of the distance to the nearer ray. The rectangle is cut
// where that rule changes and along the ramp's steps, so that the level is
// linear on each piece.
class TArrow {
public:
  // Steps of each soft band.
  static constexpr int kRampSteps = 14;

  // `rect` in slide pixels; `softWidth` > 0 pixels; `centre` a point.
  TArrow(const TFloatRect& rect, double softWidth, TFloatPoint centre);

  // The level of a point at sweep angle `angle` (radians, clockwise from 12
  // o'clock).
  double Level(double x, double y, double angle) const;
  // Emits the rectangle's pieces that show anything at sweep angle
  // `angle`: nothing at 0 or below, the whole rectangle at level 0 from
  // 2 pi on.
  void Emit(double angle, const TLevelSink& sink);

private:
  TFloatRect m_rect;
  double m_soft;
  TFloatPoint m_centre;
  std::vector<std::vector<TCutVertex>> m_pieces;
  std::vector<std::vector<TCutVertex>> m_next;
};

class TClockEffect : public TDrawFilter {
public:
  // The soft width used when the transition has none: a sharp edge.
  static constexpr double kHardEdge = 0.001;

  TClockEffect(int effectClass, int variant, const TEffectParams& params);
  ~TClockEffect() override;
  std::string_view ClassName() const override { return "TClockEffect"; }
  bool Reversed() const { return m_reversed; }
  double CenterX() const { return 0.5; }
  double CenterY() const { return 0.5; }

  void Draw(TEffController& controller) override;

private:
  bool m_reversed;
  std::unique_ptr<TArrow> m_arrow;
};

} // namespace qx
