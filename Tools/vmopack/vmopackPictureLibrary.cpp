#include "Tools/vmopack/vmopackPictureLibrary.h"

#include "QxLib/Graphics/qxImageLib.h"
#include "QxLib/qxExceptions.h"
#include "Tools/vmopack/vmopackCommand.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

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

TImage OpenPackagePicture(const std::string& show, const std::string& name) {
  const std::unique_ptr<TVmoShowLocator> locator = OpenShowOrFail(show);
  std::unique_ptr<TStream> stream = locator->Accessor().OpenStream(name);
  if (!stream)
    throw EQxError("Picture \"" + name + "\" not found");
  std::optional<TImage> image = PictureLoaders().Open(std::move(stream), name);
  if (!image)
    throw EQxError("Picture \"" + name + "\" cannot be decoded");
  image->SetOrientation(locator->Accessor().Source().PictureOrientation(name));
  return std::move(*image);
}

} // namespace qx::vmopack
