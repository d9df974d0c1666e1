// The random mosaic: the target rectangle cut into MosaicDX x MosaicDY
// equal cells that fade in, each over 255 steps, in an order drawn from the
// transition's seed, so the same seed and phase always give the same
// picture.
#pragma once

#include "VmoLib2/3DEngine/qxDrawFilter2.h"

#include <cstdint>
#include <vector>

namespace qx {

class TRandomFilter : public TDrawFilter {
public:
  // Cells per side at most, whatever the project asks for.
  static constexpr int kMaxCellsPerSide = 256;

  TRandomFilter(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TRandomFilter"; }
  int Columns() const { return m_columns; }
  int Rows() const { return m_rows; }
  // MosaicSC when below 100 (and not negative), else 1000.
  int Scale() const { return m_scale; }
  uint32_t Seed() const { return m_seed; }

  // The thresholds of the cells, row-major: the integer part of u x (scale
  // x 100), u uniform in [0, 1) from the generator s <- s x 1664525 +
  // 1013904223 seeded with Seed.
  const std::vector<int32_t>& Thresholds() const { return m_thresholds; }
  // This frame's step: trunc(phase x (scale x 100 + 256)) - 256. A cell
  // with threshold t shows when t - step < 255, opaque when t - step < 0,
  // else with alpha 255 - (t - step).
  int64_t Step() const;
  // The alpha of a cell at this frame (0 when it is not drawn).
  int CellAlpha(int index) const;

  void Draw(TEffController& controller) override;

protected:
  void ComputeGeometry() override;

private:
  int m_columns;
  int m_rows;
  int m_scale;
  uint32_t m_seed;
  std::vector<int32_t> m_thresholds;
};

// The generator's next value in [0, 1): the float whose exponent is that of
// 1.0 and whose mantissa is the low 23 bits of the advanced state, minus 1.
float NextMosaicRandom(uint32_t& state);

} // namespace qx
