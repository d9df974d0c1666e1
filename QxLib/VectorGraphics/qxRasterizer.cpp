#include "QxLib/VectorGraphics/qxRasterizer.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qx {

namespace {

// Up to this many edges entering at one row keep the active list nearly
// sorted, so an insertion sort is cheapest; more call for a full sort.
constexpr size_t kInsertionSortLimit = 10;

// Edge x positions are kept well inside int32 so that span arithmetic never
// overflows.
constexpr double kMaxEdgeX = double(1 << 30);

int32_t EdgeXAt(const TEdge& edge, int32_t row) {
  const double x = std::round((double(row) - edge.TopY + 0.5) * edge.Slope) + edge.TopX;
  if (!(x > -kMaxEdgeX))
    return -static_cast<int32_t>(kMaxEdgeX);
  if (!(x < kMaxEdgeX))
    return static_cast<int32_t>(kMaxEdgeX);
  return static_cast<int32_t>(x);
}

uint8_t Div255(uint32_t value) { return static_cast<uint8_t>((value + 127) / 255); }

} // namespace

TBgra BlendOver(TBgra pixel, TBgra color) {
  const uint32_t sa = color.a;
  if (sa == 255)
    return color;
  if (sa == 0)
    return pixel;
  const uint32_t da = Div255(uint32_t{pixel.a} * (255 - sa));
  const uint32_t outA = sa + da;
  auto channel = [&](uint8_t s, uint8_t d) { return static_cast<uint8_t>((s * sa + d * da + outA / 2) / outA); };
  return {channel(color.b, pixel.b), channel(color.g, pixel.g), channel(color.r, pixel.r), static_cast<uint8_t>(outA)};
}

// --- TRasterizer ----------------------------------------------------------

TRasterizer::TRasterizer() {
  m_active.reserve(16);
  m_lowPixel = std::numeric_limits<int32_t>::max();
}

void TRasterizer::EnterEdges(TOutline& outline, int32_t row, size_t& next) {
  const std::vector<uint32_t>& sorted = outline.SortedIndex();
  const std::vector<TEdge>& edges = outline.Edges();
  while (next < sorted.size() && edges[sorted[next]].TopY <= row) {
    const TEdge& edge = edges[sorted[next]];
    // Edges that end above the first row never take part.
    if (int64_t{edge.TopY} + edge.Height > row)
      m_active.push_back(sorted[next]);
    ++next;
  }
}

void TRasterizer::SortActive(const std::vector<TEdge>& edges, size_t entered) {
  auto byX = [&edges](uint32_t a, uint32_t b) { return edges[a].X < edges[b].X; };
  if (entered > kInsertionSortLimit) {
    std::sort(m_active.begin(), m_active.end(), byX);
    return;
  }
  for (size_t i = 1; i < m_active.size(); ++i) {
    const uint32_t value = m_active[i];
    size_t j = i;
    while (j > 0 && byX(value, m_active[j - 1])) {
      m_active[j] = m_active[j - 1];
      --j;
    }
    m_active[j] = value;
  }
}

void TRasterizer::CoverSpan(int32_t x0, int32_t x1) {
  x0 = std::max(x0, 0);
  x1 = std::min(x1, m_rightLimit);
  if (x0 >= x1)
    return;
  const int32_t first = x0 / kRasterSubSamples;
  const int32_t last = (x1 - 1) / kRasterSubSamples;
  if (first == last) {
    m_coverage[first] += static_cast<uint16_t>((x1 - 1) % kRasterSubSamples - x0 % kRasterSubSamples + 1);
  } else {
    m_coverage[first] += static_cast<uint16_t>(kRasterSubSamples - x0 % kRasterSubSamples);
    for (int32_t p = first + 1; p < last; ++p)
      m_coverage[p] += kRasterSubSamples;
    m_coverage[last] += static_cast<uint16_t>((x1 - 1) % kRasterSubSamples + 1);
  }
  m_lowPixel = std::min(m_lowPixel, first);
  m_highPixel = std::max(m_highPixel, last);
}

void TRasterizer::CoverRow(const std::vector<TEdge>& edges, bool evenOdd) {
  int32_t winding = 0;
  int32_t reference = 1;
  int32_t previous = 0;
  for (const uint32_t index : m_active) {
    const TEdge& edge = edges[index];
    if (winding == 0)
      reference = edge.Direction;
    const int32_t product = winding * reference;
    const bool covered = evenOdd ? (product & 1) != 0 : product > 0;
    if (covered)
      CoverSpan(previous, std::min(edge.X, m_rightLimit));
    winding += edge.Direction;
    previous = edge.X;
    if (edge.X >= m_rightLimit)
      break;
  }
}

