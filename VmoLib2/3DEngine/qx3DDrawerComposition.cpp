// The drawer's composition: masked groups through the off-screen buffers,
// repeat patterns, sharpening and the hider bands around the slide.
#include "VmoLib2/3DEngine/qx3DDrawer.h"

#include "QxLib/Graphics/qxBitmapStore.h"
#include "VmoLib2/3DEngine/qx3DDrawerShared.h"
#include "VmoLib2/3DEngine/qxD3DBuffer.h"
#include "VmoLib2/3DEngine/qxD3DEffecter.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"
#include "VmoLib2/3DEngine/qxRenderTargetTexture.h"

#include <algorithm>
#include <cmath>

namespace qx {

using drawer::RoundHalfEven;

namespace {

// Repetitions of a background pattern drawn over one tile at most; a
// pattern of a few pixels over a large screen is not worth more.
constexpr int kMaxPatternRepeats = 4096;

} // namespace

void T3DDrawer::CopyToTarget(TCustomTexture& texture, const T3DRect& texels, const T3DRect& dest) {
  UsePixelProjection();
  const uint8_t opacity = texture.Opacity();
  texture.SetOpacity(255);
  m_screen->DrawTexture(
      texture, {double(texels.left), double(texels.top), double(texels.right), double(texels.bottom)},
      TPlacement::Flat({double(dest.left), double(dest.top), double(dest.right), double(dest.bottom)}));
  m_screen->FlushBatch();
  texture.SetOpacity(opacity);
  ApplyProjection();
}

void T3DDrawer::DrawPattern(const TRepeatPattern& pattern, const T3DRect& tile) {
  if (pattern.Size.x <= 0 || pattern.Size.y <= 0) {
    return;
  }
  const TLogicalFrame frame = LogicalFrame();
  const double left = frame.x0 + tile.left * frame.scaleX;
  const double top = frame.y0 + tile.top * frame.scaleY;
  const double right = frame.x0 + tile.right * frame.scaleX;
  const double bottom = frame.y0 + tile.bottom * frame.scaleY;
  const double firstX = std::floor((left - pattern.Origin.x) / pattern.Size.x);
  const double lastX = std::ceil((right - pattern.Origin.x) / pattern.Size.x);
  const double firstY = std::floor((top - pattern.Origin.y) / pattern.Size.y);
  const double lastY = std::ceil((bottom - pattern.Origin.y) / pattern.Size.y);
  if ((lastX - firstX) * (lastY - firstY) > kMaxPatternRepeats) {
    return;
  }
  TPictureDrawParams params;
  params.Feathered = false;
  for (double j = firstY; j < lastY; ++j) {
    for (double i = firstX; i < lastX; ++i) {
      const double x = pattern.Origin.x + i * pattern.Size.x;
      const double y = pattern.Origin.y + j * pattern.Size.y;
      // Without the 2D offset: the pattern is fixed to the tile.
      TPlacement placement = TPlacement::Flat({x, y, x + pattern.Size.x, y + pattern.Size.y});
      if (HasOffset()) {
        const auto [ox, oy] = Offset();
        placement.origin.x -= ox;
        placement.origin.y -= oy;
      }
      DrawPicture(pattern.Picture, placement, params);
    }
  }
}

void T3DDrawer::DrawMaskedTile(TDrawItem& content, std::span<const TMaskDraw> masks, const TRepeatPattern* pattern,
                               const T3DRect& tile) {
  TRenderTargetTexture& opaque = *m_opaqueBuffer->Texture();
  TRenderTargetTexture& alpha = *m_alphaBuffer->Texture();
  const T3DRect texels{0, 0, tile.Width(), tile.Height()};
  // 1. The content over its background, opaque.
  if (!PushTarget(opaque, tile.left, tile.top)) {
    return;
  }
  m_screen->Clear(MakeColor(0, 0, 0), false);
  if (pattern) {
    DrawPattern(*pattern, tile);
  } else if (m_transitionSlide && m_effecter && m_effecter->Inited()) {
    // What the transition slide shows so far lies in the effecter's target
    // being drawn, whose top-left is the effect area's origin.
    const T3DRect& area = m_effecter->Area();
    const T3DRect drawn{tile.left - area.left, tile.top - area.top, tile.right - area.left, tile.bottom - area.top};
    CopyToTarget(m_effecter->CurrentTarget(), drawn, texels);
  } else if (m_sharpening && m_sharpenTarget) {
    CopyToTarget(*m_sharpenTarget, tile, texels);
  }
  DrawItem(content);
  PopTarget();
  // 2. The masks times the content into a transparent tile. Max keeps each
  // mask's own colour and alpha instead of blending them with the clear
  // colour; where masks overlap the stronger one wins.
  if (!PushTarget(alpha, tile.left, tile.top)) {
    return;
  }
  m_screen->Clear(MakeColor(0, 0, 0, 0), false);
  m_screen->FlushBatch();
  m_screen->Renderer()->SetBlendMode(T3DBlendMode::Max);
  for (const TMaskDraw& mask : masks) {
    DrawPictureWith(mask.Picture, mask.Placement, mask.Params, &opaque);
  }
  m_screen->FlushBatch();
  m_screen->Renderer()->SetBlendMode(T3DBlendMode::Add);
  PopTarget();
  // 3. The tile over the target, by its alpha.
  const T3DRect target = CurrentTargetRect();
  const T3DRect dest{tile.left - target.left, tile.top - target.top, tile.right - target.left,
                     tile.bottom - target.top};
  CopyToTarget(alpha, texels, dest);
}

void T3DDrawer::DrawMaskedGroup(TDrawItem& content, std::span<const TMaskDraw> masks, const TRepeatPattern* pattern) {
  if (!m_screen->Renderer() || masks.empty() || !m_opaqueBuffer) {
    return;
  }
  TRenderTargetTexture* opaque = m_opaqueBuffer->Texture();
  TRenderTargetTexture* alpha = m_alphaBuffer->Texture();
  if (!opaque || !alpha || !opaque->Make() || !alpha->Make()) {
    return;
  }
  if (m_inMaskedGroup) {
    // The buffers are busy with the outer group: the inner content shows
    // unmasked rather than garbling the outer one.
    DrawItem(content);
    return;
  }
  m_inMaskedGroup = true;
  const struct TLeave {
    bool& flag;
    ~TLeave() { flag = false; }
  } leave{m_inMaskedGroup};
  const T3DRect target = CurrentTargetRect();
  for (const TRenderTargetTile& tile : m_opaqueBuffer->Tiles()) {
    const bool inside = tile.rect.left < target.right && tile.rect.right > target.left &&
                        tile.rect.top < target.bottom && tile.rect.bottom > target.top;
    if (inside) {
      DrawMaskedTile(content, masks, pattern, tile.rect);
    }
  }
}

void T3DDrawer::BeginSharpening() {
  if (m_sharpening || !m_sharpenTarget || !m_screen->Renderer()) {
    return;
  }
  if (!PushTarget(*m_sharpenTarget, 0, 0)) {
    return;
  }
  m_sharpening = true;
  m_screen->Clear(MakeColor(0, 0, 0, 0), false);
}

void T3DDrawer::EndSharpening(uint8_t threshold, float amountPercent) {
  if (!m_sharpening) {
    return;
  }
  m_sharpening = false;
  PopTarget();
  T3DRenderer* renderer = m_screen->Renderer();
  if (!renderer) {
    return;
  }
  const int shader = m_shaders[static_cast<size_t>(TPixelShaderKind::Sharpen)];
  m_screen->FlushBatch();
  const bool shaded = shader >= 0 && renderer->SetPixelShader(shader);
  if (shaded) {
    const float constants[] = {
        static_cast<float>(m_sharpenTarget->ScaleU()),
        static_cast<float>(m_sharpenTarget->ScaleV()),
        0,
        0,
        threshold / 256.0f,
        0,
        0,
        0,
        amountPercent / 100.0f,
        0,
        0,
        0,
    };
    renderer->SetPixelShaderConstants(0, constants, 3);
  }
  const T3DRect& device = DeviceRect();
  const T3DRect whole{0, 0, device.Width(), device.Height()};
  CopyToTarget(*m_sharpenTarget, whole, whole);
  if (shaded) {
    renderer->ClearPixelShader();
  }
}

void T3DDrawer::BeginHider() {
  m_screen->FlushBatch();
  m_hiding = true;
}

void T3DDrawer::EndHider(TRgb color, float amount) {
  const bool hiding = m_hiding;
  m_hiding = false;
  if (!hiding || !m_hasSlideRect || !m_screen->Renderer()) {
    return;
  }
  const uint8_t alpha = static_cast<uint8_t>(RoundHalfEven(std::clamp(amount, 0.0f, 1.0f) * 255.0f));
  if (alpha == 0) {
    return;
  }
  const T3DColor fill = MakeColor(color.r, color.g, color.b, alpha);
  const T3DRect& device = DeviceRect();
  const T3DRect& s = m_slideRect;
  const T3DRect bands[] = {{0, 0, device.Width(), s.top},
                           {0, s.bottom, device.Width(), device.Height()},
                           {0, s.top, s.left, s.bottom},
                           {s.right, s.top, device.Width(), s.bottom}};
  UsePixelProjection();
  for (const T3DRect& band : bands) {
    if (!band.IsEmpty()) {
      DrawColorQuad(TPlacement::Flat({double(band.left), double(band.top), double(band.right), double(band.bottom)}),
                    {fill, fill, fill, fill});
    }
  }
  m_screen->FlushBatch();
  ApplyProjection();
}

} // namespace qx
