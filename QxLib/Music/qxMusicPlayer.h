// The mixing device facade seen by the music timeline player: it opens one
// channel per scheduled file, keeps the master volume and reads the music
// clock. A channel plays, stops, seeks and changes volume with short fades;
// it may be a plain sound file or a composite description.
#pragma once

#include "QxLib/Music/qxStreamWrapper.h"
#include "QxLib/Music/qxWaveOut.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qx {

class TChannelMusic;
class TMusicPlayer;

// One file scheduled on the time line. All operations may be called from
// any thread; each runs under the channel's lock.
class TChannel {
public:
  virtual ~TChannel() = default;

  // The facade that made the channel; null once the facade is gone.
  virtual TMusicPlayer* GetPlayer() = 0;
  virtual std::string GetName() = 0;
  virtual float GetVolume() = 0;
  virtual void SetVolume(float volume) = 0;
  // The file's length in ms.
  virtual int32_t GetLength() = 0;
  // The play position in ms of the file.
  virtual int32_t GetPosition() = 0;
  // While playing: a 10 ms cross-fade to the new position; otherwise it
  // only moves the point where the next Play starts.
  virtual void SetPosition(int32_t ms) = 0;
  virtual float GetMasterVolume() = 0;
  // Stores the factor, then applies SetVolume(GetVolume()) so that the
  // product of both reaches the buffer.
  virtual void SetMasterVolume(float factor) = 0;
  // Starts with a fade-in; false (and nothing changes) when it plays.
  virtual bool Play(int32_t fadeMs) = 0;
  // Fades out, keeping the position for the next Play; false when it does
  // not play.
  virtual bool Stop(int32_t fadeMs) = 0;
  virtual bool IsPlaying() = 0;
};

// The facade. All operations may be called from any thread.
class TMusicPlayer {
public:
  virtual ~TMusicPlayer() = default;

  virtual bool IsUsable() = 0;
  virtual float GetVolume() = 0;
  // The master volume of every channel.
  virtual void SetVolume(float volume) = 0;
  // How the files of the show are opened and given back (the open-stream
  // and free-stream callbacks); set before channels are made.
  virtual void SetFileAccess(const TSoundFileAccess& files) = 0;
  virtual TSoundFileAccess GetFileAccess() = 0;
  // The music clock in ms; the first reading starts it.
  virtual double GetClock() = 0;
  // A channel of the file or composite description `name`, positioned at
  // offsetMs unless that is -1; null when the device is unusable or the file
  // cannot be opened.
  virtual std::unique_ptr<TChannel> CreateChannel(const std::string& name, int32_t offsetMs) = 0;
};

// The list of live channels and the master volume, shared by the facade and
// its channels so that a channel can leave it even while the facade goes.
struct TChannelRegistry {
  std::mutex Lock;
  std::vector<TChannelMusic*> Channels;
  TMusicPlayer* Player = nullptr;
  float MasterVolume = 1.0f;
};

class TMusicPlayerClass : public TMusicPlayer {
public:
  explicit TMusicPlayerClass(std::unique_ptr<TWaveOutDevice> device);
  // Channels still alive lose their sound and their link back; the clock
  // and the device go.
  ~TMusicPlayerClass() override;

  bool IsUsable() override;
  float GetVolume() override;
  void SetVolume(float volume) override;
  void SetFileAccess(const TSoundFileAccess& files) override;
  TSoundFileAccess GetFileAccess() override;
  double GetClock() override;
  std::unique_ptr<TChannel> CreateChannel(const std::string& name, int32_t offsetMs) override;

  TWaveOutDevice& Device() { return *m_device; }
  int32_t ChannelCount();

private:
  std::unique_ptr<TWaveOutDevice> m_device;
  std::mutex m_clockLock;
  std::unique_ptr<TTimerChannel> m_timer;
  std::mutex m_filesLock;
  TSoundFileAccess m_files;
  std::shared_ptr<TChannelRegistry> m_registry;
};

// The device factory: the music player on `device`, after making and
// freeing one clock as a test; null when that fails (no sound: the music
// timeline then runs on the system clock). Installs the composite mixer in
// the converter factory.
std::unique_ptr<TMusicPlayerClass> CreateMusicPlayer(std::unique_ptr<TWaveOutDevice> device);

} // namespace qx
