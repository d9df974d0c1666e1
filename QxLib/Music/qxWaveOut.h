// The sound device seen by the mixing channels: a device that makes
// streaming buffers and a clock. Each buffer plays PCM of its own format in
// a ring of two seconds, filled through three callbacks of its owner; the
// device mixes every playing buffer into its output, like a sound card
// mixing secondary buffers. The timer channel is the music clock: the
// system's millisecond counter pulled towards the play position of a silent
// looping buffer. Back ends live in folders of their own (Sdl/, Virtual/).
#pragma once

#include "QxLib/Music/qxMediaInfo.h"

#include <cstdint>
#include <memory>

namespace qx {

class TWaveOutBuffer;

// A stop's fade-out begins this long after the request: what is queued up to
// then is heard in full.
inline constexpr int32_t kStopFadeDelayMs = 25;

// The owner of a buffer. Every callback runs on the buffer's refill thread
// (or, for the virtual device, on the thread that advances its clock) with
// the buffer's fill lock held: it only decodes and scales, and never takes
// the owner's channel lock.
class TWaveOutFiller {
public:
  virtual ~TWaveOutFiller() = default;
  // Fills the first `count` bytes the buffer plays (the prebuffer).
  virtual void FirstFill(TWaveOutBuffer& buffer, uint8_t* destination, int32_t count) = 0;
  // A stop was requested: fades out, in place, bytes that are queued but
  // not yet played.
  virtual void FadeQueued(TWaveOutBuffer& buffer, uint8_t* data, int32_t count) = 0;
  // Fills `count` more bytes to be played after the ones already queued.
  virtual void Refill(TWaveOutBuffer& buffer, uint8_t* destination, int32_t count) = 0;
};

// One streaming buffer. Destroying it stops it and ends its refill work;
// no callback runs after the destructor returned.
class TWaveOutBuffer {
public:
  virtual ~TWaveOutBuffer() = default;

  // The volume factor last set (1.0 before any).
  virtual float GetVolume() = 0;
  // Sets the level as hundredths of a decibel: -600 per halving of x,
  // limited to -10000 ... 0 (see VolumeToAttenuation).
  virtual void SetVolume(float volume) = 0;
  // The attenuation in hundredths of a decibel now applied.
  virtual int32_t Attenuation() = 0;
  // Starts playing: the first PrebufferSize() bytes come from FirstFill,
  // then Refill keeps the ring filled. Called once.
  virtual void Play() = 0;
  // Requests a fade-out of what is queued, heard 25 ms after the request;
  // the buffer keeps playing (faded, then silent data) until destroyed.
  virtual void Stop() = 0;
  // Bytes decoded before playing: three quarters of the ring (1.5 s).
  virtual int32_t PrebufferSize() const = 0;
  // Bytes written but not yet played.
  virtual int32_t QueuedBytes() = 0;
  // Milliseconds played since Play.
  virtual int32_t GetPosition() = 0;
  virtual const TPcmFormat& Format() const = 0;
};

// The music clock. Used by one owner thread (the device facade under its
// lock); its tick runs on a thread of the device.
class TTimerChannel {
public:
  virtual ~TTimerChannel() = default;
  virtual int32_t GetTime() = 0;
  virtual void SetTime(int32_t ms) = 0;
  virtual bool IsPlaying() = 0;
  virtual void Start() = 0;
  virtual void Stop() = 0;
};

// A sound device. Every operation may be called from any thread.
class TWaveOutDevice {
public:
  virtual ~TWaveOutDevice() = default;

  // False when the device could not be opened: it then makes no buffers
  // and the show plays without sound on the system clock.
  virtual bool IsUsable() = 0;
  // A buffer of two seconds of `format` (PCM, 8 or 16 bits) that calls
  // back `filler` (borrowed; it outlives the buffer); nullptr when the
  // device is unusable or the format is not playable.
  virtual std::unique_ptr<TWaveOutBuffer> CreateBuffer(const TPcmFormat& format, TWaveOutFiller& filler) = 0;
  // The clock; nullptr when the device is unusable.
  virtual std::unique_ptr<TTimerChannel> CreateTimerChannel() = 0;
  // The device's millisecond counter: the system's for a sound card, the
  // caller's clock for the virtual device. Channel lifetimes are measured
  // on it.
  virtual int64_t NowMs() = 0;
};

// The system's millisecond counter (monotonic), the clock of sound cards.
int64_t SystemMilliseconds();

// The device of a machine without sound: never usable.
class TNoWaveOutDevice : public TWaveOutDevice {
public:
  bool IsUsable() override { return false; }
  std::unique_ptr<TWaveOutBuffer> CreateBuffer(const TPcmFormat&, TWaveOutFiller&) override { return nullptr; }
  std::unique_ptr<TTimerChannel> CreateTimerChannel() override { return nullptr; }
  int64_t NowMs() override { return SystemMilliseconds(); }
};

// The attenuation for a volume factor: round(-600 * log2(1 / x)) limited to
// -10000 ... 0; x <= 0 gives -10000.
int32_t VolumeToAttenuation(float volume);
// The factor an attenuation stands for: 0 -> 1.0, -10000 -> 0.0, otherwise
// 2^(v / 600).
float AttenuationToVolume(int32_t attenuation);
// The amplitude factor of an attenuation (10^(v / 2000)), as 16.16 fixed
// point; -10000 (the -100 dB floor) gives silence.
int32_t AttenuationToGainQ16(int32_t attenuation);

// The lowest attenuation: silence.
inline constexpr int32_t kSilentAttenuation = -10000;

} // namespace qx
