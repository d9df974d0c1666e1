#include "VmoLib2/VmoClasses/qxVmoExtractorWrapper.h"

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

TExtractorWrapper::~TExtractorWrapper() { m_registry->Remove(this); }

std::string TExtractorWrapper::MakeKey(int slideIndex, std::string_view clipGuid, std::string_view objectName) {
  return std::to_string(slideIndex) + ":" + std::string(clipGuid.empty() ? objectName : clipGuid);
}

std::string TExtractorWrapper::ClipIdOf(std::string_view key) {
  const size_t colon = key.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(key.substr(colon + 1));
}

} // namespace qx
