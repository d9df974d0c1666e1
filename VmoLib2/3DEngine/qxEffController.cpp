#include "VmoLib2/3DEngine/qxEffController.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>

namespace qx {

namespace {

bool Ascending(const std::vector<double>& bounds) {
  return bounds.size() >= 2 && std::adjacent_find(bounds.begin(), bounds.end(),
                                                  [](double a, double b) { return b <= a; }) == bounds.end();
}

} // namespace

TEffTile::TEffTile(TEffController& controller, const TFloatRect& cell, int index)
    : m_controller(controller), m_cell(cell), m_index(index) {}

TEffTile::~TEffTile() = default;

TEffController::TEffController() : m_tiles(1) {}
TEffController::~TEffController() = default;

void TEffController::SetGrid(std::vector<double> columns, std::vector<double> rows) {
  QX_ASSERT(Ascending(columns) && Ascending(rows), "Effect grid boundaries must ascend");
  m_columns = std::move(columns);
  m_rows = std::move(rows);
  m_tiles.clear();
  m_tiles.resize(static_cast<size_t>(Columns()) * static_cast<size_t>(Rows()));
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

TEffTile* TEffController::MadeTile(int column, int row) const {
  return m_tiles[static_cast<size_t>(CellIndex(column, row))].get();
}

} // namespace qx
