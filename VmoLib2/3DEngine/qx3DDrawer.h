// The player's drawer on the abstract device layer: a T3DScreen, the
// tiled-texture cache of pictures, the box antialiaser, the off-screen
// buffers of masked groups, the sharpening target, the pixel shaders, the
// video images and the render-target effecter of transitions.
// Each frame it opens the screen, maps the slide's design size onto the
// output, lets the item tree draw itself and presents the result.
#pragma once

#include "QxLib/Graphics/qxLevelDecoder.h"
#include "VmoLib2/3DEngine/qx3DScreen.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/3DEngine/qxTextureStore2.h"

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qx {

class T3DYUV;
class TBoxAntialiaser;
class TD3DBuffer;
class TFileAccessor;
class TRenderTargetD3DEffecter;
class TRenderTargetTexture;
class TTextureManager6;

class T3DDrawer final : public TDeviceDrawer {
public:
  explicit T3DDrawer(T3DEngine& engine);
  ~T3DDrawer() override;

  T3DScreen& Screen() const { return *m_screen; }

  void Init(TDrawDevice& device) override;
  void Close() override;
  bool Ready() const override { return m_ready; }
  int ShaderLevel() const override;
  // The renderer's index of a compiled pixel shader, -1 when there is none.
  int PixelShaderIndex(TPixelShaderKind kind) const { return m_shaders[static_cast<size_t>(kind)]; }
  bool HasSharpeningTarget() const { return m_sharpenTarget != nullptr; }

  T3DRect CurrentTargetRect() const override;
  void SetSlideSize(int width, int height) override;
  T3DRect SlideRect() const override { return m_hasSlideRect ? m_slideRect : T3DRect{}; }
  void SetViewport(const TFloatRect* logicalViewport, int designWidth, int designHeight) override;

  void ClearScreen(T3DColor color, bool depth) override;
  void ClearRect(T3DColor color, const T3DRect& rect) override;

  void PreloadPicture(const TPictureSource& picture, const TPictureDrawParams& params) override;
  void FreeTextureCache(const TPictureSource& picture) override;
  void DrawPicture(const TPictureSource& picture, const TPlacement& placement,
                   const TPictureDrawParams& params) override;
  void DrawBox(const TPlacement& placement, const TBoxDrawParams& params) override;
  void DrawFrame(const TPlacement& placement, float left, float top, float right, float bottom,
                 const TBoxDrawParams& params) override;
  void DrawLine(const T3DPoint& from, const T3DPoint& to, T3DColor color) override;

  TRefPtr<TYUVImage> MakeYUVImage(int width, int height) override;
  void DrawVideo(TYUVImage& image, const TPlacement& placement, const TVideoDrawParams& params) override;

  void DrawMaskedGroup(TDrawItem& content, std::span<const TMaskDraw> masks, const TRepeatPattern* pattern) override;
  void DrawTwoSlides(TDrawItem& first, TDrawItem& second, bool skipEffect, TVmoFilter* filter) override;
  void BeginSharpening() override;
  void EndSharpening(uint8_t threshold, float amountPercent) override;
  void BeginHider() override;
  void EndHider(TRgb color, float amount) override;

  bool ReadBack(TBitmap& into) override;
  std::unique_ptr<TBitmap> Capture() override;

  // The effecter transitions render slides into; made when the renderer
  // is first ready, else null.
  TRenderTargetD3DEffecter* Effecter() const { return m_effecter.get(); }
  // True while a slide of a transition is drawn into the effecter.
  bool DrawingTransitionSlide() const { return m_transitionSlide; }
  // The package custom transitions read their pictures from; may be null.
  // It must outlive the drawer or be reset first.
  void SetFileAccessor(const TFileAccessor* accessor) { m_accessor = accessor; }
  // Video images the drawer keeps (ended and dropped once nobody else
  // holds them, at the next frame).
  int VideoImageCount() const;

  // The tiled textures cached for pictures (guarded by the drawer's lock).
  TTextureStore2& TextureCache() { return m_textureCache; }
  // Preloads asked for by other threads, waiting for the next frame.
  int PendingPreloads() const;
  // Whether a preloaded picture's tiles go to the device 1 ms apart (on by
  // default, for a player that draws live); a renderer that does not draw
  // against a clock turns it off.
  void SetSpreadUploads(bool spread) { m_spreadUploads = spread; }
  // Whether a picture preloaded on the drawing thread is decoded on a
  // thread of its own first (off by default). Its tiles are then uploaded
  // at the first frame that begins after the decode, or before the picture
  // is first drawn, whichever comes first: the drawing thread goes on
  // meanwhile, and what is drawn does not change.
  void SetDecodeAhead(bool on) { m_decodeAhead = on; }

protected:
  void BeginFrame(TDrawItem& item) override;
  void EndFrame(TDrawItem& item) override;
  void EndScene() override;
  void AbortFrame() override;

private:
  struct TPreload {
    TRefPtr<TBitmapStore> store;
    std::shared_ptr<const TBitmap> bitmap;
    TPictureDrawParams params;
    // The level's decode ahead, when there is one.
    std::shared_ptr<const TLevelDecoder::TJob> decoding;
  };
  // Logical coordinates of device pixel (0, 0) and logical units per pixel.
  struct TLogicalFrame {
    double x0 = 0;
    double y0 = 0;
    double scaleX = 1;
    double scaleY = 1;
    double coordWidth = 1;
    double coordHeight = 1;
  };

  class TSlideEffecter;

  void RendererReadyEvent();
  void RendererLostEvent();
  void CompileShaders(T3DRenderer& renderer);

  TLogicalFrame LogicalFrame() const;
  // Maps the logical space onto the current target (screen or pushed).
  void ApplyProjection();
  // Makes target pixels the logical units until ApplyProjection.
  void UsePixelProjection();
  bool PushTarget(TRenderTargetTexture& texture, int x, int y);
  void PopTarget();
  // `placement` moved by the 2D offset.
  TPlacement Shifted(const TPlacement& placement) const;

  TTextureManager6& TextureManager();
  // The tiled texture of a picture at the parameters' level and grid,
  // made and cached on first use; null for a picture without pixels.
  // The tiled texture of a picture, from the cache or made now. With
  // `greyAsAlpha` a one-channel picture becomes white with its grey as
  // alpha (a mask), cached apart from the same picture drawn as colour.
  TMultiTexture6* AcquireTexture(const TPictureSource& picture, const TPictureDrawParams& params,
                                 bool greyAsAlpha = false);
  void DrawPictureWith(const TPictureSource& picture, const TPlacement& placement, const TPictureDrawParams& params,
                       TCustomTexture* second);
  // Whether `placement` shows width x height texels smaller than 1:1.
  bool Minified(const TPlacement& placement, double width, double height) const;
  void RunPendingPreloads();
  // Runs the pending preloads of `store` now (drawing thread, m_lock held).
  void RunPendingPreloadsOf(const TBitmapStore& store);
  // Builds and uploads the picture's texture (drawing thread, m_lock held).
  void UploadPicture(const TPictureSource& picture, const TPictureDrawParams& params);
  void UploadPreload(const TPreload& preload);
  void DrawBorder(const TPlacement& placement, const TPictureDrawParams& params);
  std::vector<TRefPtr<T3DYUV>> VideoImages() const;
  // Ends and forgets the video images nobody else holds (all with `all`).
  void DropVideoImages(bool all);
  // Draws a slide into the effecter's pushed target with the slide
  // projection of that target.
  void DrawTransitionSlide(const std::function<void()>& draw);
  void DrawColorQuad(const TPlacement& placement, const std::array<T3DColor, 4>& corners);
  // Draws `texels` of `texture` onto the target pixels `dest`.
  void CopyToTarget(TCustomTexture& texture, const T3DRect& texels, const T3DRect& dest);
  void DrawPattern(const TRepeatPattern& pattern, const T3DRect& tile);
  void DrawMaskedTile(TDrawItem& content, std::span<const TMaskDraw> masks, const TRepeatPattern* pattern,
                      const T3DRect& tile);

  T3DEngine& m_engine;
  std::unique_ptr<T3DScreen> m_screen;
  std::unique_ptr<TTextureManager6> m_textureManager;
  TTextureStore2 m_textureCache;
  std::unique_ptr<TBoxAntialiaser> m_antialiaser;
  std::unique_ptr<TD3DBuffer> m_opaqueBuffer;
  std::unique_ptr<TD3DBuffer> m_alphaBuffer;
  std::unique_ptr<TRenderTargetTexture> m_sharpenTarget;
  std::unique_ptr<TRenderTargetD3DEffecter> m_effecter;
  std::vector<TRefPtr<T3DYUV>> m_videoImages;
  bool m_luminanceTextures = true;
  const TFileAccessor* m_accessor = nullptr;
  std::array<int, kPixelShaderKinds> m_shaders{-1, -1, -1};
  int m_shaderLevel = -1;

  int m_slideWidth = 0;
  int m_slideHeight = 0;
  T3DRect m_slideRect;
  bool m_hasSlideRect = false;
  bool m_hasViewport = false;
  TFloatRect m_viewport;
  int m_designWidth = 0;
  int m_designHeight = 0;

  bool m_ready = false;
  bool m_frameOpen = false;
  bool m_sharpening = false;
  bool m_composing = false;
  bool m_hiding = false;
  bool m_inMaskedGroup = false;
  bool m_transitionSlide = false;
  std::thread::id m_drawThread;
  mutable std::recursive_mutex m_lock;
  std::vector<TPreload> m_pendingPreloads;
  bool m_spreadUploads = true;
  bool m_decodeAhead = false;
  // Made with the first decode ahead; last, so that it stops first.
  std::unique_ptr<TLevelDecoder> m_levelDecoder;
};

} // namespace qx
