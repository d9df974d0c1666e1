#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

#include "QxLib/qxFileStream.h"
#include "QxLib/qxStreamUtils.h"
#include "QxLib/qxUtf8.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace qx {

namespace {

std::mutex g_idLock;
uint32_t g_lastSourceId = 0;

uint32_t NextSourceId() {
  const std::lock_guard lock(g_idLock);
  return ++g_lastSourceId;
}

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// "\" to "/" and a leading drive letter dropped.
std::string NativeForm(const std::string& name) {
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
    path.erase(0, 2);
  return path;
}

// The entry of `folder` named `leaf`: exactly, else ignoring ASCII case.
std::string FindInFolder(const std::string& folder, const std::string& leaf) {
  const std::string exact = folder + leaf;
  if (IsRegularFile(exact))
    return exact;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string candidate = it->path().filename().string();
    if (SameAsciiText(candidate, leaf) && IsRegularFile(it->path().string()))
      return it->path().string();
  }
  return {};
}

} // namespace

TCallbackHandle::~TCallbackHandle() { m_source->UnregisterImageProvider(m_key); }

TFileSource::TFileSource() : m_id(NextSourceId()) {}

std::unique_ptr<TStream> TFileSource::Open(const std::string& name) {
  std::unique_ptr<TStream> raw;
  {
    const std::lock_guard lock(m_openLock);
    raw = RawOpen(name);
  }
  if (!raw)
    return nullptr;
  const int64_t size = raw->GetSize();
  if (size < 0)
    return raw;
  auto window = std::make_unique<TPartialStream>(std::move(raw), 0, size);
  window->AttachLoadCallback(kLoadPieceSize);
  return window;
}

std::unique_ptr<TCallbackHandle> TFileSource::RegisterImageProvider(TImageProvider provider) {
  uint64_t key;
  {
    const std::lock_guard lock(m_stateLock);
    key = m_nextProviderKey++;
    m_providers.push_back({key, std::move(provider)});
  }
  return std::make_unique<TCallbackHandle>(TRefPtr<TFileSource>(this), key);
}

void TFileSource::UnregisterImageProvider(uint64_t key) {
  const std::lock_guard lock(m_stateLock);
  std::erase_if(m_providers, [key](const TProviderEntry& entry) { return entry.key == key; });
}

TProvidedPicture TFileSource::GetPicture(const std::string& name) const {
  std::vector<TImageProvider> providers;
  {
    const std::lock_guard lock(m_stateLock);
    for (const TProviderEntry& entry : m_providers)
      providers.push_back(entry.provider);
  }
  // Providers run without the lock: one may well open files of this source.
  for (const TImageProvider& provider : providers) {
    if (TProvidedPicture picture = provider(name))
      return picture;
  }
  return {};
}

int TFileSource::PictureOrientation(const std::string& name) const {
  TPictureTransformHook hook;
  {
    const std::lock_guard lock(m_stateLock);
    hook = m_transformHook;
  }
  if (!hook)
    return kOrientationNone;
  const int code = hook(name);
  switch (code) {
  case kOrientationHalfTurn:
  case kOrientationQuarterRight:
  case kOrientationQuarterLeft: return code;
  default: return kOrientationNone;
  }
}

void TFileSource::SetPictureTransformHook(TPictureTransformHook hook) {
  const std::lock_guard lock(m_stateLock);
  m_transformHook = std::move(hook);
}

std::string TFileSource::BaseFolder() const {
  const std::lock_guard lock(m_stateLock);
  return m_baseFolder;
}

void TFileSource::SetBaseFolder(std::string folder) {
  const std::lock_guard lock(m_stateLock);
  m_baseFolder = std::move(folder);
}

TFileAccessor::TFileAccessor(TRefPtr<TFileSource> source) : m_source(std::move(source)) {}

TFileAccessor::TFileAccessor(const TFileAccessor& other) : m_source(other.m_source), m_baseFolder(other.m_baseFolder) {}

std::unique_ptr<TStream> TFileAccessor::OpenStream(const std::string& name) {
  std::unique_ptr<TStream> stream = m_source->Open(name);
  if (stream && m_loadedHook)
    stream = m_loadedHook(name, std::move(stream));
  if (!stream && m_notFoundHook)
    stream = m_notFoundHook(name);
  return stream;
}

void TFileAccessor::SetBaseFolder(const std::string& folder) {
  m_baseFolder = folder;
  m_source->SetBaseFolder(folder);
}

// Names in projects are Windows paths from the authoring machine, such as
// "C:\Shows\Trip\beach.jpg". A disk name is read as follows:
//  1. every "\" becomes "/" and a leading drive letter ("C:") is dropped;
//  2. when that path exists as given (absolute, or relative to the working
//     folder), it is the file;
//  3. otherwise its last component is looked up in the base folder, first as
//     written, then ignoring ASCII case, since Windows names ignore case;
//  4. when nothing is found, the converted path is returned, and opening it
//     fails as it should.
std::string ResolveDiskName(const std::string& windowsOrNativePath, const std::string& baseFolder) {
  const std::string path = NativeForm(windowsOrNativePath);
  if (path.empty() || IsRegularFile(path))
    return path;
  const auto slash = path.find_last_of('/');
  const std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
  if (baseFolder.empty() || leaf.empty())
    return path;
  std::string folder = NativeForm(baseFolder);
  if (folder.back() != '/')
    folder += '/';
  const std::string found = FindInFolder(folder, leaf);
  return found.empty() ? path : found;
}

std::unique_ptr<TStream> OpenDiskFile(const std::string& name, const std::string& baseFolder) {
  std::string_view wanted = name;
  if (wanted.starts_with(kLoadFromDiskPrefix))
    wanted.remove_prefix(kLoadFromDiskPrefix.size());
  const std::string path = ResolveDiskName(std::string(wanted), baseFolder);
  if (path.empty())
    return nullptr;
  return TFileStream::TryOpen(path, TFileMode::OpenRead);
}

std::string FolderOf(const std::string& path) {
  const std::string native = NativeForm(path);
  const auto slash = native.find_last_of('/');
  if (slash == std::string::npos)
    return {};
  return native.substr(0, slash + 1);
}

} // namespace qx
