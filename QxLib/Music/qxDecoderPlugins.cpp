#include "QxLib/Music/qxDecoderPlugins.h"

#include "QxLib/qxFileStream.h"
#include "QxLib/qxLog.h"
#include "QxLib/qxTempManager.h"

#include <filesystem>

namespace qx {

std::shared_ptr<TDecoderLibrary> TDecoderLibrary::Load(const std::string& path, std::string* error) {
  std::string reason;
  std::unique_ptr<TDynamicLibrary> library = TDynamicLibrary::Load(path, reason);
  if (!library) {
    if (error)
      *error = reason;
    return nullptr;
  }
  auto decoder = std::make_shared<TDecoderLibrary>();
  const bool complete = library->LookUp(QX_GET_MEDIA_INFO_NAME, decoder->GetMediaInfo) &&
                        library->LookUp(QX_CREATE_DECODER_NAME, decoder->CreateDecoder) &&
                        library->LookUp(QX_DESTROY_DECODER_NAME, decoder->DestroyDecoder) &&
                        library->LookUp(QX_DECODE_NAME, decoder->Decode) &&
                        library->LookUp(QX_SET_POSITION_NAME, decoder->SetPosition);
  if (!complete) {
    if (error)
      *error = path + " lacks a decoder function";
    return nullptr;
  }
  library->LookUp(QX_IS_FILE_PROTECTED_NAME, decoder->IsFileProtected);
  decoder->m_library = std::move(library);
  return decoder;
}

TDecoderPlugins& TDecoderPlugins::Instance() {
  static TDecoderPlugins instance;
  return instance;
}

// At exit only the libraries are freed: the temporary-folder manager deletes
// the folder, and the log may already be gone.
TDecoderPlugins::~TDecoderPlugins() {
  for (auto& slot : m_slots)
    slot.reset();
}

int TDecoderPlugins::SlotOf(TMediaKind kind) {
  switch (kind) {
  case TMediaKind::Wma: return 0;
  case TMediaKind::Ogg: return 1;
  case TMediaKind::Ape: return 2;
  case TMediaKind::Aac: return 3;
  default: return -1;
  }
}

std::shared_ptr<TDecoderLibrary> TDecoderPlugins::Library(TMediaKind kind) const {
  const int slot = SlotOf(kind);
  std::lock_guard lock(m_lock);
  return slot < 0 ? nullptr : m_slots[slot];
}

void TDecoderPlugins::SetLibrary(TMediaKind kind, std::shared_ptr<TDecoderLibrary> library) {
  const int slot = SlotOf(kind);
  if (slot < 0)
    return;
  std::lock_guard lock(m_lock);
  m_slots[slot] = std::move(library);
}

std::string TDecoderPlugins::Folder() const {
  std::lock_guard lock(m_lock);
  return m_folder;
}

std::shared_ptr<TDecoderLibrary> TDecoderPlugins::InstallOne(const std::string& entry, const char* fileName,
                                                             const TOpenStreamFunc& openStream, const char* failure) {
  if (entry.empty() || !openStream)
    return nullptr;
  std::string reason;
  try {
    std::unique_ptr<TStream> packed = openStream(entry);
    if (!packed)
      return nullptr; // not in the package: the show simply has no such plug-in
    if (m_folder.empty())
      m_folder = NewTempFolder(true);
    const std::string path = m_folder + fileName;
    {
      TFileStream file(path, TFileMode::Create);
      packed->SetPosition(0);
      file.CopyFrom(*packed, packed->GetSize() < 0 ? INT64_MAX : packed->GetSize());
    }
    if (std::shared_ptr<TDecoderLibrary> library = TDecoderLibrary::Load(path, &reason))
      return library;
  } catch (const std::exception& error) {
    reason = error.what();
  }
  Log().WriteLine(failure);
  if (!reason.empty())
    Log().WriteLine(reason);
  return nullptr;
}

void TDecoderPlugins::Install(const std::string& wmaEntry, const std::string& oggEntry,
                              const TOpenStreamFunc& openStream) {
  std::lock_guard lock(m_lock);
  if (m_installed)
    return;
  m_installed = true;
  // The Windows build also checks that the system's WMA runtime libraries
  // load; other systems decode WMA inside the plug-in itself.
  m_slots[0] = InstallOne(wmaEntry, kWmaFileName, openStream, "WMA INITIALIZE FAILED");
  m_slots[1] = InstallOne(oggEntry, kOggFileName, openStream, "OGG INITIALIZE FAILED");
}

void TDecoderPlugins::Shutdown() {
  std::lock_guard lock(m_lock);
  for (auto& slot : m_slots)
    slot.reset();
  if (!m_folder.empty()) {
    if (!RemoveFolderTree(m_folder.c_str()))
      Log().WriteLine("+++++++++++++++++++ Delete Forlder ERROR: " + m_folder);
    m_folder.clear();
  }
  m_installed = false;
}

bool QueryPluginMediaInfo(TStream& stream, const std::string& name, TMediaInfo& info) {
  const std::string extension = SoundFileExtension(name);
  TMediaKind kind = TMediaKind::None;
  if (extension == ".ape" || extension == ".mac")
    kind = TMediaKind::Ape;
  else if (extension == ".ogg")
    kind = TMediaKind::Ogg;
  else if (extension == ".wma")
    kind = TMediaKind::Wma;
  else if (extension == ".aac")
    kind = TMediaKind::Aac;
  const std::shared_ptr<TDecoderLibrary> library = TDecoderPlugins::Instance().Library(kind);
  if (!library)
    return false;
  int32_t length = 0, offset = 0;
  QxSoundFormat format{};
  try {
    stream.SetPosition(0);
  } catch (const std::exception&) {
    return false;
  }
  if (!library->GetMediaInfo(&stream, &TStreamWrapperClass::Instance().PluginFunctions(), &length, &offset, &format))
    return false;
  info.Kind = kind;
  info.Length = std::max(length, 0);
  info.DataOffset = std::max(offset, 0);
  info.Format.FormatTag = format.FormatTag;
  info.Format.Channels = format.Channels;
  info.Format.SamplesPerSec = format.SamplesPerSec;
  info.Format.AvgBytesPerSec = format.AvgBytesPerSec;
  info.Format.BlockAlign = format.BlockAlign;
  info.Format.BitsPerSample = format.BitsPerSample;
  info.Format.ExtraSize = format.ExtraSize;
  return true;
}

} // namespace qx
