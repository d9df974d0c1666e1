#include "QxLib/Music/qxWavConverter.h"

#include "QxLib/Music/qxPcmResampler.h"

#include <algorithm>
#include <cmath>

namespace qx {

TWavConverter::TWavConverter(TStream* stream) : m_stream(stream) {}

TWavConverter::~TWavConverter() = default;

namespace {

// PCM whose samples the converter can hand on or resample: whole bytes per
// sample and frames no smaller than their samples.
bool IsPlayablePcm(const TMediaInfo& info) {
  const TPcmFormat& format = info.Format;
  const int bits = format.BitsPerSample;
  if (info.Kind == TMediaKind::WaveFloat)
    return (bits == 32 || bits == 64) && format.BlockAlign >= bits / 8 * format.Channels;
  if (info.Kind == TMediaKind::WavePcm)
    return (bits == 8 || bits == 16 || bits == 24 || bits == 32) && format.BlockAlign >= bits / 8 * format.Channels;
  return true;
}

} // namespace

bool TWavConverter::Open(const TMediaInfo& info) {
  m_info = info;
  const TPcmFormat& source = info.Format;
  if (source.Channels == 0 || source.SamplesPerSec == 0 || source.AvgBytesPerSec == 0 || source.BlockAlign == 0 ||
      !IsPlayablePcm(info))
    return false;
  m_input.Clear();
  m_output.Clear();
  m_input.SetFormat(source);
  m_output.SetFormat(source);
  m_resampler.reset();
  m_readSize = source.BitsPerSample == 24 ? k24BitReadSize : kDefaultReadSize;
  // More than two channels (six-channel 16-bit files, multi-channel plug-in
  // output) are folded to stereo on the way, since a channel plays at most two.
  if (info.Kind == TMediaKind::WaveFloat || source.BitsPerSample == 24 || source.BitsPerSample == 32 ||
      source.Channels > 2) {
    try {
      UseResampler(source, MixingFormat());
    } catch (const std::exception&) {
      return false;
    }
  }
  Seek(0);
  return true;
}

void TWavConverter::UseResampler(const TPcmFormat& from, const TPcmFormat& to) {
  m_resampler = std::make_unique<TPcmResampler>(from, to);
  m_output.SetFormat(to);
}

void TWavConverter::Seek(double ms) {
  m_input.Clear();
  m_output.Clear();
  if (m_resampler)
    m_resampler->Reset();
  const TPcmFormat& format = m_info.Format;
  const int64_t bytes = std::llround(std::max(ms, 0.0) / 1000.0 * format.AvgBytesPerSec);
  const int64_t align = std::max<int64_t>(format.BlockAlign, 1);
  if (m_stream)
    m_stream->SetPosition(std::min(bytes / align * align, static_cast<int64_t>(m_info.DataSize)) + m_info.DataOffset);
  m_position = ms;
}

int64_t TWavConverter::DataEnd() const {
  return static_cast<int64_t>(m_info.DataOffset) + std::max(m_info.DataSize, 0);
}

bool TWavConverter::FillInput() {
  if (!m_stream)
    return false;
  m_input.EnsureFree(m_readSize);
  const int64_t limit = std::min(DataEnd(), m_stream->GetPosition() + m_readSize);
  return m_input.FillFromStream(*m_stream, limit) > 0;
}

void TWavConverter::AdvancePosition(int64_t bytes) {
  const uint32_t perSecond = m_output.Format().AvgBytesPerSec;
  if (perSecond > 0)
    m_position += static_cast<double>(bytes) * 1000.0 / perSecond;
}

void TWavConverter::Deliver(const void* data, int32_t count) {
  m_output.Append(data, count);
  AdvancePosition(count);
}

bool TWavConverter::Convert(TLocalBuffer& input) {
  if (input.Used() == 0)
    return false;
  if (m_resampler && !(m_resampler->InputFormat() == m_resampler->OutputFormat())) {
    const int32_t frame = std::max<int32_t>(m_resampler->InputFormat().BlockAlign, 1);
    const int32_t whole = input.Used() / frame * frame;
    if (whole == 0)
      return true; // wait for the rest of the frame
    m_output.EnsureFree(m_resampler->OutputSize(whole));
    const int32_t made = m_resampler->Resample(input.DataStart(), whole, m_output.DataEnd());
    m_output.Commit(made);
    AdvancePosition(made);
    input.Consume(whole);
    return true;
  }
  const int32_t added = input.Used();
  m_output.EnsureFree(added);
  m_output.Append(input);
  input.Clear();
  AdvancePosition(added);
  return true;
}

bool TWavConverter::Read(int32_t count) {
  m_padded = 0;
  while (m_output.Used() < count) {
    if (!FillInput() || !Convert(m_input)) {
      m_padded = count - m_output.Used();
      m_output.AppendSilence(m_padded);
      return false;
    }
  }
  return true;
}

} // namespace qx
