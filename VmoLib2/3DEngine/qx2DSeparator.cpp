#include "VmoLib2/3DEngine/qx2DSeparator.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace qx {

namespace {

// Pieces with less area than this (square target pixels) draw nothing.
constexpr double kMinPieceArea = 1e-9;
constexpr double kFullLevel = 255;

double Coordinate(const TCutVertex& v, const TFloatPoint& normal) {
  return v.texel.x * normal.x + v.texel.y * normal.y;
}

double Lerp(double a, double b, double t) { return a + (b - a) * t; }

// The point of the edge from `low` to `high` (low has the lower coordinate)
// where the coordinate is `at`; along an axis the cut lies on it exactly.
TCutVertex Cut(const TCutVertex& low, const TCutVertex& high, const TFloatPoint& normal, double at) {
  const double t = (at - Coordinate(low, normal)) / (Coordinate(high, normal) - Coordinate(low, normal));
  TCutVertex v;
  v.texel = {Lerp(low.texel.x, high.texel.x, t), Lerp(low.texel.y, high.texel.y, t)};
  if (normal.y == 0 && normal.x == 1) {
    v.texel.x = at;
  } else if (normal.x == 0 && normal.y == 1) {
    v.texel.y = at;
  }
  v.position = {Lerp(low.position.x, high.position.x, t), Lerp(low.position.y, high.position.y, t),
                Lerp(low.position.z, high.position.z, t)};
  v.level = Lerp(low.level, high.level, t);
  return v;
}

TFloatPoint AxisNormal(int axis) { return axis == 0 ? TFloatPoint{1, 0} : TFloatPoint{0, 1}; }

double TexelArea(std::span<const TCutVertex> polygon) {
  double twice = 0;
  for (size_t i = 0; i < polygon.size(); ++i) {
    const TFloatPoint& p = polygon[i].texel;
    const TFloatPoint& q = polygon[(i + 1) % polygon.size()].texel;
    twice += p.x * q.y - q.x * p.y;
  }
  return std::abs(twice) / 2;
}

std::pair<double, double> Range(std::span<const TCutVertex> polygon, int axis) {
  const TFloatPoint normal = AxisNormal(axis);
  double low = Coordinate(polygon.front(), normal);
  double high = low;
  for (const TCutVertex& v : polygon) {
    low = std::min(low, Coordinate(v, normal));
    high = std::max(high, Coordinate(v, normal));
  }
  return {low, high};
}

uint8_t LevelByte(double level) { return static_cast<uint8_t>(std::lround(std::clamp(level, 0.0, kFullLevel))); }

T3DColor Shaded(T3DColor color, double level) {
  const double f = std::clamp(level, 0.0, kFullLevel) / kFullLevel;
  const auto channel = [&](int shift) { return static_cast<uint8_t>(std::lround(((color >> shift) & 0xFF) * f)); };
  return MakeColor(channel(16), channel(8), channel(0), static_cast<uint8_t>(color >> 24));
}

// Cuts `polygon` at the ascending boundaries `bounds` and hands each piece
// with its band index to `keep`; parts outside the first and last
// boundaries are dropped.
template <typename TKeep>
void CutIntoBands(std::span<const TCutVertex> polygon, int axis, std::span<const double> bounds,
                  std::vector<TCutVertex>& rest, std::vector<TCutVertex>& low, std::vector<TCutVertex>& high,
                  TKeep keep) {
  if (polygon.size() < 3 || bounds.size() < 2) {
    return;
  }
  const auto [min, max] = Range(polygon, axis);
  if (max <= bounds.front() || min >= bounds.back()) {
    return;
  }
  rest.assign(polygon.begin(), polygon.end());
  if (min < bounds.front()) {
    SplitPolygon(rest, axis, bounds.front(), low, high);
    rest.swap(high);
  }
  for (size_t band = 0; band + 1 < bounds.size(); ++band) {
    const double end = bounds[band + 1];
    if (end <= min) {
      continue;
    }
    if (rest.size() < 3) {
      return;
    }
    if (max <= end) {
      keep(static_cast<int>(band), std::span<const TCutVertex>(rest));
      return;
    }
    SplitPolygon(rest, axis, end, low, high);
    if (low.size() >= 3) {
      keep(static_cast<int>(band), std::span<const TCutVertex>(low));
    }
    rest.swap(high);
  }
}

// Ends the tile a run of pieces was drawn with, also when drawing raised.
class TTileRun {
public:
  TTileRun() = default;
  TTileRun(const TTileRun&) = delete;
  TTileRun& operator=(const TTileRun&) = delete;
  ~TTileRun() { End(); }

  void Start(TEffTile& tile, bool textured) {
    End();
    m_tile = &tile;
    tile.Begin(textured, true);
  }
  void End() {
    if (m_tile) {
      TEffTile* tile = m_tile;
      m_tile = nullptr;
      tile->End();
    }
  }

private:
  TEffTile* m_tile = nullptr;
};

} // namespace

void SplitPolygon(std::span<const TCutVertex> polygon, int axis, double at, std::vector<TCutVertex>& low,
                  std::vector<TCutVertex>& high) {
  SplitPolygon(polygon, AxisNormal(axis), at, low, high);
}

