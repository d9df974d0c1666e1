#include "VmoLib2/3DBasics/GL/qx3DEngineGL.h"

#include "QxLib/qxLog.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/3DBasics/GL/qx3DRendererGL.h"
#include "VmoLib2/3DBasics/GL/qxEglContext.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace qx {

namespace {

// Raster capability bits in the layout callers test for.
constexpr int64_t kRasterLodBias = 0x00002000;
constexpr int64_t kRasterAnisotropy = 0x00020000;
constexpr float kMaxAnisotropyCap = 16.0f;

int64_t VendorId(const char* vendor) {
  if (!vendor) {
    return 0;
  }
  const std::string name(vendor);
  if (name.find("Intel") != std::string::npos) {
    return 0x8086;
  }
  if (name.find("AMD") != std::string::npos || name.find("ATI") != std::string::npos) {
    return 0x1002;
  }
  if (name.find("NVIDIA") != std::string::npos) {
    return 0x10DE;
  }
  return 0;
}

std::string RectText(const T3DRect& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + ")";
}

struct TCapsRecord {
  int64_t maxTextureSize = 0;
  int64_t shaderVersion = 0;
  int64_t maxAnisotropy = 0;
  int64_t raster = 0;
  int64_t vendor = 0;
};

// The limits of the driver, read once per process on a probe context of
// their own; null with `error` set when no context can be made. Under the
// device lock.
const TCapsRecord* ProcessCaps(std::string& error) {
  static std::optional<TCapsRecord> cached;
  if (cached) {
    return &*cached;
  }
  const auto probe = CreateHeadlessContext(error);
  if (!probe) {
    return nullptr;
  }
  TCapsRecord caps;
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  caps.maxTextureSize = maxSize;
  int major = 0;
  int minor = 0;
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
  // "OpenGL ES GLSL ES 3.20 ..." : the first digits are the version.
  if (version) {
    const char* digits = std::strpbrk(version, "0123456789");
    if (digits && std::sscanf(digits, "%d.%d", &major, &minor) == 2) {
      caps.shaderVersion = major * 256 + std::min(minor, 255);
    }
  }
  const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  caps.raster = kRasterLodBias; // the bias goes to the shader's texture reads
  if (extensions && std::strstr(extensions, "GL_EXT_texture_filter_anisotropic")) {
    float limit = 0;
    glGetFloatv(0x84FF, &limit); // GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT
    caps.maxAnisotropy = static_cast<int64_t>(std::min(limit, kMaxAnisotropyCap));
    caps.raster |= kRasterAnisotropy;
  }
  caps.vendor = VendorId(reinterpret_cast<const char*>(glGetString(GL_VENDOR)));
  cached = caps;
  return &*cached;
}

bool GLAvailable() {
  const std::lock_guard lock(DeviceLock());
  std::string error;
  return ProcessCaps(error) != nullptr;
}

std::unique_ptr<T3DEngine> CreateGLEngine(const TDisplays* displays) { return std::make_unique<T3DEngineGL>(displays); }

} // namespace

const T3DEngineDriver k3DEngineGLDriver{
    {"gl", "GL ES 3.0 through EGL and the window system", GLAvailable}, true, CreateGLEngine};

int64_t T3DEngineGL::Caps(std::string_view key, int) {
  const std::lock_guard lock(DeviceLock());
  std::string error;
  const TCapsRecord* caps = ProcessCaps(error);
  if (!caps) {
    Log().WriteLine("T3DEngineGL.Caps: " + error);
    Fail(T3DResult::Other);
    return 0;
  }
  if (SameAsciiText(key, "PixelShaderVersion")) {
    return caps->shaderVersion;
  }
  if (SameAsciiText(key, "MaxTexWidth") || SameAsciiText(key, "MaxTexHeight")) {
    return caps->maxTextureSize;
  }
  if (SameAsciiText(key, "MaxAnisotropy")) {
    return caps->maxAnisotropy;
  }
  if (SameAsciiText(key, "Raster")) {
    return caps->raster;
  }
  if (SameAsciiText(key, "Vendor")) {
    return caps->vendor;
  }
  return 0;
}

int T3DEngineGL::ShaderLevel(int adapter) {
  const int64_t version = Caps("PixelShaderVersion", adapter);
  if (version < 0x200) {
    return 0;
  }
  if (Caps("Vendor", adapter) == 0x8086 && version < 0x300) {
    return 1;
  }
  return 2;
}

std::unique_ptr<T3DRenderer> T3DEngineGL::CreateRenderer(TDrawDevice& device, const T3DRendererParams& params) {
  const std::lock_guard lock(DeviceLock());
  auto* store = device.FindAttached<TGLDevStore>();
  if (store && store->IsLost()) {
    // A re-created window or a reset context: start again on a new device.
    T3DDevStore::DropFromDevice(*store);
    store = nullptr;
  }
  const bool headless = device.IsHeadless();
  if (headless) {
    Log().WriteLine("T3DEngineGL.CreateRenderer: init headless device: " + RectText(params.bounds));
  } else {
    Log().WriteLine("T3DEngineGL.CreateRenderer: init windowed device: " + RectText(params.bounds));
  }
  if (!store) {
    std::string error;
    auto context = headless ? CreateHeadlessContext(error) : device.CreateGLContext(error);
    if (!context) {
      Log().WriteLine("T3DEngineGL.CreateRenderer: " + error);
      Fail(T3DResult::Other);
      Log().WriteLine("T3DEngineGL.CreateRenderer: create device res= " +
                      std::to_string(static_cast<int>(LastResult())));
      return nullptr;
    }
    auto owned = std::make_unique<TGLDevStore>(device, std::move(context));
    store = owned.get();
    device.Attach(std::move(owned));
  }
  auto renderer = std::make_unique<T3DRendererGL>(params);
  store->Add(*renderer, T3DDevStore::TList::Renderers);
  if (!store->Bind() || !renderer->Create()) {
    Fail(renderer->LastResult() == T3DResult::Ok ? T3DResult::Other : renderer->LastResult());
    Log().WriteLine("T3DEngineGL.CreateRenderer: create device res= " + std::to_string(static_cast<int>(LastResult())));
    return nullptr;
  }
  Succeed();
  Log().WriteLine("T3DEngineGL.CreateRenderer: create device res= 0");
  renderer->ReleaseThread();
  return renderer;
}

} // namespace qx
