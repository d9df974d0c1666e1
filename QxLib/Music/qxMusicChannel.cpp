#include "QxLib/Music/qxMusicChannel.h"

#include "QxLib/Music/qxChannelKiller.h"
#include "QxLib/Music/qxConverterFactory.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qx {

namespace {

// Added to every removal delay, and the delay of one whole buffer when
// nothing is queued.
constexpr int32_t kKillMarginMs = 20;
constexpr int32_t kWholeBufferMs = 2000;

int32_t FadeFrames(int32_t fadeMs, uint32_t rate) {
  return std::max<int32_t>(1, static_cast<int32_t>(int64_t{fadeMs} * rate / 1000));
}

} // namespace

TPcmFormat InstanceOutputFormat(const TPcmFormat& delivered) {
  if (delivered.FormatTag == kWaveFormatPcm && (delivered.BitsPerSample == 8 || delivered.BitsPerSample == 16))
    return delivered;
  return MakePcmFormat(delivered.SamplesPerSec, 16, delivered.Channels);
}

TMusicChannel::TMusicChannel(TChannelMusic* owner, TWaveOutDevice& device, const TSoundFileAccess& files,
                             const std::string& name, const TMediaInfo& info, float volume)
    : m_owner(owner), m_device(device), m_files(files), m_name(name), m_info(info) {
  if (IsCompositeName(name)) {
    m_converter = CreateCompositeConverter(name, files);
  } else {
    m_stream = OpenConverterStream(name, m_info, files);
    if (!m_stream)
      throw EQxError("Cannot open \"" + name + "\"");
    m_converter = CreateConverter(*m_stream, name, m_info);
  }
  if (!m_converter)
    throw EQxError("No decoder for \"" + name + "\"");
  if (!m_converter->Open(m_info))
    throw EQxError("Cannot decode \"" + name + "\"");
  m_format = InstanceOutputFormat(m_converter->OutputFormat());
  if (m_format != m_converter->OutputFormat())
    throw EQxError("Unplayable sound format of \"" + name + "\"");
  m_buffer = device.CreateBuffer(m_format, *this);
  if (!m_buffer)
    throw EQxError("No sound buffer for \"" + name + "\"");
  m_buffer->SetVolume(volume);
}

TMusicChannel::~TMusicChannel() {
  // The buffer first: afterwards no fill callback runs.
  m_buffer.reset();
  m_converter.reset();
  if (m_stream)
    TStreamWrapperClass::Instance().Free(std::move(m_stream), m_files.Free);
}

bool TMusicChannel::Decode(uint8_t* destination, int32_t count) {
  try {
    const bool more = m_converter->Read(count);
    const int32_t taken = m_converter->Output().Take(destination, count);
    if (taken < count)
      std::memset(destination + taken, m_format.BitsPerSample == 8 ? 128 : 0, static_cast<size_t>(count - taken));
    return more;
  } catch (const std::exception& e) {
    Log().WriteLine("TMusicChannel: decoding \"" + m_name + "\" failed: " + e.what());
    std::memset(destination, m_format.BitsPerSample == 8 ? 128 : 0, static_cast<size_t>(count));
    return false;
  }
}

void TMusicChannel::Seek(int32_t ms) {
  QX_ASSERT(State() == Prepared, "Seek of a playing channel instance");
  m_startOffset = ms;
  try {
    m_converter->Seek(ms);
  } catch (const std::exception& e) {
    Log().WriteLine("TMusicChannel: seeking \"" + m_name + "\" failed: " + e.what());
  }
  m_prebuffer.assign(static_cast<size_t>(m_buffer->PrebufferSize()), 0);
  m_atEnd.store(!Decode(m_prebuffer.data(), m_buffer->PrebufferSize()));
  m_seeked = true;
}

void TMusicChannel::Play(int32_t fadeMs) {
  if (!m_seeked)
    Seek(0);
  m_state.store(Playing);
  {
    std::lock_guard lock(m_gainLock);
    m_fadeInFrames = FadeFrames(fadeMs, m_format.SamplesPerSec);
    m_fadeInActive = true;
    m_fadeOutActive = false;
    m_gain = 0.0f;
    m_gainStep = 1.0 / m_fadeInFrames;
  }
  m_buffer->Play();
}

void TMusicChannel::Stop(int32_t fadeMs) {
  {
    std::lock_guard lock(m_gainLock);
    m_fadeOutFrames = FadeFrames(fadeMs, m_format.SamplesPerSec);
    m_fadeInActive = false;
    m_gainStep = 1.0 / m_fadeOutFrames;
    m_stopRequested = true;
  }
  m_state.store(Stopping);
  m_buffer->Stop();
}

