// Fuzz target of the navigation bar definition files, classic and
// video-style: any bytes are the definition the project names. The panel is
// built or refused with an EQxError (never an assertion); a built panel has
// a picture of its rectangle's size within the bar limits, and takes frames,
// volume changes and a press, drag and release on each of a few places
// without failing. Pictures whose name ends in ".bmp" exist (small, with
// alpha); any other name is missing.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "VmoLib2/NavPanel/qxNavPanel.h"

#include <optional>
#include <string>

namespace {

using namespace qx;

std::unique_ptr<TBitmap> Picture(const std::string& name) {
  if (!name.ends_with(".bmp"))
    return nullptr;
  // The size follows the name, so that different pictures differ.
  const int width = 4 + static_cast<int>(name.size() % 29);
  auto picture = std::make_unique<TBitmap>(width, 12, TPixelFormat::Bgra32);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < width; ++x)
      picture->SetPixel(x, y, TBgra{static_cast<uint8_t>(x * 9), static_cast<uint8_t>(y * 20), 90,
                                    static_cast<uint8_t>(x * 40 + y)});
  return picture;
}

void Exercise(TNavPanel& panel, const T3DRect& output) {
  const T3DRect rect = panel.Rect();
  FUZZ_CHECK(rect.Width() >= 1 && rect.Height() >= 1);
  FUZZ_CHECK(rect.Width() <= TNavPanel::kMaxPanelSide && rect.Height() <= TNavPanel::kMaxPanelSide);
  FUZZ_CHECK(panel.Picture().Width() == rect.Width() && panel.Picture().Height() == rect.Height());
  for (const int64_t ms : {int64_t{-1}, int64_t{0}, int64_t{1500}, int64_t{59999}, int64_t{7200001}})
    panel.SetShowTime(ms);
  panel.SetVolume(0.25);
  const int32_t y = (rect.top + rect.bottom) / 2;
  for (int step = 0; step <= 8; ++step) {
    const int32_t x = rect.left + rect.Width() * step / 8;
    TVmoActionInfo action;
    panel.MouseEvent(TMouseEventKind::Move, x, y, action);
    panel.MouseEvent(TMouseEventKind::ButtonDown, x, y, action);
    panel.MouseEvent(TMouseEventKind::Move, x + 7, y, action);
    panel.MouseEvent(TMouseEventKind::Move, output.right + 50, y, action);
    panel.MouseEvent(TMouseEventKind::ButtonUp, x + 3, y, action);
    FUZZ_CHECK(!panel.HoldsMouse());
  }
  FUZZ_CHECK(panel.Picture().Width() == rect.Width() && panel.Picture().Height() == rect.Height());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string definition = fuzz::Bytes(data, size);
  TNavPanelHooks hooks;
  hooks.LoadPicture = Picture;
  hooks.LoadText = [&definition](const std::string&) -> std::optional<std::string> { return definition; };
  hooks.IsPlaying = [] { return true; };

  TNavPanelSettings settings;
  settings.DefinitionFile = "Skins\\Bar\\navbar.ini";
  settings.Buttons = {"home", "Backward", "forward", "pause", "print", "help", "exit", "forward", "nothing"};
  settings.ShowBackground = true;
  settings.Hue = 40;
  settings.Position = TOverlayPosition::RightBottom;
  settings.Offset = 5;
  settings.DurationMs = 3600000;
  settings.Volume = 0.5;
  settings.OutputRect = T3DRect{0, 0, 640, 360};
  // Once scaled with the video and once by the bar's own default scale.
  for (const bool videoScale : {true, false}) {
    settings.UseVideoScale = videoScale;
    std::unique_ptr<TNavPanel> panel;
    if (FUZZ_RESULT_OR_ERROR(panel = std::make_unique<TNavPanel>(settings, hooks)))
      Exercise(*panel, settings.OutputRect);
  }
  return 0;
}
