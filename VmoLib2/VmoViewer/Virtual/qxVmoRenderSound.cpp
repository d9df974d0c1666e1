#include "VmoLib2/VmoViewer/Virtual/qxVmoRenderSound.h"

#include "QxLib/Music/Virtual/qxVirtualWaveOut.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxFileStream.h"

#include <algorithm>

namespace qx {

namespace {

constexpr int64_t kHeaderSize = 44;
constexpr int64_t kFrameBytes = 4;
// Offsets of the RIFF size and the data size in the header.
constexpr int64_t kRiffSizeAt = 4;
constexpr int64_t kDataSizeAt = 40;

} // namespace

TVmoRenderSound::TVmoRenderSound(const std::string& path) {
  auto file = std::make_unique<TFileStream>(path, TFileMode::Create);
  m_file = file.get();
  m_device = std::make_unique<TVirtualWaveOutDevice>(std::move(file));
}

TVmoRenderSound::TVmoRenderSound() : m_device(std::make_unique<TVirtualWaveOutDevice>()) {}

TVmoRenderSound::~TVmoRenderSound() = default;

TWaveOutDevice& TVmoRenderSound::Device() { return *m_device; }

void TVmoRenderSound::Advance(int32_t ms) { m_device->Advance(ms); }

void TVmoRenderSound::Finish(int64_t samples) {
  QX_ASSERT(samples <= m_device->FramesWritten(), "The sound ends before the frames");
  if (!m_file)
    return;
  const int64_t dataSize = std::max<int64_t>(0, samples) * kFrameBytes;
  m_file->SetSize(kHeaderSize + dataSize);
  m_file->SetPosition(kRiffSizeAt);
  m_file->WriteUInt32(static_cast<uint32_t>(dataSize + kHeaderSize - 8));
  m_file->SetPosition(kDataSizeAt);
  m_file->WriteUInt32(static_cast<uint32_t>(dataSize));
}

} // namespace qx
