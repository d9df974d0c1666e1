// A drawer that draws nothing and records every call it receives, with the
// placement and parameters handed to it, for tests of what objects and the
// draw control ask the drawer to do.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "Tests/TestSupport/qxTestClips.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qx::test {

struct TDrawCall {
  std::string Kind; // "picture", "box", "frame", "masked", "twoslides", "clear", ...
  TPlacement Placement;
  TPictureSource Picture;
  TPictureDrawParams PictureParams;
  TBoxDrawParams BoxParams;
  std::array<float, 4> FrameWidths{};
  std::vector<TMaskDraw> Masks;
  // Calls made while the masked content or a transition's slides drew.
  int Depth = 0;
  bool SkipEffect = false;
  TVmoFilter* Filter = nullptr;
  T3DColor Color = 0;
  float Amount = 0;
  TVideoDrawParams VideoParams;
  TRefPtr<TYUVImage> VideoImage;
};

class TRecordingDrawer : public TDeviceDrawer {
public:
  TRecordingDrawer() {
    SetDeviceRect({0, 0, 800, 600});
    SetDrawCallback([](TDrawPhase, TDrawItem&) {});
  }

  std::vector<TDrawCall> Calls;
  TFloatRect Viewport;
  int DesignWidth = 0;
  int DesignHeight = 0;
  // Raised from DrawPicture when set.
  bool FailPictures = false;
  bool IsReady = true;
  int Inits = 0;
  int Closes = 0;
  // What ShaderLevel and SlideRect answer.
  int Shaders = 1;
  T3DRect Slide;
  // Called with each call once it is recorded.
  std::function<void(const TDrawCall&)> OnCall;
  // Runs the lost callback, as a drawer does when its device goes.
  void SimulateLost() { RunLost(); }

  std::vector<TDrawCall> OfKind(const std::string& kind) const {
    std::vector<TDrawCall> found;
    for (const TDrawCall& call : Calls)
      if (call.Kind == kind)
        found.push_back(call);
    return found;
  }
  std::vector<std::string> Kinds() const {
    std::vector<std::string> kinds;
    for (const TDrawCall& call : Calls)
      kinds.push_back(call.Kind);
    return kinds;
  }

  void Init(TDrawDevice&) override { ++Inits; }
  void Close() override { ++Closes; }
  bool Ready() const override { return IsReady; }
  int ShaderLevel() const override { return Shaders; }
  T3DRect CurrentTargetRect() const override { return DeviceRect(); }
  void SetSlideSize(int, int) override {}
  T3DRect SlideRect() const override { return Slide; }
  void SetViewport(const TFloatRect* viewport, int designWidth, int designHeight) override {
    Viewport = viewport ? *viewport : TFloatRect{};
    DesignWidth = designWidth;
    DesignHeight = designHeight;
  }
  void ClearScreen(T3DColor color, bool) override {
    Add("clearscreen", [&](TDrawCall& call) { call.Color = color; });
  }
  void ClearRect(T3DColor color, const T3DRect&) override {
    Add("clear", [&](TDrawCall& call) { call.Color = color; });
  }
  void PreloadPicture(const TPictureSource&, const TPictureDrawParams&) override {}
  void FreeTextureCache(const TPictureSource& picture) override {
    Add("free", [&](TDrawCall& call) { call.Picture = picture; });
  }
  void DrawPicture(const TPictureSource& picture, const TPlacement& placement,
                   const TPictureDrawParams& params) override {
    if (FailPictures)
      throw std::runtime_error("picture failed");
    Add("picture", [&](TDrawCall& call) {
      call.Picture = picture;
      call.Placement = placement;
      call.PictureParams = params;
    });
  }
  void DrawBox(const TPlacement& placement, const TBoxDrawParams& params) override {
    Add("box", [&](TDrawCall& call) {
      call.Placement = placement;
      call.BoxParams = params;
    });
  }
  void DrawFrame(const TPlacement& placement, float left, float top, float right, float bottom,
                 const TBoxDrawParams& params) override {
    Add("frame", [&](TDrawCall& call) {
      call.Placement = placement;
      call.BoxParams = params;
      call.FrameWidths = {left, top, right, bottom};
    });
  }
  void DrawLine(const T3DPoint&, const T3DPoint&, T3DColor) override { Add("line"); }
  // Video images live in memory.
  TRefPtr<TYUVImage> MakeYUVImage(int width, int height) override { return MakeRef<TMemoryYUVImage>(width, height); }
  void DrawVideo(TYUVImage& image, const TPlacement& placement, const TVideoDrawParams& params) override {
    Add("video", [&](TDrawCall& call) {
      call.Placement = placement;
      call.VideoParams = params;
      call.VideoImage = TRefPtr<TYUVImage>(&image);
    });
  }
  void DrawMaskedGroup(TDrawItem& content, std::span<const TMaskDraw> masks, const TRepeatPattern*) override {
    Add("masked", [&](TDrawCall& call) { call.Masks.assign(masks.begin(), masks.end()); });
    ++m_depth;
    content.Draw(*this);
    --m_depth;
  }
  void DrawTwoSlides(TDrawItem& first, TDrawItem& second, bool skipEffect, TVmoFilter* filter) override {
    Add("twoslides", [&](TDrawCall& call) {
      call.SkipEffect = skipEffect;
      call.Filter = filter;
    });
    ++m_depth;
    first.Draw(*this);
    second.Draw(*this);
    --m_depth;
  }
  void BeginSharpening() override { Add("beginsharpen"); }
  void EndSharpening(uint8_t, float) override { Add("endsharpen"); }
  void BeginHider() override { Add("beginhider"); }
  void EndHider(TRgb, float amount) override {
    Add("endhider", [&](TDrawCall& call) { call.Amount = amount; });
  }
  bool ReadBack(TBitmap&) override { return false; }
  std::unique_ptr<TBitmap> Capture() override { return nullptr; }

protected:
  void BeginFrame(TDrawItem& item) override { Notify(TDrawPhase::FrameBegins, item); }
  void EndFrame(TDrawItem& item) override { Notify(TDrawPhase::FrameEnds, item); }
  void EndScene() override { Add("endscene"); }

private:
  void Add(const std::string& kind, const std::function<void(TDrawCall&)>& fill = {}) {
    Calls.push_back({});
    TDrawCall& call = Calls.back();
    call.Kind = kind;
    call.Depth = m_depth;
    if (fill)
      fill(call);
    if (OnCall)
      OnCall(call);
  }

  int m_depth = 0;
};

} // namespace qx::test
