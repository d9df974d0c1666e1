// Fuzz target of button skins: the "Button: " picture names slides ask for
// and the "btn.ini" descriptions of skin folders, composed into button
// pictures from in-memory piece pictures.
//
// Input: the first line is the picture name, the rest is the skin's
// description. Promises checked: a name parses or raises the invalid-name
// error, and composing the parsed request and parsing it again gives the
// same request; a skin is read or left unloaded (never an error escaping
// the host); a loaded skin has a height; every state composes into a
// picture of the asked width (at least 1) and the skin's height, or raises
// a clear error (a picture beyond the limits, an error text that cannot be
// laid out); the host answers no picture for a skin it could not load.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "VmoLib2/qxButtonProducer.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

using namespace qx;

// Wider buttons are not composed: the pieces are copied the same way at any
// width, and huge pictures would only slow the search down.
constexpr int64_t kButtonPixelBudget = int64_t{1} << 20;

// The piece pictures every skin may name: "a.bmp" (48 x 24, a gradient with
// varying alpha) and "b.bmp" (5 x 3, opaque grey), in any skin folder.
TRefPtr<TBitmapStore> PiecePicture(const std::string& name) {
  const bool big = name.ends_with("a.bmp");
  if (!big && !name.ends_with("b.bmp"))
    return nullptr;
  const int width = big ? 48 : 5;
  const int height = big ? 24 : 3;
  auto bitmap = std::make_unique<TBitmap>(width, height, TPixelFormat::Bgra32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap->SetPixel(x, y,
                       big ? TBgra{uint8_t(x * 5), uint8_t(y * 9), uint8_t(200 - x), uint8_t((x * 7 + y * 3) % 256)}
                           : TBgra{128, 128, 128, 255});
  return MakeRef<TWrapperBitmapStore>(name, std::move(bitmap));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = fuzz::Bytes(data, size);
  const size_t lineEnd = input.find('\n');
  const std::string name = input.substr(0, lineEnd);
  const std::string description = lineEnd == std::string::npos ? std::string() : input.substr(lineEnd + 1);

  TButtonPictureRequest request;
  if (!FUZZ_RESULT_OR_ERROR(request = ParseButtonName(name)))
    return 0;
  FUZZ_CHECK(IsButtonName(name));
  FUZZ_CHECK(ParseButtonName(ComposeButtonName(request)) == request);

  const TSkinFileOpener openFile = [&](const std::string& path) -> std::unique_ptr<TStream> {
    if (path != JoinSkinPath(request.Skin, kButtonSkinFile))
      return nullptr;
    return fuzz::MemoryStreamOf(description);
  };
  TButtonProducerHost host(openFile, PiecePicture, nullptr);
  const TButtonProducer* producer = host.Producer(request.Skin);
  FUZZ_CHECK(producer != nullptr);
  if (!producer->Loaded()) {
    FUZZ_CHECK(!host.OpenPicture(name));
    return 0;
  }
  FUZZ_CHECK(producer->SkinHeight() > 0);
  FUZZ_CHECK(std::isfinite(producer->ButtonOffset()) && std::isfinite(producer->MinWidth()));

  const int64_t width = std::max(1, request.Width);
  if (width * producer->SkinHeight() > kButtonPixelBudget)
    return 0;
  for (int state = 0; state < kButtonStateCount; ++state) {
    TBitmap picture;
    if (!FUZZ_RESULT_OR_ERROR(picture = producer->Compose(state, request.Width, request.Shift)))
      continue;
    FUZZ_CHECK(picture.Format() == TPixelFormat::Bgra32);
    FUZZ_CHECK(picture.Width() == width && picture.Height() == producer->SkinHeight());
  }
  TRefPtr<TBitmapStore> store;
  if (FUZZ_RESULT_OR_ERROR(store = host.OpenPicture(name))) {
    FUZZ_CHECK(store);
    FUZZ_CHECK(store->Width() == width && store->Height() == producer->SkinHeight());
  }
  return 0;
}
