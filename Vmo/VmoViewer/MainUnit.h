// The player's main window: it opens the show named by the command line
// (or another show an action names), places the window for the show,
// hides and shows the cursor, turns keys, mouse buttons and the wheel into
// actions and performs them (slides, pause, programs, addresses, other
// shows with their return stack, the print dialog, closing), and ends the
// program when the show ends or the user leaves.
//
// The logic is the same for every window system: it is driven by abstract
// input events (KeyDown, MouseMove, MouseButton, MouseWheel, MouseLeave,
// Poll, CloseRequest) and asks its host (TMainFormHost) for what only the
// window system or the program around it can do. A window back end (SDL)
// and the headless renderer (scripted input) each provide a host and feed
// the events. Everything here runs on the main thread.
//
// Mouse input goes to the engine first (TVmoShowViewer::Mouse): the
// overlay's dialogs and navigation panel, then the buttons on the slides,
// hit-test it there and take it before the mouse words of the project.
#pragma once

#include "QxLib/Application2/qxFormUtils.h"
#include "QxLib/qxProcess.h"
#include "VmoLib2/3DBasics/qx3DTypes.h"
#include "VmoLib2/VmoViewer/qxVmoActionInfo.h"
#include "VmoLib2/VmoViewer/qxVmoRenderedWindow.h"
#include "VmoLib2/VmoViewer/qxVmoShowViewer.h"
#include "Vmo/VmoViewer/qxVmoPasswordDialog.h"
#include "Vmo/VmoViewer/qxVmoPrintDialog.h"
#include "Vmo/VmoViewer/qxVmoPrograms.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qx {

class TBitmap;
class TCommandsStorage;
class TFileAccessor;
class TInputMappingClass;
class TVmoShowLocator;

inline constexpr const char* kDefaultCaption = "VmoViewer v5.6";
inline constexpr const char* kOptExefnEmpty = "opt_exefn - Empty";
inline constexpr const char* kNotAShowFile = "Not VmoShow Executable File or File Corrupted:\r";
inline constexpr const char* kShowNotFound = "VmoShow File not Found:\r";
inline constexpr const char* kShowVersionMismatch = "VmoShow ExeFile Version Mismatch:\r";

// What the main window needs from the window system and the program around
// it. Main thread.
class TMainFormHost : public TPasswordAsker, public TPrintDialogRunner {
public:
  enum class TCursor { Default, Hand, None };
  enum class TBorder { None, Fixed, Resizable };

  ~TMainFormHost() override = default;

  // A millisecond clock (the window's, or the renderer's virtual one).
  virtual int64_t NowMs() = 0;
  // How the viewer makes its engine: the window's draw device, the drawer,
  // the music on the sound device, the application's queue.
  virtual TVmoViewerSetup ViewerSetup() = 0;

  // The monitors' rectangles in desktop pixels, the primary one first.
  virtual std::vector<T3DRect> Monitors() = 0;
  // How far the window's frame of a border style reaches beyond the client
  // area on each side (left, top, right, bottom).
  virtual T3DRect FrameBorders(TBorder border) = 0;
  // Gives the window its outer rectangle, border and full-screen state;
  // the draw device's output becomes the client area.
  virtual void PlaceWindow(const T3DRect& outer, TBorder border, bool fullScreen) = 0;
  virtual void ShowWindow() = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetCursor(TCursor cursor) = 0;
  // A message box with an exclamation mark; "\r" in the text breaks lines.
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;

  // Programs, documents and addresses of actions.
  virtual TStartResult StartProgram(const TProgramCall& call, const std::string& fallbackFolder,
                                    std::string& error) = 0;
  virtual TStartResult OpenAddress(const std::string& address, std::string& error) = 0;
  // Runs `program` with `args` as the show's startup window and waits for
  // it while the window keeps handling its events; its exit code, or none
  // when it could not start or the wait ended otherwise.
  virtual std::optional<int> RunStartupWindow(const std::string& program, const std::vector<std::string>& args) = 0;
  // The window's handle as a number, for the startup window's command line.
  virtual int64_t WindowNumber() = 0;
  // Whether the window system accepts a screen-saver run that the command
  // line did not ask for with "/s".
  virtual bool AcceptScreenSaver() { return false; }

  // The window has closed: the message loop ends. Called once.
  virtual void Terminate() = 0;
  // The pause between stopping the engine and ending (none on a virtual
  // clock).
  virtual void SleepBeforeExit() {}
};

// What the entry point hands the window besides its host.
struct TMainFormOptions {
  // The parsed command line.
  const TCommandsStorage* Commands = nullptr;
  // The player's own file: the default show, the folder relative paths are
  // taken from, the program the startup window runs.
  std::string ProgramPath;
  // Where the first show opens when the command line gives no "-slide" or
  // "-time" (the renderer's "-from"); 0 otherwise.
  int32_t FirstPosition = 0;
  // The locator of the video-decoding library, called with each show made
  // current (it does nothing once the library is found).
  std::function<void(TFileAccessor& accessor)> LocateVideoLibrary;
};

