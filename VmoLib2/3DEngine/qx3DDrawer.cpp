#include "VmoLib2/3DEngine/qx3DDrawer.h"

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/3DEngine/qx3DYUV.h"
#include "VmoLib2/3DEngine/qxBoxAntialiaser.h"
#include "VmoLib2/3DEngine/qxD3DBuffer.h"
#include "VmoLib2/3DEngine/qxD3DEffecter.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"
#include "VmoLib2/3DEngine/qxDrawTwoSlides.h"
#include "VmoLib2/3DEngine/qxRenderTargetTexture.h"
#include "VmoLib2/3DEngine/qxTextureManager6.h"
#include "VmoLib2/3DEngine/qxVertexBuffer.h"
#include "VmoLib2/VmoClasses/qxVmoPlacement.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

// Repetitions of a background pattern drawn over one tile at most; a
// pattern of a few pixels over a large screen is not worth more.
constexpr int kMaxPatternRepeats = 4096;

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

bool IsEmpty(const TFloatRect& r) { return r.right <= r.left || r.bottom <= r.top; }

int RoundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }

double Length(const T3DPoint& p) { return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z); }

// Sets a flag for the lifetime of the scope, restoring its old value.
class TFlagScope {
public:
  explicit TFlagScope(bool& flag) : m_flag(flag), m_old(flag) { m_flag = true; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;
  ~TFlagScope() { m_flag = m_old; }

private:
  bool& m_flag;
  bool m_old;
};

} // namespace

// The drawer's effecter as the transition dispatch sees it: slides
// rendered into a target are drawn with the drawer's slide projection for
// that target and with the transition-slide flag set; once back on the
// screen the drawer's projection is restored.
class T3DDrawer::TSlideEffecter final : public TCustomD3DEffecter {
public:
  TSlideEffecter(T3DDrawer& drawer, TRenderTargetD3DEffecter& effecter) : m_drawer(drawer), m_effecter(effecter) {
    SetArea(effecter.Area());
    SetInited(effecter.Inited());
  }

  void Init(const T3DRect& area) override {
    m_effecter.Init(area);
    SetArea(area);
    SetInited(m_effecter.Inited());
  }
  void Release() override {
    m_effecter.Release();
    SetInited(false);
  }
  void SetClipRect(const T3DRect& rect) override {
    TCustomD3DEffecter::SetClipRect(rect);
    m_effecter.SetClipRect(rect);
  }
  TEffController& RenderSlide(bool padEdges, const TDrawSlide& draw) override {
    TEffController& controller = m_effecter.RenderSlide(padEdges, [&] { m_drawer.DrawTransitionSlide(draw); });
    m_drawer.ApplyProjection();
    return controller;
  }
  TEffController& RenderRealSlide(const TDrawSlide& draw) override {
    TEffController& controller = m_effecter.RenderRealSlide([&] { m_drawer.DrawTransitionSlide(draw); });
    m_drawer.ApplyProjection();
    return controller;
  }
  TEffController& Controller() override { return m_effecter.Controller(); }

private:
  T3DDrawer& m_drawer;
  TRenderTargetD3DEffecter& m_effecter;
};

T3DDrawer::T3DDrawer(T3DEngine& engine) : m_engine(engine) {
  m_screen = std::make_unique<T3DScreen>(
      engine, [this] { RendererLostEvent(); },
      [this] {
        if (!m_ready) {
          RendererReadyEvent();
        }
      });
}

T3DDrawer::~T3DDrawer() {
  const std::lock_guard lock(m_lock);
  // Video sources may still hold images: they refuse locks from now on.
  DropVideoImages(true);
  m_pendingPreloads.clear();
  m_antialiaser.reset();
  // The cached pictures give their tiles back before the manager goes.
  m_textureCache.Clear();
  m_textureManager.reset();
  m_opaqueBuffer.reset();
  m_alphaBuffer.reset();
  m_sharpenTarget.reset();
  m_effecter.reset();
  m_screen.reset();
}

// --- Device -------------------------------------------------------------

void T3DDrawer::Init(TDrawDevice& device) {
  const std::lock_guard drawing(DrawingLock());
  const std::lock_guard lock(m_lock);
  Log().WriteLine("T3DDrawer.Init");
  m_screen->AssignDevice(&device);
  if (m_screen->Renderer() && !m_ready) {
    RendererReadyEvent();
  }
}

