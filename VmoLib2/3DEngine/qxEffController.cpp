#include "VmoLib2/3DEngine/qxEffController.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qx2DSeparator.h"

#include <algorithm>

namespace qx {

namespace {

constexpr const char* kNotSupported = "Not Supported Yet";

bool Ascending(const std::vector<double>& bounds) {
  return bounds.size() >= 2 &&
         std::adjacent_find(bounds.begin(), bounds.end(), [](double a, double b) { return b <= a; }) == bounds.end();
}

TCutVertex AlphaVertex(const TEffVertex& v) { return {{v.x, v.y}, {v.x, v.y, 0}, v.alpha}; }

} // namespace

// ---- TEffTile ----

TEffTile::TEffTile(TEffController& controller, const TFloatRect& cell, int index)
    : m_controller(controller), m_cell(cell), m_index(index) {}

TEffTile::~TEffTile() = default;

void TEffTile::Begin(bool, bool) { QX_ASSERT(false, kNotSupported); }

void TEffTile::AddAlphaTriangle(const TEffVertex&, const TEffVertex&, const TEffVertex&) {
  QX_ASSERT(false, kNotSupported);
}

void TEffTile::AddColorTriangle(const std::array<T3DPoint, 3>&, const std::array<T3DColor, 3>&) {
  QX_ASSERT(false, kNotSupported);
}

void TEffTile::AddTexturedTriangle(const std::array<TEffTexVertex, 3>&) { QX_ASSERT(false, kNotSupported); }

void TEffTile::End() { QX_ASSERT(false, kNotSupported); }

// ---- TMultiTile ----

TMultiTile::TMultiTile(TEffController& controller)
    : TEffTile(controller, controller.AreaRect(), -1), m_separator(std::make_unique<T2DSeparator>()) {}

TMultiTile::~TMultiTile() = default;

void TMultiTile::Begin() { m_separator->SetGrid(Controller()); }

void TMultiTile::AddTriangle(const TEffVertex& a, const TEffVertex& b, const TEffVertex& c) {
  m_separator->AddTriangle(AlphaVertex(a), AlphaVertex(b), AlphaVertex(c), TPieceKind::Alpha);
}

void TMultiTile::AddTexturedTriangle(const std::array<TEffTexVertex, 3>& vertices) {
  const auto cut = [](const TEffTexVertex& v) { return TCutVertex{v.texel, v.position, double(v.grey)}; };
  m_separator->AddTriangle(cut(vertices[0]), cut(vertices[1]), cut(vertices[2]), TPieceKind::Textured);
}

void TMultiTile::Flush() {
  m_separator->Draw(Controller());
  m_separator->Clear();
}

// ---- TEffController ----

TEffController::TEffController() : m_tiles(1) {}
TEffController::~TEffController() = default;

void TEffController::SetGrid(std::vector<double> columns, std::vector<double> rows) {
  QX_ASSERT(Ascending(columns) && Ascending(rows), "Effect grid boundaries must ascend");
  m_columns = std::move(columns);
  m_rows = std::move(rows);
  m_tiles.clear();
  m_tiles.resize(static_cast<size_t>(Columns()) * static_cast<size_t>(Rows()));
  m_wholeArea.reset();
}

int TEffController::CellIndex(int column, int row) const {
  QX_ASSERT(column >= 0 && column < Columns() && row >= 0 && row < Rows(), "Effect cell out of range");
  return row * Columns() + column;
}

TFloatRect TEffController::CellRect(int column, int row) const {
  CellIndex(column, row);
  const auto c = static_cast<size_t>(column);
  const auto r = static_cast<size_t>(row);
  return {m_columns[c], m_rows[r], m_columns[c + 1], m_rows[r + 1]};
}

TEffTile& TEffController::Tile(int column, int row) {
  const int index = CellIndex(column, row);
  auto& tile = m_tiles[static_cast<size_t>(index)];
  if (!tile) {
    tile = MakeTile(CellRect(column, row), index);
    QX_ASSERT(tile != nullptr, "Effect tile not made");
  }
  return *tile;
}

TEffTile& TEffController::Tile(int index) {
  QX_ASSERT(index >= 0 && index < static_cast<int>(m_tiles.size()), "Effect cell out of range");
  return Tile(index % Columns(), index / Columns());
}

TEffTile* TEffController::MadeTile(int column, int row) const {
  return m_tiles[static_cast<size_t>(CellIndex(column, row))].get();
}

TMultiTile& TEffController::WholeArea() {
  if (!m_wholeArea) {
    m_wholeArea = std::make_unique<TMultiTile>(*this);
  }
  return *m_wholeArea;
}

} // namespace qx