class TMainForm : public TRenderedWindow {
public:
  // Mouse buttons are ignored this long after the window is made.
  static constexpr int64_t kMouseDeadTimeMs = 1000;
  // A wheel notch moves this far in time.
  static constexpr int32_t kWheelStepMs = 700;
  // "-time" and "-slide" values are 1-based.
  static constexpr int32_t kNoStart = -1;

  TMainForm(TMainFormHost& host, TMainFormOptions options);
  ~TMainForm() override;
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // Opens the show of the command line and starts it. False when it could
  // not (the message was shown and the window closed).
  bool Create();

  // Input events; coordinates are client pixels, shift states as in
  // qxKeyCodes.h, mouse kinds and buttons as in TMouseData.
  void KeyDown(int32_t key, uint8_t shift);
  void MouseMove(int32_t x, int32_t y, uint8_t shift);
  void MouseButton(uint8_t kind, int32_t button, int32_t x, int32_t y, uint8_t shift);
  // Notches away from the user are positive.
  void MouseWheel(int32_t notches, uint8_t shift);
  void MouseLeave();
  // Every TMouseMonitor::kPollIntervalMs.
  void Poll();
  // The window's close button, or an action that closes.
  void CloseRequest();

  // Performs an action of a key, a button, a slide or the engine.
  void Perform(const TVmoActionInfo& action);

  // TRenderedWindow
  TVmoShowViewer* Viewer() override;
  bool Closed() const override { return m_closed; }

  int ExitCode() const { return m_exitCode; }
  bool StartupMode() const { return m_startupMode; }
  const std::vector<std::string>& ReturnStack() const { return m_returnStack; }
  const std::string& ShowPath() const { return m_showPath; }
  TVmoShowLocator* CurrentShow() const { return m_show.get(); }
  const TInputMappingClass* InputMapping() const { return m_mapping.get(); }
  const TMouseMonitor& MouseMonitor() const { return m_monitor; }

  // Where the window goes for a show of width x height in `mode` (a
  // TVmoShowViewer placement mode), on `monitors` with the frame of
  // `border` around the client area: full screen fills the area; a window
  // larger than the area is scaled down to fit, keeping its proportions;
  // the window is centred. `display` is 1-based (0: the primary monitor);
  // `desktop` takes the union of the monitors.
  static T3DRect PlacementRect(int32_t width, int32_t height, int mode, const std::vector<T3DRect>& monitors,
                               const T3DRect& borders, int32_t display, bool desktop);

private:
  struct TBusy;

  bool LoadShow(const std::string& path, bool executable, int32_t startValue, bool startIsTime, bool checks,
                int32_t openAt = 0);
  bool RunStartupWindow(bool projectMode);
  void ApplyCursorOptions();
  void Place(int32_t width, int32_t height, int mode);
  void OnPosition(int32_t position, bool ended);
  void OnPicture(std::unique_ptr<TBitmap> picture);
  void UpdateCursor();
  void OnHiddenChanged(bool hidden);

  // Actions.
  double CurrentPosition() const;
  bool AtBarrier() const;
  void ContinueFromBarrier();
  void GotoSlide(const TVmoActionInfo& action);
  void RunPrograms(const std::string& text);
  void OpenAddress(const std::string& address);
  bool OpenOtherShow(const std::string& text, bool pushReturn);
  std::string ResolveShowPath(const std::string& path) const;
  bool CheckShowFile(const std::string& path);
  void Close();

  TVmoSource* Source() const;
  const TIniSection* MainSection() const;
  int32_t CommandInteger(const char* name) const;

  TMainFormHost& m_host;
  TMainFormOptions m_options;
  bool m_startupMode = false;
  std::vector<std::string> m_returnStack;
  TMouseMonitor m_monitor;
  std::unique_ptr<TVmoShowViewer> m_viewer;
  std::unique_ptr<TInputMappingClass> m_mapping;
  std::unique_ptr<TVmoShowLocator> m_show;
  bool m_wheelEnabled = true;
  bool m_projectMode = false;
  std::string m_projectPath;
  std::string m_showPath;
  std::string m_showFolder;
  std::optional<std::string> m_firstVersion;
  bool m_reachedEnd = false;
  bool m_runOnExitAllowed = false;
  bool m_closing = false;
  bool m_closed = false;
  int m_busy = 0;
  int64_t m_createdAt = 0;
  int m_exitCode = 0;
  TMainFormHost::TCursor m_cursor = TMainFormHost::TCursor::Default;
};

} // namespace qx
