// The player executable. "vmoviewer SHOW" (or "-exename SHOW", "-filename
// PROJECT") plays the show in a window with its music on the sound card
// (VmoViewerWindow.cpp). Headless, "-render DIR" plays the show through the
// main window, the engine, the music player and the virtual sound device on
// a virtual wall clock, with scripted input ("-input SCRIPT"), and writes
// each output frame as a PNG and the sound as audio.wav; "-render-at
// T1,T2,... DIR" draws single show times straight through the slide loader
// and the drawer.
#include "QxLib/Application2/qxFormUtils.h"
#include "QxLib/Music/qxFFMpegConverter.h"
#include "QxLib/qxBackendChoice.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"
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
#include "VmoLib2/VmoViewer/qxVmoVideoLibrary.h"
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
#include <vector>

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

// The main window's poll (cursor hiding) every 20 ms of the wall clock, as
// a window's timer would call it.
class TFormPoll final : public TStepDriver::TParticipant {
public:
  TFormPoll(TStepDriver& driver, TMainForm& form) : m_driver(driver), m_form(form) {
    m_driver.Attach(*this, m_driver.Now() + TMouseMonitor::kPollIntervalMs);
  }
  ~TFormPoll() override { m_driver.Detach(*this); }
  bool HasEvents() const override { return false; }
  void RunStep() override {
    m_form.Poll();
    m_driver.SetDue(*this, m_driver.Now() + TMouseMonitor::kPollIntervalMs);
  }

private:
  TStepDriver& m_driver;
  TMainForm& m_form;
};

// The command line as the main window reads it when rendering: a render is
// started from a shell, so a relative show path is the shell's, not one in
// the player's folder (as a show started from the desktop has).
void ParseWithAbsoluteShowPath(int argc, char** argv, TCommandsStorage& commands) {
  std::vector<std::string> arguments(argv, argv + argc);
  for (size_t i = 1; i + 1 < arguments.size(); ++i) {
    if (arguments[i] != "-exename" && arguments[i] != "-filename")
      continue;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(arguments[i + 1], error);
    if (!error)
      arguments[i + 1] = absolute.string();
  }
  commands.Parse(JoinCommandLine(arguments));
}

// The show played by the main window, headless, through the engine on the
// virtual wall clock; `-input` replays user input.
int RenderSession(const TRenderOptions& options, T3DEngine& engine, int argc, char** argv) {
  std::unique_ptr<TInputScript> script;
  if (!options.InputScript.empty()) {
    try {
      script = std::make_unique<TInputScript>(ReadInputScript(options.InputScript));
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
  const bool folderExisted = std::filesystem::exists(options.OutputFolder);
  TRenderSession session(options, output);
  auto sound =
      std::make_unique<TVmoRenderSound>((std::filesystem::path(options.OutputFolder) / kAudioFileName).string());
  TWaveOutDevice& device = sound->Device();
  session.SetSound(std::move(sound), MakeMusicFactory(&device, kRenderMusicSeed));

  TStepDriver& driver = session.Driver();
  TVmoHeadlessHost host(
      session.ViewerSetup(), [&driver] { return driver.Now(); }, options.Width, options.Height, stderr);
  host.SetPrintFolder(options.OutputFolder);
  if (script)
    host.SetPasswordSource([&script] { return script->TakePassword(); });
  TCommandsStorage commands;
  ParseWithAbsoluteShowPath(argc, argv, commands);
  TMainFormOptions formOptions;
  formOptions.Commands = &commands;
  formOptions.ProgramPath = ProgramPath();
  formOptions.LocateVideoLibrary = [](TFileAccessor& accessor) { LocateVideoLibrary(accessor, ProgramPath()); };
  TMainForm form(host, formOptions);
  if (script)
    script->SetForm(&form);
  if (!form.Create()) {
    // A show that does not open leaves no output behind.
    session.SetSound(nullptr, {});
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(options.OutputFolder) / kAudioFileName, ignored);
    if (!folderExisted)
      std::filesystem::remove(options.OutputFolder, ignored);
    return kExitShowError;
  }
  // "-from" starts the show where "-time" would, without its 1-based count.
  if (options.From > 0 && !commands.HasCommand("time") && !commands.HasCommand("slide"))
    form.Viewer()->Seek(options.From);
  const TFormPoll poll(driver, form);
  const TRenderSession::TResult result = session.Run(form, script.get(), stderr);
  std::printf("%lld frame(s) and %s written to %s: %s\n", static_cast<long long>(result.Frames), kAudioFileName,
              options.OutputFolder.c_str(), std::string(RenderEndText(result.End)).c_str());
  return form.ExitCode();
}

int Run(int argc, char** argv) {
  InitCommandLine(argc, argv);
  // Without an output folder the show plays in a window.
  if (!CommandLine().HasCommand("render") && !CommandLine().HasCommand("render-at"))
    return PlayInWindow();
  InstallLogFromCommandLine();
  // Sound of kinds only the video-decoding library reads.
  InstallFFMpegAudio();
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
  const std::unique_ptr<T3DEngine> engine = Create3DEngine(
      RequestedBackend(CommandLine().CommandItem(kEngineCommand, 0), kEngineVariable), nullptr, engineError);
  if (!engine) {
    std::fprintf(stderr, "vmoviewer: %s\n%s", engineError.c_str(), Usage().c_str());
    return kExitUsage;
  }
  options.Progress = StandardErrorIsTerminal();

  if (options.Times.empty())
    return RenderSession(options, *engine, argc, argv);
  std::string message;
  std::unique_ptr<TVmoShowLocator> show = OpenShowToRender(options.ShowPath, options.ProjectMode, message);
  if (!show) {
    ReportShowError(message);
    return kExitShowError;
  }
  // The show's own video library, else the one beside the player.
  LocateVideoLibrary(show->Accessor(), ProgramPath());
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