void T3DDrawer::Close() {
  const std::lock_guard drawing(DrawingLock());
  const std::lock_guard lock(m_lock);
  Log().WriteLine("T3DDrawer.Close");
  m_screen->CloseRenderer();
}

int T3DDrawer::ShaderLevel() const {
  return m_shaderLevel >= 0 ? m_shaderLevel : m_engine.ShaderLevel(m_screen->Adapter());
}

void T3DDrawer::RendererReadyEvent() {
  T3DRenderer* renderer = m_screen->Renderer();
  QX_ASSERT(renderer != nullptr, "Renderer Ready is a Lie!");
  const T3DRect& screen = m_screen->ScreenRect();
  SetDeviceRect({0, 0, screen.Width(), screen.Height()});
  if (!m_opaqueBuffer) {
    m_opaqueBuffer = std::make_unique<TD3DBuffer>(*m_screen, T3DTextureKind::RenderTargetXrgb);
    m_alphaBuffer = std::make_unique<TD3DBuffer>(*m_screen, T3DTextureKind::RenderTargetArgb);
  }
  m_opaqueBuffer->Cover(DeviceRect());
  m_alphaBuffer->Cover(DeviceRect());
  if (!m_effecter) {
    m_effecter = std::make_unique<TRenderTargetD3DEffecter>(*m_screen);
  }
  m_effecter->Resize(DeviceRect());
  m_shaderLevel = m_engine.ShaderLevel(m_screen->Adapter());
  m_luminanceTextures = renderer->SupportsLuminanceTextures();
  CompileShaders(*renderer);
  for (const TRefPtr<T3DYUV>& image : VideoImages()) {
    image->Resume();
  }
  Log().WriteLine("T3DDrawer.RendererReadyEvent");
  m_ready = true;
  RunReady();
}

void T3DDrawer::CompileShaders(T3DRenderer& renderer) {
  m_shaders.fill(-1);
  m_sharpenTarget.reset();
  if (m_shaderLevel <= 0) {
    return;
  }
  m_shaders[static_cast<size_t>(TPixelShaderKind::Yuv)] = renderer.CreatePixelShader({TPixelShaderKind::Yuv});
  m_shaders[static_cast<size_t>(TPixelShaderKind::YuvField)] =
      renderer.CreatePixelShader({TPixelShaderKind::YuvField});
  if (m_shaderLevel < 2) {
    return;
  }
  const int sharpen = renderer.CreatePixelShader({TPixelShaderKind::Sharpen});
  m_shaders[static_cast<size_t>(TPixelShaderKind::Sharpen)] = sharpen;
  if (sharpen < 0) {
    return;
  }
  const T3DRect& device = DeviceRect();
  m_sharpenTarget =
      std::make_unique<TRenderTargetTexture>(*m_screen, T3DTextureKind::RenderTargetArgb, device.Width(), device.Height());
  if (!m_sharpenTarget->Make()) {
    // Sharpening is optional: requests then draw normally.
    m_sharpenTarget.reset();
  }
}

void T3DDrawer::RendererLostEvent() {
  // Between two windowed states the planes in memory stay valid and the
  // video goes on writing them.
  if (!m_screen->WindowedChange()) {
    // Without the drawer's lock: suspending waits for writers.
    for (const TRefPtr<T3DYUV>& image : VideoImages()) {
      image->Suspend();
    }
  }
  Log().WriteLine("T3DDrawer.RendererLostEvent");
  m_ready = false;
  m_frameOpen = false;
  m_shaders.fill(-1);
  RunLost();
}

// --- Frame --------------------------------------------------------------

