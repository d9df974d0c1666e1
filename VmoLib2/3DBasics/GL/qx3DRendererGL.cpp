#include "VmoLib2/3DBasics/GL/qx3DRendererGL.h"

#include "QxLib/qxLog.h"
#include "VmoLib2/3DBasics/GL/qxGLDeviceCall.h"
#include "VmoLib2/3DBasics/GL/qxGLMagnification.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace qx {

namespace {

constexpr GLenum kMaxAnisotropyLimit = 0x84FF; // GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT
// The player never asks for more than this much anisotropy.
constexpr float kAnisotropyCap = 4.0f;

// One time stamp of the last present shared by every renderer, so that
// several windows together keep the display's pace. Under the device lock.
int64_t g_lastPresent = 0;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

GLenum PrimitiveMode(T3DPrimitive kind) {
  switch (kind) {
  case T3DPrimitive::PointList: return GL_POINTS;
  case T3DPrimitive::LineList: return GL_LINES;
  case T3DPrimitive::LineStrip: return GL_LINE_STRIP;
  case T3DPrimitive::TriangleList: return GL_TRIANGLES;
  case T3DPrimitive::TriangleStrip: return GL_TRIANGLE_STRIP;
  case T3DPrimitive::TriangleFan: return GL_TRIANGLE_FAN;
  }
  return GL_TRIANGLES;
}

bool HasExtension(const char* name) {
  const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  return extensions && std::strstr(extensions, name) != nullptr;
}

bool Inside(const T3DRect& rect, const T3DSurface& surface) {
  return !rect.IsEmpty() && rect.left >= 0 && rect.top >= 0 && rect.right <= surface.Width() &&
         rect.bottom <= surface.Height();
}

void BindVertexLayout(const T3DVertexLayout& layout) {
  const auto at = [](int offset) { return reinterpret_cast<const void*>(static_cast<intptr_t>(offset)); };
  glEnableVertexAttribArray(kAttribPosition);
  glVertexAttribPointer(kAttribPosition, 3, GL_FLOAT, GL_FALSE, layout.stride, at(0));
  if (layout.diffuseOffset >= 0) {
    glEnableVertexAttribArray(kAttribColor);
    glVertexAttribPointer(kAttribColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, layout.stride, at(layout.diffuseOffset));
  } else {
    // A list without colours draws white, as the fixed-function default.
    glDisableVertexAttribArray(kAttribColor);
    glVertexAttrib4f(kAttribColor, 1, 1, 1, 1);
  }
  for (int stage = 0; stage < kGLMaxStages; ++stage) {
    const GLuint location = kAttribTexCoord0 + static_cast<GLuint>(stage);
    if (layout.texPairs == 0) {
      glDisableVertexAttribArray(location);
      glVertexAttrib2f(location, 0, 0);
      continue;
    }
    // A stage past the list's pairs reads the last pair.
    const int pair = std::min(stage, layout.texPairs - 1);
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, 2, GL_FLOAT, GL_FALSE, layout.stride, at(layout.texOffset + 8 * pair));
  }
}

} // namespace

T3DRendererGL::T3DRendererGL(const T3DRendererParams& params) : m_params(params) {}

T3DRendererGL::~T3DRendererGL() {
  const std::lock_guard lock(DeviceLock());
  if (TGLDevStore* store = GLStore(*this); store && store->Bind()) {
    ReleaseDeviceObjects();
  }
}

bool T3DRendererGL::Create() {
  int width = 0;
  int height = 0;
  BackBufferSize(m_params, width, height);
  if (width <= 0 || height <= 0) {
    return Fail(T3DResult::InvalidCall);
  }
  const GLuint texture = CreateTargetTexture(width, height);
  if (!texture) {
    return Fail(T3DResult::Other);
  }
  m_backBuffer = std::make_unique<T3DSurfaceGL>(
      *this, TGLSurfaceStorage{texture, 0, width, height, T3DTextureKind::RenderTargetArgb}, true);
  if (!m_backBuffer->Framebuffer()) {
    return Fail(T3DResult::Other);
  }
  m_target = m_backBuffer.get();
  m_viewport = {0, 0, width, height};
  if (HasExtension("GL_EXT_texture_filter_anisotropic")) {
    float limit = 0;
    glGetFloatv(kMaxAnisotropyLimit, &limit);
    m_maxAnisotropy = std::min(kAnisotropyCap, limit);
  }
  m_refreshRate = m_params.displayMode.refreshRate;
  m_vsync = !GLStore(*this)->Context().IsHeadless() && GLStore(*this)->Context().SetSwapInterval(1);
  return CheckGL();
}

void T3DRendererGL::ReleaseDeviceObjects() {
  if (m_backBuffer) {
    m_backBuffer->ReleaseDeviceObjects();
  }
}

