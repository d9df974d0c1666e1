// The music loader: a worker thread that opens the mixing channels of the
// music timeline ahead of their time (opening a file and decoding its first
// second and a half is slow, so it never happens on the player's or the
// engine's thread), reports each channel back to the player, and frees
// channels the player has released. It also gives the device the stream
// opener for the show's files.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoEngineTypes.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace qx {

class TMusicPlayer;
class TStream;
struct TSoundFileAccess;

// Events of the loader's queue (payload TChannelContainer).
inline constexpr int32_t kOpenChannelEvent = 1;
inline constexpr int32_t kReleaseChannelEvent = 3;
// Event of the player's queue by which the loader reports an opened channel.
inline constexpr int32_t kChannelReadyEvent = 2;

// Opens a sound name of the show: "LoadFromDisk:" names are disk files (the
// path as given, else the file name in the show's folder); any other name
// is a file of the show's package.
std::unique_ptr<TStream> OpenShowSound(TFileAccessor& accessor, const std::string& name);
// The stream opener and freer that the device uses for the show's files.
TSoundFileAccess ShowSoundAccess(const TFileAccessor& accessor);

class TMusicLoader : public TVmoThread {
public:
  static constexpr std::chrono::milliseconds kPeriod{10};

  // Installs the stream opener into `device` (borrowed; may be null: no
  // sound). Opened channels are reported to `player` as event 2.
  TMusicLoader(const TFileAccessor& accessor, TMusicPlayer* device, TThreadEventList& player);
  ~TMusicLoader() override;

  // Handles every pending event on the calling thread: for a loader whose
  // thread is not started (headless driving).
  int ProcessPending() { return ProcessEvents(); }

protected:
  void Step() override;
  bool HandleEvent(int32_t id, TEventPayload& payload) override;

private:
  void OpenChannel(TEventPayload& payload);

  TFileAccessor m_accessor;
  TMusicPlayer* m_device;
  TThreadEventList& m_player;
};

} // namespace qx
