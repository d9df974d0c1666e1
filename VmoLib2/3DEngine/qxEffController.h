// The grid of cells through which a transition effect draws the slide
// rendered for it: column and row boundaries in target pixels, and one
// tile per cell, made when the effect first draws into that cell.
#pragma once

#include "QxLib/qxGeometry.h"

#include <memory>
#include <span>
#include <vector>

namespace qx {

class TEffController;

// A vertex an effect emits: a point in target pixels and the alpha
// (0 ... 255) the rendered slide shows with there.
struct TEffVertex {
  double x = 0;
  double y = 0;
  double alpha = 0;
};

// The part of the rendered slide that one cell of the grid covers.
class TEffTile {
public:
  TEffTile(TEffController& controller, const TFloatRect& cell, int index);
  TEffTile(const TEffTile&) = delete;
  TEffTile& operator=(const TEffTile&) = delete;
  virtual ~TEffTile();

  TEffController& Controller() const { return m_controller; }
  const TFloatRect& Cell() const { return m_cell; }
  // Row-major index of the cell.
  int Index() const { return m_index; }

private:
  TEffController& m_controller;
  TFloatRect m_cell;
  int m_index;
};

class TEffController {
public:
  TEffController();
  TEffController(const TEffController&) = delete;
  TEffController& operator=(const TEffController&) = delete;
  virtual ~TEffController();

  // Sets the boundaries (count + 1 each, strictly ascending; assertion
  // otherwise) and drops every tile made so far.
  void SetGrid(std::vector<double> columns, std::vector<double> rows);
  int Columns() const { return static_cast<int>(m_columns.size()) - 1; }
  int Rows() const { return static_cast<int>(m_rows.size()) - 1; }
  std::span<const double> ColumnBounds() const { return m_columns; }
  std::span<const double> RowBounds() const { return m_rows; }
  TFloatRect CellRect(int column, int row) const;

  // The tile of a cell (out of range: assertion), made on first use.
  TEffTile& Tile(int column, int row);
  // The tile of a cell when it has been made, else none.
  TEffTile* MadeTile(int column, int row) const;

protected:
  // Makes the tile of a cell; called once per cell and grid.
  virtual std::unique_ptr<TEffTile> MakeTile(const TFloatRect& cell, int index) = 0;

private:
  int CellIndex(int column, int row) const;

  std::vector<double> m_columns{0, 0};
  std::vector<double> m_rows{0, 0};
  std::vector<std::unique_ptr<TEffTile>> m_tiles;
};

} // namespace qx