void T3DDrawer::BeginFrame(TDrawItem& item) {
  m_drawThread = std::this_thread::get_id();
  m_sharpening = false;
  m_composing = false;
  m_hiding = false;
  m_inMaskedGroup = false;
  m_transitionSlide = false;
  m_frameOpen = m_screen->BeginScene();
  if (m_frameOpen) {
    if (m_effecter) {
      // Rebuilds the targets only when the size changed.
      m_effecter->Resize(ClipRect());
    }
    const std::lock_guard lock(m_lock);
    DropVideoImages(false);
    m_textureCache.Purge();
    RunPendingPreloads();
    if (m_hasSlideRect) {
      SetSlideSize(m_slideWidth, m_slideHeight);
    }
    ApplyProjection();
    if (item.ComposeOffScreen() && m_sharpenTarget && PushTarget(*m_sharpenTarget, 0, 0)) {
      m_composing = true;
      m_screen->Clear(MakeColor(0, 0, 0), false);
    }
  }
  Notify(TDrawPhase::FrameBegins, item);
}

void T3DDrawer::EndFrame(TDrawItem& item) {
  if (m_sharpening) {
    // Left open by the item: show what was drawn, unsharpened.
    EndSharpening(0, 0);
  }
  if (m_composing) {
    m_composing = false;
    PopTarget();
    const T3DRect& device = DeviceRect();
    CopyToTarget(*m_sharpenTarget, {0, 0, device.Width(), device.Height()}, {0, 0, device.Width(), device.Height()});
  }
  Notify(TDrawPhase::FrameEnds, item);
}

void T3DDrawer::EndScene() {
  if (!m_frameOpen) {
    return;
  }
  m_frameOpen = false;
  m_screen->EndScene(!NoPresent());
}

void T3DDrawer::AbortFrame() {
  m_sharpening = false;
  m_composing = false;
  m_inMaskedGroup = false;
  if (!m_frameOpen) {
    return;
  }
  m_frameOpen = false;
  while (m_screen->HasPushedTarget()) {
    m_screen->PopRenderTarget();
  }
  if (T3DRenderer* renderer = m_screen->Renderer()) {
    m_screen->FlushBatch();
    renderer->SetBlendMode(T3DBlendMode::Add);
    renderer->ClearPixelShader();
  }
  m_screen->EndScene(false);
}

// --- Geometry -----------------------------------------------------------

T3DRect T3DDrawer::CurrentTargetRect() const {
  if (m_screen->HasPushedTarget()) {
    return m_screen->CurrentTargetRect();
  }
  return DeviceRect();
}

void T3DDrawer::SetSlideSize(int width, int height) {
  m_slideWidth = width;
  m_slideHeight = height;
  m_hasSlideRect = width > 0 && height > 0;
  if (!m_hasSlideRect) {
    m_slideRect = {};
    return;
  }
  const T3DRect clip = ClipRect();
  const int left = clip.left + RoundHalfEven((clip.Width() - width) / 2.0);
  const int top = clip.top + RoundHalfEven((clip.Height() - height) / 2.0);
  m_slideRect = {left, top, left + width, top + height};
  ApplyProjection();
}

void T3DDrawer::SetViewport(const TFloatRect* logicalViewport, int designWidth, int designHeight) {
  m_hasViewport = logicalViewport != nullptr && !IsEmpty(*logicalViewport);
  m_viewport = m_hasViewport ? *logicalViewport : TFloatRect{};
  m_designWidth = designWidth;
  m_designHeight = designHeight;
  if (!m_screen->HasPushedTarget()) {
    ApplyProjection();
  }
}

T3DDrawer::TLogicalFrame T3DDrawer::LogicalFrame() const {
  const T3DRect& device = DeviceRect();
  const double width = std::max(1, device.Width());
  const double height = std::max(1, device.Height());
  TLogicalFrame frame;
  frame.coordWidth = m_designWidth > 0 ? m_designWidth : width;
  frame.coordHeight = m_designHeight > 0 ? m_designHeight : height;
  if (m_hasViewport) {
    // The logical viewport fills the whole output.
    frame.x0 = m_viewport.left;
    frame.y0 = m_viewport.top;
    frame.scaleX = (m_viewport.right - m_viewport.left) / width;
    frame.scaleY = (m_viewport.bottom - m_viewport.top) / height;
    return frame;
  }
  if (m_hasSlideRect) {
    // The design size fills the slide rectangle.
    if (m_designWidth <= 0 || m_designHeight <= 0) {
      frame.coordWidth = m_slideRect.Width();
      frame.coordHeight = m_slideRect.Height();
    }
    frame.scaleX = frame.coordWidth / m_slideRect.Width();
    frame.scaleY = frame.coordHeight / m_slideRect.Height();
    frame.x0 = -m_slideRect.left * frame.scaleX;
    frame.y0 = -m_slideRect.top * frame.scaleY;
    return frame;
  }
  frame.coordWidth = width;
  frame.coordHeight = height;
  return frame;
}

