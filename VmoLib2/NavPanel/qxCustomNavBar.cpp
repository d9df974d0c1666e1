#include "VmoLib2/NavPanel/qxCustomNavBar.h"

#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/Graphics/qxHslAdjust.h"
#include "QxLib/Graphics/qxResample.h"
#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cstring>

namespace qx {

void TCustomNavBar::CheckSize(int64_t width, int64_t height) {
  if (width > kMaxBarSide || height > kMaxBarSide || width * height > kMaxBarPixels)
    throw EQxError("Navigation bar too large: " + std::to_string(width) + " x " + std::to_string(height) +
                   " pixels (at most " + std::to_string(kMaxBarSide) + " a side and " +
                   std::to_string(kMaxBarPixels) + " pixels)");
}

void TCustomNavBar::ReportChanged(const T3DRect& area) const {
  const T3DRect clipped = Intersect(area, RectOfSize(0, 0, m_picture.Width(), m_picture.Height()));
  if (!clipped.IsEmpty() && m_events.Changed)
    m_events.Changed(clipped);
}

// --- Pictures -------------------------------------------------------------------

TNavPictures::TNavPictures(TNavPictureLoader loader, int32_t hueDegrees)
    : m_loader(std::move(loader)), m_hue(hueDegrees % 360) {}

std::shared_ptr<const TBitmap> TNavPictures::Get(const std::string& name) {
  if (name.empty())
    return nullptr;
  if (const auto found = m_pictures.find(name); found != m_pictures.end())
    return found->second;
  std::unique_ptr<TBitmap> loaded = m_loader ? m_loader(name) : nullptr;
  if (!loaded || loaded->IsEmpty() || !CanConvert(loaded->Format(), TPixelFormat::Bgra32))
    throw EQxError("Navigation bar picture not found: " + name);
  auto picture = std::make_shared<TBitmap>(loaded->Format() == TPixelFormat::Bgra32 && !loaded->IsView()
                                               ? std::move(*loaded)
                                               : ConvertBitmap(*loaded, TPixelFormat::Bgra32));
  if (m_hue != 0)
    AdjustHsl(*picture, THslShift{m_hue, 0, 0});
  m_pictures.emplace(name, picture);
  return picture;
}

// --- Pieces ---------------------------------------------------------------------

T3DRect RectOfSize(int32_t left, int32_t top, int32_t width, int32_t height) {
  return T3DRect{left, top, left + width, top + height};
}

T3DRect Intersect(const T3DRect& a, const T3DRect& b) {
  T3DRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
  if (r.IsEmpty())
    return T3DRect{};
  return r;
}

T3DRect Union(const T3DRect& a, const T3DRect& b) {
  if (a.IsEmpty())
    return b;
  if (b.IsEmpty())
    return a;
  return T3DRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom)};
}

namespace {

// The part clipped to the picture, as a view; empty when nothing is left.
TBitmap ClippedView(const TBitmap& picture, const T3DRect& part) {
  const T3DRect inside = Intersect(part, RectOfSize(0, 0, picture.Width(), picture.Height()));
  if (inside.IsEmpty())
    return TBitmap();
  return picture.CropView(inside.left, inside.top, inside.Width(), inside.Height());
}

} // namespace

TBitmap StretchPart(const TBitmap& picture, const T3DRect& part, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0)
    return TBitmap();
  const TBitmap view = ClippedView(picture, part);
  if (view.IsEmpty())
    return TBitmap();
  if (view.Width() == width && view.Height() == height)
    return view.Clone();
  return ResizeBilinear(view, width, height);
}

TBitmap TilePart(const TBitmap& picture, const T3DRect& part, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0)
    return TBitmap();
  const TBitmap view = ClippedView(picture, part);
  if (view.IsEmpty())
    return TBitmap();
  TBitmap tiled = TBitmap::Uninitialized(width, height, TPixelFormat::Bgra32);
  // The first band of rows is tiled from the part, the others copy the row
  // one part height above.
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = tiled.Scanline(y);
    if (y >= view.Height()) {
      std::memcpy(row, tiled.Scanline(y - view.Height()), static_cast<size_t>(width) * 4);
      continue;
    }
    const uint8_t* source = view.Scanline(y);
    for (int32_t x = 0; x < width; x += view.Width())
      std::memcpy(row + static_cast<ptrdiff_t>(x) * 4, source, static_cast<size_t>(std::min(view.Width(), width - x)) * 4);
  }
  return tiled;
}

