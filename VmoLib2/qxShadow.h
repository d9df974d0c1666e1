// Drop shadows: the soft shadow of a picture's alpha channel (or of any
// 8-bit mask), blurred by shrinking and re-enlarging with a cubic B-spline
// filter, optionally reshaped by a contour curve, and coloured.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/Graphics/qxBitmapStore.h"
#include "VmoLib2/qxContourCurves.h"

#include <functional>

namespace qx {

// Polled while a shadow is made; returning true cancels the production,
// which then raises EAbort.
using TCancelCallback = std::function<bool()>;

// The blur of a drop shadow. The result is an 8-bit mask larger than the
// source by Border() pixels on every side.
class TDropShadow {
public:
  // The blur radius; a value that is not above 0 becomes 1.
  void SetSigma(double sigma);
  double Sigma() const { return m_sigma; }
  // A shadow size s sets sigma to s + 1.
  void SetSize(double size) { SetSigma(size + 1); }

  // The border added on each side: ceil(2.5 sigma).
  int Border() const;

  TCurvesData& Curve() { return m_curve; }
  const TCurvesData& Curve() const { return m_curve; }

  // Blurs the mask of `source`: the alpha channel of a Bgra32 bitmap, a
  // Gray8 bitmap as it is, and an opaque mask for formats without alpha.
  // `cancel` is polled after each row copied from the source. Raises
  // EQxError "Source bitmap too small" for an empty source,
  // EPictureTooLarge when the bordered mask would exceed the picture
  // limits, and EAbort when cancelled.
  void Execute(const TBitmap& source, const TCancelCallback& cancel = {});

  // The shrunk mask and the final blurred mask (Gray8) of the last Execute.
  const TBitmap& SmallMask() const { return m_smallMask; }
  const TBitmap& Mask() const { return m_mask; }

private:
  TBitmap BorderedMask(const TBitmap& source, const TCancelCallback& cancel) const;

  double m_sigma = 1;
  TCurvesData m_curve;
  TBitmap m_smallMask;
  TBitmap m_mask;
};

// Colours an 8-bit mask: every pixel gets the colour's B, G, R and the alpha
// m * (colour alpha) / 255 (integer division) for mask value m. `cancel` is
// polled after each row (EAbort when it answers true).
TBitmap ColorizeMask(const TBitmap& mask, TBgra color, const TCancelCallback& cancel = {});

// Makes shadow pictures: a drop shadow, the shadow colour (its alpha is the
// shadow's opacity) and the cancel callback.
class TShadowProducer {
public:
  TDropShadow& Shadow() { return m_shadow; }
  const TDropShadow& Shadow() const { return m_shadow; }

  void SetColor(TBgra color) { m_color = color; }
  TBgra Color() const { return m_color; }

  void SetCancelCallback(TCancelCallback callback) { m_cancel = std::move(callback); }

  // The coloured shadow of `source` as a Bgra32 picture the size of the
  // bordered mask. Raises as TDropShadow::Execute does.
  TBitmap Produce(const TBitmap& source);
  // The same for level 0 of a picture, taken as Bgra32.
  TBitmap Produce(TBitmapStore& store);

private:
  TDropShadow m_shadow;
  TBgra m_color{0, 0, 0, 255};
  TCancelCallback m_cancel;
};

} // namespace qx