void T3DDrawer::ApplyProjection() {
  if (!m_screen->Renderer()) {
    return;
  }
  const TLogicalFrame frame = LogicalFrame();
  const T3DRect target = CurrentTargetRect();
  m_screen->SetProjection(frame.x0 + target.left * frame.scaleX, frame.y0 + target.top * frame.scaleY,
                          target.Width() * frame.scaleX, target.Height() * frame.scaleY, frame.coordWidth,
                          frame.coordHeight);
}

void T3DDrawer::UsePixelProjection() {
  const T3DRect target = CurrentTargetRect();
  const T3DRect& device = DeviceRect();
  m_screen->SetProjection(0, 0, target.Width(), target.Height(), std::max(1, device.Width()),
                          std::max(1, device.Height()));
}

bool T3DDrawer::PushTarget(TRenderTargetTexture& texture, int x, int y) {
  if (!m_screen->PushRenderTarget(texture, x, y)) {
    return false;
  }
  ApplyProjection();
  return true;
}

void T3DDrawer::PopTarget() {
  m_screen->PopRenderTarget();
  ApplyProjection();
}

TPlacement T3DDrawer::Shifted(const TPlacement& placement) const {
  if (!HasOffset()) {
    return placement;
  }
  const auto [x, y] = Offset();
  TPlacement moved = placement;
  moved.origin.x += x;
  moved.origin.y += y;
  return moved;
}

// --- Clearing -----------------------------------------------------------

void T3DDrawer::ClearScreen(T3DColor color, bool depth) {
  m_screen->Clear(color, depth);
}

void T3DDrawer::ClearRect(T3DColor color, const T3DRect& rect) {
  m_screen->ClearRect(color, rect);
}

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
    m_pendingPreloads.push_back({TRefPtr<TBitmapStore>(picture.Store), picture.Bitmap, params});
    return;
  }
  if (!m_screen->Renderer()) {
    return;
  }
  if (TMultiTexture6* texture = AcquireTexture(picture, params)) {
    texture->SetMipMaps(true);
    texture->SetLodBias(params.MipBias);
    texture->Preload();
  }
}

void T3DDrawer::RunPendingPreloads() {
  std::vector<TPreload> pending = std::move(m_pendingPreloads);
  m_pendingPreloads.clear();
  for (const TPreload& preload : pending) {
    TPictureSource picture;
    picture.Store = preload.store.Get();
    picture.Bitmap = preload.bitmap;
    PreloadPicture(picture, preload.params);
  }
}

int T3DDrawer::PendingPreloads() const {
  const std::lock_guard lock(m_lock);
  return static_cast<int>(m_pendingPreloads.size());
}

void T3DDrawer::FreeTextureCache(const TPictureSource& picture) {
  const std::lock_guard drawing(DrawingLock());
  const std::lock_guard lock(m_lock);
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
               std::min(double(texture->Width()), s.right * scale), std::min(double(texture->Height()), s.bottom * scale)};
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
  batch.AddQuad(corner(0, 0, corners[0]), corner(1, 0, corners[1]), corner(0, 1, corners[2]),
                corner(1, 1, corners[3]));
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

// --- Video ----------------------------------------------------------------

TRefPtr<TYUVImage> T3DDrawer::MakeYUVImage(int width, int height) {
  if (width <= 0 || height <= 0) {
    return {};
  }
  const std::lock_guard lock(m_lock);
  if (const T3DRenderer* renderer = m_screen->Renderer()) {
    m_luminanceTextures = renderer->SupportsLuminanceTextures();
  }
  auto image = MakeRef<T3DYUV>(*m_screen, width, height, YUVModeFor(ShaderLevel(), m_luminanceTextures));
  if (!m_ready) {
    // Made while the renderer is away: it waits for the ready event.
    image->Suspend();
  }
  m_videoImages.push_back(image);
  return TRefPtr<TYUVImage>(image.Get());
}