void T3DRendererGL::ReleaseThread() {
  const std::lock_guard lock(DeviceLock());
  if (TGLDevStore* store = GLStore(*this)) {
    glFlush();
    store->Context().Release();
  }
}

bool T3DRendererGL::Enter() {
  TGLDevStore* store = GLStore(*this);
  if (!store) {
    return Fail(T3DResult::DeviceLost);
  }
  if (store->IsLost()) {
    Fail(T3DResult::DeviceLost);
    return DeviceLostCheck();
  }
  if (!store->Bind()) {
    return Fail(T3DResult::Other);
  }
  return true;
}

bool T3DRendererGL::DeviceLostCheck() {
  T3DDevStore* store = Store();
  if (LastResult() != T3DResult::DeviceLost || !store) {
    return false;
  }
  Log().WriteLine("T3DRendererGL: DEVICE LOST!");
  T3DDevStore::DropFromDevice(*store);
  return false;
}

bool T3DRendererGL::CheckGL() {
  switch (glGetError()) {
  case GL_NO_ERROR: return Succeed();
  case GL_INVALID_ENUM:
  case GL_INVALID_VALUE:
  case GL_INVALID_OPERATION:
  case GL_INVALID_FRAMEBUFFER_OPERATION: return Fail(T3DResult::InvalidCall);
  case GL_OUT_OF_MEMORY:
  default: break;
  }
  if (GLStore(*this)->IsLost()) {
    Fail(T3DResult::DeviceLost);
    return DeviceLostCheck();
  }
  return Fail(T3DResult::Other);
}

void T3DRendererGL::BindTarget() {
  glBindFramebuffer(GL_FRAMEBUFFER, m_target->Framebuffer());
  glViewport(m_viewport.left, m_viewport.top, m_viewport.Width(), m_viewport.Height());
  glDepthRangef(m_minZ, m_maxZ);
}

bool T3DRendererGL::BeginScene() {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  BindTarget();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_SCISSOR_TEST);
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  return CheckGL();
}

bool T3DRendererGL::EndScene() {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  glFlush();
  return CheckGL();
}

bool T3DRendererGL::Present(const T3DRect* source, const T3DRect* dest) {
  if (!m_vsync && m_refreshRate > 0) {
    int64_t last = 0;
    {
      const std::lock_guard lock(DeviceLock());
      last = g_lastPresent;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(PresentSleepMs(m_refreshRate, last, NowMs())));
  }
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  TGLContext& context = GLStore(*this)->Context();
  if (!context.IsHeadless()) {
    int width = 0;
    int height = 0;
    context.DrawableSize(width, height);
    const T3DRect src = source ? *source : T3DRect{0, 0, m_backBuffer->Width(), m_backBuffer->Height()};
    const T3DRect dst = dest ? *dest : T3DRect{0, 0, width, height};
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_backBuffer->Framebuffer());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // The window's framebuffer has its bottom row first.
    glBlitFramebuffer(src.left, src.top, src.right, src.bottom, dst.left, height - dst.top, dst.right,
                      height - dst.bottom, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  }
  context.Swap();
  g_lastPresent = NowMs();
  BindTarget();
  return CheckGL();
}

bool T3DRendererGL::Clear(std::span<const T3DRect> rects, uint32_t flags, T3DColor color, float) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  if (!(flags & kClearTarget)) {
    // No depth buffer is made: the player draws without depth testing.
    return Succeed();
  }
  BindTarget();
  glClearColor(((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f,
               ((color >> 24) & 0xFF) / 255.0f);
  if (rects.empty()) {
    glClear(GL_COLOR_BUFFER_BIT);
    return CheckGL();
  }
  glEnable(GL_SCISSOR_TEST);
  for (const T3DRect& rect : rects) {
    if (rect.IsEmpty()) {
      continue;
    }
    glScissor(rect.left, rect.top, rect.Width(), rect.Height());
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glDisable(GL_SCISSOR_TEST);
  return CheckGL();
}

bool T3DRendererGL::SetRenderTarget(T3DSurface* surface) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  auto* target = surface ? dynamic_cast<T3DSurfaceGL*>(surface) : m_backBuffer.get();
  if (!target || !target->IsRenderTarget() || !target->Alive() || !target->Framebuffer()) {
    return Fail(T3DResult::InvalidCall);
  }
  m_target = target;
  m_viewport = {0, 0, target->Width(), target->Height()};
  BindTarget();
  return CheckGL();
}

bool T3DRendererGL::SetViewport(const T3DRect& rect, float minZ, float maxZ) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  if (rect.IsEmpty()) {
    return Fail(T3DResult::InvalidCall);
  }
  m_viewport = rect;
  m_minZ = minZ;
  m_maxZ = maxZ;
  BindTarget();
  return CheckGL();
}

