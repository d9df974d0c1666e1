#include "VmoLib2/VmoClasses/qxVmoExtractorWrapper.h"

#include "QxLib/Graphics/Video/qxFrameSource.h"
#include "QxLib/qxLog.h"
#include "QxLib/qxStream.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

#include <algorithm>

namespace qx {

TRefPtr<TExtractorWrapper> TExtractorRegistry::Acquire(const std::string& key) {
  const std::lock_guard lock(m_lock);
  // A wrapper whose count already reached 0 is being destroyed: it waits
  // for this lock to unlist itself and must not be handed out again.
  for (TExtractorWrapper* wrapper : m_wrappers)
    if (wrapper->Key() == key && wrapper->RefCount() > 0)
      return TRefPtr<TExtractorWrapper>(wrapper);
  TRefPtr<TExtractorWrapper> made(new TExtractorWrapper(TRefPtr<TExtractorRegistry>(this), key));
  m_wrappers.push_back(made.Get());
  return made;
}

int TExtractorRegistry::Count() const {
  const std::lock_guard lock(m_lock);
  return static_cast<int>(m_wrappers.size());
}

void TExtractorRegistry::Remove(const TExtractorWrapper* wrapper) {
  const std::lock_guard lock(m_lock);
  std::erase(m_wrappers, wrapper);
}

TExtractorWrapper::TExtractorWrapper(TRefPtr<TExtractorRegistry> registry, std::string key)
    : m_registry(std::move(registry)), m_key(std::move(key)), m_clipId(ClipIdOf(m_key)) {}

TExtractorWrapper::~TExtractorWrapper() {
  m_registry->Remove(this);
  // The thread ends before the stream it reads goes.
  m_extractor.reset();
}

int TExtractorWrapper::Status() const {
  const std::lock_guard lock(m_lock);
  return m_status;
}

std::string TExtractorWrapper::FileName() const {
  const std::lock_guard lock(m_lock);
  return m_fileName;
}

bool TExtractorWrapper::LoadFromDisk() const {
  const std::lock_guard lock(m_lock);
  return m_loadFromDisk;
}

TVideoParams TExtractorWrapper::Params() const {
  const std::lock_guard lock(m_lock);
  return m_params;
}

double TExtractorWrapper::DurationMs() const {
  const std::lock_guard lock(m_lock);
  if (m_status != kReady || !(m_params.FrameRate > 0))
    return 0;
  return static_cast<double>(m_params.FrameCount) / m_params.FrameRate * 1000.0;
}

void TExtractorWrapper::SetFile(TFileAccessor& accessor, const std::string& fileName, bool loadFromDisk) {
  const std::lock_guard lock(m_lock);
  if (m_fileSet && fileName == m_fileName && loadFromDisk == m_loadFromDisk)
    return;
  for (const TLockedFrame& locked : m_locked)
    if (m_extractor)
      m_extractor->GiveBack(locked.Frame);
  m_locked.clear();
  m_extractor.reset();
  m_stream.reset();
  m_framesMade = false;
  m_params = TVideoParams{};
  m_fileName = fileName;
  m_loadFromDisk = loadFromDisk;
  m_fileSet = true;
  m_status = kFileMissing;
  if (fileName.empty())
    return;
  try {
    m_stream = loadFromDisk ? OpenDiskFile(fileName, accessor.BaseFolder()) : accessor.OpenStream(fileName);
  } catch (const std::exception& error) {
    Log().WriteLine("TExtractorWrapper: " + fileName + ": " + error.what());
    m_stream.reset();
  }
  if (!m_stream)
    return;
  m_status = kNoVideoSource;
  std::unique_ptr<TFrameSource> source = CreateVideoSource(*m_stream, 0, fileName);
  if (!source)
    return;
  m_params = source->Params();
  m_extractor = std::make_unique<TVmoVideoExtractor>(source.release(), true, m_params);
  m_status = kReady;
}

TVmoVideoExtractor::TTaken TExtractorWrapper::Lock(TDeviceDrawer& drawer, double ms, bool exact) {
  const std::lock_guard lock(m_lock);
  if (!m_extractor)
    return {};
  if (!m_framesMade) {
    for (int i = 0; i < kPoolFrames; ++i)
      m_extractor->AddFrame(drawer.MakeYUVImage(m_params.Width, m_params.Height));
    m_framesMade = true;
  }
  const int64_t index = m_extractor->FrameIndex(ms);
  for (TLockedFrame& locked : m_locked) {
    if (locked.Frame.Index == index) {
      ++locked.Count;
      return locked.Frame;
    }
  }
  TVmoVideoExtractor::TTaken frame = m_extractor->Take(ms, 0);
  if (!frame.Image)
    return {};
  if (frame.Index == TVmoVideoExtractor::kNoIndex || frame.Image->NeedsRefill() || (exact && !frame.Exact)) {
    m_extractor->GiveBack(frame);
    m_extractor->Request(ms, true);
    frame = m_extractor->Take(ms, 0);
    if (!frame.Image)
      return {};
    if (frame.Index == TVmoVideoExtractor::kNoIndex) {
      m_extractor->GiveBack(frame);
      return {};
    }
  }
  m_locked.push_back({frame, 1});
  return frame;
}

void TExtractorWrapper::Unlock(const TVmoVideoExtractor::TTaken& frame) {
  if (!frame.Image)
    return;
  const std::lock_guard lock(m_lock);
  const auto found = std::find_if(m_locked.begin(), m_locked.end(),
                                  [&frame](const TLockedFrame& locked) { return locked.Frame.Image == frame.Image; });
  if (found == m_locked.end() || --found->Count > 0)
    return;
  if (m_extractor)
    m_extractor->GiveBack(found->Frame);
  m_locked.erase(found);
}

int TExtractorWrapper::LockedFrames() const {
  const std::lock_guard lock(m_lock);
  return static_cast<int>(m_locked.size());
}

std::string TExtractorWrapper::MakeKey(int slideIndex, std::string_view clipGuid, std::string_view objectName) {
  return std::to_string(slideIndex) + ":" + std::string(clipGuid.empty() ? objectName : clipGuid);
}

std::string TExtractorWrapper::ClipIdOf(std::string_view key) {
  const size_t colon = key.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(key.substr(colon + 1));
}

} // namespace qx