void SplitPolygon(std::span<const TCutVertex> polygon, const TFloatPoint& normal, double at,
                  std::vector<TCutVertex>& low, std::vector<TCutVertex>& high) {
  low.clear();
  high.clear();
  const size_t n = polygon.size();
  for (size_t i = 0; i < n; ++i) {
    const TCutVertex& p = polygon[i];
    const TCutVertex& q = polygon[(i + 1) % n];
    const double dp = Coordinate(p, normal) - at;
    const double dq = Coordinate(q, normal) - at;
    if (dp <= 0) {
      low.push_back(p);
    }
    if (dp >= 0) {
      high.push_back(p);
    }
    if ((dp < 0 && dq > 0) || (dp > 0 && dq < 0)) {
      const TCutVertex cut = dp < 0 ? Cut(p, q, normal, at) : Cut(q, p, normal, at);
      low.push_back(cut);
      high.push_back(cut);
    }
  }
}

// ---- TXSeparator ----

TXSeparator::TXSeparator() {
  // Room for a few shapes before the lists first grow.
  m_vertices.reserve(32);
  m_pieces.reserve(8);
}

TXSeparator::~TXSeparator() = default;

void TXSeparator::SetColumns(std::span<const double> bounds) {
  QX_ASSERT(bounds.size() >= 2, "Separator needs at least one column");
  m_columns.assign(bounds.begin(), bounds.end());
  Clear();
}

void TXSeparator::Clear() {
  m_vertices.clear();
  m_pieces.clear();
}

void TXSeparator::AddPolygon(std::span<const TCutVertex> polygon, TPieceKind kind, T3DColor color) {
  CutIntoBands(polygon, 0, m_columns, m_rest, m_low, m_high,
               [&](int column, std::span<const TCutVertex> piece) { KeepColumnPiece(column, piece, kind, color); });
}

void TXSeparator::AddTriangle(const TCutVertex& a, const TCutVertex& b, const TCutVertex& c, TPieceKind kind,
                              T3DColor color) {
  const TCutVertex triangle[] = {a, b, c};
  AddPolygon(triangle, kind, color);
}

void TXSeparator::KeepColumnPiece(int column, std::span<const TCutVertex> piece, TPieceKind kind, T3DColor color) {
  KeepPiece(column, piece, kind, color);
}

void TXSeparator::KeepPiece(int cell, std::span<const TCutVertex> piece, TPieceKind kind, T3DColor color) {
  if (piece.size() < 3 || TexelArea(piece) < kMinPieceArea) {
    return;
  }
  m_pieces.push_back({cell, static_cast<int>(m_vertices.size()), static_cast<int>(piece.size()), kind, color});
  m_vertices.insert(m_vertices.end(), piece.begin(), piece.end());
}

// ---- T2DSeparator ----

void T2DSeparator::SetGrid(const TEffController& controller) {
  SetGrid(controller.ColumnBounds(), controller.RowBounds());
}

void T2DSeparator::SetGrid(std::span<const double> columns, std::span<const double> rows) {
  QX_ASSERT(rows.size() >= 2, "Separator needs at least one row");
  SetColumns(columns);
  m_rows.assign(rows.begin(), rows.end());
}

void T2DSeparator::KeepColumnPiece(int column, std::span<const TCutVertex> piece, TPieceKind kind, T3DColor color) {
  const int columns = Columns();
  CutIntoBands(piece, 1, m_rows, m_rest, m_low, m_high, [&](int row, std::span<const TCutVertex> part) {
    KeepPiece(row * columns + column, part, kind, color);
  });
}

void T2DSeparator::Draw(TEffController& controller, bool inOrder) {
  QX_ASSERT(controller.Columns() == Columns() && controller.Rows() == Rows(), "Separator grid differs");
  const std::span<const TCutPiece> pieces = Pieces();
  const std::span<const TCutVertex> vertices = Vertices();
  m_order.resize(pieces.size());
  std::iota(m_order.begin(), m_order.end(), 0);
  if (!inOrder) {
    std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
      return pieces[static_cast<size_t>(a)].cell < pieces[static_cast<size_t>(b)].cell;
    });
  }
  TTileRun run;
  int cell = -1;
  TEffTile* tile = nullptr;
  for (const int index : m_order) {
    const TCutPiece& piece = pieces[static_cast<size_t>(index)];
    if (piece.cell != cell) {
      cell = piece.cell;
      tile = &controller.Tile(cell);
      run.Start(*tile, piece.kind != TPieceKind::Colored);
    }
    const TCutVertex* v = &vertices[static_cast<size_t>(piece.first)];
    for (int k = 1; k + 1 < piece.count; ++k) {
      const TCutVertex& a = v[0];
      const TCutVertex& b = v[k];
      const TCutVertex& c = v[k + 1];
      switch (piece.kind) {
      case TPieceKind::Alpha:
        tile->AddAlphaTriangle({a.position.x, a.position.y, a.level}, {b.position.x, b.position.y, b.level},
                               {c.position.x, c.position.y, c.level});
        break;
      case TPieceKind::Textured:
        tile->AddTexturedTriangle({TEffTexVertex{a.position, a.texel, LevelByte(a.level)},
                                   TEffTexVertex{b.position, b.texel, LevelByte(b.level)},
                                   TEffTexVertex{c.position, c.texel, LevelByte(c.level)}});
        break;
      case TPieceKind::Colored:
        tile->AddColorTriangle(
            {a.position, b.position, c.position},
            {Shaded(piece.color, a.level), Shaded(piece.color, b.level), Shaded(piece.color, c.level)});
        break;
      }
    }
  }
}

} // namespace qx
