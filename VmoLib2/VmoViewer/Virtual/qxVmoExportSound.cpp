#include "VmoLib2/VmoViewer/Virtual/qxVmoExportSound.h"

#include "QxLib/Music/Virtual/qxVirtualWaveOut.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxStream.h"

#include <algorithm>

namespace qx {

namespace {

// The device writes a WAV header in front of the samples and rewrites it
// as the file grows.
constexpr int64_t kHeaderSize = 44;
constexpr int64_t kChannels = 2;
constexpr int64_t kFrameBytes = 4;

} // namespace

// Keeps the samples the device appends behind its header and lets them be
// taken from the front; the header itself is dropped.
class TVmoExportSound::TTapStream final : public TStream {
public:
  int64_t GetPosition() override { return m_position; }
  void SetPosition(int64_t position) override { m_position = position; }
  int64_t GetSize() override { return kHeaderSize + (m_taken + Pending()) * kFrameBytes; }
  void SetSize(int64_t) override {}
  int64_t Read(void*, int64_t) override { return 0; }

  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t start = m_position;
    m_position += count;
    if (m_position <= kHeaderSize)
      return count;
    QX_ASSERT(start == kHeaderSize + (m_taken + Pending()) * kFrameBytes && count % 2 == 0,
              "The sound device wrote out of order");
    const auto* samples = static_cast<const int16_t*>(buffer);
    m_pending.insert(m_pending.end(), samples, samples + count / 2);
    return count;
  }

  // Sample frames mixed and not yet taken.
  int64_t Pending() const { return static_cast<int64_t>(m_pending.size() - m_front) / kChannels; }
  int64_t Taken() const { return m_taken; }

  int64_t Take(int64_t frames, std::vector<int16_t>& into) {
    frames = std::clamp<int64_t>(frames, 0, Pending());
    const auto first = m_pending.begin() + static_cast<std::ptrdiff_t>(m_front);
    into.insert(into.end(), first, first + frames * kChannels);
    m_front += static_cast<size_t>(frames * kChannels);
    m_taken += frames;
    // Drop what was taken once it is more than what waits.
    if (m_front > m_pending.size() / 2) {
      m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(m_front));
      m_front = 0;
    }
    return frames;
  }

private:
  int64_t m_position = 0;
  std::vector<int16_t> m_pending;
  size_t m_front = 0;
  int64_t m_taken = 0;
};

TVmoExportSound::TVmoExportSound() {
  auto tap = std::make_unique<TTapStream>();
  m_tap = tap.get();
  m_device = std::make_unique<TVirtualWaveOutDevice>(std::move(tap));
}

TVmoExportSound::~TVmoExportSound() = default;

TWaveOutDevice& TVmoExportSound::Device() { return *m_device; }

void TVmoExportSound::Advance(int32_t ms) { m_device->Advance(ms); }

void TVmoExportSound::Finish(int64_t samples) {
  QX_ASSERT(samples <= m_device->FramesWritten(), "The sound ends before the frames");
  m_end = std::max<int64_t>(0, samples);
}

int64_t TVmoExportSound::Take(int64_t end, std::vector<int16_t>& into) {
  return m_tap->Take(std::min(end, m_end) - m_tap->Taken(), into);
}

} // namespace qx
