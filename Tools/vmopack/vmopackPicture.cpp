// vmopack picture SHOW NAME [--level N] -o OUT.png: decodes one picture of a
// show (a packed entry, a FileMap alias, or a disk file named with
// "LoadFromDisk:") through the player's picture loaders, or makes the
// picture a synthetic name stands for ("Text: ...", "Shadow: ...") through
// the slide host, and writes the mip level asked for as PNG. An animated GIF
// gives its whole strip, and its animation tag is printed.
#include "Tools/vmopack/vmopackCommand.h"
#include "Tools/vmopack/vmopackPictureLibrary.h"

#include "QxLib/Graphics/qxImage.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/VmoClasses/qxVmoSlideHost.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <png.h>

#include <cstdio>

namespace qx::vmopack {

namespace {

void WritePng(const TBitmap& bitmap, const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(bitmap.Width());
  image.height = static_cast<png_uint_32>(bitmap.Height());
  image.format = bitmap.Format() == TPixelFormat::Bgra32 ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  const int written = png_image_write_to_file(&image, path.c_str(), 0, bitmap.Bits(),
                                              static_cast<png_int_32>(bitmap.Stride()), nullptr);
  if (!written) {
    const std::string reason = image.message;
    png_image_free(&image);
    throw EQxError("Cannot write \"" + path + "\": " + reason);
  }
}

int ParseLevel(const std::optional<std::string>& text) {
  if (!text)
    return 0;
  try {
    size_t used = 0;
    const int level = std::stoi(*text, &used);
    if (used == text->size() && level >= 0 && level < 32)
      return level;
  } catch (const std::exception&) {
  }
  throw EUsageError("--level takes a number from 0 to 31");
}

void PrintTiles(const TTilesTag& tag) {
  std::printf("tiles: %d x %d\n", tag.TileWidth, tag.TileHeight);
  std::printf("frames: %d\n", tag.FrameCount);
  std::printf("delays: %s\n", tag.Delays.c_str());
  std::printf("total: %lld ms\n", static_cast<long long>(tag.TotalDuration));
  std::printf("average: %.2f ms\n", tag.AverageDelay);
  std::printf("loop count: %d\n", tag.LoopCount);
}

// Keeps the last line logged, so that a picture the host cannot make can
// say why.
class TLastLineLog : public TLog {
public:
  std::string Last;

protected:
  void WriteText(std::string_view line) override { Last = std::string(line); }
};

// The picture as the player's slides get it: a stored picture, else the one
// the slide host makes for a synthetic name. The host and the show stay
// open while the picture is drawn, since synthetic pictures are made when
// their pixels are first asked for.
struct TShowPicture {
  std::unique_ptr<TVmoShowLocator> Locator;
  std::unique_ptr<TVmoSlideHost> Host;
  TRefPtr<TBitmapStore> Picture;
};

TShowPicture OpenShowPicture(const std::string& show, const std::string& name) {
  TShowPicture result;
  result.Locator = OpenShowOrFail(show);
  if (result.Locator->Accessor().OpenStream(name)) {
    result.Picture = OpenPackagePicture(show, name).StoreRef();
    return result;
  }
  PictureLoaders();
  auto log = std::make_unique<TLastLineLog>();
  const TLastLineLog& lines = *log;
  InstallLog(std::move(log));
  result.Host = std::make_unique<TVmoSlideHost>(result.Locator->Accessor(), TSlideHostCallbacks{});
  result.Picture = result.Host->OpenSyntheticPicture(name);
  if (!result.Picture)
    throw EQxError("Picture \"" + name + "\" not found" + (lines.Last.empty() ? "" : ": " + lines.Last));
  return result;
}

} // namespace

int RunPicture(const TCommandArgs& arguments) {
  TCommandArgs args = arguments;
  const std::optional<std::string> out = TakeOption(args, "-o");
  const int level = ParseLevel(TakeOption(args, "--level"));
  if (!out)
    throw EUsageError("-o OUT.png is required");
  ExpectPositional(args, 2);
  const std::string& name = args[1];

  const TShowPicture picture = OpenShowPicture(args[0], name);

  TBitmapStore& store = *picture.Picture;
  const TPixelFormat format = HasAlpha(store.PixelFormat()) ? TPixelFormat::Bgra32 : TPixelFormat::Bgr24;
  const std::shared_ptr<const TBitmap> bitmap = store.GetMipLevel(level, format);
  WritePng(*bitmap, *out);
  std::printf("%s: %s, %d x %d, %s, level %d: %d x %d\n", name.c_str(), store.ClassName(), store.Width(),
              store.Height(), PixelFormatName(store.PixelFormat()), level, bitmap->Width(), bitmap->Height());
  if (const TTilesTag* tiles = store.Tags().Find<TTilesTag>())
    PrintTiles(*tiles);
  return 0;
}

} // namespace qx::vmopack
