#include "Vmo/VmoViewer/VmoViewerWindow.h"

#include "QxLib/Application2/qxApplication.h"
#include "QxLib/Music/Backends/qxSoundDevices.h"
#include "QxLib/Music/qxFFMpegConverter.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/Backends/qxWindowSystems.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoEngineMusic.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoVideoLibrary.h"
#include "Vmo/VmoViewer/MainUnit.h"
#include "Vmo/VmoViewer/qxVmoWindowHost.h"
#if VMO_HAVE_GTK
#include "Vmo/VmoViewer/Gtk/qxVmoGtkDialogs.h"
#endif

#include <cstdio>
#include <exception>
#include <memory>

namespace qx {

namespace {

constexpr int kExitNoWindow = 1;

} // namespace

int PlayInWindow() {
  const TCommandsStorage& commands = CommandLine();
  std::string error;
  const std::unique_ptr<TWindowSystem> windows =
      CreateWindowSystem(RequestedBackend(commands.CommandItem(kWindowSystemCommand, 0), kWindowSystemVariable), error);
  if (!windows) {
    std::fprintf(stderr, "vmoviewer: no window system: %s\n", error.c_str());
    return kExitNoWindow;
  }
  const int depth = windows->BitsPerPixel(0);
  if (depth > 0 && depth <= kMinRefusedDepth) {
    if (!windows->ShowMessage(kSlideshowErrorCaption, kColourDepthMessage, nullptr))
      std::fprintf(stderr, "%s\n%s\n", kSlideshowErrorCaption, kColourDepthMessage);
    return kExitNoWindow;
  }
  InstallLogFromCommandLine();
  // Sound of kinds only the video-decoding library reads.
  InstallFFMpegAudio();

  const std::unique_ptr<T3DEngine> engine = Create3DEngine(
      RequestedBackend(commands.CommandItem(kEngineCommand, 0), kEngineVariable), &windows->Displays(), error);
  if (!engine) {
    std::fprintf(stderr, "vmoviewer: %s\n", error.c_str());
    return kExitNoWindow;
  }
  // Without a sound device the show still plays, on the system clock.
  std::unique_ptr<TWaveOutDevice> sound =
      CreateWaveOutDevice(RequestedSoundDevice(commands.CommandItem(kAudioCommand, 0)), {}, error);
  if (!sound)
    Log().WriteLine("vmoviewer: no sound device: " + error);

  TApplication application;
  TVmoViewerSetup setup;
  setup.Application = &application;
  setup.MakeDrawer = [&engine] { return std::make_unique<T3DDrawer>(*engine); };
  setup.MakeMusic = MakeMusicFactory(sound.get());
  setup.Cover = commands.HasCommand("cover");
#if VMO_HAVE_GTK
  TGtkDialogs dialogs;
  TVmoWindowHost host(*windows, setup, &dialogs, &dialogs);
#else
  TVmoWindowHost host(*windows, setup, nullptr, nullptr);
#endif
  TMainFormOptions options;
  options.Commands = &commands;
  options.ProgramPath = ProgramPath();
  options.LocateVideoLibrary = [](TFileAccessor& accessor) { LocateVideoLibrary(accessor, ProgramPath()); };
  int exitCode = 0;
  {
    TMainForm form(host, options);
    // A failure while the window is made ends the program quietly.
    try {
      if (form.Create())
        host.Run(form);
    } catch (const std::exception& failure) {
      Log().WriteLine(std::string("vmoviewer: ") + failure.what());
    }
    exitCode = form.ExitCode();
  }
  Log().StopBanner();
  InstallLog(nullptr);
  return exitCode;
}

} // namespace qx
