// The drawer's video images: made for video sources, suspended while the
// renderer is away, drawn through the YUV shaders.
#include "VmoLib2/3DEngine/qx3DDrawer.h"

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qx3DDrawerShared.h"
#include "VmoLib2/3DEngine/qx3DYUV.h"

namespace qx {

using drawer::Length;

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

} // namespace qx
