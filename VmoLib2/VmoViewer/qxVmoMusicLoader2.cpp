#include "VmoLib2/VmoViewer/qxVmoMusicLoader2.h"

#include "QxLib/Music/qxMusicPlayer.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/VmoViewer/qxVmoPlayChannel.h"

#include <algorithm>
#include <exception>

namespace qx {

std::unique_ptr<TStream> OpenShowSound(TFileAccessor& accessor, const std::string& name) {
  if (name.starts_with(kLoadFromDiskPrefix))
    return OpenDiskFile(name, accessor.Source().BaseFolder());
  return accessor.OpenStream(name);
}

TSoundFileAccess ShowSoundAccess(const TFileAccessor& accessor) {
  TSoundFileAccess access;
  access.Open = [accessor = TFileAccessor(accessor)](const std::string& name) mutable {
    return OpenShowSound(accessor, name);
  };
  access.Free = [](std::unique_ptr<TStream> stream) { stream.reset(); };
  return access;
}

TMusicLoader::TMusicLoader(const TFileAccessor& accessor, TMusicPlayer* device, TThreadEventList& player)
    : m_accessor(accessor), m_device(device), m_player(player) {
  if (m_device)
    m_device->SetFileAccess(ShowSoundAccess(m_accessor));
}

TMusicLoader::~TMusicLoader() { Stop(); }

void TMusicLoader::Step() {
  ProcessEvents();
  WaitForEvents(kPeriod);
}

bool TMusicLoader::HandleEvent(int32_t id, TEventPayload& payload) {
  switch (id) {
  case kOpenChannelEvent: OpenChannel(payload); return true;
  case kReleaseChannelEvent:
    // The container's reference goes with the payload; the last one frees
    // the channel (and its mixing channel) here.
    payload.reset();
    return true;
  default: return false;
  }
}

void TMusicLoader::OpenChannel(TEventPayload& payload) {
  auto* container = dynamic_cast<TChannelContainer*>(payload.get());
  if (!container || !container->Channel)
    return;
  TVmoChannel& channel = *container->Channel;
  if (channel.OwnerId.load(std::memory_order_acquire) >= 0 && m_device && !channel.Device) {
    try {
      channel.Device = m_device->CreateChannel(channel.FileName, channel.FileOffset);
    } catch (const std::exception& error) {
      Log().WriteLine(std::string("TMusicLoader.OpenChannel: ") + error.what());
    }
    if (!channel.Device)
      Log().WriteLine("+++++++++++++++++++ Channel Create ERROR " + channel.LogName());
  }
  if (channel.Device) {
    // The file may be shorter than the entry says.
    const double length = channel.Device->GetLength();
    channel.EndTime.store(std::min(channel.EndTime.load(), length - channel.FileOffset + channel.StartTime));
  }
  // Reported in every case, so that a channel that cannot be opened leaves
  // its item ready (and silent).
  m_player.Post(kChannelReadyEvent, std::move(payload));
}

} // namespace qx
