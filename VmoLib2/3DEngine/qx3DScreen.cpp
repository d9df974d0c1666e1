#include "VmoLib2/3DEngine/qx3DScreen.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qxCustomTexture.h"
#include "VmoLib2/3DEngine/qxVertexBuffer.h"

#include <algorithm>
#include <string>

namespace qx {

namespace {

// The batch buffer's size at the start of every frame.
constexpr int kFrameBatchTriangles = 32;
// Depth range of the projection, in coordinate heights.
constexpr double kNearPlane = 0.01;
constexpr double kFarPlane = 1000000.0;

std::string RectText(const T3DRect& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + ")";
}

T3DColor WithAlpha(T3DColor color, uint8_t alpha) { return (color & 0x00FFFFFF) | (uint32_t{alpha} << 24); }

} // namespace

// Attached to the draw device; tells the screen when the device goes.
class T3DScreen::TDeviceKilledMessenger final : public TAttachedObject {
public:
  explicit TDeviceKilledMessenger(T3DScreen& screen) : m_screen(&screen) {}
  ~TDeviceKilledMessenger() override {
    if (m_screen) {
      m_screen->DeviceGone();
    }
  }
  void Forget() { m_screen = nullptr; }

private:
  T3DScreen* m_screen;
};

T3DScreenObject::T3DScreenObject(T3DScreen& screen) : m_screen(&screen) { screen.m_objects.push_back(this); }

T3DScreenObject::~T3DScreenObject() {
  if (!m_screen) {
    return;
  }
  auto& objects = m_screen->m_objects;
  objects.erase(std::remove(objects.begin(), objects.end(), this), objects.end());
}

T3DScreen::T3DScreen(T3DEngine& engine, TCallback deviceReleased, TCallback deviceReady)
    : m_engine(engine), m_deviceReleased(std::move(deviceReleased)), m_deviceReady(std::move(deviceReady)) {
  m_batch = std::make_unique<TVertexBuffer>(*this);
}

T3DScreen::~T3DScreen() {
  m_batch.reset();
  m_targets.clear();
  {
    const std::lock_guard lock(DeviceLock());
    m_renderer.reset();
  }
  DetachMessenger();
  for (T3DScreenObject* object : m_objects) {
    object->m_screen = nullptr;
  }
}

T3DRect T3DScreen::ComputeScreenRect(const TDrawDevice& device) {
  if (!device.FullScreen()) {
    return device.Bounds();
  }
  // Full screen covers the output that shows most of the window.
  T3DDisplayMode mode;
  const int adapter = m_engine.AdapterForRect(device.Bounds());
  if (!m_engine.DisplayMode(adapter, mode) || mode.width <= 0 || mode.height <= 0) {
    return device.Bounds();
  }
  return {0, 0, mode.width, mode.height};
}

void T3DScreen::AttachMessenger(TDrawDevice& device) {
  auto messenger = std::make_unique<TDeviceKilledMessenger>(*this);
  m_messenger = messenger.get();
  device.Attach(std::move(messenger));
}

void T3DScreen::DetachMessenger() {
  if (!m_messenger) {
    return;
  }
  m_messenger->Forget();
  if (m_device) {
    m_device->Detach(m_messenger);
  }
  m_messenger = nullptr;
}

void T3DScreen::DeviceGone() {
  // The draw device is being destroyed: its store (and so every device
  // object) goes with it, so nothing of the old device may be touched.
  m_messenger = nullptr;
  m_device = nullptr;
  ReleaseRenderer();
  ReleaseDeviceObjects();
}

void T3DScreen::AssignDevice(TDrawDevice* device) {
  QX_ASSERT(device != nullptr, "DrawDevice=nil");
  const T3DRect rect = ComputeScreenRect(*device);
  Log().WriteLine("T3DScreen.AssignDevice, bounds= " + RectText(rect));
  const bool fullScreen = device->FullScreen();
  if (device == m_device && fullScreen == m_fullScreen && rect == m_screenRect) {
    Log().WriteLine("T3DScreen.AssignDevice, Exit By Same FullScreen Or Same Windowed");
    return;
  }
  const bool deviceChanged = device != m_device || fullScreen != m_fullScreen;
  if (device != m_device) {
    DetachMessenger();
    AttachMessenger(*device);
  }
  if (deviceChanged) {
    ReleaseRenderer();
    ReleaseDeviceObjects();
  }
  m_device = device;
  m_fullScreen = fullScreen;
  m_windowHandle = device->WindowHandle();
  m_screenRect = rect;
  CreateRenderer();
}

void T3DScreen::ReleaseRenderer() {
  if (!m_renderer) {
    return;
  }
  m_batch->Flush();
  m_targets.clear();
  {
    const std::lock_guard lock(DeviceLock());
    m_renderer.reset();
  }
  m_rendererLost = false;
  m_readyAnnounced = false;
  m_firstFrame = true;
  if (m_deviceReleased) {
    m_deviceReleased();
  }
}

void T3DScreen::CreateRenderer() {
  ReleaseRenderer();
  if (!m_device) {
    Log().WriteLine("No window to draw");
    return;
  }
  if (!m_engine.DeviceAvailable()) {
    Log().WriteLine("Can't init");
    return;
  }
  m_adapter = m_engine.AdapterForRect(m_screenRect);
  m_maxTextureWidth = static_cast<int>(m_engine.Caps("MaxTexWidth", m_adapter));
  m_maxTextureHeight = static_cast<int>(m_engine.Caps("MaxTexHeight", m_adapter));
  if (m_textureLimitWidth > 0) {
    m_maxTextureWidth = std::min(m_maxTextureWidth, m_textureLimitWidth);
  }
  if (m_textureLimitHeight > 0) {
    m_maxTextureHeight = std::min(m_maxTextureHeight, m_textureLimitHeight);
  }
  T3DRendererParams params;
  if (!m_engine.DisplayMode(m_adapter, params.displayMode)) {
    Log().WriteLine("Can't GetDisplayMode");
    return;
  }
  params.windowed = !m_fullScreen;
  params.adapter = m_adapter;
  params.bounds = m_screenRect;
  m_renderer = m_engine.CreateRenderer(*m_device, params);
  if (m_renderer) {
    // The device went away under the renderer; it is dropped on the next
    // frame, outside the device layer's own call.
    m_renderer->SetDeviceKilledCallback([this] { m_rendererLost = true; });
  }
}

void T3DScreen::LimitTextureSize(int width, int height) {
  m_textureLimitWidth = width;
  m_textureLimitHeight = height;
  m_maxTextureWidth = m_maxTextureWidth > 0 ? std::min(m_maxTextureWidth, width) : width;
  m_maxTextureHeight = m_maxTextureHeight > 0 ? std::min(m_maxTextureHeight, height) : height;
}

void T3DScreen::ReleaseDeviceObjects() {
  // A copy: releasing may make objects forget others.
  const std::vector<T3DScreenObject*> objects = m_objects;
  for (T3DScreenObject* object : objects) {
    object->ReleaseDeviceObject();
  }
}

bool T3DScreen::BeginScene() {
  if (!m_device) {
    return false;
  }
  const T3DRect rect = ComputeScreenRect(*m_device);
  const bool fullScreen = m_device->FullScreen();
  void* const window = m_device->WindowHandle();
  if (rect != m_screenRect || window != m_windowHandle || fullScreen != m_fullScreen) {
    Log().WriteLine("T3DScreen.BeginScene, R= " + RectText(rect));
    if (fullScreen != m_fullScreen) {
      ReleaseDeviceObjects();
    }
    m_windowedChange = !fullScreen && !m_fullScreen;
    m_screenRect = rect;
    m_windowHandle = window;
    m_fullScreen = fullScreen;
    ReleaseRenderer();
  }
  if (m_rendererLost) {
    ReleaseRenderer();
  }
  if (!m_renderer) {
    CreateRenderer();
  }
  if (!Usable()) {
    return false;
  }
  if (!m_readyAnnounced) {
    m_readyAnnounced = true;
    if (m_deviceReady) {
      m_deviceReady();
    }
    if (!Usable()) {
      return false;
    }
  }
  m_renderer->SetCulling(false);
  m_batch->EnsureCapacity(kFrameBatchTriangles);
  if (m_firstFrame) {
    m_firstFrame = false;
    m_targets.clear();
    T3DSurface* back = m_renderer->BackBuffer();
    m_targets.push_back({0, 0, back, back ? back->Width() : 0, back ? back->Height() : 0});
  }
  while (m_targets.size() > 1) {
    m_targets.pop_back();
  }
  if (!ActivateTarget(m_targets.back())) {
    return false;
  }
  const double w = m_screenRect.Width();
  const double h = m_screenRect.Height();
  SetProjection(0, 0, w, h, w, h);
  return m_renderer->BeginScene() && Usable();
}

void T3DScreen::EndScene(bool present) {
  if (!Usable()) {
    return;
  }
  m_batch->Flush();
  if (!Usable() || !m_renderer->EndScene() || !present) {
    return;
  }
  const T3DRect whole{0, 0, m_screenRect.Width(), m_screenRect.Height()};
  m_renderer->Present(&whole, &whole);
}

void T3DScreen::Clear(T3DColor color, bool depth) {
  if (!Usable()) {
    return;
  }
  m_batch->Flush();
  // The screen grown by a pixel on every side: the whole target.
  m_renderer->Clear({}, kClearTarget | (depth ? uint32_t{kClearDepth} : 0u), color, 1.0f);
}

void T3DScreen::ClearRect(T3DColor color, const T3DRect& rect) {
  if (!Usable()) {
    return;
  }
  m_batch->Flush();
  m_renderer->Clear({&rect, 1}, kClearTarget, color, 1.0f);
}

void T3DScreen::SetProjection(double x0, double y0, double areaWidth, double areaHeight, double coordWidth,
                              double coordHeight) {
  if (areaWidth <= 0 || areaHeight <= 0 || coordWidth <= 0 || coordHeight <= 0) {
    return;
  }
  m_batch->Flush();
  m_x0 = x0;
  m_y0 = y0;
  m_areaWidth = areaWidth;
  m_areaHeight = areaHeight;
  m_coordWidth = coordWidth;
  m_coordHeight = coordHeight;
  ApplyTransforms();
}

void T3DScreen::ApplyTransforms() {
  if (!Usable()) {
    return;
  }
  // Row-major matrices used with row vectors. The world moves the picture
  // plane one unit in front of the eye and shifts by the renderer's texel
  // offset, which then stays the same part of a pixel at every depth.
  const double offset = m_renderer->TexelOffset();
  T3DMatrix world;
  world.at(2, 0) = world.at(3, 0) = static_cast<float>(-2.0 * offset / m_coordWidth);
  world.at(2, 1) = world.at(3, 1) = static_cast<float>(2.0 * offset / m_coordHeight);
  world.at(3, 2) = 1;
  T3DMatrix view;
  view.at(2, 0) = static_cast<float>(1.0 - (2.0 * m_x0 + m_areaWidth) / m_coordWidth);
  view.at(2, 1) = static_cast<float>((2.0 * m_y0 + m_areaHeight) / m_coordHeight - 1.0);
  T3DMatrix projection;
  projection.m.fill(0);
  projection.at(0, 0) = static_cast<float>(m_coordWidth / m_areaWidth);
  projection.at(1, 1) = static_cast<float>(m_coordHeight / m_areaHeight);
  projection.at(2, 2) = static_cast<float>(kFarPlane / (kFarPlane - kNearPlane));
  projection.at(2, 3) = 1;
  projection.at(3, 2) = static_cast<float>(-kNearPlane * kFarPlane / (kFarPlane - kNearPlane));
  m_renderer->SetTransform(T3DTransformKind::World, world);
  m_renderer->SetTransform(T3DTransformKind::View, view);
  m_renderer->SetTransform(T3DTransformKind::Projection, projection);
}

bool T3DScreen::ActivateTarget(const TTarget& target) {
  if (!target.surface ||
      !m_renderer->SetRenderTarget(target.surface == m_renderer->BackBuffer() ? nullptr : target.surface)) {
    return false;
  }
  return m_renderer->SetViewport({0, 0, target.width, target.height}, 0.0f, 1.0f);
}

bool T3DScreen::PushRenderTarget(TCustomTexture& texture, int x, int y) {
  if (!Usable() || m_targets.empty()) {
    return false;
  }
  QX_ASSERT(IsRenderTargetKind(texture.Kind()), "Render target of a sampled texture kind");
  T3DTexture* device = texture.DeviceTexture();
  T3DSurface* surface = device ? device->SurfaceLevel(0) : nullptr;
  if (!surface) {
    return false;
  }
  m_batch->Flush();
  const TTarget target{x, y, surface, surface->Width(), surface->Height()};
  if (!ActivateTarget(target)) {
    ActivateTarget(m_targets.back());
    return false;
  }
  m_targets.push_back(target);
  SetProjection(x, y, target.width, target.height, m_screenRect.Width(), m_screenRect.Height());
  return true;
}

void T3DScreen::PopRenderTarget() {
  if (m_targets.size() < 2) {
    return;
  }
  m_batch->Flush();
  m_targets.pop_back();
  if (!Usable()) {
    return;
  }
  const TTarget& target = m_targets.back();
  ActivateTarget(target);
  SetProjection(target.x, target.y, target.width, target.height, m_screenRect.Width(), m_screenRect.Height());
}

T3DRect T3DScreen::CurrentTargetRect() const {
  if (m_targets.size() < 2) {
    return m_screenRect;
  }
  const TTarget& top = m_targets.back();
  return {top.x, top.y, top.x + top.width, top.y + top.height};
}

T3DPoint T3DScreen::Camera() const { return {m_coordWidth / 2, m_coordHeight / 2, -m_coordHeight}; }

TFloatPoint T3DScreen::ToPixels(const T3DPoint& point) const {
  const T3DPoint flat = ProjectToScreen(Camera(), point);
  const T3DRect target = CurrentTargetRect();
  return {(flat.x - m_x0) * target.Width() / m_areaWidth, (flat.y - m_y0) * target.Height() / m_areaHeight};
}

T3DPoint T3DScreen::FromPixels(const TFloatPoint& pixel, const TPlacement& plane) const {
  const T3DRect target = CurrentTargetRect();
  const TFloatPoint logical{m_x0 + pixel.x * m_areaWidth / target.Width(),
                            m_y0 + pixel.y * m_areaHeight / target.Height()};
  return UnprojectFromScreen(Camera(), logical, plane.origin, plane.At(1, 0), plane.At(0, 1));
}

T3DVertex T3DScreen::Vertex(const T3DPoint& point) const {
  T3DVertex vertex;
  vertex.x = static_cast<float>(2.0 * point.x / m_coordWidth - 1.0);
  vertex.y = static_cast<float>(1.0 - 2.0 * point.y / m_coordHeight);
  vertex.z = static_cast<float>(point.z / m_coordHeight);
  return vertex;
}

void T3DScreen::FlushBatch() { m_batch->Flush(); }

void T3DScreen::DrawTexture(TCustomTexture& texture, const TFloatRect& texRect, const TPlacement& placement) {
  if (!Usable() || texture.Opacity() == 0) {
    return;
  }
  TCustomTexture* textures[] = {&texture};
  m_batch->Begin(textures);
  const T3DColor color = WithAlpha(0xFFFFFFFF, texture.Opacity());
  const float u0 = static_cast<float>(texRect.left * texture.ScaleU());
  const float u1 = static_cast<float>(texRect.right * texture.ScaleU());
  const float v0 = static_cast<float>(texRect.top * texture.ScaleV());
  const float v1 = static_cast<float>(texRect.bottom * texture.ScaleV());
  const auto corner = [&](double s, double t, float u, float v) {
    T3DVertex vertex = Vertex(placement.At(s, t));
    vertex.diffuse = color;
    vertex.uv[0] = {u, v};
    return vertex;
  };
  m_batch->AddQuad(corner(0, 0, u0, v0), corner(1, 0, u1, v0), corner(0, 1, u0, v1), corner(1, 1, u1, v1));
}

void T3DScreen::DrawMesh(std::span<TCustomTexture* const> textures, const TMeshGrid& grid, T3DColor inner,
                         T3DColor outer) {
  if (!Usable()) {
    return;
  }
  m_batch->Begin(textures, true);
  std::array<T3DVertex, TMeshGrid::kSide * TMeshGrid::kSide> vertices;
  for (size_t i = 0; i < vertices.size(); ++i) {
    T3DVertex& vertex = vertices[i];
    vertex = Vertex(grid.positions[i]);
    vertex.diffuse = TMeshGrid::IsOuter(static_cast<int>(i)) ? outer : inner;
    for (size_t stage = 0; stage < textures.size() && stage < TMeshGrid::kMaxTextures; ++stage) {
      vertex.uv[stage] = grid.uv[i][stage];
    }
  }
  constexpr int kSide = TMeshGrid::kSide;
  for (int row = 0; row + 1 < kSide; ++row) {
    for (int column = 0; column + 1 < kSide; ++column) {
      const int tl = row * kSide + column;
      m_batch->AddQuad(vertices[tl], vertices[tl + 1], vertices[tl + kSide], vertices[tl + kSide + 1]);
    }
  }
}

} // namespace qx
