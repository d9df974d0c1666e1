// The drawer's device events, frame protocol, geometry and read-back. Its
// pictures, video, composition and effecter live in qx3DDrawer*.cpp units
// of their own.
#include "VmoLib2/3DEngine/qx3DDrawer.h"

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/3DEngine/qx3DDrawerShared.h"
#include "VmoLib2/3DEngine/qx3DYUV.h"
#include "VmoLib2/3DEngine/qxBoxAntialiaser.h"
#include "VmoLib2/3DEngine/qxD3DBuffer.h"
#include "VmoLib2/3DEngine/qxD3DEffecter.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"
#include "VmoLib2/3DEngine/qxRenderTargetTexture.h"
#include "VmoLib2/3DEngine/qxTextureManager6.h"

#include <algorithm>

namespace qx {

using drawer::IsEmpty;
using drawer::RoundHalfEven;

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
  m_shaders[static_cast<size_t>(TPixelShaderKind::YuvField)] = renderer.CreatePixelShader({TPixelShaderKind::YuvField});
  if (m_shaderLevel < 2) {
    return;
  }
  const int sharpen = renderer.CreatePixelShader({TPixelShaderKind::Sharpen});
  m_shaders[static_cast<size_t>(TPixelShaderKind::Sharpen)] = sharpen;
  if (sharpen < 0) {
    return;
  }
  const T3DRect& device = DeviceRect();
  m_sharpenTarget = std::make_unique<TRenderTargetTexture>(*m_screen, T3DTextureKind::RenderTargetArgb, device.Width(),
                                                           device.Height());
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

void T3DDrawer::ClearScreen(T3DColor color, bool depth) { m_screen->Clear(color, depth); }

void T3DDrawer::ClearRect(T3DColor color, const T3DRect& rect) { m_screen->ClearRect(color, rect); }

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
