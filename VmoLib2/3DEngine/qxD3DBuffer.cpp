#include "VmoLib2/3DEngine/qxD3DBuffer.h"

#include <algorithm>

namespace qx {

namespace {

int LargestAllowed(int maxPiece) {
  int largest = TD3DBuffer::kSmallestPiece;
  while (largest * 2 <= TD3DBuffer::kLargestPiece && largest * 2 <= maxPiece) {
    largest *= 2;
  }
  return largest;
}

} // namespace

TD3DBuffer::TD3DBuffer(T3DScreen& screen, T3DTextureKind kind) : m_screen(screen), m_kind(kind) {}

std::vector<int> TD3DBuffer::SplitSide(int length, int maxPiece) {
  std::vector<int> pieces;
  if (length <= 0) {
    return pieces;
  }
  const int largest = LargestAllowed(maxPiece > 0 ? maxPiece : kLargestPiece);
  for (int rest = length; rest > 0;) {
    int piece = largest;
    while (piece > kSmallestPiece && piece > rest) {
      piece /= 2;
    }
    pieces.push_back(piece);
    rest -= piece;
  }
  while (pieces.size() >= 2 && pieces.back() == pieces[pieces.size() - 2] && pieces.back() * 2 <= largest) {
    pieces.pop_back();
    pieces.back() *= 2;
  }
  return pieces;
}

void TD3DBuffer::Cover(const T3DRect& area) {
  if (area == m_area && m_texture) {
    return;
  }
  m_area = area;
  m_tiles.clear();
  const int maxWidth = m_screen.MaxTextureWidth();
  const int maxHeight = m_screen.MaxTextureHeight();
  const std::vector<int> columns = SplitSide(area.Width(), maxWidth);
  const std::vector<int> rows = SplitSide(area.Height(), maxHeight);
  int y = area.top;
  for (const int height : rows) {
    int x = area.left;
    for (const int width : columns) {
      m_tiles.push_back({{x, y, x + width, y + height}});
      x += width;
    }
    y += height;
  }
  if (m_tiles.empty()) {
    m_texture.reset();
    return;
  }
  const int pieceWidth = *std::max_element(columns.begin(), columns.end());
  const int pieceHeight = *std::max_element(rows.begin(), rows.end());
  if (!m_texture || m_texture->Width() != pieceWidth || m_texture->Height() != pieceHeight) {
    m_texture = std::make_unique<TRenderTargetTexture>(m_screen, m_kind, pieceWidth, pieceHeight);
  }
}

} // namespace qx
