// The drawer's pictures (tiled textures from the cache, borders, preloads)
// and shapes (boxes, frames, lines).
#include "VmoLib2/3DEngine/qx3DDrawer.h"

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/3DEngine/qx3DDrawerShared.h"
#include "VmoLib2/3DEngine/qxBoxAntialiaser.h"
#include "VmoLib2/3DEngine/qxTextureManager6.h"
#include "VmoLib2/3DEngine/qxVertexBuffer.h"
#include "VmoLib2/VmoClasses/qxVmoPlacement.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <exception>
#include <iterator>
#include <string>

namespace qx {

using drawer::IsEmpty;
using drawer::Length;

namespace {

T3DColor ScaleAlpha(T3DColor color, uint8_t alpha) {
  const uint32_t a = ((color >> 24) * alpha + 127) / 255;
  return (color & 0x00FFFFFF) | (a << 24);
}

T3DColor ToColor(const TRgba& c) { return MakeColor(c.r, c.g, c.b, c.a); }

// Tells a mask's texture apart from the same picture drawn as colour.
constexpr const char* kGreyAsAlphaKey = " GreyAsAlpha";

// A one-channel mask as white whose alpha is the grey level.
std::shared_ptr<const TBitmap> WhiteWithAlpha(const TBitmap& grey) {
  auto result = std::make_shared<TBitmap>(grey.Width(), grey.Height(), TPixelFormat::Bgra32);
  for (int y = 0; y < grey.Height(); ++y) {
    const uint8_t* source = grey.Scanline(y);
    uint8_t* dest = result->Scanline(y);
    for (int x = 0; x < grey.Width(); ++x) {
      dest[4 * x] = dest[4 * x + 1] = dest[4 * x + 2] = 255;
      dest[4 * x + 3] = source[x];
    }
  }
  return result;
}

T3DColor Mix(T3DColor a, T3DColor b) {
  T3DColor out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t ca = (a >> shift) & 0xFF;
    const uint32_t cb = (b >> shift) & 0xFF;
    out |= ((ca + cb + 1) / 2) << shift;
  }
  return out;
}

// The four corner colours (top-left, top-right, bottom-left, bottom-right)
// of a box's fill.
std::array<T3DColor, 4> GradientCorners(const TBoxDrawParams& params) {
  const T3DColor c1 = ToColor(params.Color1);
  const T3DColor c2 = ToColor(params.Color2);
  switch (params.Gradient) {
  case TGradientKind::TopLeftToBottomRight: return {c1, Mix(c1, c2), Mix(c1, c2), c2};
  case TGradientKind::TopRightToBottomLeft: return {Mix(c1, c2), c1, c2, Mix(c1, c2)};
  case TGradientKind::Vertical: return {c1, c1, c2, c2};
  case TGradientKind::Horizontal: return {c1, c2, c1, c2};
  case TGradientKind::Solid: break;
  }
  return {c1, c1, c1, c1};
}

// The virtual rectangle of one frame of a columns x rows sprite grid cut
// from a width x height picture (see TTileBitmap: each cell is framed by
// one pixel).
TFloatRect GridCellRect(int width, int height, int columns, int rows, int frame) {
  const int cell = std::clamp(frame, 0, columns * rows - 1);
  const int column = cell % columns;
  const int row = cell / columns;
  const int cellWidth = width / columns;
  const int cellHeight = height / rows;
  const double left = column * (cellWidth + 2) + 1;
  const double top = row * (cellHeight + 2) + 1;
  const int w = column == columns - 1 ? width - cellWidth * (columns - 1) : cellWidth;
  const int h = row == rows - 1 ? height - cellHeight * (rows - 1) : cellHeight;
  return {left, top, left + w, top + h};
}

// The mip level a picture is drawn from: the one asked for, kept between
// level 0 and the first level of one pixel.
int PictureLevel(const TPictureSource& picture, const TPictureDrawParams& params) {
  if (!picture.Store) {
    return 0;
  }
  int last = 0;
  while (last < 31 && ((picture.Store->Width() >> last) > 1 || (picture.Store->Height() >> last) > 1)) {
    ++last;
  }
  return std::clamp(params.MipLevel, 0, last);
}
} // namespace

// --- Pictures -----------------------------------------------------------

TTextureManager6& T3DDrawer::TextureManager() {
  if (!m_textureManager) {
    m_textureManager = std::make_unique<TTextureManager6>(*m_screen);
  }
  return *m_textureManager;
}

