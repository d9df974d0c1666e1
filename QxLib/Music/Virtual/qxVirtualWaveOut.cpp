#include "QxLib/Music/Virtual/qxVirtualWaveOut.h"

#include "QxLib/qxFileStream.h"

namespace qx {

namespace {

constexpr int32_t kWaveHeaderSize = 44;
constexpr int32_t kFrameBytes = 4;
// Samples kept before they are appended to the file: one second.
constexpr size_t kFlushSamples = 2 * 44100;

// Output frames of the first `ms` milliseconds.
int64_t FramesAt(int64_t ms) { return ms * TSoftMixer::kOutputRate / 1000; }

} // namespace

TVirtualWaveOutDevice::TVirtualWaveOutDevice(std::unique_ptr<TStream> output)
    : TSoftWaveOutDevice(false), m_output(std::move(output)) {
  if (m_output)
    WriteHeader();
}

std::unique_ptr<TVirtualWaveOutDevice> TVirtualWaveOutDevice::CreateForFile(const std::string& path) {
  return std::make_unique<TVirtualWaveOutDevice>(std::make_unique<TFileStream>(path, TFileMode::Create));
}

TVirtualWaveOutDevice::~TVirtualWaveOutDevice() = default;

// The 44-byte header of a PCM WAV file with the sizes of what was written.
void TVirtualWaveOutDevice::WriteHeader() {
  const TPcmFormat format = MixingFormat();
  const uint32_t dataSize = static_cast<uint32_t>(m_fileFrames * kFrameBytes);
  m_output->SetPosition(0);
  m_output->WriteString("RIFF");
  m_output->WriteUInt32(dataSize + kWaveHeaderSize - 8);
  m_output->WriteString("WAVEfmt ");
  m_output->WriteUInt32(16);
  m_output->WriteUInt16(format.FormatTag);
  m_output->WriteUInt16(format.Channels);
  m_output->WriteUInt32(format.SamplesPerSec);
  m_output->WriteUInt32(format.AvgBytesPerSec);
  m_output->WriteUInt16(format.BlockAlign);
  m_output->WriteUInt16(format.BitsPerSample);
  m_output->WriteString("data");
  m_output->WriteUInt32(dataSize);
}

void TVirtualWaveOutDevice::Advance(int32_t ms) {
  for (int32_t i = 0; i < ms; ++i) {
    const int64_t now = NowMs();
    const int32_t frames = static_cast<int32_t>(FramesAt(now + 1) - FramesAt(now));
    const size_t offset = m_mixed.size();
    m_mixed.resize(offset + static_cast<size_t>(frames) * 2);
    {
      std::lock_guard mix(Mixer().Lock());
      Mixer().Mix(m_mixed.data() + offset, frames);
    }
    m_framesWritten += frames;
    m_now.store(now + 1, std::memory_order_release);
    if ((now + 1) % kTickPeriodMs == 0)
      StepTicks();
    StepRefills((now + 1) % kRefillPeriodMs == 0);
    if (m_mixed.size() >= kFlushSamples)
      Flush();
  }
  Flush();
}

// Appends the mixed samples to the file and updates its header.
void TVirtualWaveOutDevice::Flush() {
  if (m_output && !m_mixed.empty()) {
    m_output->SetPosition(kWaveHeaderSize + m_fileFrames * kFrameBytes);
    m_output->WriteBuffer(m_mixed.data(), static_cast<int64_t>(m_mixed.size() * sizeof(int16_t)));
    m_fileFrames += static_cast<int64_t>(m_mixed.size() / 2);
    WriteHeader();
  }
  m_mixed.clear();
}

} // namespace qx
