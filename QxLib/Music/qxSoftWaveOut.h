// The part of a sound device that does not depend on where the mixed sound
// goes: streaming buffers over rings of the software mixer, with their
// refill cycle, stop fades and play positions, and the clock slaved to a
// silent looping voice. A back end supplies the output (pulling Mix at the
// output's pace) and says how refills and clock ticks are driven: on
// threads of their own (a sound card), or stepped by the back end itself
// (a device whose clock the caller advances).
#pragma once

#include "QxLib/Music/qxSoftMixer.h"
#include "QxLib/Music/qxSoundEventThread.h"
#include "QxLib/Music/qxWaveOut.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace qx {

class TSoftWaveBuffer;
class TSoftTimerChannel;

class TSoftWaveOutDevice : public TWaveOutDevice {
public:
  // Period of a buffer's refill cycle and of the clock's tick.
  static constexpr int32_t kRefillPeriodMs = 100;
  static constexpr int32_t kTickPeriodMs = 10;

  ~TSoftWaveOutDevice() override;

  std::unique_ptr<TWaveOutBuffer> CreateBuffer(const TPcmFormat& format, TWaveOutFiller& filler) override;
  std::unique_ptr<TTimerChannel> CreateTimerChannel() override;

  TSoftMixer& Mixer() { return m_mixer; }
  bool Threaded() const { return m_threaded; }

protected:
  // A threaded device runs every buffer's refills and the clock's ticks on
  // threads of their own; otherwise the back end calls StepRefills and
  // StepTicks as its clock advances.
  explicit TSoftWaveOutDevice(bool threaded) : m_threaded(threaded) {}

  // Stepped devices: one refill cycle of every playing buffer (all) or only
  // of those woken by a stop since the last cycle; then the clocks' ticks.
  void StepRefills(bool all);
  void StepTicks();

private:
  friend class TSoftWaveBuffer;
  friend class TSoftTimerChannel;

  void Register(TSoftWaveBuffer& buffer);
  void Unregister(TSoftWaveBuffer& buffer);
  void Register(TSoftTimerChannel& timer);
  void Unregister(TSoftTimerChannel& timer);

  const bool m_threaded;
  TSoftMixer m_mixer;
  // Stepped devices: held while buffers refill and clocks tick, and while a
  // buffer or clock joins or leaves, so that none goes away mid-step.
  std::mutex m_stepLock;
  std::vector<TSoftWaveBuffer*> m_buffers;
  std::vector<TSoftTimerChannel*> m_timers;
};

// A streaming buffer of two seconds of its format.
class TSoftWaveBuffer : public TWaveOutBuffer {
public:
  // Fade of queued data starts this far after the play position.
  static constexpr int32_t kFadeDelayMs = kStopFadeDelayMs;

  TSoftWaveBuffer(TSoftWaveOutDevice& device, const TPcmFormat& format, TWaveOutFiller& filler);
  ~TSoftWaveBuffer() override;

  float GetVolume() override;
  void SetVolume(float volume) override;
  int32_t Attenuation() override;
  void Play() override;
  void Stop() override;
  int32_t PrebufferSize() const override { return m_prebufferSize; }
  int32_t QueuedBytes() override;
  int32_t GetPosition() override;
  const TPcmFormat& Format() const override { return m_voice.Format(); }

  int32_t RingSize() const { return m_voice.RingSize(); }
  int32_t ChunkLimit() const { return m_chunkLimit; }

  // The first fill and the start of playing; then one refill cycle: the
  // fade of queued data when a stop was requested, the refill of the free
  // room (at most ChunkLimit bytes), the reading of the play position.
  void Start();
  void RefillCycle();
  // Stepped devices: whether a stop is waiting for its fade.
  bool FadePending() const { return m_fadeRequested.load(); }
  bool Started() const { return m_started.load(); }

private:
  int32_t BytesPerSecond() const;

  TSoftWaveOutDevice& m_device;
  TWaveOutFiller& m_filler;
  TSoftVoice m_voice;
  int32_t m_prebufferSize;
  int32_t m_chunkLimit;
  std::vector<uint8_t> m_scratch;

  // Held around filling, fading and destruction.
  std::mutex m_fillLock;
  std::atomic<bool> m_fadeRequested{false};
  std::atomic<bool> m_started{false};
  std::unique_ptr<TSoundEventThread> m_thread;

  // Play position bookkeeping.
  std::mutex m_positionLock;
  int64_t m_lastPlayed = 0;
  int64_t m_lastReading = -1; // device ms of the last reading; -1 = none

  std::mutex m_volumeLock;
  float m_volume = -1.0f; // -1 = none set yet
  int32_t m_attenuation = 0;
};

// The clock: the device's millisecond counter, pulled by at most 1 ms per
// tick towards the play position of a silent looping voice of two seconds
// of the mixing format.
class TSoftTimerChannel : public TTimerChannel {
public:
  explicit TSoftTimerChannel(TSoftWaveOutDevice& device);
  ~TSoftTimerChannel() override;

  int32_t GetTime() override;
  void SetTime(int32_t ms) override;
  bool IsPlaying() override;
  void Start() override;
  void Stop() override;

  // One tick (every 10 ms while playing).
  void Tick();
  // The play position, wrapped into the ring (-1 before any reading).
  int32_t LastCursor();

private:
  int32_t ReadCursor();
  int64_t CursorTimeLocked(int64_t now) const;
  void SetTimeLocked(int32_t ms, int64_t now);

  TSoftWaveOutDevice& m_device;
  TSoftVoice m_voice;
  std::mutex m_lock;
  int64_t m_base = 0;
  int32_t m_startValue = 0;
  int64_t m_drift = 0;
  int64_t m_wrapMs = 0;
  int32_t m_lastCursor = -1;
  int64_t m_lastReading = 0;
  bool m_waiting = false;
  bool m_playing = false;
  int32_t m_ticks = 0;
  std::unique_ptr<TSoundEventThread> m_thread;
};

} // namespace qx
