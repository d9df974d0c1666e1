#include "QxLib/Graphics/Video/qxFrameSource.h"

#include "QxLib/Graphics/Video/qxWinVideoSource.h"

#include <mutex>

namespace qx {

namespace {

struct TFactoryState {
  std::mutex Lock;
  TVideoSourceFactory Factory;
  TVideoRefuseHook Refuse;
};

TFactoryState& State() {
  static TFactoryState state;
  return state;
}

} // namespace

TVideoSourceFactory SetVideoSourceFactory(TVideoSourceFactory factory) {
  TFactoryState& state = State();
  const std::lock_guard lock(state.Lock);
  return std::exchange(state.Factory, std::move(factory));
}

TVideoRefuseHook SetVideoRefuseHook(TVideoRefuseHook hook) {
  TFactoryState& state = State();
  const std::lock_guard lock(state.Lock);
  return std::exchange(state.Refuse, std::move(hook));
}

std::unique_ptr<TFrameSource> CreateVideoSource(TStream& stream, uint8_t callerFlag, const std::string& name) {
  TVideoSourceFactory factory;
  TVideoRefuseHook refuse;
  {
    TFactoryState& state = State();
    const std::lock_guard lock(state.Lock);
    factory = state.Factory;
    refuse = state.Refuse;
  }
  if (refuse && refuse(name))
    return nullptr;
  if (factory)
    return factory(stream, callerFlag, name);
  return TWinVideoSource::Open(stream, callerFlag, name);
}

} // namespace qx
