// The player executable. Until the engine and the music are built it runs
// shows headless: "-render DIR" writes a frame sequence, "-render-at
// T1,T2,... DIR" single frames, each a PNG of the drawn show.
#include "QxLib/qxBackendChoice.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxProcess.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/VmoViewer/qxVmoRenderer.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"
#include "VmoLib2/VmoViewer/qxVmoRendererProgress.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <exception>
#include <string>

namespace {

using namespace qx;

constexpr int kExitOk = 0;
constexpr int kExitShowError = 1;
constexpr int kExitUsage = 2;

std::string Usage() {
  return "usage: vmoviewer -exename SHOW (-render DIR | -render-at T1,T2,... DIR)\n"
         "                 [-fps 25] [-from MS] [-to MS] [-size 1920x1080] [-cover]\n"
         "                 [-engine " +
         EngineNames() +
         "]\n"
         "       SHOW is a show executable, a .VmShow package or a project file\n"
         "       (-filename PROJECT opens a project file). Without -engine the\n"
         "       environment variable VMO_ENGINE names the engine, else the first\n"
         "       available one draws.\n";
}

// The player shows its error texts in a box; here they go to standard
// error, the caption first, the line breaks of the text as real ones.
void ReportShowError(const std::string& message) {
  std::string text = message;
  std::replace(text.begin(), text.end(), '\r', '\n');
  std::fprintf(stderr, "%s\n%s\n", kSlideshowErrorCaption, text.c_str());
}

int Run(int argc, char** argv) {
  InitCommandLine(argc, argv);
  TRenderOptions options;
  try {
    options = ReadRenderOptions(CommandLine());
  } catch (const EQxError& error) {
    std::fprintf(stderr, "vmoviewer: %s\n%s", error.what(), Usage().c_str());
    return kExitUsage;
  }
  // The engine is chosen once, at start-up; the frames are drawn
  // off-screen, so the engine gets no displays.
  std::string engineError;
  const std::unique_ptr<T3DEngine> engine =
      Create3DEngine(RequestedBackend(CommandLine().CommandItem(kEngineCommand, 0), kEngineVariable), nullptr,
                     engineError);
  if (!engine) {
    std::fprintf(stderr, "vmoviewer: %s\n%s", engineError.c_str(), Usage().c_str());
    return kExitUsage;
  }
  options.Progress = StandardErrorIsTerminal();

  std::string message;
  std::unique_ptr<TVmoShowLocator> show = OpenShowToRender(options.ShowPath, options.ProjectMode, message);
  if (!show) {
    ReportShowError(message);
    return kExitShowError;
  }
  TDrawDevice device({0, 0, options.Width, options.Height});
  // The drawer reads custom transitions from the show's package.
  const TFileAccessor* accessor = &show->Accessor();
  TVmoDrawController controller(device, [accessor, &engine = *engine] {
    auto drawer = std::make_unique<T3DDrawer>(engine);
    drawer->SetFileAccessor(accessor);
    return drawer;
  });
  // A project whose time line or geometry is unusable cannot be shown.
  std::unique_ptr<TVmoRenderer> renderer;
  try {
    renderer = std::make_unique<TVmoRenderer>(show->Source(), controller, options.Cover);
  } catch (const std::exception& error) {
    ReportShowError(error.what());
    return kExitShowError;
  }
  const int64_t written = RenderFrames(options, *renderer, stderr);
  std::printf("%lld frame(s) written to %s\n", static_cast<long long>(written), options.OutputFolder.c_str());
  return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vmoviewer: %s\n", error.what());
    return kExitShowError;
  }
}