TBitmap StretchWithMargins(const TBitmap& picture, int32_t left, int32_t right, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || picture.IsEmpty())
    return TBitmap();
  // Margins in picture pixels, within the picture and leaving no overlap.
  left = std::clamp(left, 0, picture.Width());
  right = std::clamp(right, 0, picture.Width() - left);
  const double scale = static_cast<double>(height) / picture.Height();
  int32_t outLeft = static_cast<int32_t>(left * scale + 0.5);
  int32_t outRight = static_cast<int32_t>(right * scale + 0.5);
  if (outLeft + outRight > width) {
    const double shrink = static_cast<double>(width) / (outLeft + outRight);
    outLeft = static_cast<int32_t>(outLeft * shrink);
    outRight = std::min(width - outLeft, static_cast<int32_t>(outRight * shrink));
  }
  const int32_t middle = width - outLeft - outRight;
  TBitmap result(width, height, TPixelFormat::Bgra32);
  const int32_t pw = picture.Width();
  const int32_t ph = picture.Height();
  PutPiece(result, StretchPart(picture, RectOfSize(0, 0, left, ph), outLeft, height), 0, 0);
  PutPiece(result, StretchPart(picture, T3DRect{left, 0, pw - right, ph}, middle, height), outLeft, 0);
  PutPiece(result, StretchPart(picture, T3DRect{pw - right, 0, pw, ph}, outRight, height), outLeft + middle, 0);
  return result;
}

void PutPiece(TBitmap& target, const TBitmap& piece, int32_t x, int32_t y) {
  if (!piece.IsEmpty() && !target.IsEmpty())
    target.Draw(piece, x, y);
}

void BlendOver(TBitmap& target, const TBitmap& piece, int32_t x, int32_t y) {
  if (piece.IsEmpty() || target.IsEmpty())
    return;
  const T3DRect area = Intersect(RectOfSize(x, y, piece.Width(), piece.Height()),
                                 RectOfSize(0, 0, target.Width(), target.Height()));
  for (int32_t ty = area.top; ty < area.bottom; ++ty) {
    uint8_t* out = target.Scanline(ty) + static_cast<ptrdiff_t>(area.left) * 4;
    const uint8_t* in = piece.Scanline(ty - y) + static_cast<ptrdiff_t>(area.left - x) * 4;
    for (int32_t tx = area.left; tx < area.right; ++tx, out += 4, in += 4) {
      const uint32_t sa = in[3];
      if (sa == 0)
        continue;
      if (sa == 255) {
        std::memcpy(out, in, 4);
        continue;
      }
      // Straight alpha over straight alpha: the result's alpha and the
      // colour weighted by each side's share of it.
      const uint32_t da = out[3] * (255 - sa) / 255;
      const uint32_t oa = sa + da;
      for (int c = 0; c < 3; ++c)
        out[c] = static_cast<uint8_t>((in[c] * sa + out[c] * da + oa / 2) / oa);
      out[3] = static_cast<uint8_t>(oa);
    }
  }
}

void CopyArea(TBitmap& target, const TBitmap& source, const T3DRect& area) {
  const T3DRect inside = Intersect(Intersect(area, RectOfSize(0, 0, target.Width(), target.Height())),
                                   RectOfSize(0, 0, source.Width(), source.Height()));
  if (inside.IsEmpty())
    return;
  const size_t bytes = static_cast<size_t>(inside.Width()) * 4;
  for (int32_t y = inside.top; y < inside.bottom; ++y)
    std::memcpy(target.Scanline(y) + static_cast<ptrdiff_t>(inside.left) * 4,
                source.Scanline(y) + static_cast<ptrdiff_t>(inside.left) * 4, bytes);
}

void MakeGrey(TBitmap& picture) {
  for (int32_t y = 0; y < picture.Height(); ++y) {
    uint8_t* p = picture.Scanline(y);
    for (int32_t x = 0; x < picture.Width(); ++x, p += 4) {
      const auto grey = static_cast<uint8_t>((77 * p[2] + 150 * p[1] + 29 * p[0]) >> 8);
      p[0] = p[1] = p[2] = grey;
    }
  }
}

} // namespace qx
