// The anti-aliased scan converter: sweeps an outline with 16 × 16
// sub-samples per pixel through an active edge list and a row of coverage
// counters, and hands each finished pixel row to a row writer; the raster
// helper blends a colour into a 32-bit picture with it.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/VectorGraphics/qxRasterizerUtils.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace qx {

// Full coverage of one pixel: 16 sub-rows of 16 sub-samples.
inline constexpr int32_t kFullCoverage = kRasterSubSamples * kRasterSubSamples;

// Receives the coverage (0 … 256) of pixels first … last (inclusive) of
// pixel row y; coverage[0] belongs to pixel `first`.
using TRowWriter = std::function<void(int y, int first, int last, const uint16_t* coverage)>;

class TRasterizer {
public:
  TRasterizer();

  // Sweeps the finished outline over a width × height target, calling
  // `writer` once per pixel row that has coverage. Memory grows only with
  // the target width and the edge count, never per row.
  void Sweep(TOutline& outline, int width, int height, const TRowWriter& writer);

private:
  void EnterEdges(TOutline& outline, int32_t row, size_t& next);
  void SortActive(const std::vector<TEdge>& edges, size_t entered);
  void CoverRow(const std::vector<TEdge>& edges, bool evenOdd);
  void CoverSpan(int32_t x0, int32_t x1);
  void FlushRow(int y, const TRowWriter& writer);

  std::vector<uint32_t> m_active;
  std::vector<uint16_t> m_coverage;
  int32_t m_rightLimit = 0;
  int32_t m_lowPixel = 0;
  int32_t m_highPixel = -1;
};

// Fills paths into a Bgra32 picture in one colour (or a colour per pixel).
class TRasterHelper {
public:
  using TColorCallback = std::function<TBgra(int x, int y)>;

  // The target must be Bgra32 (assertion otherwise) and outlive the helper.
  explicit TRasterHelper(TBitmap& target);

  void SetColor(TBgra color) { m_color = color; }
  // Asked for the colour of each covered pixel; replaces the plain colour.
  void SetColorCallback(TColorCallback callback) { m_colorCallback = std::move(callback); }
  // Maps path points to target pixels; identity when not set.
  void SetTransform(TPointTransform transform) { m_transform = std::move(transform); }
  void SetEvenOdd(bool evenOdd) { m_evenOdd = evenOdd; }
  // Asked before each fill; true raises EAbort.
  void SetCancelCallback(std::function<bool()> cancel) { m_cancel = std::move(cancel); }

  // Fills one path (all its contours as one shape).
  void FillPath(const TPathPoint* points, size_t count);
  void FillPath(const TPath& path) { FillPath(path.data(), path.size()); }
  // Fills the axis-aligned rectangle [left, right) × [top, bottom) in
  // target pixels (after no transform).
  void FillRect(double left, double top, double right, double bottom);

  TBitmap& Target() { return m_target; }

private:
  void Fill();
  void WriteRow(int y, int first, int last, const uint16_t* coverage);

  TBitmap& m_target;
  TBgra m_color;
  TColorCallback m_colorCallback;
  TPointTransform m_transform;
  std::function<bool()> m_cancel;
  bool m_evenOdd = false;
  TOutline m_outline;
  TRasterizer m_rasterizer;
};

// The "over" composition of a straight-alpha colour onto a straight-alpha
// pixel.
TBgra BlendOver(TBgra pixel, TBgra color);

} // namespace qx