bool T3DRendererGL::DrawVertexList(std::span<T3DTexture* const> textures, uint32_t flags, T3DVertexList& list) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  auto* vertices = dynamic_cast<T3DVertexListGL*>(&list);
  if (!vertices || vertices->Store() != Store()) {
    return Fail(vertices && !vertices->Store() ? T3DResult::DeviceLost : T3DResult::InvalidCall);
  }
  const bool textured = (flags & kDrawTextured) != 0;
  const int stages = textured ? static_cast<int>(std::min<size_t>(textures.size(), kGLMaxStages)) : 0;
  std::array<const T3DTextureGL*, kGLMaxStages> bound{};
  for (int i = 0; i < stages; ++i) {
    bound[i] = dynamic_cast<const T3DTextureGL*>(textures[i]);
    if (!bound[i] || bound[i]->Store() != Store()) {
      return Fail(T3DResult::InvalidCall);
    }
  }
  TGLDevStore* store = GLStore(*this);
  const T3DMatrix matrix = m_transforms[0] * m_transforms[1] * m_transforms[2];
  std::array<bool, kGLMaxStages> levelZeroOnly{};
  GLfloat lodBias[kGLMaxStages] = {};
  TGLStageSetup setup;
  if (m_currentShader < 0) {
    setup.stages = stages;
    setup.modulateColor = (flags & kDrawModulateColor) != 0;
    setup.modulateAlpha = (flags & kDrawModulateAlpha) != 0;
    for (int i = 0; i < stages; ++i) {
      lodBias[i] = bound[i]->MipMaps() && m_maxAnisotropy > 0 ? bound[i]->LodBias() : 0.0f;
      levelZeroOnly[i] = LevelZeroOnly(*bound[i], i, lodBias[i], matrix, *vertices);
      // Sampling state belongs to the texture: one on two stages leaves
      // its chain out only when both allow it.
      for (int j = 0; j < i; ++j) {
        if (bound[j] == bound[i] && !(levelZeroOnly[i] && levelZeroOnly[j])) {
          levelZeroOnly[i] = levelZeroOnly[j] = false;
        }
      }
    }
    for (int i = 0; i < stages; ++i) {
      if (bound[i]->Kind() == T3DTextureKind::RenderTargetXrgb) {
        setup.keepAlphaMask |= static_cast<uint8_t>(1u << i);
      }
      if (levelZeroOnly[i]) {
        lodBias[i] = 0;
      }
      if (lodBias[i] != 0) {
        setup.lodBiasMask |= static_cast<uint8_t>(1u << i);
      }
    }
  }
  TGLProgram* program =
      m_currentShader >= 0 ? store->PixelShader(m_shaders[m_currentShader]) : store->FixedFunction(setup);
  if (!program) {
    return Fail(T3DResult::Other);
  }
  glUseProgram(program->program);
  // Row-major data read as column-major is the transpose, so the shader's
  // matrix * column vector equals row vector * matrix.
  glUniformMatrix4fv(program->matrix, 1, GL_FALSE, matrix.m.data());
  if (m_currentShader >= 0) {
    glUniform4fv(program->constants, kPixelShaderRegisters, m_constants.data());
  } else if (setup.lodBiasMask != 0) {
    glUniform1fv(program->lodBias, kGLMaxStages, lodBias);
  }
  for (int i = 0; i < stages; ++i) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
    bound[i]->ApplySampling(m_maxAnisotropy, levelZeroOnly[i]);
  }
  glBindVertexArray(store->VertexArray());
  glBindBuffer(GL_ARRAY_BUFFER, vertices->Buffer());
  BindVertexLayout(vertices->Layout());
  glEnable(GL_BLEND);
  glBlendEquation(m_blendMode == T3DBlendMode::Max ? GL_MAX : GL_FUNC_ADD);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_DEPTH_TEST);
  if (m_culling) {
    // Targets are stored top row first, which mirrors the screen: a
    // counter-clockwise triangle on the screen is clockwise for GL.
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
  } else {
    glDisable(GL_CULL_FACE);
  }
  glDrawArrays(PrimitiveMode(vertices->Primitive()), vertices->FirstVertex(),
               VertexCountFor(vertices->Primitive(), vertices->PrimitiveCount()));
  vertices->MarkDrawn();
  for (int i = stages - 1; i >= 0; --i) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindVertexArray(0);
  return CheckGL();
}

bool T3DRendererGL::LevelZeroOnly(const T3DTextureGL& texture, int stage, float lodBias, const T3DMatrix& matrix,
                                  const T3DVertexListGL& list) const {
  // A positive bias lifts even a one-to-one draw onto the mip chain.
  if (!texture.SamplesMips(m_maxAnisotropy) || lodBias > 0) {
    return false;
  }
  const TGLStageTexels texels{std::min(stage, std::max(list.Layout().texPairs - 1, 0)), texture.Width(),
                              texture.Height()};
  return list.Layout().texPairs > 0 &&
         !DrawShrinksTexture(list.Vertices(), list.Primitive(), list.FirstVertex(), list.PrimitiveCount(), matrix,
                             m_viewport.Width(), m_viewport.Height(), texels);
}

