// vmopack shadow SHOW "Shadow: ..." -o OUT.png: produces the shadow picture
// that a synthetic shadow name stands for, taking its source picture from
// the show, and writes it as PNG.
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/Graphics/qxImage.h"
#include "QxLib/Graphics/qxPngWriter.h"
#include "VmoLib2/qxShadowNames.h"

#include <cstdio>

namespace qx::vmopack {

namespace {

// Opens a picture of the show the way the player does: through the show's
// accessor and the loader registry, turned upright by the source's hook.
TRefPtr<TBitmapStore> OpenShowPicture(TFileAccessor& accessor, const std::string& name) {
  std::unique_ptr<TStream> stream = accessor.OpenStream(name);
  if (!stream)
    return {};
  std::optional<TImage> image = OpenPicture(std::move(stream), name);
  if (!image)
    throw EQxError("Picture \"" + name + "\" cannot be decoded");
  image->SetOrientation(accessor.Source().PictureOrientation(name));
  return image->StoreRef();
}

} // namespace

int RunShadow(const TCommandArgs& arguments) {
  TCommandArgs args = arguments;
  const std::optional<std::string> output = TakeOption(args, "-o");
  if (!output)
    throw EUsageError("-o OUT.png is required");
  ExpectPositional(args, 2);
  const std::string& name = args[1];
  if (!IsShadowName(name))
    throw EUsageError("the picture name must begin with \"Shadow: \"");

  const std::unique_ptr<TVmoShowLocator> locator = OpenShowOrFail(args[0]);
  TFileAccessor& accessor = locator->Accessor();
  const TBitmap picture =
      ProduceShadowPicture(name, [&accessor](const std::string& source) { return OpenShowPicture(accessor, source); });
  WritePngFile(picture, *output);
  std::printf("%d x %d\n", picture.Width(), picture.Height());
  return 0;
}

} // namespace qx::vmopack
