// vmopack draw SHOW NAME -o OUT.png [--size WxH] [--angle-x/y/z DEG]
// [--scale PCT] [--opacity PCT] [--feather] [--mip N] [--engine NAME]:
// places one picture of a show centred on a headless screen through the
// player's drawer, turned by the angles (degrees, about the picture's
// centre, x then y then z) and scaled, and writes the frame as PNG, so that
// a person can look at what the drawer makes. The engine is the one named
// (or by VMO_ENGINE), else the first available that draws.
#include "Tools/vmopack/vmopackCommand.h"
#include "Tools/vmopack/vmopackPictureLibrary.h"

#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/Graphics/qxImage.h"
#include "QxLib/Graphics/qxPngWriter.h"
#include "QxLib/qxBackendChoice.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace qx::vmopack {

namespace {

constexpr int kMaxSide = 8192;

double ParseNumber(const std::optional<std::string>& text, const char* option, double fallback, double low,
                   double high) {
  if (!text)
    return fallback;
  try {
    size_t used = 0;
    const double value = std::stod(*text, &used);
    if (used == text->size() && value >= low && value <= high)
      return value;
  } catch (const std::exception&) {
  }
  char message[160];
  std::snprintf(message, sizeof message, "%s takes a number from %g to %g", option, low, high);
  throw EUsageError(message);
}

void ParseSize(const std::optional<std::string>& text, int& width, int& height) {
  if (!text)
    return;
  if (!ParseFrameSize(*text, width, height, kMaxSide))
    throw EUsageError("--size takes WxH, each from 1 to 8192");
}

T3DPoint Rotate(const T3DPoint& p, double ax, double ay, double az) {
  const double cx = std::cos(ax), sx = std::sin(ax);
  const double cy = std::cos(ay), sy = std::sin(ay);
  const double cz = std::cos(az), sz = std::sin(az);
  const T3DPoint x{p.x, p.y * cx - p.z * sx, p.y * sx + p.z * cx};
  const T3DPoint y{x.x * cy + x.z * sy, x.y, -x.x * sy + x.z * cy};
  return {y.x * cz - y.y * sz, y.x * sz + y.y * cz, y.z};
}

// The picture's quad of width x height centred at `centre`, turned about
// its centre.
TPlacement TurnedQuad(const T3DPoint& centre, double width, double height, double ax, double ay, double az) {
  TPlacement placement;
  placement.u = Rotate({width, 0, 0}, ax, ay, az);
  placement.v = Rotate({0, height, 0}, ax, ay, az);
  placement.origin = centre - placement.u * 0.5 - placement.v * 0.5;
  return placement;
}

class TPictureItem final : public TDrawItem {
public:
  TPictureItem(TPictureSource picture, TPlacement placement, TPictureDrawParams params)
      : m_picture(std::move(picture)), m_placement(placement), m_params(params) {}
  void Draw(TDeviceDrawer& drawer) override {
    drawer.ClearScreen(MakeColor(0, 0, 0), false);
    drawer.DrawPicture(m_picture, m_placement, m_params);
  }
  bool NeedsRedraw() const override { return true; }

private:
  TPictureSource m_picture;
  TPlacement m_placement;
  TPictureDrawParams m_params;
};

} // namespace

int RunDraw(const TCommandArgs& arguments) {
  TCommandArgs args = arguments;
  const std::optional<std::string> out = TakeOption(args, "-o");
  int width = 1024;
  int height = 768;
  ParseSize(TakeOption(args, "--size"), width, height);
  const double degrees = std::numbers::pi / 180;
  const double ax = ParseNumber(TakeOption(args, "--angle-x"), "--angle-x", 0, -360, 360) * degrees;
  const double ay = ParseNumber(TakeOption(args, "--angle-y"), "--angle-y", 0, -360, 360) * degrees;
  const double az = ParseNumber(TakeOption(args, "--angle-z"), "--angle-z", 0, -360, 360) * degrees;
  const double scale = ParseNumber(TakeOption(args, "--scale"), "--scale", 100, 0.1, 10000);
  TPictureDrawParams params;
  params.Opacity = static_cast<float>(ParseNumber(TakeOption(args, "--opacity"), "--opacity", 100, 0, 100));
  params.MipLevel = static_cast<int>(ParseNumber(TakeOption(args, "--mip"), "--mip", 0, 0, 31));
  params.Feathered = TakeFlag(args, "--feather");
  const std::string engineName = RequestedBackend(TakeOption(args, "--engine"), kEngineVariable);
  if (!out)
    throw EUsageError("-o OUT.png is required");
  ExpectPositional(args, 2);
  const std::string& name = args[1];

  TImage image = OpenPackagePicture(args[0], name);
  TBitmapStore& store = image.Store();

  std::string error;
  const std::unique_ptr<T3DEngine> engine = CreateDrawingEngine(engineName, nullptr, error);
  if (!engine)
    throw EQxError("Cannot draw: " + error);
  TDrawDevice device({0, 0, width, height});
  T3DDrawer drawer(*engine);
  drawer.SetDrawCallback([](TDrawPhase, TDrawItem&) {});
  drawer.SetNoPresent(true);
  drawer.Init(device);

  const double shownWidth = store.Width() * scale / 100;
  const double shownHeight = store.Height() * scale / 100;
  TPictureSource picture;
  picture.Store = &store;
  TPictureItem item(picture, TurnedQuad({width / 2.0, height / 2.0, 0}, shownWidth, shownHeight, ax, ay, az), params);
  drawer.DrawItem(item);
  TBitmap frame;
  if (!drawer.ReadBack(frame))
    throw EQxError("No headless screen to draw on");
  WritePngFile(ConvertBitmap(frame, TPixelFormat::Bgr24), *out);
  std::printf("%s: %d x %d, drawn %.1f x %.1f at level %d on %d x %d\n", name.c_str(), store.Width(), store.Height(),
              shownWidth, shownHeight, params.MipLevel, width, height);
  return 0;
}

} // namespace qx::vmopack
