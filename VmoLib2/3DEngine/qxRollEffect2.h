// The page roll, straight (class 14) or diagonal (class 15): the slide that
// goes through the effect is a page wound onto (or off) a cylinder moving
// across the screen, flat or rising toward the viewer, its back shown in
// the back colour or as the picture.
#pragma once

#include "VmoLib2/3DEngine/qx2DSeparator.h"
#include "VmoLib2/3DEngine/qxDrawFilter2.h"
#include "VmoLib2/3DEngine/qxRoller3.h"

#include <memory>

namespace qx {

class TRollEffect2 : public TDrawFilter {
public:
  // Variants above this unroll (the outgoing slide rolls away).
  static constexpr int kDirections = 4;
  static constexpr int kVariants = 8;

  TRollEffect2(int effectClass, int variant, const TEffectParams& params);
  ~TRollEffect2() override;
  std::string_view ClassName() const override { return "TRollEffect2"; }
  // Roll diameter in whole pixels (at least 2); the cylinder's radius.
  int Diameter() const { return m_diameter; }
  // The unit direction of the roll by class and variant (a variant outside
  // 1 ... 8 is an assertion).
  TFloatPoint Direction() const;
  TRollSettings Settings() const;
  // The roll position at phase 0 and 1: the incoming page starts rolled
  // away and ends flat; inverted, the outgoing page starts flat and ends
  // rolled away.
  double StartPosition() const;
  double EndPosition() const;
  double Position() const;

  void Draw(TEffController& controller) override;

private:
  TRoller3& Roller();

  int m_diameter;
  std::unique_ptr<TRoller3> m_roller;
  TFloatRect m_rollerPage;
  T2DSeparator m_flat;
  T2DSeparator m_rolled;
};

} // namespace qx
