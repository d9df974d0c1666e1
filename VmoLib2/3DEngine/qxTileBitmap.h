// A 32-bit picture cut into a grid of equal cells (the frames of a sprite
// sheet), read as a larger virtual bitmap in which every cell is framed by
// a one-pixel copy of its own edge pixels. Tiles cut from it then filter
// each cell without bleeding into its neighbours.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxGeometry.h"

#include <memory>
#include <vector>

namespace qx {

class TTileBitmap {
public:
  // Cells are width / columns by height / rows pixels (the last column and
  // row take what remains). `source` must be Bgra32 with at least one
  // pixel per cell, and columns, rows >= 1 (assertions).
  TTileBitmap(std::shared_ptr<const TBitmap> source, int columns, int rows);

  // The virtual size: width + 2 columns by height + 2 rows.
  int Width() const { return static_cast<int>(m_sourceColumn.size()); }
  int Height() const { return static_cast<int>(m_sourceRow.size()); }
  int Columns() const { return m_columns; }
  int Rows() const { return m_rows; }
  const TBitmap& Source() const { return *m_source; }
  // True for the virtual columns that repeat a cell's edge.
  bool IsFrameColumn(int x) const { return m_frameColumn.at(static_cast<size_t>(x)); }
  // The virtual rectangle of cell (column, row), frame excluded.
  TFloatRect CellRect(int column, int row) const;

  // Reads `count` pixels of virtual row y from column x into `buffer` at
  // byte `offset` (buffer of `bufferSize` bytes, 4 bytes per pixel).
  // Raises EQxError "TTileBitmap.GetPixels (X,Y) out of Bitmap.Size",
  // "TTileBitmap.GetPixels - Offset out of Bounds" or
  // "TTileBitmap.GetPixels - Not Enought Pixel Buffer Space".
  void GetPixels(int x, int y, int count, uint8_t* buffer, int64_t bufferSize, int64_t offset) const;
  // Copies the virtual rectangle (x, y, width, height) into `dest` (32-bit)
  // at (destX, destY); the rectangle must lie inside both.
  void CopyRect(int x, int y, int width, int height, TBitmap& dest, int destX, int destY) const;

private:
  std::shared_ptr<const TBitmap> m_source;
  int m_columns;
  int m_rows;
  std::vector<int> m_sourceColumn; // per virtual column
  std::vector<int> m_sourceRow;    // per virtual row
  std::vector<bool> m_frameColumn;
};

} // namespace qx
