// Cutting an effect's polygons along the effecter's tile grid. A polygon is
// given by its vertices in the rendered slide (target pixels), each with
// the place it is drawn at and a level; it is cut along the column
// boundaries (TXSeparator) and then the row boundaries (T2DSeparator), the
// place and the level interpolated linearly at every cut, and each piece
// is kept with the cell it lies in. Parts outside the grid are dropped.
#pragma once

#include "VmoLib2/3DEngine/qxEffController.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qx {

// A vertex as the separator cuts it.
struct TCutVertex {
  TFloatPoint texel;  // the point of the rendered slide: where it is cut
  T3DPoint position;  // where it is drawn
  double level = 255; // the alpha, or the grey level of a textured piece
};

// How the pieces of a polygon are drawn by their cell tile.
enum class TPieceKind : uint8_t {
  Alpha,    // the slide at its own place, with the level as alpha
  Textured, // the slide at the positions, shaded grey by the level
  Colored,  // a plain colour at the positions, shaded by the level
};

// One piece kept for a cell: its vertices are first ... first + count - 1
// of the separator's vertex list.
struct TCutPiece {
  int cell = 0;
  int first = 0;
  int count = 0;
  TPieceKind kind = TPieceKind::Alpha;
  T3DColor color = 0;
};

// Cuts along the columns only; the pieces are kept per column.
class TXSeparator {
public:
  TXSeparator();
  virtual ~TXSeparator();

  // Boundaries, count + 1, ascending.
  void SetColumns(std::span<const double> bounds);
  std::span<const double> ColumnBounds() const { return m_columns; }
  // Forgets every piece.
  void Clear();

  // Cuts a convex polygon (in order around it) and keeps its pieces.
  void AddPolygon(std::span<const TCutVertex> polygon, TPieceKind kind, T3DColor color = 0);
  void AddTriangle(const TCutVertex& a, const TCutVertex& b, const TCutVertex& c, TPieceKind kind, T3DColor color = 0);

  // The pieces in the order they were cut.
  std::span<const TCutPiece> Pieces() const { return m_pieces; }
  std::span<const TCutVertex> Vertices() const { return m_vertices; }

protected:
  // Takes one piece of the column `column`; the base keeps it.
  virtual void KeepColumnPiece(int column, std::span<const TCutVertex> piece, TPieceKind kind, T3DColor color);
  void KeepPiece(int cell, std::span<const TCutVertex> piece, TPieceKind kind, T3DColor color);

private:
  std::vector<double> m_columns{0, 0};
  std::vector<TCutVertex> m_vertices;
  std::vector<TCutPiece> m_pieces;
  // Scratch lists of the cutting, kept to avoid allocations per polygon.
  std::vector<TCutVertex> m_rest;
  std::vector<TCutVertex> m_low;
  std::vector<TCutVertex> m_high;
};

// Cuts along the columns and then the rows; cells are numbered row-major.
class T2DSeparator final : public TXSeparator {
public:
  // The grid of `controller`.
  void SetGrid(const TEffController& controller);
  void SetGrid(std::span<const double> columns, std::span<const double> rows);
  int Columns() const { return static_cast<int>(ColumnBounds().size()) - 1; }
  int Rows() const { return static_cast<int>(m_rows.size()) - 1; }

  // Draws the pieces through the cell tiles of `controller` (which must have
  // the same grid): in row-major cell order, or with `inOrder` in the order
  // they were added (for geometry that overlaps itself on the screen). Each
  // run of pieces of one cell and kind is one Begin ... End of its tile.
  void Draw(TEffController& controller, bool inOrder = false);

protected:
  void KeepColumnPiece(int column, std::span<const TCutVertex> piece, TPieceKind kind, T3DColor color) override;

private:
  std::vector<double> m_rows{0, 0};
  std::vector<TCutVertex> m_rest;
  std::vector<TCutVertex> m_low;
  std::vector<TCutVertex> m_high;
  std::vector<int> m_order;
};

// Splits the convex polygon `polygon` at the line where coordinate
// `axis` (0: x of the texel, 1: y) equals `at` into the parts below and
// above it. Cut vertices are interpolated from the end with the lower
// coordinate, so both sides of a cut get the very same vertex.
void SplitPolygon(std::span<const TCutVertex> polygon, int axis, double at, std::vector<TCutVertex>& low,
                  std::vector<TCutVertex>& high);
// The same at the line where texel . normal equals `at`.
void SplitPolygon(std::span<const TCutVertex> polygon, const TFloatPoint& normal, double at,
                  std::vector<TCutVertex>& low, std::vector<TCutVertex>& high);

} // namespace qx