void TMusicChannel::SetVolume(float volume) { m_buffer->SetVolume(volume); }

int32_t TMusicChannel::GetPosition() { return m_buffer->GetPosition() + m_startOffset; }

void TMusicChannel::FirstFill(TWaveOutBuffer& buffer, uint8_t* destination, int32_t count) {
  const int32_t copied = std::min(count, static_cast<int32_t>(m_prebuffer.size()));
  std::memcpy(destination, m_prebuffer.data(), static_cast<size_t>(copied));
  if (copied < count)
    std::memset(destination + copied, m_format.BitsPerSample == 8 ? 128 : 0, static_cast<size_t>(count - copied));
  m_prebuffer.clear();
  m_prebuffer.shrink_to_fit();
  ProcessGain(buffer, destination, count, false);
}

void TMusicChannel::FadeQueued(TWaveOutBuffer& buffer, uint8_t* data, int32_t count) {
  ProcessGain(buffer, data, count, true);
}

void TMusicChannel::Refill(TWaveOutBuffer& buffer, uint8_t* destination, int32_t count) {
  const bool more = Decode(destination, count);
  if (!more)
    m_atEnd.store(true);
  ProcessGain(buffer, destination, count, false);
  if (m_atEnd.load())
    ScheduleRemoval(buffer, count);
}

void TMusicChannel::ProcessGain(TWaveOutBuffer& buffer, uint8_t* data, int32_t count, bool queued) {
  std::lock_guard lock(m_gainLock);
  if (m_stopRequested) {
    // A stop switches this copy to fading out at once.
    m_stopRequested = false;
    m_fadeInActive = false;
    m_fadeOutActive = true;
    m_rescheduleOnFade = true;
  }
  if (!m_fadeInActive && !m_fadeOutActive)
    return;
  const int32_t blockAlign = m_format.BlockAlign;
  const int32_t channels = m_format.Channels;
  const bool eightBit = m_format.BitsPerSample == 8;
  const int32_t frames = count / blockAlign;
  for (int32_t f = 0; f < frames; ++f) {
    uint8_t* const frame = data + static_cast<ptrdiff_t>(f) * blockAlign;
    if (!m_fadeInActive && !m_fadeOutActive)
      return; // the rest is copied unchanged
    if (m_fadeOutActive && m_gain <= 0.0f) {
      std::memset(frame, eightBit ? 128 : 0, static_cast<size_t>(count - f * blockAlign));
      return;
    }
    for (int32_t c = 0; c < channels; ++c) {
      if (eightBit) {
        const float s = static_cast<float>(frame[c]) - 128.0f;
        frame[c] = static_cast<uint8_t>(std::clamp(std::lrint(m_gain * s) + 128, 0L, 255L));
      } else {
        int16_t s;
        std::memcpy(&s, frame + 2 * c, 2);
        const int16_t scaled = static_cast<int16_t>(std::clamp(std::lrint(m_gain * s), -32768L, 32767L));
        std::memcpy(frame + 2 * c, &scaled, 2);
      }
    }
    if (m_fadeInActive) {
      m_gain = static_cast<float>(m_gain + m_gainStep);
      if (m_gain >= 1.0f) {
        m_gain = 1.0f;
        m_fadeInActive = false;
      }
    } else {
      m_gain = static_cast<float>(m_gain - m_gainStep);
      if (m_gain <= 0.0f) {
        m_gain = 0.0f;
        ScheduleRemoval(buffer, queued ? 0 : count);
      }
    }
  }
}

void TMusicChannel::ScheduleRemoval(TWaveOutBuffer& buffer, int32_t blockBytes) {
  if (m_removalScheduled && !m_rescheduleOnFade)
    return;
  m_rescheduleOnFade = false;
  const double bytesPerSecond = m_format.AvgBytesPerSec;
  int32_t delay =
      static_cast<int32_t>(std::lround((buffer.QueuedBytes() + int64_t{blockBytes}) / bytesPerSecond * 1000.0));
  if (delay <= 0)
    delay += kWholeBufferMs;
  m_killDelay.store(delay + kKillMarginMs);
  m_killStamp.store(m_device.NowMs());
  if (!m_removalScheduled) {
    m_removalScheduled = true;
    TChannelKiller::Instance().Schedule(*this);
  }
}

} // namespace qx