void TRasterizer::FlushRow(int y, const TRowWriter& writer) {
  if (m_highPixel < m_lowPixel)
    return;
  writer(y, m_lowPixel, m_highPixel, m_coverage.data() + m_lowPixel);
  std::fill(m_coverage.begin() + m_lowPixel, m_coverage.begin() + m_highPixel + 1, uint16_t{0});
  m_lowPixel = std::numeric_limits<int32_t>::max();
  m_highPixel = -1;
}

void TRasterizer::Sweep(TOutline& outline, int width, int height, const TRowWriter& writer) {
  if (width <= 0 || height <= 0 || outline.Edges().empty())
    return;
  std::vector<TEdge>& edges = outline.Edges();
  const std::vector<uint32_t>& sorted = outline.SortedIndex();
  QX_ASSERT(sorted.size() == edges.size(), "TRasterizer.Sweep: outline not finished");

  // The row is kept clear between sweeps (each flush clears what it
  // touched), so a sweep of a small glyph never walks the whole width.
  if (m_highPixel >= m_lowPixel)
    std::fill(m_coverage.begin() + m_lowPixel, m_coverage.begin() + m_highPixel + 1, uint16_t{0});
  if (m_coverage.size() != static_cast<size_t>(width))
    m_coverage.assign(static_cast<size_t>(width), 0);
  m_rightLimit = width * kRasterSubSamples;
  m_lowPixel = std::numeric_limits<int32_t>::max();
  m_highPixel = -1;
  m_active.clear();

  const int64_t end = int64_t{height} * kRasterSubSamples;
  size_t next = 0;
  int32_t pixelRow = 0;
  for (int64_t row = std::max(edges[sorted[0]].TopY, 0); row < end; ++row) {
    const int32_t subRow = static_cast<int32_t>(row);
    const size_t before = m_active.size();
    EnterEdges(outline, subRow, next);
    const size_t entered = m_active.size() - before;

    std::erase_if(m_active, [&edges, row](uint32_t index) {
      const TEdge& edge = edges[index];
      return row - edge.TopY >= edge.Height;
    });
    if (m_active.empty()) {
      if (next >= sorted.size())
        break;
      // Nothing to cover until the next edge starts: skip the empty rows.
      const int64_t nextTop = edges[sorted[next]].TopY;
      if (nextTop / kRasterSubSamples != pixelRow)
        FlushRow(pixelRow, writer);
      row = nextTop - 1;
      continue;
    }
    for (const uint32_t index : m_active)
      edges[index].X = EdgeXAt(edges[index], subRow);
    SortActive(edges, entered);
    CoverRow(edges, outline.EvenOdd());
    pixelRow = subRow / kRasterSubSamples;
    if (subRow % kRasterSubSamples == kRasterSubSamples - 1)
      FlushRow(pixelRow, writer);
  }
  FlushRow(pixelRow, writer);
}

// --- TRasterHelper --------------------------------------------------------

TRasterHelper::TRasterHelper(TBitmap& target) : m_target(target) {
  QX_ASSERT(target.Format() == TPixelFormat::Bgra32, "TRasterHelper: the target must be Bgra32");
}

void TRasterHelper::Fill() {
  if (m_cancel && m_cancel())
    throw EAbort("TRasterHelper: cancelled");
  m_outline.SetEvenOdd(m_evenOdd);
  m_outline.Finish();
  m_rasterizer.Sweep(
      m_outline, m_target.Width(), m_target.Height(),
      [this](int y, int first, int last, const uint16_t* coverage) { WriteRow(y, first, last, coverage); });
}

void TRasterHelper::FillPath(const TPathPoint* points, size_t count) {
  m_outline.Clear();
  m_outline.AddPath(points, count, m_transform);
  Fill();
}

void TRasterHelper::FillRect(double left, double top, double right, double bottom) {
  m_outline.Clear();
  m_outline.MoveTo({left, top});
  m_outline.LineTo({right, top});
  m_outline.LineTo({right, bottom});
  m_outline.LineTo({left, bottom});
  Fill();
}

void TRasterHelper::WriteRow(int y, int first, int last, const uint16_t* coverage) {
  uint8_t* row = m_target.Scanline(y);
  for (int x = first; x <= last; ++x) {
    const uint32_t k = coverage[x - first];
    if (k == 0)
      continue;
    TBgra color = m_colorCallback ? m_colorCallback(x, y) : m_color;
    if (k < static_cast<uint32_t>(kFullCoverage))
      color.a = static_cast<uint8_t>((k * color.a) >> 8);
    uint8_t* pixel = row + 4 * x;
    const TBgra blended = BlendOver({pixel[0], pixel[1], pixel[2], pixel[3]}, color);
    pixel[0] = blended.b;
    pixel[1] = blended.g;
    pixel[2] = blended.r;
    pixel[3] = blended.a;
  }
}

} // namespace qx