TMultiTexture6* T3DDrawer::AcquireTexture(const TPictureSource& picture, const TPictureDrawParams& params,
                                          bool greyAsAlpha) {
  const int columns = std::max(1, params.Columns);
  const int rows = std::max(1, params.Rows);
  const bool grid = columns > 1 || rows > 1;
  std::shared_ptr<const TBitmap> bitmap;
  std::string key;
  if (picture.Store) {
    const int level = PictureLevel(picture, params);
    const bool grey = greyAsAlpha && picture.Store->PixelFormat() == TPixelFormat::Gray8;
    key = TTextureStore2::MultiTexKey(picture.Store->Id(), level, columns, rows) + (grey ? kGreyAsAlphaKey : "");
    if (TMultiTexture6* cached = m_textureCache.Find(*picture.Store, key)) {
      return cached;
    }
    bitmap = grey ? WhiteWithAlpha(*picture.Store->GetMipLevel(level, TPixelFormat::Gray8))
                  : picture.Store->GetMipLevel(level, TPixelFormat::Bgra32);
  } else if (picture.Bitmap) {
    const bool grey = greyAsAlpha && picture.Bitmap->Format() == TPixelFormat::Gray8;
    key = TTextureStore2::MultiTexKey(TTextureStore2::BitmapId(*picture.Bitmap), 0, columns, rows) +
          (grey ? kGreyAsAlphaKey : "");
    if (TMultiTexture6* cached = m_textureCache.Find(picture.Bitmap, key)) {
      return cached;
    }
    // Not owned: the entry must not keep the bitmap alive, and is purged
    // before any further use once the bitmap has gone. A converted mask is
    // a copy of its own.
    bitmap = grey ? WhiteWithAlpha(*picture.Bitmap)
                  : std::shared_ptr<const TBitmap>(std::shared_ptr<const TBitmap>(), picture.Bitmap.get());
  }
  if (!bitmap || bitmap->Width() < columns || bitmap->Height() < rows) {
    return nullptr;
  }
  auto texture = std::make_unique<TMultiTexture6>(TextureManager());
  const int width = bitmap->Width() + (grid ? 2 * columns : 0);
  const int height = bitmap->Height() + (grid ? 2 * rows : 0);
  texture->SetSource(bitmap, columns, rows, {0, 0, width, height});
  if (picture.Store) {
    return &m_textureCache.Add(*picture.Store, key, std::move(texture));
  }
  return &m_textureCache.Add(picture.Bitmap, key, std::move(texture));
}

void T3DDrawer::PreloadPicture(const TPictureSource& picture, const TPictureDrawParams& params) {
  if (!picture.Store && !picture.Bitmap) {
    return;
  }
  const std::lock_guard drawing(DrawingLock());
  const std::lock_guard lock(m_lock);
  if (std::this_thread::get_id() != m_drawThread) {
    // The device belongs to the drawing thread: the upload waits for the
    // next frame, holding the picture until then.
    m_pendingPreloads.push_back({TRefPtr<TBitmapStore>(picture.Store), picture.Bitmap, params, nullptr});
    return;
  }
  if (m_decodeAhead && picture.Store) {
    if (!m_levelDecoder) {
      m_levelDecoder = std::make_unique<TLevelDecoder>();
    }
    // The level the upload asks for (a preload is never a mask).
    TRefPtr<TBitmapStore> store(picture.Store);
    auto decoding = m_levelDecoder->Submit(store, PictureLevel(picture, params), TPixelFormat::Bgra32);
    m_pendingPreloads.push_back({std::move(store), nullptr, params, std::move(decoding)});
    return;
  }
  UploadPicture(picture, params);
}

void T3DDrawer::UploadPicture(const TPictureSource& picture, const TPictureDrawParams& params) {
  if (!m_screen->Renderer()) {
    return;
  }
  if (TMultiTexture6* texture = AcquireTexture(picture, params)) {
    texture->SetMipMaps(true);
    texture->SetLodBias(params.MipBias);
    texture->Preload(m_spreadUploads);
  }
}

void T3DDrawer::UploadPreload(const TPreload& preload) {
  TPictureSource picture;
  picture.Store = preload.store.Get();
  picture.Bitmap = preload.bitmap;
  if (!preload.decoding) {
    UploadPicture(picture, preload.params);
    return;
  }
  // A picture decoded ahead fails here as its preload did before: logged,
  // and the frame goes on.
  try {
    UploadPicture(picture, preload.params);
  } catch (const std::exception& error) {
    Log().WriteLine(std::string("T3DDrawer.PreloadPicture: ") + error.what());
  }
}

void T3DDrawer::RunPendingPreloads() {
  std::vector<TPreload> pending = std::move(m_pendingPreloads);
  m_pendingPreloads.clear();
  for (size_t i = 0; i < pending.size(); ++i) {
    if (pending[i].decoding && !pending[i].decoding->Done()) {
      // Still decoding: waits for a later frame, or for its first draw.
      m_pendingPreloads.push_back(std::move(pending[i]));
      continue;
    }
    try {
      UploadPreload(pending[i]);
    } catch (...) {
      // The rest stay pending, in their order.
      m_pendingPreloads.insert(m_pendingPreloads.end(), std::make_move_iterator(pending.begin() + i + 1),
                               std::make_move_iterator(pending.end()));
      throw;
    }
  }
}

