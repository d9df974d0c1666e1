#include "QxLib/Graphics/Video/qxFFMpegDll.h"

#include "QxLib/qxDynamicLibrary.h"
#include "QxLib/qxLog.h"

#include <set>

namespace qx {

namespace {

struct TShared {
  std::mutex Lock; // the creation lock
  std::string Path;
  TFFMpegDll* Instance = nullptr;
  std::set<std::string> Refused;
};

TShared& Shared() {
  static TShared shared;
  return shared;
}

} // namespace

TFFMpegDll::TFFMpegDll(std::unique_ptr<TDynamicLibrary> library, std::string path)
    : m_library(std::move(library)), m_path(std::move(path)) {}

TFFMpegDll::~TFFMpegDll() {
  if (!m_shared)
    return;
  TShared& shared = Shared();
  const std::lock_guard lock(shared.Lock);
  if (shared.Instance == this)
    shared.Instance = nullptr;
}

std::string TFFMpegDll::Bind() {
  void** const slots[] = {reinterpret_cast<void**>(&OpenMediaFile),
                          reinterpret_cast<void**>(&OpenMediaFile2),
                          reinterpret_cast<void**>(&CloseMediaFile),
                          reinterpret_cast<void**>(&AllocBuffer),
                          reinterpret_cast<void**>(&AllocBufferWithData),
                          reinterpret_cast<void**>(&FreeBuffer),
                          reinterpret_cast<void**>(&ConvertFrame),
                          reinterpret_cast<void**>(&GetNextVideoFrame),
                          reinterpret_cast<void**>(&SeekFile),
                          reinterpret_cast<void**>(&GetFormatName),
                          reinterpret_cast<void**>(&Flush),
                          reinterpret_cast<void**>(&FlushVideo),
                          reinterpret_cast<void**>(&GetFrameInfo),
                          reinterpret_cast<void**>(&GetDtsPts),
                          reinterpret_cast<void**>(&GetDtsPts2),
                          reinterpret_cast<void**>(&GetAudioInfo),
                          reinterpret_cast<void**>(&OpenAudioStream),
                          reinterpret_cast<void**>(&CloseAudioStream),
                          reinterpret_cast<void**>(&GetNextAudioFrame),
                          reinterpret_cast<void**>(&AfterAudioSeek),
                          reinterpret_cast<void**>(&GetCurrentPts),
                          reinterpret_cast<void**>(&CreateVideoFile),
                          reinterpret_cast<void**>(&CreateAudioFile),
                          reinterpret_cast<void**>(&CreateVideoAudioFile)};
  static_assert(std::size(slots) == std::size(kRequiredExports));
  for (size_t i = 0; i < std::size(slots); ++i) {
    *slots[i] = m_library->Symbol(kRequiredExports[i]);
    if (!*slots[i])
      return kRequiredExports[i];
  }
  m_library->LookUp("WriteVideoFrame", WriteVideoFrame);
  m_library->LookUp("WriteAudioSamples", WriteAudioSamples);
  m_library->LookUp("CloseOutputFile", CloseOutputFile);
  return {};
}

TRefPtr<TFFMpegDll> TFFMpegDll::Load(const std::string& path, std::string* error) {
  std::string reason;
  std::unique_ptr<TDynamicLibrary> library = TDynamicLibrary::Load(path, reason);
  if (!library) {
    if (error)
      *error = reason;
    return nullptr;
  }
  TRefPtr<TFFMpegDll> dll(new TFFMpegDll(std::move(library), path));
  const std::string missing = dll->Bind();
  if (!missing.empty()) {
    if (error)
      *error = "\"" + path + "\" does not export " + missing;
    return nullptr;
  }
  return dll;
}

void TFFMpegDll::SetLibraryPath(const std::string& path) {
  TShared& shared = Shared();
  const std::lock_guard lock(shared.Lock);
  shared.Path = path;
}

std::string TFFMpegDll::LibraryPath() {
  TShared& shared = Shared();
  const std::lock_guard lock(shared.Lock);
  return shared.Path;
}

TRefPtr<TFFMpegDll> TFFMpegDll::Acquire() {
  TShared& shared = Shared();
  const std::lock_guard lock(shared.Lock);
  // An instance whose count already reached 0 is being freed: it waits for
  // this lock to unlist itself and must not be handed out again.
  if (shared.Instance && shared.Instance->RefCount() > 0 && shared.Instance->m_path == shared.Path)
    return TRefPtr<TFFMpegDll>(shared.Instance);
  if (shared.Path.empty() || shared.Refused.contains(shared.Path))
    return nullptr;
  std::string error;
  TRefPtr<TFFMpegDll> dll = Load(shared.Path, &error);
  if (!dll) {
    shared.Refused.insert(shared.Path);
    Log().WriteLine("TFFMpegDll: " + error);
    return nullptr;
  }
  dll->m_shared = true;
  shared.Instance = dll.Get();
  return dll;
}

std::mutex& TFFMpegDll::MediaLock() {
  static std::mutex lock;
  return lock;
}

} // namespace qx
