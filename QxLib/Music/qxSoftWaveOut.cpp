#include "QxLib/Music/qxSoftWaveOut.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>

namespace qx {

namespace {

// Every ring holds two seconds; three quarters of it are decoded before
// playing and at most half a second is refilled per cycle.
constexpr int32_t kRingSeconds = 2;
// The wrap of the clock's ring, in ms.
constexpr int64_t kTimerRingMs = 1000 * kRingSeconds;
// The clock re-reads its play position every this many ticks.
constexpr int32_t kTicksPerReading = 10;

int32_t BytesPerSecondOf(const TPcmFormat& format) {
  return static_cast<int32_t>(format.BlockAlign * format.SamplesPerSec);
}

int32_t WholeBlocks(int64_t bytes, int32_t blockAlign) { return static_cast<int32_t>(bytes / blockAlign * blockAlign); }

} // namespace

// TSoftWaveOutDevice

TSoftWaveOutDevice::~TSoftWaveOutDevice() = default;

std::unique_ptr<TWaveOutBuffer> TSoftWaveOutDevice::CreateBuffer(const TPcmFormat& format, TWaveOutFiller& filler) {
  if (!IsUsable() || !IsMixableFormat(format))
    return nullptr;
  return std::make_unique<TSoftWaveBuffer>(*this, format, filler);
}

std::unique_ptr<TTimerChannel> TSoftWaveOutDevice::CreateTimerChannel() {
  if (!IsUsable())
    return nullptr;
  return std::make_unique<TSoftTimerChannel>(*this);
}

void TSoftWaveOutDevice::Register(TSoftWaveBuffer& buffer) {
  if (m_threaded)
    return;
  std::lock_guard lock(m_stepLock);
  m_buffers.push_back(&buffer);
}

void TSoftWaveOutDevice::Unregister(TSoftWaveBuffer& buffer) {
  if (m_threaded)
    return;
  std::lock_guard lock(m_stepLock);
  std::erase(m_buffers, &buffer);
}

void TSoftWaveOutDevice::Register(TSoftTimerChannel& timer) {
  if (m_threaded)
    return;
  std::lock_guard lock(m_stepLock);
  m_timers.push_back(&timer);
}

void TSoftWaveOutDevice::Unregister(TSoftTimerChannel& timer) {
  if (m_threaded)
    return;
  std::lock_guard lock(m_stepLock);
  std::erase(m_timers, &timer);
}

void TSoftWaveOutDevice::StepRefills(bool all) {
  std::lock_guard lock(m_stepLock);
  for (TSoftWaveBuffer* buffer : m_buffers) {
    if (buffer->Started() && (all || buffer->FadePending()))
      buffer->RefillCycle();
  }
}

void TSoftWaveOutDevice::StepTicks() {
  std::lock_guard lock(m_stepLock);
  for (TSoftTimerChannel* timer : m_timers)
    timer->Tick();
}

// TSoftWaveBuffer

TSoftWaveBuffer::TSoftWaveBuffer(TSoftWaveOutDevice& device, const TPcmFormat& format, TWaveOutFiller& filler)
    : m_device(device), m_filler(filler), m_voice(format, kRingSeconds * BytesPerSecondOf(format)) {
  m_prebufferSize = WholeBlocks(int64_t{m_voice.RingSize()} * 3 / 4, format.BlockAlign);
  m_chunkLimit = WholeBlocks(BytesPerSecond() / 2, format.BlockAlign);
  m_device.Register(*this);
}

TSoftWaveBuffer::~TSoftWaveBuffer() {
  // The refill thread first: it may be inside a fill callback.
  m_thread.reset();
  m_device.Unregister(*this);
  std::lock_guard fill(m_fillLock);
  std::lock_guard mix(m_device.Mixer().Lock());
  m_voice.Playing = false;
  m_device.Mixer().Remove(m_voice);
}

int32_t TSoftWaveBuffer::BytesPerSecond() const { return BytesPerSecondOf(m_voice.Format()); }

float TSoftWaveBuffer::GetVolume() {
  std::lock_guard lock(m_volumeLock);
  return m_volume >= 0.0f ? m_volume : AttenuationToVolume(m_attenuation);
}

void TSoftWaveBuffer::SetVolume(float volume) {
  const int32_t attenuation = VolumeToAttenuation(volume);
  {
    std::lock_guard lock(m_volumeLock);
    m_volume = volume;
    m_attenuation = attenuation;
  }
  std::lock_guard mix(m_device.Mixer().Lock());
  m_voice.GainQ16 = AttenuationToGainQ16(attenuation);
}

int32_t TSoftWaveBuffer::Attenuation() {
  std::lock_guard lock(m_volumeLock);
  return m_attenuation;
}

void TSoftWaveBuffer::Play() {
  if (m_started.load() || m_thread)
    return;
  if (!m_device.Threaded()) {
    Start();
    return;
  }
  m_thread = std::make_unique<TSoundEventThread>([this] { Start(); }, [this] { RefillCycle(); },
                                                 std::chrono::milliseconds(TSoftWaveOutDevice::kRefillPeriodMs));
}

void TSoftWaveBuffer::Start() {
  std::lock_guard fill(m_fillLock);
  m_scratch.assign(static_cast<size_t>(m_prebufferSize), m_voice.SilenceByte());
  m_filler.FirstFill(*this, m_scratch.data(), m_prebufferSize);
  {
    std::lock_guard mix(m_device.Mixer().Lock());
    m_voice.Put(0, m_scratch.data(), m_prebufferSize);
    m_voice.Played = 0;
    m_voice.Written = m_prebufferSize;
    m_voice.Playing = true;
    m_device.Mixer().Add(m_voice);
  }
  {
    // The position counts from here.
    std::lock_guard position(m_positionLock);
    m_lastPlayed = 0;
    m_lastReading = m_device.NowMs();
  }
  m_started.store(true);
}

void TSoftWaveBuffer::Stop() {
  m_fadeRequested.store(true);
  if (m_thread)
    m_thread->Wake();
}

void TSoftWaveBuffer::RefillCycle() {
  std::lock_guard fill(m_fillLock);
  TSoftMixer& mixer = m_device.Mixer();
  const int32_t blockAlign = m_voice.Format().BlockAlign;

  if (m_fadeRequested.exchange(false)) {
    // What the mixer has not reached 25 ms from now fades out in place.
    const int32_t delay = m_voice.Format().BitsPerSample / 8 * m_voice.Format().Channels *
                          static_cast<int32_t>(m_voice.Format().SamplesPerSec / (1000 / kFadeDelayMs));
    // The queued bytes are faded in a copy, outside the mixer's lock (the
    // filler may ask for QueuedBytes), and put back where the mixer has not
    // reached meanwhile. Written moves only under the fill lock, held here.
    int64_t from;
    int32_t count = 0;
    {
      std::lock_guard mix(mixer.Lock());
      from = m_voice.Played + delay;
      if (m_voice.Written > from) {
        count = static_cast<int32_t>(m_voice.Written - from);
        m_scratch.resize(static_cast<size_t>(count));
        m_voice.Get(from, m_scratch.data(), count);
      }
    }
    if (count > 0) {
      m_filler.FadeQueued(*this, m_scratch.data(), count);
      std::lock_guard mix(mixer.Lock());
      const int64_t keep = std::max<int64_t>(0, m_voice.Played - from);
      if (keep < count)
        m_voice.Put(from + keep, m_scratch.data() + keep, static_cast<int32_t>(count - keep));
    }
  }

  int32_t room;
  int64_t writeAt;
  {
    std::lock_guard mix(mixer.Lock());
    // After a late refill the mixer has played past the data: go on from
    // where it is instead of behind it.
    m_voice.Written = std::max(m_voice.Written, m_voice.Played);
    room = static_cast<int32_t>(m_voice.RingSize() - (m_voice.Written - m_voice.Played));
    writeAt = m_voice.Written;
  }
  room = WholeBlocks(std::min(room, m_chunkLimit), blockAlign);
  if (room > 0) {
    m_scratch.assign(static_cast<size_t>(room), m_voice.SilenceByte());
    m_filler.Refill(*this, m_scratch.data(), room);
    std::lock_guard mix(mixer.Lock());
    m_voice.Put(writeAt, m_scratch.data(), room);
    m_voice.Written = writeAt + room;
  }

  int64_t played;
  {
    std::lock_guard mix(mixer.Lock());
    played = m_voice.Played;
  }
  std::lock_guard position(m_positionLock);
  m_lastPlayed = played;
  m_lastReading = m_device.NowMs();
}

int32_t TSoftWaveBuffer::QueuedBytes() {
  std::lock_guard mix(m_device.Mixer().Lock());
  return static_cast<int32_t>(std::max<int64_t>(0, m_voice.Written - m_voice.Played));
}

int32_t TSoftWaveBuffer::GetPosition() {
  std::lock_guard position(m_positionLock);
  if (m_lastReading < 0)
    return 0;
  const int64_t elapsed = m_device.NowMs() - m_lastReading;
  return static_cast<int32_t>(m_lastPlayed * 1000 / BytesPerSecond() + elapsed);
}

// TSoftTimerChannel

TSoftTimerChannel::TSoftTimerChannel(TSoftWaveOutDevice& device)
    : m_device(device), m_voice(MixingFormat(), kRingSeconds * BytesPerSecondOf(MixingFormat())) {
  m_voice.Silent = true;
  std::lock_guard mix(m_device.Mixer().Lock());
  m_device.Mixer().Add(m_voice);
}

TSoftTimerChannel::~TSoftTimerChannel() {
  Stop();
  std::lock_guard mix(m_device.Mixer().Lock());
  m_device.Mixer().Remove(m_voice);
}

int32_t TSoftTimerChannel::ReadCursor() {
  std::lock_guard mix(m_device.Mixer().Lock());
  return static_cast<int32_t>(m_voice.Played % m_voice.RingSize());
}

int32_t TSoftTimerChannel::LastCursor() {
  std::lock_guard lock(m_lock);
  return m_lastCursor;
}

int64_t TSoftTimerChannel::CursorTimeLocked(int64_t now) const {
  if (m_lastCursor < 0)
    return m_startValue;
  return m_wrapMs + (now - m_lastReading) + int64_t{m_lastCursor} * 1000 / BytesPerSecondOf(MixingFormat());
}

void TSoftTimerChannel::SetTimeLocked(int32_t ms, int64_t now) {
  m_startValue = ms;
  m_wrapMs = ms;
  m_base = now - ms;
  // While the cursor runs, the cursor time is measured from the new time
  // on, so that the clock is not pulled back towards the old one.
  if (m_playing && !m_waiting && m_lastCursor >= 0)
    m_drift = CursorTimeLocked(now) - ms;
}

int32_t TSoftTimerChannel::GetTime() {
  std::lock_guard lock(m_lock);
  // A clock that waits for the sound card to move, or is stopped, holds
  // the time it starts from.
  if (!m_playing || m_waiting)
    return m_startValue;
  return static_cast<int32_t>(m_device.NowMs() - m_base);
}

void TSoftTimerChannel::SetTime(int32_t ms) {
  std::lock_guard lock(m_lock);
  SetTimeLocked(ms, m_device.NowMs());
}

bool TSoftTimerChannel::IsPlaying() {
  std::lock_guard lock(m_lock);
  return m_playing;
}

void TSoftTimerChannel::Start() {
  {
    std::lock_guard lock(m_lock);
    if (m_playing)
      return;
    {
      std::lock_guard mix(m_device.Mixer().Lock());
      m_voice.Played = 0;
      m_voice.Playing = true;
    }
    m_playing = true;
    m_ticks = 0;
    m_waiting = true;
    m_lastCursor = -1;
    m_drift = 0;
    SetTimeLocked(m_startValue, m_device.NowMs());
  }
  if (m_device.Threaded())
    m_thread = std::make_unique<TSoundEventThread>(
        nullptr, [this] { Tick(); }, std::chrono::milliseconds(TSoftWaveOutDevice::kTickPeriodMs));
  else
    m_device.Register(*this);
}

void TSoftTimerChannel::Tick() {
  const int32_t cursor = ReadCursor();
  std::lock_guard lock(m_lock);
  if (!m_playing)
    return;
  const int64_t now = m_device.NowMs();
  if (m_waiting) {
    if (cursor == 0)
      return;
    m_waiting = false;
    m_lastCursor = cursor;
    m_lastReading = now;
    m_base = now - m_startValue;
    m_drift = CursorTimeLocked(now) - m_startValue;
  }
  const int64_t cursorTime = CursorTimeLocked(now) - m_drift;
  const int64_t clock = now - m_base;
  if (cursorTime > clock)
    --m_base;
  else if (cursorTime < clock)
    ++m_base;
  if (++m_ticks % kTicksPerReading == 0) {
    if (cursor < m_lastCursor)
      m_wrapMs += kTimerRingMs;
    m_lastCursor = cursor;
    m_lastReading = now;
  }
}

void TSoftTimerChannel::Stop() {
  {
    std::lock_guard lock(m_lock);
    if (!m_playing)
      return;
    m_startValue = m_waiting ? m_startValue : static_cast<int32_t>(m_device.NowMs() - m_base);
    m_playing = false;
    m_lastCursor = -1;
  }
  m_thread.reset();
  m_device.Unregister(*this);
  std::lock_guard mix(m_device.Mixer().Lock());
  m_voice.Playing = false;
  m_voice.Played = 0;
}

} // namespace qx