void T3DDrawer::RunPendingPreloadsOf(const TBitmapStore& store) {
  for (size_t i = 0; i < m_pendingPreloads.size();) {
    if (m_pendingPreloads[i].store.Get() != &store) {
      ++i;
      continue;
    }
    const TPreload preload = std::move(m_pendingPreloads[i]);
    m_pendingPreloads.erase(m_pendingPreloads.begin() + static_cast<std::ptrdiff_t>(i));
    UploadPreload(preload);
  }
}

int T3DDrawer::PendingPreloads() const {
  const std::lock_guard lock(m_lock);
  return static_cast<int>(m_pendingPreloads.size());
}

void T3DDrawer::FreeTextureCache(const TPictureSource& picture) {
  const std::lock_guard drawing(DrawingLock());
  const std::lock_guard lock(m_lock);
  // A preload still waiting would make the texture again.
  std::erase_if(m_pendingPreloads, [&picture](const TPreload& preload) {
    return (picture.Store && preload.store.Get() == picture.Store) ||
           (picture.Bitmap && preload.bitmap == picture.Bitmap);
  });
  if (picture.Store) {
    m_textureCache.Free(*picture.Store);
  }
  if (picture.Bitmap) {
    m_textureCache.Free(*picture.Bitmap);
  }
}

bool T3DDrawer::Minified(const TPlacement& placement, double width, double height) const {
  // Mip levels only help where texels are squeezed; at 1:1 or enlarged
  // the anisotropic sampling of some devices would soften the picture.
  const TFloatPoint tl = m_screen->ToPixels(placement.At(0, 0));
  const TFloatPoint tr = m_screen->ToPixels(placement.At(1, 0));
  const TFloatPoint bl = m_screen->ToPixels(placement.At(0, 1));
  const TFloatPoint br = m_screen->ToPixels(placement.At(1, 1));
  const auto length = [](const TFloatPoint& a, const TFloatPoint& b) { return std::hypot(a.x - b.x, a.y - b.y); };
  constexpr double kOneToOne = 0.999;
  return std::min(length(tl, tr), length(bl, br)) < width * kOneToOne ||
         std::min(length(tl, bl), length(tr, br)) < height * kOneToOne;
}

void T3DDrawer::DrawPicture(const TPictureSource& picture, const TPlacement& placement,
                            const TPictureDrawParams& params) {
  DrawPictureWith(picture, placement, params, nullptr);
  DrawBorder(placement, params);
}

void T3DDrawer::DrawBorder(const TPlacement& placement, const TPictureDrawParams& params) {
  const double width = params.BorderWidth;
  const double uLength = Length(placement.u);
  const double vLength = Length(placement.v);
  if (!(width > 0) || uLength <= 0 || vLength <= 0) {
    return;
  }
  // A frame of the border's width just outside the picture, in the
  // picture's own plane.
  const T3DPoint du = placement.u * (width / uLength);
  const T3DPoint dv = placement.v * (width / vLength);
  TPlacement outer = placement;
  outer.origin = placement.origin - du - dv;
  outer.u = placement.u + du * 2;
  outer.v = placement.v + dv * 2;
  const double side = width / (uLength + 2 * width);
  const double band = width / (vLength + 2 * width);
  TBoxDrawParams box;
  box.Color1 = params.BorderColor;
  box.Opacity = params.Opacity;
  DrawFrame(outer, static_cast<float>(side), static_cast<float>(band), static_cast<float>(side),
            static_cast<float>(band), box);
}

