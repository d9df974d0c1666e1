// The player executable. "vmoviewer SHOW" (or "-exename SHOW", "-filename
// PROJECT") plays the show in a window with its music on the sound card
// (VmoViewerWindow.cpp). Headless, "-render DIR" plays the show through the
// main window, the engine, the music player and the virtual sound device on
// a virtual wall clock, with scripted input ("-input SCRIPT"), and writes
// each output frame as a PNG and the sound as audio.wav; "-render-at
// T1,T2,... DIR" draws single show times straight through the slide loader
// and the drawer.
#include "QxLib/qxBackendChoice.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxProcess.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "QxLib/Music/Backends/qxSoundDevices.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/Backends/qxWindowSystems.h"
#include "VmoLib2/VmoViewer/Virtual/qxVmoRenderSound.h"
#include "VmoLib2/VmoViewer/qxVmoEngineMusic.h"
#include "VmoLib2/VmoViewer/qxVmoRenderSession.h"
#include "VmoLib2/VmoViewer/qxVmoRenderedWindow.h"
#include "VmoLib2/VmoViewer/qxVmoRenderer.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"
#include "VmoLib2/VmoViewer/qxVmoRendererProgress.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"
#include "Vmo/VmoViewer/MainUnit.h"
#include "Vmo/VmoViewer/VmoViewerWindow.h"
#include "Vmo/VmoViewer/qxVmoHeadlessHost.h"
#include "Vmo/VmoViewer/qxVmoInputScript.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using namespace qx;

constexpr int kExitOk = 0;
constexpr int kExitShowError = 1;
constexpr int kExitUsage = 2;

// Shuffled play lists of a rendered show follow this seed, so that every run
// gives the same sound.
constexpr uint32_t kRenderMusicSeed = 1;
constexpr const char* kAudioFileName = "audio.wav";

std::string Usage() {
  return "usage: vmoviewer SHOW | -exename SHOW | -filename PROJECT\n"
         "                 [-slide N | -time MS] [-display N] [-resize] [-desktopalign] [-cover]\n"
         "                 [-filelog [FILE] | -log] [-audio " +
         SoundDeviceNames() + "] [-windows " + WindowSystemNames() +
         "]\n"
         "       vmoviewer -exename SHOW -render DIR [-fps 25] [-size 1920x1080]\n"
         "                 [-time MS | -from MS] [-to MS] [-duration MS] [-input SCRIPT] [-cover]\n"
         "       vmoviewer -exename SHOW -render-at T1,T2,... DIR [-size 1920x1080] [-cover]\n"
         "                 [-engine " +
         EngineNames() +
         "]\n"
         "       SHOW is a show executable, a .VmShow package or a project file\n"
         "       Without -render the show plays in a window with its music.\n"
         "       (-filename PROJECT opens a project file). -render plays the show\n"
         "       on a virtual clock: frame k is the screen at k x 1000 / fps ms,\n"
         "       DIR/audio.wav the sound of the frames; it ends when the show\n"
         "       ends, at -to (show time) or -duration (wall time), or when the\n"
         "       show waits for input. Without -engine the environment variable\n"
         "       VMO_ENGINE names the engine, else the first available one draws.\n";
}

// The player shows its error texts in a box; here they go to standard
// error, the caption first, the line breaks of the text as real ones.
void ReportShowError(const std::string& message) {
  std::string text = message;
  std::replace(text.begin(), text.end(), '\r', '\n');
  std::fprintf(stderr, "%s\n%s\n", kSlideshowErrorCaption, text.c_str());
}

// Single show times, drawn straight through the slide loader and the drawer.
int RenderTimes(const TRenderOptions& options, T3DEngine& engine, TVmoShowLocator& show) {
  TDrawDevice device({0, 0, options.Width, options.Height});
  // The drawer reads custom transitions from the show's package.
  const TFileAccessor* accessor = &show.Accessor();
  TVmoDrawController controller(device, [accessor, &engine] {
    auto drawer = std::make_unique<T3DDrawer>(engine);
    drawer->SetFileAccessor(accessor);
    return drawer;
  });
  // A project whose time line or geometry is unusable cannot be shown.
  std::unique_ptr<TVmoRenderer> renderer;
  try {
    renderer = std::make_unique<TVmoRenderer>(show.Source(), controller, options.Cover);
  } catch (const std::exception& error) {
    ReportShowError(error.what());
    return kExitShowError;
  }
  const int64_t written = RenderFrames(options, *renderer, stderr);
  std::printf("%lld frame(s) written to %s\n", static_cast<long long>(written), options.OutputFolder.c_str());
  return kExitOk;
}

// The show played through the main window, the engine and the music on the
// virtual wall clock, with the script's input.
int RenderSession(const TRenderOptions& options, T3DEngine& engine) {
  std::vector<TScriptEvent> events;
  if (!options.InputScript.empty()) {
    try {
      events = ReadInputScript(options.InputScript);
    } catch (const EQxError& error) {
      std::fprintf(stderr, "vmoviewer: %s\n", error.what());
      return kExitUsage;
    }
  }
  // Frames are drawn off-screen and stay in the back buffer to be read.
  TVmoViewerSetup output;
  output.MakeDrawDevice = [&options] {
    return std::make_unique<TDrawDevice>(T3DRect{0, 0, options.Width, options.Height});
  };
  output.MakeDrawer = [&engine] {
    auto drawer = std::make_unique<T3DDrawer>(engine);
    drawer->SetNoPresent(true);
    return drawer;
  };
  // A show that cannot be opened leaves no output behind.
  {
    std::string message;
    if (!OpenShowToRender(options.ShowPath, options.ProjectMode, message)) {
      ReportShowError(message);
      return kExitShowError;
    }
  }
  TRenderSession session(options, output);
  auto sound = std::make_unique<TVmoRenderSound>((std::filesystem::path(options.OutputFolder) / kAudioFileName).string());
  TWaveOutDevice& device = sound->Device();
  session.SetSound(std::move(sound), MakeMusicFactory(&device, kRenderMusicSeed));

  // The main window runs headless: its messages go to standard error, the
  // script answers its password dialog, its print dialog saves into DIR.
  TInputScript script(std::move(events));
  TVmoHeadlessHost host(session.ViewerSetup(), [&session] { return session.Driver().Now(); }, options.Width,
                        options.Height, stderr);
  host.SetPasswordSource([&script] { return script.TakePassword(); });
  host.SetPrintFolder(options.OutputFolder);
  TMainFormOptions formOptions;
  formOptions.Commands = &CommandLine();
  formOptions.ProgramPath = ProgramPath();
  formOptions.FirstPosition = options.From;
  TMainForm window(host, formOptions);
  script.SetForm(&window);
  if (!window.Create())
    return kExitShowError;
  const TRenderSession::TResult result = session.Run(window, &script, stderr);
  std::printf("%lld frame(s) and %s written to %s: %s\n", static_cast<long long>(result.Frames), kAudioFileName,
              options.OutputFolder.c_str(), std::string(RenderEndText(result.End)).c_str());
  return kExitOk;
}

int Run(int argc, char** argv) {
  InitCommandLine(argc, argv);
  // Without an output folder the show plays in a window.
  if (!CommandLine().HasCommand("render") && !CommandLine().HasCommand("render-at"))
    return PlayInWindow();
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

  if (options.Times.empty())
    return RenderSession(options, *engine);
  std::string message;
  std::unique_ptr<TVmoShowLocator> show = OpenShowToRender(options.ShowPath, options.ProjectMode, message);
  if (!show) {
    ReportShowError(message);
    return kExitShowError;
  }
  return RenderTimes(options, *engine, *show);
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
