#include "VmoLib2/3DEngine/qx3DYUV.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qxFeatherMesh.h"
#include "VmoLib2/3DEngine/qxVertexBuffer.h"
#include "VmoLib2/VmoClasses/qxVmoPlacement.h"

#include <algorithm>
#include <cstring>

namespace qx {

namespace {

// Margin kept right of and below each plane's picture for filtering.
constexpr int kPlaneMargin = 8;
// Plane bytes of a freshly made image: black in YUV.
constexpr uint8_t kBlackLuma = 16;
constexpr uint8_t kNeutralChroma = 128;
// Field offsets (row offset, row shift) of the two fields.
constexpr float kSecondFieldRow = 1.0f;
constexpr float kSecondFieldShift = -1.0f;

int64_t NextPowerOfTwo(int size) {
  int64_t side = 1;
  while (side < size) {
    side *= 2;
  }
  return side;
}

// Repeats the last column of the width x height picture up to the bitmap's
// width and the last row down to its height.
void FillEdges(TBitmap& plane, int width, int height) {
  const int pixel = plane.PixelBytes();
  const int right = plane.Width();
  if (width > 0 && width < right) {
    for (int y = 0; y < height; ++y) {
      uint8_t* row = plane.Scanline(y);
      const uint8_t* last = row + static_cast<ptrdiff_t>(width - 1) * pixel;
      for (int x = width; x < right; ++x) {
        std::memcpy(row + static_cast<ptrdiff_t>(x) * pixel, last, static_cast<size_t>(pixel));
      }
    }
  }
  if (height <= 0) {
    return;
  }
  const size_t rowBytes = static_cast<size_t>(right) * static_cast<size_t>(pixel);
  for (int y = height; y < plane.Height(); ++y) {
    std::memcpy(plane.Scanline(y), plane.Scanline(height - 1), rowBytes);
  }
}

void FillBytes(TBitmap& plane, uint8_t value) {
  for (int y = 0; y < plane.Height(); ++y) {
    std::memset(plane.Scanline(y), value, static_cast<size_t>(plane.Width()) * static_cast<size_t>(plane.PixelBytes()));
  }
}

TFloatRect Scaled(const TFloatRect& pixels, const TCustomTexture& texture) {
  return {pixels.left * texture.ScaleU(), pixels.top * texture.ScaleV(), pixels.right * texture.ScaleU(),
          pixels.bottom * texture.ScaleV()};
}

// One quad of up to three textures; `uv` per texture.
void AddQuad(T3DScreen& screen, std::span<const TFloatRect> uv, const TPlacement& placement, T3DColor color) {
  const auto corner = [&](double s, double t) {
    T3DVertex vertex = screen.Vertex(placement.At(s, t));
    vertex.diffuse = color;
    for (size_t i = 0; i < uv.size(); ++i) {
      vertex.uv[i] = {static_cast<float>(uv[i].left + s * (uv[i].right - uv[i].left)),
                      static_cast<float>(uv[i].top + t * (uv[i].bottom - uv[i].top))};
    }
    return vertex;
  };
  screen.Batch().AddQuad(corner(0, 0), corner(1, 0), corner(0, 1), corner(1, 1));
}

// Draws the Y plane of a three-plane image, or the grey texture, as one
// grey quad.
void DrawGrey(T3DScreen& screen, T3DYUV& image, TCustomTexture& texture, const TPlacement& placement, T3DColor color) {
  TCustomTexture* textures[] = {&texture};
  screen.Batch().Begin(textures, true);
  const TFloatRect uv[] = {
      Scaled(image.PlaneRect(image.Mode() == TYUVImage::kGrey ? TYUVImage::kPlaneGrey : TYUVImage::kPlaneY), texture)};
  AddQuad(screen, uv, placement, color);
  screen.FlushBatch();
}

} // namespace

// ---- TVideoTexture ----

TVideoTexture::TVideoTexture(T3DScreen& screen, const TBitmap& plane, std::function<void()> released,
                             T3DTextureKind kind)
    : TCustomTexture(screen), m_plane(plane), m_released(std::move(released)) {
  SetKind(kind);
  SetSize(plane.Width(), plane.Height());
}

void TVideoTexture::ReleaseDeviceObject() {
  TCustomTexture::ReleaseDeviceObject();
  if (!m_held) {
    return;
  }
  m_held = false;
  if (m_released) {
    m_released();
  }
}

bool TVideoTexture::Refresh(bool changed, bool readable) {
  if (!DeviceTexture()) {
    return false;
  }
  m_held = true;
  if (changed) {
    MarkDirty();
  }
  return !readable || !IsDirty() || Upload();
}

bool TVideoTexture::FillLevel0(TBitmap& level) {
  if (level.Format() != m_plane.Format()) {
    return false;
  }
  const size_t rowBytes =
      static_cast<size_t>(std::min(level.Width(), m_plane.Width())) * static_cast<size_t>(m_plane.PixelBytes());
  const int rows = std::min(level.Height(), m_plane.Height());
  for (int y = 0; y < rows; ++y) {
    std::memcpy(level.Scanline(y), m_plane.Scanline(y), rowBytes);
  }
  return true;
}

// ---- T3DYUV ----

int T3DYUV::AllocatedSize(int size) {
  return static_cast<int>(std::min<int64_t>(int64_t{size} + kPlaneMargin, NextPowerOfTwo(size)));
}

T3DYUV::T3DYUV(T3DScreen& screen, int32_t width, int32_t height, TMode mode) : TYUVImage(width, height), m_mode(mode) {
  QX_ASSERT(width > 0 && height > 0, "Empty video rectangle");
  QX_ASSERT(mode == kThreePlanes || mode == kGrey, "Unknown video image mode");
  const auto released = [this] { m_needsRefill = true; };
  if (mode == kGrey) {
    TPlaneData& grey = m_planes[0];
    grey.width = width;
    grey.height = height;
    grey.bits = TBitmap(AllocatedSize(width), AllocatedSize(height), TPixelFormat::R5G6B5);
    grey.texture = std::make_unique<TGrayScaleTexture>(screen, grey.bits, released);
    return;
  }
  for (int i = 0; i < 3; ++i) {
    TPlaneData& plane = m_planes[static_cast<size_t>(i)];
    plane.width = i == 0 ? width : std::max(1, width / 2);
    plane.height = i == 0 ? height : std::max(1, height / 2);
    plane.bits = TBitmap(AllocatedSize(plane.width), AllocatedSize(plane.height), TPixelFormat::Gray8);
    FillBytes(plane.bits, i == 0 ? kBlackLuma : kNeutralChroma);
    plane.texture = std::make_unique<TVideoTexture>(screen, plane.bits, released);
  }
}

T3DYUV::~T3DYUV() = default;

int T3DYUV::Slot(int32_t plane) const {
  if (m_mode == kGrey) {
    return plane == kPlaneGrey ? 0 : -1;
  }
  return plane == kPlaneGrey ? -1 : plane;
}

TYUVImage::TPlane T3DYUV::LockPlane(int32_t plane) {
  QX_ASSERT(plane >= kPlaneY && plane <= kPlaneGrey, "Plane index out of range");
  const std::lock_guard lock(m_lock);
  const int slot = Slot(plane);
  if (slot < 0 || m_suspended || m_ended) {
    return {};
  }
  TPlaneData& data = m_planes[static_cast<size_t>(slot)];
  QX_ASSERT(!data.locked, "Plane locked twice");
  data.locked = true;
  ++m_lockedCount;
  return {data.bits.Scanline(0), static_cast<int32_t>(data.bits.Stride()), data.width, data.height};
}

void T3DYUV::UnlockPlane(int32_t plane) {
  QX_ASSERT(plane >= kPlaneY && plane <= kPlaneGrey, "Plane index out of range");
  {
    const std::lock_guard lock(m_lock);
    const int slot = Slot(plane);
    QX_ASSERT(slot >= 0 && m_planes[static_cast<size_t>(slot)].locked, "Plane not locked");
    TPlaneData& data = m_planes[static_cast<size_t>(slot)];
    FillEdges(data.bits, data.width, data.height);
    data.locked = false;
    data.changed = true;
    --m_lockedCount;
  }
  m_unlocked.notify_all();
}

void T3DYUV::Suspend() {
  std::unique_lock lock(m_lock);
  m_suspended = true;
  m_unlocked.wait(lock, [this] { return m_lockedCount == 0; });
}

void T3DYUV::Resume() {
  const std::lock_guard lock(m_lock);
  m_suspended = false;
}

bool T3DYUV::Suspended() const {
  const std::lock_guard lock(m_lock);
  return m_suspended;
}

int T3DYUV::LockedPlanes() const {
  const std::lock_guard lock(m_lock);
  return m_lockedCount;
}

void T3DYUV::End() {
  const std::lock_guard lock(m_lock);
  QX_ASSERT(m_lockedCount == 0, "Video image destroyed while a plane is locked");
  m_ended = true;
  for (TPlaneData& plane : m_planes) {
    plane.texture.reset();
  }
}

const TBitmap& T3DYUV::PlaneBitmap(int32_t plane) const {
  const int slot = Slot(plane);
  QX_ASSERT(slot >= 0, "Plane index out of range");
  return m_planes[static_cast<size_t>(slot)].bits;
}

TFloatRect T3DYUV::PlaneRect(int32_t plane) const {
  const int slot = Slot(plane);
  QX_ASSERT(slot >= 0, "Plane index out of range");
  const TPlaneData& data = m_planes[static_cast<size_t>(slot)];
  return {0, 0, static_cast<double>(data.width), static_cast<double>(data.height)};
}

std::vector<TCustomTexture*> T3DYUV::PrepareTextures() {
  const std::lock_guard lock(m_lock);
  if (m_ended) {
    return {};
  }
  std::vector<TCustomTexture*> textures;
  for (int i = 0; i < PlaneCount(); ++i) {
    TPlaneData& plane = m_planes[static_cast<size_t>(i)];
    // A plane being written keeps its last upload until it is unlocked.
    if (!plane.texture->Refresh(plane.changed, !plane.locked)) {
      return {};
    }
    if (!plane.locked) {
      plane.changed = false;
    }
    textures.push_back(plane.texture.get());
  }
  return textures;
}

// ---- Drawing ----

TYUVImage::TMode YUVModeFor(int shaderLevel, bool luminanceTextures) {
  return shaderLevel > 0 && luminanceTextures ? TYUVImage::kThreePlanes : TYUVImage::kGrey;
}

TYUVShaders CreateYUVShaders(T3DScreen& screen) {
  T3DRenderer* renderer = screen.Renderer();
  if (!renderer) {
    return {};
  }
  const std::lock_guard lock(DeviceLock());
  return {renderer->CreatePixelShader({TPixelShaderKind::Yuv}),
          renderer->CreatePixelShader({TPixelShaderKind::YuvField})};
}

void DrawYUVImage(T3DScreen& screen, T3DYUV& image, const TPlacement& placement, const TVideoDrawParams& params,
                  const TYUVShaders& shaders) {
  QX_ASSERT(params.FieldMode >= 0 && params.FieldMode <= 2, "Unknown video field mode");
  T3DRenderer* renderer = screen.Renderer();
  if (!renderer) {
    return;
  }
  const std::vector<TCustomTexture*> textures = image.PrepareTextures();
  if (textures.empty()) {
    return;
  }
  const T3DColor color = MakeColor(255, 255, 255, OpacityToAlpha(params.Opacity));
  const int shader = params.FieldMode == 0 ? shaders.Progressive : shaders.Field;
  if (image.Mode() == TYUVImage::kGrey || shader < 0) {
    DrawGrey(screen, image, *textures[0], placement, color);
    return;
  }
  const float planeHeight = static_cast<float>(textures[0]->TextureHeight());
  const bool second = params.FieldMode == 2;
  const float constants[7][4] = {{kYuvVToR},
                                 {kYuvVToG},
                                 {kYuvUToG},
                                 {kYuvUToB},
                                 {kYuvLumaScale},
                                 {planeHeight, 1.0f / planeHeight},
                                 {second ? kSecondFieldRow : 0.0f, second ? kSecondFieldShift : 0.0f}};
  const TFloatRect yRect = image.PlaneRect(TYUVImage::kPlaneY);
  const TFloatRect chromaRect{yRect.left / 2, yRect.top / 2, yRect.right / 2, yRect.bottom / 2};
  const std::array<TFloatRect, 3> uv = {Scaled(yRect, *textures[0]), Scaled(chromaRect, *textures[1]),
                                        Scaled(chromaRect, *textures[2])};
  screen.FlushBatch();
  {
    const std::lock_guard lock(DeviceLock());
    if (!renderer->SetPixelShader(shader) || !renderer->SetPixelShaderConstants(0, &constants[0][0], 7)) {
      renderer->ClearPixelShader();
      return;
    }
  }
  if (params.Feathered) {
    const TMeshGrid grid = FeatherMesh(screen, placement, uv, kFeatherAll);
    screen.DrawMesh(textures, grid, color, color & 0x00FFFFFFu);
  } else {
    screen.Batch().Begin(textures, true);
    AddQuad(screen, uv, placement, color);
  }
  screen.FlushBatch();
  const std::lock_guard lock(DeviceLock());
  renderer->ClearPixelShader();
}

} // namespace qx
