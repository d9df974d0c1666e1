#include "VmoLib2/3DBasics/Null/qx3DEngineNull.h"

#include "QxLib/qxLog.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/3DBasics/Null/qx3DRendererNull.h"

#include <string>

namespace qx {

namespace {

constexpr int64_t kShaderVersion = 0x300;

std::unique_ptr<T3DEngine> CreateNullEngine(const TDisplays* displays) {
  return std::make_unique<T3DEngineNull>(displays);
}

} // namespace

const T3DEngineDriver k3DEngineNullDriver{
    {"null", "accepts every call and draws nothing", nullptr}, false, CreateNullEngine};

int64_t T3DEngineNull::Caps(std::string_view key, int) {
  Succeed();
  if (SameText(key, "PixelShaderVersion")) {
    return kShaderVersion;
  }
  if (SameText(key, "MaxTexWidth") || SameText(key, "MaxTexHeight")) {
    return kNullMaxTextureSize;
  }
  return 0;
}

int T3DEngineNull::ShaderLevel(int) { return 2; }

std::unique_ptr<T3DRenderer> T3DEngineNull::CreateRenderer(TDrawDevice& device, const T3DRendererParams& params) {
  const std::lock_guard lock(DeviceLock());
  auto* store = device.FindAttached<TNullDevStore>();
  if (store && store->IsLost()) {
    T3DDevStore::DropFromDevice(*store);
    store = nullptr;
  }
  if (!store) {
    auto owned = std::make_unique<TNullDevStore>(device);
    store = owned.get();
    device.Attach(std::move(owned));
  }
  auto renderer = std::make_unique<T3DRendererNull>(params);
  store->Add(*renderer, T3DDevStore::TList::Renderers);
  if (!renderer->Create()) {
    Fail(renderer->LastResult());
    Log().WriteLine("T3DEngineNull.CreateRenderer: create device res= " +
                    std::to_string(static_cast<int>(LastResult())));
    return nullptr;
  }
  Succeed();
  return renderer;
}

} // namespace qx
