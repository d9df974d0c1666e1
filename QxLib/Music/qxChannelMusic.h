// The channel of one scheduled file: its media information and the list of
// its play instances, the last of which is the current one while the
// others fade out.
#pragma once

#include "QxLib/Music/qxMediaInfo.h"
#include "QxLib/Music/qxMusicChannel.h"
#include "QxLib/Music/qxMusicPlayer.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qx {

// What every channel has: the file's media information, the facade's
// registry, the name and the lock.
class TCustomChannel : public TChannel {
public:
  TMusicPlayer* GetPlayer() override;
  std::string GetName() override { return m_name; }

  const TMediaInfo& MediaInfo() const { return m_info; }
  // Whether the media information was read and names a known kind.
  bool Playable() const { return m_playable; }

protected:
  TCustomChannel(std::shared_ptr<TChannelRegistry> registry, std::string name);

  std::shared_ptr<TChannelRegistry> m_registry;
  const std::string m_name;
  TMediaInfo m_info;
  bool m_playable = false;
  std::mutex m_lock;
};

class TChannelMusic : public TCustomChannel {
public:
  // Cross-fade of SetPosition while playing, and the fade of instances
  // stopped when the channel goes.
  static constexpr int32_t kSwitchFadeMs = 10;

  // Reads the media information (from the description for a composite
  // name; otherwise through the file access) and prepares the first
  // instance when the file is playable.
  TChannelMusic(std::shared_ptr<TChannelRegistry> registry, TWaveOutDevice& device, const TSoundFileAccess& files,
                const std::string& name);
  // Sounding instances fade out over 10 ms and are handed to the channel
  // killer; prepared ones are freed. Then the channel leaves the registry.
  ~TChannelMusic() override;

  float GetVolume() override;
  void SetVolume(float volume) override;
  int32_t GetLength() override;
  int32_t GetPosition() override;
  void SetPosition(int32_t ms) override;
  float GetMasterVolume() override;
  void SetMasterVolume(float factor) override;
  bool Play(int32_t fadeMs) override;
  bool Stop(int32_t fadeMs) override;
  bool IsPlaying() override;

  // Exactly one instance was prepared at creation.
  bool Opened() const { return m_opened; }
  int32_t InstanceCount();
  int32_t SavedPosition();

  // The killer: takes the instance out of the list, keeping its position
  // as the saved position; null when it is not in the list.
  std::unique_ptr<TMusicChannel> TakeInstance(TMusicChannel& instance);
  // The facade goes: every instance is freed now and the channel stays
  // silent from here on.
  void Detach();

private:
  // A new current instance, or null when it cannot be made (logged).
  TMusicChannel* NewInstanceLocked();
  TMusicChannel* CurrentLocked() const { return m_instances.empty() ? nullptr : m_instances.back().get(); }
  float BufferVolumeLocked() const { return m_volume * m_masterFactor; }

  TWaveOutDevice* m_device;
  TSoundFileAccess m_files;
  float m_volume = 1.0f;
  float m_masterFactor = 1.0f;
  std::vector<std::unique_ptr<TMusicChannel>> m_instances;
  int32_t m_savedPosition = 0;
  bool m_opened = false;
};

} // namespace qx
