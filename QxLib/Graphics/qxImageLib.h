// The hook for an external picture library: a shared library loaded at run
// time that exports "OpenImage", "OpenImageFile", "ReadImage" and
// "CloseImage" (see Plugins/qxPngLib/qxPngLib.h) and decodes pictures the
// player does not decode itself (PNG) into 24- or 32-bit rows.
#pragma once

#include "Plugins/qxPngLib/qxPngLib.h"
#include "QxLib/Graphics/qxImage.h"

#include <memory>
#include <string>
#include <vector>

namespace qx {

class TDynamicLibrary;

// One loaded picture library with its four functions. Unloaded when the
// last holder (the registry entry, an open store) lets go.
class TPictureLibrary {
public:
  // Loads the library file and looks up the four functions; nullptr (and
  // the library released again) when the file cannot be loaded or lacks one
  // of them. `error`, when given, receives the reason.
  static std::shared_ptr<TPictureLibrary> Load(const std::string& path, std::string* error = nullptr);
  ~TPictureLibrary();
  TPictureLibrary(const TPictureLibrary&) = delete;
  TPictureLibrary& operator=(const TPictureLibrary&) = delete;

  QxOpenImageFunc OpenImage = nullptr;
  QxOpenImageFileFunc OpenImageFile = nullptr;
  QxReadImageFunc ReadImage = nullptr;
  QxCloseImageFunc CloseImage = nullptr;

private:
  explicit TPictureLibrary(std::unique_ptr<TDynamicLibrary> code);
  std::unique_ptr<TDynamicLibrary> m_code;
};

class TImageLibSession;

// A picture opened by the library: Bgr24 or Bgra32 as the library reports,
// level 0 only. The rows are fetched with "ReadImage" at the first level-0
// request; the picture is then closed and its stream released.
class TImageLibStore : public TSysBitmapStore {
public:
  TImageLibStore(std::string fileName, std::unique_ptr<TImageLibSession> session);
  ~TImageLibStore() override;
  const char* ClassName() const override { return "TImageLibStore"; }

protected:
  std::unique_ptr<TBitmap> DecodeLevel(int level) override;

private:
  std::unique_ptr<TImageLibSession> m_session;
};

// A loader function that opens pictures through the library at
// `libraryPath`, loading it at the first picture it is asked for. When the
// library cannot be loaded the loader yields nothing (and does not try
// again).
TLoaderFunction MakePictureLibraryLoader(std::string libraryPath);

// Appends the library's loader for `extensions` to the registry.
void RegisterPictureLibrary(TImageLoaderRegistry& registry, const std::string& libraryPath,
                            const std::vector<std::string>& extensions = {".png"});

// Where the player looks for its picture library, given the player's own
// path; "" when none of the places holds it.
std::string FindPictureLibrary(const std::string& programPath);

// Start-up: registers the picture library for ".png" when FindPictureLibrary
// finds it beside the running program (ProgramPath()). Returns whether it
// was registered.
bool RegisterExternalPictureLibrary(TImageLoaderRegistry& registry = ImageLoaders());

} // namespace qx