void T3DDrawer::DropVideoImages(bool all) {
  std::erase_if(m_videoImages, [all](const TRefPtr<T3DYUV>& image) {
    if (all) {
      // Waits for a writer still inside a plane, so ending cannot fail.
      image->Suspend();
    } else if (image->RefCount() > 1 || image->LockedPlanes() > 0) {
      return false;
    }
    image->End();
    return true;
  });
}

std::vector<TRefPtr<T3DYUV>> T3DDrawer::VideoImages() const {
  const std::lock_guard lock(m_lock);
  return m_videoImages;
}

int T3DDrawer::VideoImageCount() const {
  const std::lock_guard lock(m_lock);
  return static_cast<int>(m_videoImages.size());
}

void T3DDrawer::DrawVideo(TYUVImage& image, const TPlacement& placement, const TVideoDrawParams& params) {
  auto* yuv = dynamic_cast<T3DYUV*>(&image);
  QX_ASSERT(yuv != nullptr, "Video image of another drawer's class");
  if (!m_screen->Renderer() || Length(placement.u) <= 0 || Length(placement.v) <= 0) {
    return;
  }
  const TYUVShaders shaders{m_shaders[static_cast<size_t>(TPixelShaderKind::Yuv)],
                            m_shaders[static_cast<size_t>(TPixelShaderKind::YuvField)]};
  DrawYUVImage(*m_screen, *yuv, Shifted(placement), params, shaders);
}

// --- Composition ----------------------------------------------------------

void T3DDrawer::CopyToTarget(TCustomTexture& texture, const T3DRect& texels, const T3DRect& dest) {
  UsePixelProjection();
  const uint8_t opacity = texture.Opacity();
  texture.SetOpacity(255);
  m_screen->DrawTexture(texture, {double(texels.left), double(texels.top), double(texels.right), double(texels.bottom)},
                        TPlacement::Flat({double(dest.left), double(dest.top), double(dest.right), double(dest.bottom)}));
  m_screen->FlushBatch();
  texture.SetOpacity(opacity);
  ApplyProjection();
}

void T3DDrawer::DrawTwoSlides(TDrawItem& first, TDrawItem& second, bool skipEffect, TVmoFilter* filter) {
  if (!m_effecter || !m_effecter->Inited() || !m_screen->Renderer()) {
    // Nothing to render a transition into: the outgoing slide stays.
    DrawItem(first);
    return;
  }
  TSlideEffecter effecter(*this, *m_effecter);
  const T3DRect slideRect = m_hasSlideRect ? m_slideRect : ClipRect();
  try {
    qx::DrawTwoSlides(*this, effecter, slideRect, first, second, skipEffect, filter, m_accessor);
  } catch (...) {
    ApplyProjection();
    throw;
  }
  // The effects draw in target pixels.
  ApplyProjection();
}

void T3DDrawer::DrawTransitionSlide(const std::function<void()>& draw) {
  const TFlagScope flag(m_transitionSlide);
  ApplyProjection();
  draw();
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
        static_cast<float>(m_sharpenTarget->ScaleU()), static_cast<float>(m_sharpenTarget->ScaleV()), 0, 0,
        threshold / 256.0f, 0, 0, 0,
        amountPercent / 100.0f, 0, 0, 0,
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

// --- Output -------------------------------------------------------------

bool T3DDrawer::ReadBack(TBitmap& into) {
  if (!NoPresent()) {
    return false;
  }
  T3DRenderer* renderer = m_screen->Renderer();
  T3DSurface* back = renderer ? renderer->BackBuffer() : nullptr;
  return back && back->CopyToBitmap(into);
}

std::unique_ptr<TBitmap> T3DDrawer::Capture() {
  T3DRenderer* renderer = m_screen->Renderer();
  T3DSurface* back = renderer ? renderer->BackBuffer() : nullptr;
  if (!back) {
    return nullptr;
  }
  auto bitmap = std::make_unique<TBitmap>(back->Width(), back->Height(), TPixelFormat::Bgra32);
  if (!back->CopyToBitmap(*bitmap)) {
    return nullptr;
  }
  return bitmap;
}

} // namespace qx
