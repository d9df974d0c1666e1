// The grid of cells through which a transition effect draws the slide
// rendered for it: column and row boundaries in target pixels, one tile per
// cell, made when the effect first draws into that cell, and the
// whole-area tile that cuts an effect's triangles along the grid and hands
// each piece to the tile of its cell.
#pragma once

#include "QxLib/qxGeometry.h"
#include "VmoLib2/3DBasics/qx3DTypes.h"
#include "VmoLib2/3DEngine/qx3DGeometry.h"

#include <array>
#include <memory>
#include <span>
#include <vector>

namespace qx {

class T2DSeparator;
class TEffController;

// A vertex of the alpha triangles: a point in target pixels (drawn where
// it shows the rendered slide) and the alpha (0 ... 255) the slide shows
// with there.
struct TEffVertex {
  double x = 0;
  double y = 0;
  double alpha = 0;
};

// A vertex of the textured triangles: where it is drawn (target pixels,
// depth in pixels away from the viewer), the point of the rendered slide
// it shows (target pixels) and a grey level (colour (g, g, g), alpha 255).
struct TEffTexVertex {
  T3DPoint position;
  TFloatPoint texel;
  uint8_t grey = 255;
};

// The part of the rendered slide that one cell of the grid covers. The
// drawing operations are those of a cell tile; the base answers each with
// the assertion "Not Supported Yet" (the whole-area tile is no cell).
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

  // Starts a run of triangles. `textured` chooses what the first triangles
  // are; `vertexAlpha` lets the vertex colour and alpha modulate the
  // picture (else only the alpha does).
  virtual void Begin(bool textured, bool vertexAlpha);
  // The rendered slide, white, with alpha per vertex; the picture follows
  // the positions.
  virtual void AddAlphaTriangle(const TEffVertex& a, const TEffVertex& b, const TEffVertex& c);
  // Untextured, one colour per vertex.
  virtual void AddColorTriangle(const std::array<T3DPoint, 3>& points, const std::array<T3DColor, 3>& colors);
  // The rendered slide at explicit points, shaded grey, opaque.
  virtual void AddTexturedTriangle(const std::array<TEffTexVertex, 3>& vertices);
  // Draws what has been added since Begin.
  virtual void End();

private:
  TEffController& m_controller;
  TFloatRect m_cell;
  int m_index;
};

// The tile covering the whole area: triangles added between Begin and
// Flush are cut along the controller's grid and drawn, cell by cell in
// row-major order, by the tiles of their cells.
class TMultiTile final : public TEffTile {
public:
  explicit TMultiTile(TEffController& controller);
  ~TMultiTile() override;

  // Forgets what was added (and takes up the controller's current grid).
  void Begin();
  // The cell tile's Begin: an assertion here.
  using TEffTile::Begin;
  void AddTriangle(const TEffVertex& a, const TEffVertex& b, const TEffVertex& c);
  void AddTexturedTriangle(const std::array<TEffTexVertex, 3>& vertices) override;
  // Draws the pieces and forgets them.
  void Flush();

  T2DSeparator& Separator() { return *m_separator; }

private:
  std::unique_ptr<T2DSeparator> m_separator;
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
  // The whole area the grid covers.
  TFloatRect AreaRect() const { return {m_columns.front(), m_rows.front(), m_columns.back(), m_rows.back()}; }

  // The tile of a cell (out of range: assertion "Effect cell out of
  // range"), made on first use.
  TEffTile& Tile(int column, int row);
  TEffTile& Tile(int index);
  // The tile of a cell when it has been made, else none.
  TEffTile* MadeTile(int column, int row) const;
  // The whole-area tile, made on first use.
  TMultiTile& WholeArea();

protected:
  // Makes the tile of a cell; called once per cell and grid.
  virtual std::unique_ptr<TEffTile> MakeTile(const TFloatRect& cell, int index) = 0;

private:
  int CellIndex(int column, int row) const;

  std::vector<double> m_columns{0, 0};
  std::vector<double> m_rows{0, 0};
  std::vector<std::unique_ptr<TEffTile>> m_tiles;
  std::unique_ptr<TMultiTile> m_wholeArea;
};

} // namespace qx
