// The drawer's side of transitions: both slides rendered into the
// render-target effecter, each with the slide projection of its target.
#include "VmoLib2/3DEngine/qx3DDrawer.h"

#include "QxLib/Graphics/qxBitmapStore.h"
#include "VmoLib2/3DEngine/qxD3DEffecter.h"
#include "VmoLib2/3DEngine/qxDrawTwoSlides.h"

namespace qx {

namespace {

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
  TCustomTexture* RealSlideTarget(int order) override { return m_effecter.RealSlideTarget(order); }
  TEffController& Controller() override { return m_effecter.Controller(); }

private:
  T3DDrawer& m_drawer;
  TRenderTargetD3DEffecter& m_effecter;
};

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

} // namespace qx
