// The optional decoder plug-ins that a show carries (the WMA and OGG
// libraries, and the APE and AAC slots that no library fills): written from
// the package into one temporary folder per process, loaded from there, and
// asked for the media information of files they read.
#pragma once

#include "Plugins/qxSoundDecoder.h"
#include "QxLib/Music/qxMediaInfo.h"
#include "QxLib/Music/qxStreamWrapper.h"
#include "QxLib/qxDynamicLibrary.h"

#include <memory>
#include <mutex>
#include <string>

namespace qx {

// One loaded decoder library and its functions.
class TDecoderLibrary {
public:
  // Loads the library and looks up the five required functions (and
  // "isFileProtected", which may be missing); nullptr when the file cannot
  // be loaded or lacks one of the five. `error` receives the reason.
  static std::shared_ptr<TDecoderLibrary> Load(const std::string& path, std::string* error = nullptr);

  QxGetMediaInfoFunc GetMediaInfo = nullptr;
  QxCreateDecoderFunc CreateDecoder = nullptr;
  QxDestroyDecoderFunc DestroyDecoder = nullptr;
  QxDecodeFunc Decode = nullptr;
  QxSetPositionFunc SetPosition = nullptr;
  QxIsFileProtectedFunc IsFileProtected = nullptr;

private:
  std::unique_ptr<TDynamicLibrary> m_library;
};

// The process-wide plug-in slots.
class TDecoderPlugins {
public:
  // File names under which the libraries are written into the plug-in folder.
  static constexpr const char* kWmaFileName = "vmowma.so";
  static constexpr const char* kOggFileName = "vmoogg.so";

  static TDecoderPlugins& Instance();

  // Done once per process (later calls return at once until Shutdown): the
  // packed files named by the project's "opt_wmapath" and "opt_oggpath"
  // (nothing when empty or missing from the package) are written to the
  // plug-in folder and loaded. A library that cannot be written, loaded or
  // lacks a function logs "WMA INITIALIZE FAILED" / "OGG INITIALIZE FAILED".
  void Install(const std::string& wmaEntry, const std::string& oggEntry, const TOpenStreamFunc& open);

  // The library of a plug-in kind (Wma, Ogg, Ape, Aac), or nullptr.
  std::shared_ptr<TDecoderLibrary> Library(TMediaKind kind) const;
  // Puts a library into a slot directly (nullptr empties it).
  void SetLibrary(TMediaKind kind, std::shared_ptr<TDecoderLibrary> library);

  // Frees the libraries and deletes the plug-in folder (a failure logs
  // "+++++++++++++++++++ Delete Forlder ERROR: " and the folder); a later
  // Install works again. Converters still holding a library keep it loaded.
  void Shutdown();

  // The folder the libraries were written to, "" before the first one.
  std::string Folder() const;

private:
  TDecoderPlugins() = default;
  ~TDecoderPlugins();
  static int SlotOf(TMediaKind kind);
  // Writes one packed library into the folder and loads it; nullptr on
  // failure (logged with `failure`).
  std::shared_ptr<TDecoderLibrary> InstallOne(const std::string& entry, const char* fileName,
                                              const TOpenStreamFunc& open, const char* failure);

  mutable std::mutex m_lock;
  bool m_installed = false;
  std::string m_folder;
  std::shared_ptr<TDecoderLibrary> m_slots[4];
};

// Asks the plug-ins in order (".ape"/".mac" APE, ".ogg" OGG, ".wma" WMA,
// ".aac" AAC), each only when its library is loaded, for the information of
// the stream; true when one answers (length, data offset and format filled,
// kind set).
bool QueryPluginMediaInfo(TStream& stream, const std::string& name, TMediaInfo& info);

} // namespace qx