void T3DDrawer::DrawPictureWith(const TPictureSource& picture, const TPlacement& placement,
                                const TPictureDrawParams& params, TCustomTexture* second) {
  if (!m_screen->Renderer()) {
    return;
  }
  const uint8_t alpha = static_cast<uint8_t>((OpacityToAlpha(params.Opacity) * params.Modulation.a + 127) / 255);
  if (picture.ReadyTexture) {
    TCustomTexture& texture = *picture.ReadyTexture;
    texture.SetOpacity(alpha);
    const TFloatRect whole{0, 0, double(texture.Width()), double(texture.Height())};
    m_screen->DrawTexture(texture, IsEmpty(picture.SourceRect) ? whole : picture.SourceRect, Shifted(placement));
    return;
  }
  const std::lock_guard lock(m_lock);
  // A picture still decoding ahead is preloaded before its first draw, as
  // it would have been without the decode ahead.
  if (picture.Store && !m_pendingPreloads.empty()) {
    RunPendingPreloadsOf(*picture.Store);
  }
  // Only a mask (drawn with the content as second texture) reads a
  // one-channel picture as its alpha.
  TMultiTexture6* texture = AcquireTexture(picture, params, second != nullptr);
  if (!texture) {
    return;
  }
  const int columns = std::max(1, params.Columns);
  const int rows = std::max(1, params.Rows);
  TFloatRect visible;
  if (columns > 1 || rows > 1) {
    visible = GridCellRect(texture->Width() - 2 * columns, texture->Height() - 2 * rows, columns, rows, params.Frame);
  } else if (!IsEmpty(picture.SourceRect)) {
    // The source rectangle is in full-size pixels; the level is 2^k
    // times smaller.
    const double scale = std::ldexp(1.0, -PictureLevel(picture, params));
    const TFloatRect& s = picture.SourceRect;
    visible = {std::max(0.0, s.left * scale), std::max(0.0, s.top * scale),
               std::min(double(texture->Width()), s.right * scale),
               std::min(double(texture->Height()), s.bottom * scale)};
    if (IsEmpty(visible)) {
      return;
    }
  }
  const TPlacement shifted = Shifted(placement);
  const double width = IsEmpty(visible) ? texture->Width() : visible.right - visible.left;
  const double height = IsEmpty(visible) ? texture->Height() : visible.bottom - visible.top;
  texture->SetOpacity(alpha);
  texture->SetFeather(params.Feathered);
  texture->SetMipMaps(Minified(shifted, width, height));
  texture->SetLodBias(params.MipBias);
  texture->SetPointFilter(params.Filtering == TFiltering::Nearest);
  texture->SetModulation(MakeColor(params.Modulation.r, params.Modulation.g, params.Modulation.b));
  texture->SetSecondTexture(second);
  texture->Draw(shifted, visible);
  texture->SetSecondTexture(nullptr);
}

// --- Shapes ---------------------------------------------------------------

void T3DDrawer::DrawColorQuad(const TPlacement& placement, const std::array<T3DColor, 4>& corners) {
  if (!m_screen->Renderer()) {
    return;
  }
  TVertexBuffer& batch = m_screen->Batch();
  batch.Begin({});
  const auto corner = [&](double s, double t, T3DColor color) {
    T3DVertex vertex = m_screen->Vertex(placement.At(s, t));
    vertex.diffuse = color;
    return vertex;
  };
  batch.AddQuad(corner(0, 0, corners[0]), corner(1, 0, corners[1]), corner(0, 1, corners[2]), corner(1, 1, corners[3]));
}

void T3DDrawer::DrawBox(const TPlacement& placement, const TBoxDrawParams& params) {
  if (!m_screen->Renderer()) {
    return;
  }
  const uint8_t alpha = OpacityToAlpha(params.Opacity);
  if (alpha == 0) {
    return;
  }
  if (params.Gradient == TGradientKind::Solid && params.Antialiased) {
    if (!m_antialiaser) {
      m_antialiaser = std::make_unique<TBoxAntialiaser>(*m_screen);
    }
    const TRgba& c = params.Color1;
    m_antialiaser->SetColor(TBgra{c.b, c.g, c.r, c.a});
    m_antialiaser->Draw(Shifted(placement), alpha);
    return;
  }
  std::array<T3DColor, 4> corners = GradientCorners(params);
  for (T3DColor& color : corners) {
    color = ScaleAlpha(color, alpha);
  }
  DrawColorQuad(Shifted(placement), corners);
}

void T3DDrawer::DrawFrame(const TPlacement& placement, float left, float top, float right, float bottom,
                          const TBoxDrawParams& params) {
  const double l = std::clamp<double>(left, 0, 1);
  const double r = std::clamp<double>(right, 0, 1 - l);
  const double t = std::clamp<double>(top, 0, 1);
  const double b = std::clamp<double>(bottom, 0, 1 - t);
  const TPlacement sides[] = {placement.Part(0, 0, l, 1), placement.Part(1 - r, 0, 1, 1),
                              placement.Part(l, 0, 1 - r, t), placement.Part(l, 1 - b, 1 - r, 1)};
  for (const TPlacement& side : sides) {
    DrawBox(side, params);
  }
}

void T3DDrawer::DrawLine(const T3DPoint& from, const T3DPoint& to, T3DColor color) {
  if (!m_screen->Renderer()) {
    return;
  }
  const TLogicalFrame frame = LogicalFrame();
  const double dx = to.x - from.x;
  const double dy = to.y - from.y;
  const double length = std::hypot(dx, dy);
  if (length <= 0) {
    return;
  }
  // A quad one target pixel wide along the line.
  const T3DPoint half{-dy / length * frame.scaleX / 2, dx / length * frame.scaleY / 2, 0};
  TPlacement quad;
  quad.origin = from - half;
  quad.u = to - from;
  quad.v = half * 2;
  DrawColorQuad(Shifted(quad), {color, color, color, color});
}

} // namespace qx
