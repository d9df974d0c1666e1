// The player executable. Until the engine and the music are built it runs
// shows headless: "-render DIR" writes a frame sequence, "-render-at
// T1,T2,... DIR" single frames, each a PNG of the drawn show.
#include "QxLib/Music/qxFFMpegConverter.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DBasics/GL/qx3DEngineGL.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/VmoViewer/qxVmoRenderer.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"
#include "VmoLib2/VmoViewer/qxVmoRendererProgress.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"
#include "VmoLib2/VmoViewer/qxVmoVideoLibrary.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <exception>
#include <string>
#include <unistd.h>

namespace {

using namespace qx;

constexpr int kExitOk = 0;
constexpr int kExitShowError = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: vmoviewer -exename SHOW (-render DIR | -render-at T1,T2,... DIR)\n"
    "                 [-fps 25] [-from MS] [-to MS] [-size 1920x1080] [-cover]\n"
    "       SHOW is a show executable, a .VmShow package or a project file\n"
    "       (-filename PROJECT opens a project file).\n";

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
    std::fprintf(stderr, "vmoviewer: %s\n%s", error.what(), kUsage);
    return kExitUsage;
  }
  options.Progress = isatty(STDERR_FILENO) != 0;

  std::string message;
  std::unique_ptr<TVmoShowLocator> show = OpenShowToRender(options.ShowPath, options.ProjectMode, message);
  if (!show) {
    ReportShowError(message);
    return kExitShowError;
  }
  // The show's own video library, else the one beside the player.
  LocateVideoLibrary(show->Accessor(), ProgramPath());
  InstallFFMpegAudio();
  T3DEngineGL::Instance().SetForceHeadless(true);
  TDrawDevice device({0, 0, options.Width, options.Height});
  // The drawer reads custom transitions from the show's package.
  const TFileAccessor* accessor = &show->Accessor();
  TVmoDrawController controller(device, [accessor] {
    auto drawer = std::make_unique<T3DDrawer>(T3DEngineGL::Instance());
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
