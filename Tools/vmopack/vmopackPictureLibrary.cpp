#include "Tools/vmopack/vmopackPictureLibrary.h"

#include "QxLib/Graphics/qxImageLib.h"

#include <filesystem>

namespace qx::vmopack {

namespace {

bool RegisterOnce() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::string library = error ? std::string() : FindPictureLibrary(self.string());
  if (library.empty())
    return false;
  RegisterPictureLibrary(ImageLoaders(), library);
  return true;
}

} // namespace

bool HasPictureLibrary() {
  static const bool found = RegisterOnce();
  return found;
}

const TImageLoaderRegistry& PictureLoaders() {
  HasPictureLibrary();
  return ImageLoaders();
}

} // namespace qx::vmopack
