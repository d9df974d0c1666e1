#include "VmoLib2/3DBasics/Null/qx3DRendererNull.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"

#include <algorithm>

namespace qx {

namespace {

bool Inside(const T3DRect& rect, int width, int height) {
  return !rect.IsEmpty() && rect.left >= 0 && rect.top >= 0 && rect.right <= width && rect.bottom <= height;
}

TPixelFormat FormatOf(T3DTextureKind kind) {
  switch (kind) {
  case T3DTextureKind::Luminance: return TPixelFormat::Gray8;
  case T3DTextureKind::Rgb565: return TPixelFormat::R5G6B5;
  default: return TPixelFormat::Bgra32;
  }
}

} // namespace

// ---- T3DSurfaceNull ----

T3DSurfaceNull::T3DSurfaceNull(T3DObject& owner, int width, int height, TPixelFormat format, bool renderTarget)
    : m_owner(owner), m_width(width), m_height(height), m_format(format), m_renderTarget(renderTarget) {}

bool T3DSurfaceNull::CopyToBitmap(TBitmap& bitmap) {
  const std::lock_guard lock(DeviceLock());
  if (!Alive()) {
    return Fail(T3DResult::DeviceLost);
  }
  if (bitmap.Width() == m_width && bitmap.Height() == m_height && bitmap.Format() == m_format && !bitmap.IsView()) {
    bitmap.Fill(TBgra{0, 0, 0, 0});
  } else {
    bitmap = TBitmap(m_width, m_height, m_format);
  }
  return Succeed();
}

TBitmap* T3DSurfaceNull::Lock(const T3DRect* rect, T3DLockMode) {
  const std::lock_guard lock(DeviceLock());
  if (!Alive()) {
    Fail(T3DResult::DeviceLost);
    return nullptr;
  }
  const T3DRect area = rect ? *rect : T3DRect{0, 0, m_width, m_height};
  if (m_locked || !Inside(area, m_width, m_height)) {
    Fail(T3DResult::InvalidCall);
    return nullptr;
  }
  m_locked.emplace(area.Width(), area.Height(), m_format);
  Succeed();
  return &*m_locked;
}

bool T3DSurfaceNull::Unlock() {
  const std::lock_guard lock(DeviceLock());
  if (!m_locked) {
    return Fail(T3DResult::InvalidCall);
  }
  m_locked.reset();
  return Alive() ? Succeed() : Fail(T3DResult::DeviceLost);
}

// ---- T3DTextureNull ----

T3DTextureNull::T3DTextureNull(T3DTextureKind kind, int width, int height, int levels)
    : m_kind(kind), m_width(width), m_height(height), m_levels(levels), m_surfaces(static_cast<size_t>(levels)) {}

void T3DTextureNull::ReleaseDeviceObjects() {
  for (auto& surface : m_surfaces) {
    if (surface) {
      surface->ReleaseDeviceObjects();
    }
  }
}

T3DSurface* T3DTextureNull::SurfaceLevel(int level) {
  const std::lock_guard lock(DeviceLock());
  if (!CheckStore()) {
    return nullptr;
  }
  if (level < 0 || level >= m_levels) {
    Fail(T3DResult::InvalidCall);
    return nullptr;
  }
  auto& surface = m_surfaces[static_cast<size_t>(level)];
  if (!surface) {
    surface = std::make_unique<T3DSurfaceNull>(*this, std::max(1, m_width >> level), std::max(1, m_height >> level),
                                               FormatOf(m_kind), IsRenderTargetKind(m_kind));
  }
  Succeed();
  return surface.get();
}

bool T3DTextureNull::PreLoad() {
  const std::lock_guard lock(DeviceLock());
  return CheckStore() && Succeed();
}

// ---- T3DVertexListNull ----

bool T3DVertexListNull::SetPrimitive(T3DPrimitive kind, int firstVertex, int primitiveCount) {
  QX_ASSERT(static_cast<int>(kind) <= kMaxPrimitiveKind, "Primitive kind out of range");
  const std::lock_guard lock(DeviceLock());
  if (!PrimitivesFit(kind, firstVertex, primitiveCount, m_count)) {
    return Fail(T3DResult::InvalidCall);
  }
  return Succeed();
}

bool T3DVertexListNull::Fill(int firstVertex, std::span<const T3DVertex> source, int count, int firstSource) {
  const std::lock_guard lock(DeviceLock());
  if (!CheckStore()) {
    return false;
  }
  if (!FillFits(firstVertex, source.size(), count, firstSource, m_count)) {
    return Fail(T3DResult::InvalidCall);
  }
  return Succeed();
}

// ---- T3DRendererNull ----

bool T3DRendererNull::Create() {
  int width = 0;
  int height = 0;
  BackBufferSize(m_params, width, height);
  if (width <= 0 || height <= 0) {
    return Fail(T3DResult::InvalidCall);
  }
  m_backBuffer = std::make_unique<T3DSurfaceNull>(*this, width, height, TPixelFormat::Bgra32, true);
  m_target = m_backBuffer.get();
  return Succeed();
}

bool T3DRendererNull::Enter() {
  T3DDevStore* store = Store();
  if (!store) {
    return Fail(T3DResult::DeviceLost);
  }
  if (store->IsLost()) {
    Fail(T3DResult::DeviceLost);
    Log().WriteLine("T3DRendererNull: DEVICE LOST!");
    T3DDevStore::DropFromDevice(*store);
    return false;
  }
  return true;
}

bool T3DRendererNull::BeginScene() {
  const std::lock_guard lock(DeviceLock());
  return Enter() && Succeed();
}

bool T3DRendererNull::EndScene() {
  const std::lock_guard lock(DeviceLock());
  return Enter() && Succeed();
}

bool T3DRendererNull::Present(const T3DRect*, const T3DRect*) {
  const std::lock_guard lock(DeviceLock());
  return Enter() && Succeed();
}

bool T3DRendererNull::Clear(std::span<const T3DRect>, uint32_t, T3DColor, float) {
  const std::lock_guard lock(DeviceLock());
  return Enter() && Succeed();
}

bool T3DRendererNull::SetRenderTarget(T3DSurface* surface) {
  const std::lock_guard lock(DeviceLock());
  if (!Enter()) {
    return false;
  }
  auto* target = surface ? dynamic_cast<T3DSurfaceNull*>(surface) : m_backBuffer.get();
  if (!target || !target->IsRenderTarget() || !target->Alive()) {
    return Fail(T3DResult::InvalidCall);
  }
  m_target = target;
  return Succeed();
}

bool T3DRendererNull::SetViewport(const T3DRect& rect, float, float) {
  const std::lock_guard lock(DeviceLock());
  if (!Enter()) {
    return false;
  }
  return rect.IsEmpty() ? Fail(T3DResult::InvalidCall) : Succeed();
}

bool T3DRendererNull::DrawVertexList(std::span<T3DTexture* const> textures, uint32_t flags, T3DVertexList& list) {
  const std::lock_guard lock(DeviceLock());
  if (!Enter()) {
    return false;
  }
  auto* vertices = dynamic_cast<T3DVertexListNull*>(&list);
  if (!vertices || vertices->Store() != Store()) {
    return Fail(vertices && !vertices->Store() ? T3DResult::DeviceLost : T3DResult::InvalidCall);
  }
  if (flags & kDrawTextured) {
    for (T3DTexture* texture : textures) {
      auto* own = dynamic_cast<T3DTextureNull*>(texture);
      if (!own || own->Store() != Store()) {
        return Fail(T3DResult::InvalidCall);
      }
    }
  }
  return Succeed();
}

std::unique_ptr<T3DTexture> T3DRendererNull::CreateTexture(T3DTextureKind kind, int width, int height, bool mipMaps) {
  QX_ASSERT(static_cast<int>(kind) <= kMaxTextureKind, "Texture kind out of range");
  const std::lock_guard lock(DeviceLock());
  if (!Enter()) {
    return nullptr;
  }
  if (width <= 0 || height <= 0 || width > kNullMaxTextureSize || height > kNullMaxTextureSize) {
    Fail(T3DResult::InvalidCall);
    return nullptr;
  }
  const bool chain = mipMaps && !IsRenderTargetKind(kind);
  auto texture = std::make_unique<T3DTextureNull>(kind, width, height, chain ? FullMipChainLevels(width, height) : 1);
  Store()->Add(*texture, T3DDevStore::TList::Textures);
  Succeed();
  return texture;
}

std::unique_ptr<T3DVertexList> T3DRendererNull::CreateVertexList(int count, uint32_t parts, int texPairs) {
  const std::lock_guard lock(DeviceLock());
  if (!Enter()) {
    return nullptr;
  }
  if (count <= 0 || texPairs < 0 || texPairs > kMaxTexCoordPairs) {
    Fail(T3DResult::InvalidCall);
    return nullptr;
  }
  auto list = std::make_unique<T3DVertexListNull>(count, T3DVertexLayout::Make(parts, texPairs));
  Store()->Add(*list, T3DDevStore::TList::VertexLists);
  Succeed();
  return list;
}

bool T3DRendererNull::StretchRect(T3DSurface& source, const T3DRect& sourceRect, T3DSurface& dest,
                                  const T3DRect& destRect) {
  const std::lock_guard lock(DeviceLock());
  if (!Enter()) {
    return false;
  }
  auto* from = dynamic_cast<T3DSurfaceNull*>(&source);
  auto* to = dynamic_cast<T3DSurfaceNull*>(&dest);
  if (!from || !to || !from->Alive() || !to->Alive() || !Inside(sourceRect, from->Width(), from->Height()) ||
      !Inside(destRect, to->Width(), to->Height()) || from->Format() != to->Format()) {
    return Fail(T3DResult::InvalidCall);
  }
  return Succeed();
}

bool T3DRendererNull::SetTransform(T3DTransformKind kind, const T3DMatrix&) {
  QX_ASSERT(static_cast<int>(kind) <= 2, "Transform kind out of range");
  const std::lock_guard lock(DeviceLock());
  return Enter() && Succeed();
}

bool T3DRendererNull::SetCulling(bool) {
  const std::lock_guard lock(DeviceLock());
  return Enter() && Succeed();
}

int T3DRendererNull::CreatePixelShader(const TPixelShaderDesc& desc) {
  const std::lock_guard lock(DeviceLock());
  if (!Enter()) {
    return -1;
  }
  if (static_cast<int>(desc.kind) >= kPixelShaderKinds) {
    Fail(T3DResult::InvalidCall);
    return -1;
  }
  Succeed();
  return m_shaders++;
}

bool T3DRendererNull::SetPixelShader(int index) {
  const std::lock_guard lock(DeviceLock());
  if (!Enter()) {
    return false;
  }
  return index < 0 || index >= m_shaders ? Fail(T3DResult::InvalidCall) : Succeed();
}

bool T3DRendererNull::ClearPixelShader() {
  const std::lock_guard lock(DeviceLock());
  return Enter() && Succeed();
}

bool T3DRendererNull::SetPixelShaderConstants(int first, const float* data, int count) {
  const std::lock_guard lock(DeviceLock());
  if (!Enter()) {
    return false;
  }
  if (!data || first < 0 || count < 0 || first + count > kPixelShaderRegisters) {
    return Fail(T3DResult::InvalidCall);
  }
  return Succeed();
}

} // namespace qx
