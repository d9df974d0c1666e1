// The render-target effecter of the transitions: every slide that goes
// through a transition effect is first rendered into one of two
// screen-sized render targets, and the effect then draws triangles of that
// picture through the tile controller the effecter hands it.
#pragma once

#include "VmoLib2/3DBasics/qx3DTypes.h"
#include "VmoLib2/3DEngine/qx3DGeometry.h"
#include "VmoLib2/3DEngine/qxEffController.h"

#include <array>
#include <functional>
#include <memory>

namespace qx {

class T3DScreen;
class TCustomTexture;
class TRenderTargetD3DEffecter;
class TRenderTargetTexture;
class TVertexBuffer;

// The effecter as the drawer's dispatch of two slides sees it.
class TCustomD3DEffecter {
public:
  using TDrawSlide = std::function<void()>;

  TCustomD3DEffecter() = default;
  TCustomD3DEffecter(const TCustomD3DEffecter&) = delete;
  TCustomD3DEffecter& operator=(const TCustomD3DEffecter&) = delete;
  virtual ~TCustomD3DEffecter() = default;

  // Frees the old targets, keeps `area` (device pixels) and makes the
  // targets for it; the clip rectangle becomes the area. An empty area
  // leaves the effecter uninitialised. Drawing thread.
  virtual void Init(const T3DRect& area) = 0;
  // Frees the targets; the effecter is uninitialised until the next Init.
  virtual void Release() = 0;
  // Initialises for `area` unless already initialised for it, so the
  // targets are rebuilt only when the size changes.
  void Resize(const T3DRect& area);
  bool Inited() const { return m_inited; }
  const T3DRect& Area() const { return m_area; }

  // Limits the rendered part of the targets; an empty rectangle means the
  // area.
  virtual void SetClipRect(const T3DRect& rect) { m_clipRect = rect; }
  T3DRect ClipRect() const { return m_clipRect.IsEmpty() ? m_area : m_clipRect; }

  // Renders a slide (drawn by `draw` through the drawer) into the current
  // target and answers the controller through which the effect draws it.
  // With `padEdges` the column right of and the row below the rendered
  // part repeat its last column and row. Before Init: assertion
  // "Effecter not Inited". `draw` may raise; the target is left first.
  virtual TEffController& RenderSlide(bool padEdges, const TDrawSlide& draw) = 0;
  // Renders a slide of a real-slide effect into the current target
  // (target 0 cleared to green, target 1 to blue, alpha 0), then makes the
  // other target current. Before Init: assertion "Effecter not Inited".
  virtual TEffController& RenderRealSlide(const TDrawSlide& draw) = 0;
  // After a pair of RenderRealSlide calls: the target the first (0) or the
  // second (1) of them went into; null without targets.
  virtual TCustomTexture* RealSlideTarget(int order) = 0;
  // The controller of the last rendering.
  virtual TEffController& Controller() = 0;

protected:
  void SetInited(bool inited) { m_inited = inited; }
  void SetArea(const T3DRect& area) { m_area = area; }
  // Assertion "Effecter not Inited" before Init.
  void CheckInited() const;

private:
  T3DRect m_area;
  T3DRect m_clipRect;
  bool m_inited = false;
};

// A cell of the effecter's controller: draws triangles of the current
// target into the screen. Positions and texels are target pixels of the
// current render target, depth in pixels away from the viewer.
class TD3DTriTile final : public TEffTile {
public:
  TD3DTriTile(TEffController& controller, TRenderTargetD3DEffecter& effecter, const TFloatRect& cell, int index);

  // Starts a run of triangles: the projection becomes target pixels and
  // textured triangles modulate the picture by the vertex colour and alpha
  // in vertex-alpha mode (else only by the vertex alpha). `textured`
  // chooses the batch the first triangles go to.
  void Begin(bool textured, bool vertexAlpha) override;
  void AddAlphaTriangle(const TEffVertex& a, const TEffVertex& b, const TEffVertex& c) override;
  void AddColorTriangle(const std::array<T3DPoint, 3>& points, const std::array<T3DColor, 3>& colors) override;
  void AddTexturedTriangle(const std::array<TEffTexVertex, 3>& vertices) override;
  void End() override;

private:
  TVertexBuffer& Use(bool textured);
  T3DVertex TexturedVertex(const T3DPoint& position, const TFloatPoint& texel, T3DColor color) const;

  TRenderTargetD3DEffecter& m_effecter;
  bool m_vertexAlpha = false;
};

// The controller of the effecter: one cell covering the area, unless a
// finer grid is asked for.
class TD3DTriController final : public TEffController {
public:
  explicit TD3DTriController(TRenderTargetD3DEffecter& effecter) : m_effecter(effecter) {}
  TD3DTriTile& Cell(int column = 0, int row = 0) { return static_cast<TD3DTriTile&>(Tile(column, row)); }

protected:
  std::unique_ptr<TEffTile> MakeTile(const TFloatRect& cell, int index) override;

private:
  TRenderTargetD3DEffecter& m_effecter;
};

class TRenderTargetD3DEffecter final : public TCustomD3DEffecter {
public:
  // Side of the strip texture the edge copies go through.
  static constexpr int kStripSide = 256;
  // Pieces copied through the strip per batch.
  static constexpr int kPiecesPerBatch = 20;

  explicit TRenderTargetD3DEffecter(T3DScreen& screen);
  ~TRenderTargetD3DEffecter() override;

  void Init(const T3DRect& area) override;
  void Release() override;
  TEffController& RenderSlide(bool padEdges, const TDrawSlide& draw) override;
  TEffController& RenderRealSlide(const TDrawSlide& draw) override;
  TCustomTexture* RealSlideTarget(int order) override;
  TEffController& Controller() override { return m_controller; }
  // Cuts the area into columns x rows cells of (nearly) equal size, until
  // the next Init; one cell is what Init makes. All cells draw from the
  // same target, so the picture must not depend on the grid.
  void SetCellGrid(int columns, int rows);

  // Target 0 or 1 (other indices: assertion); assertion before Init.
  TCustomTexture& Target(int index);
  TCustomTexture& CurrentTarget() { return Target(m_current); }
  int CurrentIndex() const { return m_current; }
  // The area's origin with the target's size, cut to the clip rectangle.
  T3DRect TargetRect() const;

  T3DScreen& Screen() const { return m_screen; }
  TVertexBuffer& TexturedBatch() { return *m_texturedBatch; }
  TVertexBuffer& PlainBatch() { return *m_plainBatch; }

private:
  // Pushes the current target, clears it and draws into it.
  void RenderInto(T3DColor clear, const TDrawSlide& draw);
  void PadEdges(const T3DRect& drawn);

  T3DScreen& m_screen;
  std::array<std::unique_ptr<TRenderTargetTexture>, 2> m_targets;
  std::unique_ptr<TRenderTargetTexture> m_strip;
  std::unique_ptr<TVertexBuffer> m_texturedBatch;
  std::unique_ptr<TVertexBuffer> m_plainBatch;
  TD3DTriController m_controller;
  int m_current = 0;
};

} // namespace qx
