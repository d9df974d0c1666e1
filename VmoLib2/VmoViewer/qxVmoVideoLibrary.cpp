#include "VmoLib2/VmoViewer/qxVmoVideoLibrary.h"

#include "QxLib/Graphics/Video/qxFFMpegDll.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxLog.h"
#include "QxLib/qxTempManager.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

#include <filesystem>

namespace qx {

namespace {

// Copies the packed library into a new temporary folder; "" on failure.
std::string UnpackLibrary(TStream& packed) {
  try {
    const std::string path = NewTempFolder(true) + std::string(kVideoLibraryFile);
    TFileStream file(path, TFileMode::Create);
    packed.SetPosition(0);
    file.LoadFrom(packed);
    return path;
  } catch (const std::exception& error) {
    Log().WriteLine(std::string("LocateVideoLibrary: ") + error.what());
    return {};
  }
}

} // namespace

std::string LocateVideoLibrary(TFileAccessor& accessor, const std::string& programPath) {
  const std::string known = TFFMpegDll::LibraryPath();
  if (!known.empty())
    return known;
  std::string path;
  std::unique_ptr<TStream> packed;
  try {
    packed = accessor.OpenStream(std::string(kPackedVideoLibrary));
  } catch (const std::exception&) {
    packed.reset();
  }
  if (packed) {
    path = UnpackLibrary(*packed);
  } else {
    namespace fs = std::filesystem;
    const fs::path beside =
        (fs::path(programPath).parent_path() / ".." / "Common" / std::string(kVideoLibraryFile)).lexically_normal();
    std::error_code error;
    if (fs::is_regular_file(beside, error))
      path = beside.string();
  }
  if (!path.empty())
    TFFMpegDll::SetLibraryPath(path);
  return path;
}

} // namespace qx
