#include "VmoLib2/3DEngine/qxTileBitmap.h"

#include "QxLib/qxExceptions.h"

#include <cstring>
#include <string>

namespace qx {

namespace {

constexpr int kPixelBytes = 4;

// Maps each virtual line to its source line: every cell of `cells` is
// preceded and followed by a repeat of its own first and last line.
void BuildAxis(int size, int cells, std::vector<int>& sourceLine, std::vector<bool>* frame) {
  const int cell = size / cells;
  for (int i = 0; i < cells; ++i) {
    const int first = i * cell;
    const int last = (i == cells - 1 ? size : first + cell) - 1;
    sourceLine.push_back(first);
    for (int line = first; line <= last; ++line) {
      sourceLine.push_back(line);
    }
    sourceLine.push_back(last);
    if (frame) {
      frame->push_back(true);
      frame->insert(frame->end(), static_cast<size_t>(last - first + 1), false);
      frame->push_back(true);
    }
  }
}

} // namespace

TTileBitmap::TTileBitmap(std::shared_ptr<const TBitmap> source, int columns, int rows)
    : m_source(std::move(source)), m_columns(columns), m_rows(rows) {
  QX_ASSERT(m_source && m_source->Format() == TPixelFormat::Bgra32, "TTileBitmap needs a 32-bit source");
  QX_ASSERT(columns >= 1 && rows >= 1 && m_source->Width() >= columns && m_source->Height() >= rows,
            "TTileBitmap grid does not fit its source");
  BuildAxis(m_source->Width(), columns, m_sourceColumn, &m_frameColumn);
  BuildAxis(m_source->Height(), rows, m_sourceRow, nullptr);
}

TFloatRect TTileBitmap::CellRect(int column, int row) const {
  const int cellWidth = m_source->Width() / m_columns;
  const int cellHeight = m_source->Height() / m_rows;
  const int lastWidth = m_source->Width() - cellWidth * (m_columns - 1);
  const int lastHeight = m_source->Height() - cellHeight * (m_rows - 1);
  const double left = column * (cellWidth + 2) + 1;
  const double top = row * (cellHeight + 2) + 1;
  return {left, top, left + (column == m_columns - 1 ? lastWidth : cellWidth),
          top + (row == m_rows - 1 ? lastHeight : cellHeight)};
}

void TTileBitmap::GetPixels(int x, int y, int count, uint8_t* buffer, int64_t bufferSize, int64_t offset) const {
  if (x < 0 || y < 0 || count < 0 || y >= Height() || int64_t{x} + count > Width()) {
    throw EQxError("TTileBitmap.GetPixels (" + std::to_string(x) + "," + std::to_string(y) + ") out of Bitmap.Size");
  }
  if (offset < 0 || offset > bufferSize) {
    throw EQxError("TTileBitmap.GetPixels - Offset out of Bounds");
  }
  if (bufferSize - offset < int64_t{count} * kPixelBytes) {
    throw EQxError("TTileBitmap.GetPixels - Not Enought Pixel Buffer Space");
  }
  const uint8_t* row = m_source->Scanline(m_sourceRow[static_cast<size_t>(y)]);
  uint8_t* out = buffer + offset;
  for (int i = 0; i < count; ++i) {
    std::memcpy(out + i * kPixelBytes, row + m_sourceColumn[static_cast<size_t>(x + i)] * kPixelBytes, kPixelBytes);
  }
}

void TTileBitmap::CopyRect(int x, int y, int width, int height, TBitmap& dest, int destX, int destY) const {
  QX_ASSERT(dest.Format() == TPixelFormat::Bgra32 && destX >= 0 && destY >= 0 && destX + width <= dest.Width() &&
                destY + height <= dest.Height(),
            "TTileBitmap.CopyRect outside its destination");
  const int64_t rowBytes = int64_t{dest.Width() - destX} * kPixelBytes;
  for (int row = 0; row < height; ++row) {
    GetPixels(x, y + row, width, dest.Scanline(destY + row) + int64_t{destX} * kPixelBytes, rowBytes, 0);
  }
}

} // namespace qx