std::unique_ptr<T3DTexture> T3DRendererGL::CreateTexture(T3DTextureKind kind, int width, int height, bool mipMaps) {
  QX_ASSERT(static_cast<int>(kind) <= kMaxTextureKind, "Texture kind out of range");
  const TGLDeviceCall call(*this);
  if (!call) {
    return nullptr;
  }
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (width <= 0 || height <= 0 || width > maxSize || height > maxSize) {
    Fail(T3DResult::InvalidCall);
    return nullptr;
  }
  const bool chain = mipMaps && !IsRenderTargetKind(kind) && m_maxAnisotropy > 0;
  auto texture = std::make_unique<T3DTextureGL>(kind, width, height, chain ? FullMipChainLevels(width, height) : 1);
  if (!texture->Create()) {
    Fail(texture->LastResult());
    return nullptr;
  }
  Store()->Add(*texture, T3DDevStore::TList::Textures);
  Succeed();
  return texture;
}

std::unique_ptr<T3DVertexList> T3DRendererGL::CreateVertexList(int count, uint32_t parts, int texPairs) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return nullptr;
  }
  if (count <= 0 || texPairs < 0 || texPairs > kMaxTexCoordPairs) {
    Fail(T3DResult::InvalidCall);
    return nullptr;
  }
  auto list = std::make_unique<T3DVertexListGL>(count, T3DVertexLayout::Make(parts, texPairs));
  if (!list->Create()) {
    Fail(list->LastResult());
    return nullptr;
  }
  Store()->Add(*list, T3DDevStore::TList::VertexLists);
  Succeed();
  return list;
}

bool T3DRendererGL::StretchRect(T3DSurface& source, const T3DRect& sourceRect, T3DSurface& dest,
                                const T3DRect& destRect) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  auto* from = dynamic_cast<T3DSurfaceGL*>(&source);
  auto* to = dynamic_cast<T3DSurfaceGL*>(&dest);
  if (!from || !to || !from->Alive() || !to->Alive()) {
    return Fail(T3DResult::InvalidCall);
  }
  // A byte-wise copy between a B, G, R, A texture and an R, G, B, A target
  // would swap red and blue; the player only copies between targets.
  if (!Inside(sourceRect, *from) || !Inside(destRect, *to) || from->StoresBgra() != to->StoresBgra() ||
      from->Format() != to->Format()) {
    return Fail(T3DResult::InvalidCall);
  }
  const GLuint read = from->Framebuffer();
  const GLuint draw = to->Framebuffer();
  if (!read || !draw) {
    return Fail(T3DResult::InvalidCall);
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, read);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, draw);
  glBlitFramebuffer(sourceRect.left, sourceRect.top, sourceRect.right, sourceRect.bottom, destRect.left, destRect.top,
                    destRect.right, destRect.bottom, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  BindTarget();
  return CheckGL();
}

bool T3DRendererGL::SetTransform(T3DTransformKind kind, const T3DMatrix& matrix) {
  QX_ASSERT(static_cast<int>(kind) <= 2, "Transform kind out of range");
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  m_transforms[static_cast<size_t>(kind)] = matrix;
  return Succeed();
}

bool T3DRendererGL::SetCulling(bool on) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  m_culling = on;
  return Succeed();
}

int T3DRendererGL::CreatePixelShader(const TPixelShaderDesc& desc) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return -1;
  }
  if (static_cast<int>(desc.kind) >= kPixelShaderKinds) {
    Fail(T3DResult::InvalidCall);
    return -1;
  }
  if (!GLStore(*this)->PixelShader(desc.kind)) {
    Fail(T3DResult::Other);
    return -1;
  }
  m_shaders.push_back(desc.kind);
  Succeed();
  return static_cast<int>(m_shaders.size()) - 1;
}

bool T3DRendererGL::SetPixelShader(int index) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  if (index < 0 || index >= static_cast<int>(m_shaders.size())) {
    return Fail(T3DResult::InvalidCall);
  }
  m_currentShader = index;
  return Succeed();
}

bool T3DRendererGL::ClearPixelShader() {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  m_currentShader = -1;
  return Succeed();
}

bool T3DRendererGL::SetPixelShaderConstants(int first, const float* data, int count) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  if (!data || first < 0 || count < 0 || first + count > kPixelShaderRegisters) {
    return Fail(T3DResult::InvalidCall);
  }
  std::copy(data, data + 4 * count, m_constants.begin() + 4 * first);
  return Succeed();
}

} // namespace qx
