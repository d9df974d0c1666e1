#include "VmoLib2/3DEngine/qxD3DEffecter.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qx3DScreen.h"
#include "VmoLib2/3DEngine/qxRenderTargetTexture.h"
#include "VmoLib2/3DEngine/qxVertexBuffer.h"

#include <algorithm>
#include <vector>

namespace qx {

namespace {

// The clear colours: black under a slide an effect draws (the colour of the
// screen around a slide, so a letterbox stays black while an effect blends
// the whole target), green and blue under the two slides of a real-slide
// effect; all with alpha 0.
constexpr T3DColor kSlideClear = MakeColor(0, 0, 0, 0);
constexpr std::array<T3DColor, 2> kRealSlideClear = {MakeColor(0, 255, 0, 0), MakeColor(0, 0, 255, 0)};

T3DRect Intersect(const T3DRect& a, const T3DRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

uint8_t AlphaByte(double alpha) { return static_cast<uint8_t>(std::clamp(alpha + 0.5, 0.0, 255.0)); }

// Pops the render target pushed by its creator on every way out.
class TTargetScope {
public:
  explicit TTargetScope(T3DScreen& screen) : m_screen(screen) {}
  TTargetScope(const TTargetScope&) = delete;
  TTargetScope& operator=(const TTargetScope&) = delete;
  ~TTargetScope() { m_screen.PopRenderTarget(); }

private:
  T3DScreen& m_screen;
};

// One copy of a column or row piece: from the last drawn line into the
// strip, and from the strip into the line after it.
struct TPieceCopy {
  T3DRect source;
  T3DRect strip;
  T3DRect dest;
};

// Copies a line of pixels onto the next one, in pieces of at most a strip
// side, through the strip texture.
bool CopyPieces(T3DRenderer& renderer, T3DSurface& target, T3DSurface& strip, const std::vector<TPieceCopy>& pieces) {
  for (size_t first = 0; first < pieces.size(); first += TRenderTargetD3DEffecter::kPiecesPerBatch) {
    const size_t last = std::min(pieces.size(), first + TRenderTargetD3DEffecter::kPiecesPerBatch);
    for (size_t i = first; i < last; ++i) {
      if (!renderer.StretchRect(target, pieces[i].source, strip, pieces[i].strip)) {
        return false;
      }
    }
    for (size_t i = first; i < last; ++i) {
      if (!renderer.StretchRect(strip, pieces[i].strip, target, pieces[i].dest)) {
        return false;
      }
    }
  }
  return true;
}

} // namespace

// ---- TCustomD3DEffecter ----

void TCustomD3DEffecter::Resize(const T3DRect& area) {
  if (m_inited && area == m_area) {
    return;
  }
  Init(area);
}

void TCustomD3DEffecter::CheckInited() const { QX_ASSERT(m_inited, "Effecter not Inited"); }

// ---- TD3DTriTile ----

TD3DTriTile::TD3DTriTile(TEffController& controller, TRenderTargetD3DEffecter& effecter, const TFloatRect& cell,
                         int index)
    : TEffTile(controller, cell, index), m_effecter(effecter) {}

void TD3DTriTile::Begin(bool textured, bool vertexAlpha) {
  T3DScreen& screen = m_effecter.Screen();
  screen.FlushBatch();
  m_effecter.TexturedBatch().Flush();
  m_effecter.PlainBatch().Flush();
  m_vertexAlpha = vertexAlpha;
  const T3DRect screenRect = screen.ScreenRect();
  const T3DRect target =
      screen.HasPushedTarget() ? screen.CurrentTargetRect() : T3DRect{0, 0, screenRect.Width(), screenRect.Height()};
  screen.SetProjection(target.left, target.top, target.Width(), target.Height(), screenRect.Width(),
                       screenRect.Height());
  Use(textured);
}

TVertexBuffer& TD3DTriTile::Use(bool textured) {
  TVertexBuffer& other = textured ? m_effecter.PlainBatch() : m_effecter.TexturedBatch();
  other.Flush();
  TVertexBuffer& batch = textured ? m_effecter.TexturedBatch() : m_effecter.PlainBatch();
  if (textured) {
    TCustomTexture* textures[] = {&m_effecter.CurrentTarget()};
    batch.Begin(textures, m_vertexAlpha);
  } else {
    batch.Begin({}, true);
  }
  return batch;
}

T3DVertex TD3DTriTile::TexturedVertex(const T3DPoint& position, const TFloatPoint& texel, T3DColor color) const {
  const TCustomTexture& target = m_effecter.Target(m_effecter.CurrentIndex());
  T3DVertex vertex = m_effecter.Screen().Vertex(position);
  vertex.diffuse = color;
  vertex.uv[0] = {static_cast<float>(texel.x * target.ScaleU()), static_cast<float>(texel.y * target.ScaleV())};
  return vertex;
}

void TD3DTriTile::AddAlphaTriangle(const TEffVertex& a, const TEffVertex& b, const TEffVertex& c) {
  const T3DRect& area = m_effecter.Area();
  const auto vertex = [&](const TEffVertex& v) {
    return TexturedVertex({v.x, v.y, 0}, {v.x - area.left, v.y - area.top},
                          MakeColor(255, 255, 255, AlphaByte(v.alpha)));
  };
  Use(true).AddTriangle(vertex(a), vertex(b), vertex(c));
}

void TD3DTriTile::AddColorTriangle(const std::array<T3DPoint, 3>& points, const std::array<T3DColor, 3>& colors) {
  std::array<T3DVertex, 3> vertices;
  for (size_t i = 0; i < 3; ++i) {
    vertices[i] = m_effecter.Screen().Vertex(points[i]);
    vertices[i].diffuse = colors[i];
  }
  Use(false).AddTriangle(vertices[0], vertices[1], vertices[2]);
}

void TD3DTriTile::AddTexturedTriangle(const std::array<TEffTexVertex, 3>& vertices) {
  const T3DRect& area = m_effecter.Area();
  const auto vertex = [&](const TEffTexVertex& v) {
    return TexturedVertex(v.position, {v.texel.x - area.left, v.texel.y - area.top},
                          MakeColor(v.grey, v.grey, v.grey, 255));
  };
  Use(true).AddTriangle(vertex(vertices[0]), vertex(vertices[1]), vertex(vertices[2]));
}

void TD3DTriTile::End() {
  m_effecter.TexturedBatch().Flush();
  m_effecter.PlainBatch().Flush();
}

// ---- TD3DTriController ----

std::unique_ptr<TEffTile> TD3DTriController::MakeTile(const TFloatRect& cell, int index) {
  return std::make_unique<TD3DTriTile>(*this, m_effecter, cell, index);
}

// ---- TRenderTargetD3DEffecter ----

TRenderTargetD3DEffecter::TRenderTargetD3DEffecter(T3DScreen& screen)
    : m_screen(screen), m_texturedBatch(std::make_unique<TVertexBuffer>(screen)),
      m_plainBatch(std::make_unique<TVertexBuffer>(screen)), m_controller(*this) {}

TRenderTargetD3DEffecter::~TRenderTargetD3DEffecter() = default;

void TRenderTargetD3DEffecter::Init(const T3DRect& area) {
  Release();
  SetArea(area);
  SetClipRect({});
  if (area.IsEmpty()) {
    return;
  }
  for (auto& target : m_targets) {
    target =
        std::make_unique<TRenderTargetTexture>(m_screen, T3DTextureKind::RenderTargetXrgb, area.Width(), area.Height());
    // Effects turn and scale the slide: sample it smoothly.
    target->SetPointFilter(false);
  }
  m_strip = std::make_unique<TRenderTargetTexture>(m_screen, T3DTextureKind::RenderTargetXrgb, kStripSide, kStripSide);
  m_controller.SetGrid({static_cast<double>(area.left), static_cast<double>(area.right)},
                       {static_cast<double>(area.top), static_cast<double>(area.bottom)});
  m_current = 0;
  SetInited(true);
}

void TRenderTargetD3DEffecter::Release() {
  m_texturedBatch->Flush();
  m_plainBatch->Flush();
  for (auto& target : m_targets) {
    target.reset();
  }
  m_strip.reset();
  SetInited(false);
}

void TRenderTargetD3DEffecter::SetCellGrid(int columns, int rows) {
  CheckInited();
  QX_ASSERT(columns >= 1 && rows >= 1, "Effect grid needs a cell");
  const T3DRect& area = Area();
  const auto bounds = [](int from, int to, int count) {
    std::vector<double> result;
    for (int i = 0; i <= count; ++i) {
      result.push_back(from + static_cast<double>((to - from) * static_cast<int64_t>(i) / count));
    }
    return result;
  };
  m_controller.SetGrid(bounds(area.left, area.right, columns), bounds(area.top, area.bottom, rows));
}

TCustomTexture& TRenderTargetD3DEffecter::Target(int index) {
  CheckInited();
  QX_ASSERT(index == 0 || index == 1, "Effecter target index out of range");
  return *m_targets[static_cast<size_t>(index)];
}

T3DRect TRenderTargetD3DEffecter::TargetRect() const {
  CheckInited();
  const T3DRect& area = Area();
  const TRenderTargetTexture& target = *m_targets[static_cast<size_t>(m_current)];
  return Intersect({area.left, area.top, area.left + target.TextureWidth(), area.top + target.TextureHeight()},
                   ClipRect());
}

void TRenderTargetD3DEffecter::RenderInto(T3DColor clear, const TDrawSlide& draw) {
  const T3DRect& area = Area();
  if (!m_screen.PushRenderTarget(CurrentTarget(), area.left, area.top)) {
    return;
  }
  const TTargetScope scope(m_screen);
  m_screen.Clear(clear, false);
  draw();
}

TEffController& TRenderTargetD3DEffecter::RenderSlide(bool padEdges, const TDrawSlide& draw) {
  CheckInited();
  RenderInto(kSlideClear, draw);
  if (padEdges) {
    const T3DRect target = TargetRect();
    const T3DRect& area = Area();
    PadEdges({target.left - area.left, target.top - area.top, target.right - area.left, target.bottom - area.top});
  }
  return m_controller;
}

TEffController& TRenderTargetD3DEffecter::RenderRealSlide(const TDrawSlide& draw) {
  CheckInited();
  RenderInto(kRealSlideClear[static_cast<size_t>(m_current)], draw);
  m_current = 1 - m_current;
  return m_controller;
}

TCustomTexture* TRenderTargetD3DEffecter::RealSlideTarget(int order) {
  if (!Inited()) {
    return nullptr;
  }
  // Each rendering toggled the current target, so after a pair the first
  // went into the current one.
  return &Target(order == 0 ? m_current : 1 - m_current);
}

void TRenderTargetD3DEffecter::PadEdges(const T3DRect& drawn) {
  T3DRenderer* renderer = m_screen.Renderer();
  TCustomTexture& target = CurrentTarget();
  if (!renderer || drawn.IsEmpty()) {
    return;
  }
  m_screen.FlushBatch();
  const std::lock_guard lock(DeviceLock());
  T3DTexture* targetTexture = target.DeviceTexture();
  T3DTexture* stripTexture = m_strip->DeviceTexture();
  T3DSurface* targetSurface = targetTexture ? targetTexture->SurfaceLevel(0) : nullptr;
  T3DSurface* stripSurface = stripTexture ? stripTexture->SurfaceLevel(0) : nullptr;
  if (!targetSurface || !stripSurface) {
    return;
  }
  const int width = target.TextureWidth();
  const int height = target.TextureHeight();
  std::vector<TPieceCopy> pieces;
  if (drawn.right < width) {
    for (int top = drawn.top; top < drawn.bottom; top += kStripSide) {
      const int bottom = std::min(drawn.bottom, top + kStripSide);
      const int slot = static_cast<int>(pieces.size()) % kPiecesPerBatch;
      pieces.push_back({{drawn.right - 1, top, drawn.right, bottom},
                        {slot, 0, slot + 1, bottom - top},
                        {drawn.right, top, drawn.right + 1, bottom}});
    }
  }
  if (!CopyPieces(*renderer, *targetSurface, *stripSurface, pieces)) {
    return;
  }
  pieces.clear();
  if (drawn.bottom < height) {
    // The row includes the column just filled, so the corner is set too.
    const int right = std::min(width, drawn.right + 1);
    for (int left = drawn.left; left < right; left += kStripSide) {
      const int end = std::min(right, left + kStripSide);
      const int slot = static_cast<int>(pieces.size()) % kPiecesPerBatch;
      pieces.push_back({{left, drawn.bottom - 1, end, drawn.bottom},
                        {0, slot, end - left, slot + 1},
                        {left, drawn.bottom, end, drawn.bottom + 1}});
    }
  }
  CopyPieces(*renderer, *targetSurface, *stripSurface, pieces);
}

} // namespace qx
