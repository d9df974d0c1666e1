#include "Vmo/VmoViewer/MainUnit.h"

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"
#include "VmoLib2/VmoViewer/qxVmoInputMapping.h"
#include "VmoLib2/VmoViewer/qxVmoLoader2.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"
#include "VmoLib2/VmoViewer/qxVmoUnpack.h"
#include "Vmo/VmoViewer/qxVmoSlideTargets.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>

namespace qx {

namespace {

namespace fs = std::filesystem;

bool FileExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::exists(path, error);
}

// A relative path is taken from the player's folder. On Linux shows are
// named on a command line too, so a path that exists relative to the
// current folder is taken from there first.
std::string FromProgramFolder(const std::string& path, const std::string& programPath) {
  if (path.empty() || fs::path(path).is_absolute())
    return path;
  std::error_code error;
  if (fs::exists(path, error))
    return fs::absolute(path, error).lexically_normal().string();
  return (fs::path(programPath).parent_path() / path).lexically_normal().string();
}

// A show bundled as an application folder ("Show.app") keeps its package
// inside.
std::string ResolveApplicationBundle(const std::string& path) {
  if (path.size() < 4 || path.compare(path.size() - 4, 4, ".app") != 0)
    return path;
  const std::string inside = (fs::path(path) / "Contents" / "Resources" / "slideshow.dat").string();
  return FileExists(inside) ? inside : path;
}

// On Linux the player is not part of the show file, so the show may also
// be named as the first word after the program ("vmoviewer SHOW").
std::optional<std::string> PositionalShow(const TCommandsStorage& commands) {
  const TCommand* unnamed = commands.Command("");
  if (!unnamed)
    return std::nullopt;
  for (int i = 1; i < unnamed->Count(); ++i) {
    const std::string& text = unnamed->Item(i)->Text();
    if (text != "/s" && text != "/S")
      return text;
  }
  return std::nullopt;
}

} // namespace

// Input and actions are ignored while the window waits for a modal step
// (loading a show, a dialog, the startup window).
struct TMainForm::TBusy {
  explicit TBusy(TMainForm& form) : Form(form) { ++Form.m_busy; }
  ~TBusy() { --Form.m_busy; }
  TBusy(const TBusy&) = delete;
  TBusy& operator=(const TBusy&) = delete;
  TMainForm& Form;
};

TMainForm::TMainForm(TMainFormHost& host, TMainFormOptions options) : m_host(host), m_options(std::move(options)) {
  QX_ASSERT(m_options.Commands != nullptr, "TMainForm: no command line");
}

TMainForm::~TMainForm() {
  if (m_viewer)
    m_viewer->Stop();
  m_viewer.reset();
}

int32_t TMainForm::CommandInteger(const char* name) const {
  return m_options.Commands->CommandItemAsInteger(name, 0, 0);
}

TVmoSource* TMainForm::Source() const {
  if (!m_show)
    return nullptr;
  try {
    return &m_show->Source();
  } catch (const std::exception&) {
    return nullptr;
  }
}

const TIniSection* TMainForm::MainSection() const {
  return m_show && m_show->ProjectStorage() ? m_show->ProjectStorage()->FindSection("main") : nullptr;
}

TVmoShowViewer* TMainForm::Viewer() { return m_closed ? nullptr : m_viewer.get(); }

bool TMainForm::Create() {
  const TCommandsStorage& commands = *m_options.Commands;
  m_startupMode = commands.HasToken("-startup");
  m_monitor.SetCallbacks({[this] { UpdateCursor(); },
                          [this] {
                            if (m_viewer)
                              m_viewer->Mouse(mkMove, kMouseFarAway, kMouseFarAway, 0, mbNone, nullptr);
                          },
                          [this](bool hidden) { OnHiddenChanged(hidden); }, [this] { UpdateCursor(); }});
  m_viewer = std::make_unique<TVmoShowViewer>(m_host.ViewerSetup());
  m_viewer->SetActionsEnabled(true);
  TVmoShowViewer::TCallbacks callbacks;
  callbacks.FirstFrame = [this] { m_host.ShowWindow(); };
  callbacks.Position = [this](int32_t position, bool ended) { OnPosition(position, ended); };
  callbacks.Action = [this](const TVmoActionInfo& action) { Perform(action); };
  callbacks.Picture = [this](std::unique_ptr<TBitmap> picture) { OnPicture(std::move(picture)); };
  callbacks.Placement = [this](int32_t width, int32_t height, int mode) { Place(width, height, mode); };
  m_viewer->SetCallbacks(std::move(callbacks));

  m_projectMode = commands.HasCommand("filename");
  std::string path;
  if (m_projectMode)
    path = commands.CommandItem("filename", 0).value_or("");
  else
    path = commands.CommandItem("exename", 0).value_or(PositionalShow(commands).value_or(m_options.ProgramPath));
  path = FromProgramFolder(path, m_options.ProgramPath);

  int32_t start = kNoStart;
  bool startIsTime = false;
  if (const int32_t slide = CommandInteger("slide"); slide > 0) {
    start = slide - 1;
  } else if (const int32_t time = CommandInteger("time"); time > 0) {
    start = time - 1;
    startIsTime = true;
  }

  m_createdAt = m_host.NowMs();
  if (!LoadShow(path, !m_projectMode, start, startIsTime, true, m_options.FirstPosition)) {
    Close();
    return false;
  }
  m_firstVersion = m_show->Version();
  m_viewer->SetPaused(false);
  return true;
}

bool TMainForm::LoadShow(const std::string& path, bool executable, int32_t startValue, bool startIsTime, bool checks,
                         int32_t openAt) {
  const TBusy busy(*this);
  const bool wasPaused = m_viewer->Paused();
  m_viewer->SetPaused(true);
  const auto fail = [&] {
    m_viewer->SetPaused(wasPaused);
    return false;
  };

  // Executable mode opens a show executable or its package (or, as the last
  // resort, a loose project in a file without a package); project mode a
  // project file. On Linux the path keeps its own separators.
  const std::string openPath = executable ? ResolveApplicationBundle(path) : path;
  std::string message;
  std::unique_ptr<TVmoShowLocator> show = OpenShowToRender(openPath, !executable, message);
  if (!show) {
    m_host.ShowMessage(kSlideshowErrorCaption, message);
    return fail();
  }
  try {
    show->Source();
  } catch (const std::exception& error) {
    m_host.ShowMessage(kSlideshowErrorCaption, error.what());
    return fail();
  }
  const TIniSection* main = show->ProjectStorage()->FindSection("main");

  if (checks) {
    if (ShowUsesPassword(main) && !TVmoPasswordDialog(main).Check(m_host))
      return fail();
    if (!m_startupMode && main && main->ReadBool("stw_show", false) && !RunStartupWindow(!executable))
      return fail();
  }

  m_show = std::move(show);
  m_mapping = std::make_unique<TInputMappingClass>(*m_show->ProjectStorage());
  m_wheelEnabled = !(main && main->ReadBool("opt_lockwheel", false));
  m_host.SetCaption(main ? main->ReadString("opt_scr_caption", kDefaultCaption) : kDefaultCaption);
  ApplyCursorOptions();
  if (m_options.LocateVideoLibrary)
    m_options.LocateVideoLibrary(m_show->Accessor());

  if (m_show->Source().ScreenSaver()) {
    const TCommandsStorage& commands = *m_options.Commands;
    if (!(m_host.AcceptScreenSaver() || commands.HasToken("/s") || commands.HasToken("/S")))
      return fail();
  }

  try {
    m_viewer->Open(m_show->Accessor(), *m_show->ProjectStorage(), std::max(openAt, 0));
  } catch (const std::exception& error) {
    m_host.ShowMessage(kSlideshowErrorCaption, error.what());
    return fail();
  }
  if (startValue >= 0 && (startIsTime || startValue > 0))
    m_viewer->Seek(startIsTime ? startValue : SlideStartTime(m_show->Source(), startValue));

  m_viewer->SetPaused(wasPaused);
  m_projectPath = executable ? std::string() : path;
  m_showPath = path;
  m_showFolder = FolderOf(path);
  if (main && main->FindKey("opt_exefn")) {
    const std::string exefn = main->ReadString("opt_exefn", "");
    if (!executable) {
      SetReplacePair({exefn, path});
      if (!exefn.empty())
        m_showPath = exefn;
    } else if (exefn.empty()) {
      m_host.ShowMessage(kSlideshowErrorCaption, kOptExefnEmpty);
    }
  }
  Log().WriteLine("TMainForm.LoadShow: " + path);
  return true;
}

bool TMainForm::RunStartupWindow(bool projectMode) {
  const TBusy busy(*this);
  std::vector<std::string> args{projectMode ? "-filename" : "-exename", m_showPath.empty() ? m_projectPath : m_showPath,
                                "-startup"};
  // The path of the show being loaded is not remembered yet: the command
  // line's path is what the startup window opens.
  const TCommandsStorage& commands = *m_options.Commands;
  args[1] = projectMode ? commands.CommandItem("filename", 0).value_or(args[1])
                        : commands.CommandItem("exename", 0).value_or(m_options.ProgramPath);
  args[1] = FromProgramFolder(args[1], m_options.ProgramPath);
  if (const std::optional<std::string> display = commands.CommandItem("display", 0)) {
    args.push_back("-display");
    args.push_back(*display);
  }
  args.push_back("-ownerwnd");
  args.push_back(std::to_string(m_host.WindowNumber()));
  const std::optional<int> exitCode = m_host.RunStartupWindow(m_options.ProgramPath, args);
  return exitCode && *exitCode == 1;
}

void TMainForm::ApplyCursorOptions() {
  const TIniSection* main = MainSection();
  const int32_t mode = main ? main->ReadInteger("opt_hidecursor", 0) : 0;
  const int64_t now = m_host.NowMs();
  if (mode == 1) {
    m_monitor.SetHideInterval(0);
    m_monitor.SetHidden(true, now);
  } else if (mode == 2) {
    m_monitor.SetHideInterval(main->ReadInteger("opt_hc2_hideinterval", 0) * 1000);
    m_monitor.SetHidden(main->ReadBool("opt_hc2_hideonstartup", false), now);
  } else {
    m_monitor.SetHideInterval(0);
    m_monitor.SetHidden(false, now);
  }
}

T3DRect TMainForm::PlacementRect(int32_t width, int32_t height, int mode, const std::vector<T3DRect>& monitors,
                                 const T3DRect& borders, int32_t display, bool desktop) {
  T3DRect area{0, 0, std::max(width, 1), std::max(height, 1)};
  if (!monitors.empty()) {
    area = monitors.front();
    if (desktop) {
      for (const T3DRect& monitor : monitors) {
        area.left = std::min(area.left, monitor.left);
        area.top = std::min(area.top, monitor.top);
        area.right = std::max(area.right, monitor.right);
        area.bottom = std::max(area.bottom, monitor.bottom);
      }
    } else if (display >= 1 && display <= static_cast<int32_t>(monitors.size())) {
      area = monitors[static_cast<size_t>(display - 1)];
    }
  }
  if (mode == TVmoShowViewer::kFullScreen)
    return area;
  int64_t w = int64_t(std::max(width, 1)) + borders.left + borders.right;
  int64_t h = int64_t(std::max(height, 1)) + borders.top + borders.bottom;
  const int64_t areaW = std::max(area.Width(), 1);
  const int64_t areaH = std::max(area.Height(), 1);
  if (w > areaW || h > areaH) {
    const double scale = std::min(double(areaW) / double(w), double(areaH) / double(h));
    w = std::max<int64_t>(1, std::llround(double(w) * scale));
    h = std::max<int64_t>(1, std::llround(double(h) * scale));
  }
  const int32_t left = area.left + static_cast<int32_t>((areaW - w) / 2);
  const int32_t top = area.top + static_cast<int32_t>((areaH - h) / 2);
  return {left, top, left + static_cast<int32_t>(w), top + static_cast<int32_t>(h)};
}

void TMainForm::Place(int32_t width, int32_t height, int mode) {
  const TCommandsStorage& commands = *m_options.Commands;
  TMainFormHost::TBorder border = TMainFormHost::TBorder::None;
  if (mode == TVmoShowViewer::kFramedWindow)
    border = commands.HasCommand("resize") ? TMainFormHost::TBorder::Resizable : TMainFormHost::TBorder::Fixed;
  const T3DRect borders = border == TMainFormHost::TBorder::None ? T3DRect{} : m_host.FrameBorders(border);
  const T3DRect rect = PlacementRect(width, height, mode, m_host.Monitors(), borders, CommandInteger("display"),
                                     commands.HasCommand("desktopalign"));
  m_host.PlaceWindow(rect, border, mode == TVmoShowViewer::kFullScreen);
}

void TMainForm::OnPosition(int32_t, bool ended) {
  if (!ended || m_closing)
    return;
  const TVmoSource* source = Source();
  if (!source || source->EndMode() != TEndMode::Close)
    return;
  m_reachedEnd = true;
  m_runOnExitAllowed = true;
  CloseRequest();
}

void TMainForm::UpdateCursor() {
  if (!m_viewer || m_monitor.Hidden())
    return;
  const TVmoEngineState state = m_viewer->EngineState();
  const TMainFormHost::TCursor cursor = state.OverActiveObject && state.HitClassName != "TVmoButton"
                                            ? TMainFormHost::TCursor::Hand
                                            : TMainFormHost::TCursor::Default;
  if (cursor == m_cursor)
    return;
  m_cursor = cursor;
  m_host.SetCursor(cursor);
}

void TMainForm::OnHiddenChanged(bool hidden) {
  if (!hidden) {
    m_cursor = TMainFormHost::TCursor::None;
    UpdateCursor();
    return;
  }
  // Over the navigation panel the cursor stays.
  if (m_viewer && m_viewer->EngineState().HitClassName == "NavPanel") {
    m_monitor.SetHidden(false, m_host.NowMs());
    return;
  }
  m_cursor = TMainFormHost::TCursor::None;
  m_host.SetCursor(m_cursor);
}

void TMainForm::Poll() {
  if (m_closed)
    return;
  if (m_monitor.Inside())
    m_monitor.Poll(m_host.NowMs());
}

void TMainForm::KeyDown(int32_t key, uint8_t shift) {
  if (m_busy > 0 || m_closed || !m_mapping)
    return;
  if (m_startupMode && key == vkReturn) {
    Perform({akCloseDialog, 0, {}});
    return;
  }
  if (m_viewer && m_viewer->EngineState().ShowsDialog) {
    if (key == vkEscape) {
      m_viewer->CloseDialog();
      return;
    }
    if (key != vkF1)
      return;
  }
  if (const TKeyMap* binding = m_mapping->KeyAction(shift, key, kKeyPressed)) {
    if (binding->Action.Kind == akHelp)
      m_viewer->Help();
    else
      Perform(binding->Action);
    return;
  }
  if (m_mapping->ContinuesFromBarrier(key) && AtBarrier())
    ContinueFromBarrier();
}

void TMainForm::MouseMove(int32_t x, int32_t y, uint8_t shift) {
  if (m_closed)
    return;
  const int64_t now = m_host.NowMs();
  m_monitor.MouseMove(x, y, now);
  if (!m_viewer)
    return;
  m_viewer->Mouse(mkMove, x, y, shift, mbNone, nullptr);
  if (m_busy > 0 || !m_mapping || now - m_createdAt < kMouseDeadTimeMs)
    return;
  const TVmoActionInfo action = m_mapping->MouseAction(false, x, mkMove, mbNone, y, now);
  if (!action.IsNone())
    Perform(action);
}

void TMainForm::MouseButton(uint8_t kind, int32_t button, int32_t x, int32_t y, uint8_t shift) {
  if (m_busy > 0 || m_closed || !m_viewer || !m_mapping)
    return;
  const int64_t now = m_host.NowMs();
  if (now - m_createdAt < kMouseDeadTimeMs)
    return;
  UpdateCursor();
  if (kind == mkButtonUp) {
    m_viewer->Mouse(kind, x, y, shift, button, nullptr);
    return;
  }
  const TVmoActionInfo action = m_mapping->MouseAction(true, x, kind, button, y, now);
  // A hidden cursor points at nothing: the action is taken at once.
  if (!m_monitor.Hidden() || action.Kind == akHelp)
    m_viewer->Mouse(kind, x, y, shift, button, &action);
  else
    Perform(action);
}

void TMainForm::MouseWheel(int32_t notches, uint8_t shift) {
  if (m_busy > 0 || m_closed || !m_viewer || !m_wheelEnabled || notches == 0)
    return;
  TVmoSource* source = Source();
  if (shift == ssCtrl) {
    if (!source)
      return;
    const bool paused = m_viewer->Paused();
    const double position = CurrentPosition();
    const int32_t target =
        notches < 0 ? NextSlideTime(*source, position, paused) : PreviousSlideTime(*source, position);
    m_viewer->SeekAndPause(target, paused);
    return;
  }
  const int64_t target = int64_t(m_viewer->LastRequestedPosition()) - int64_t(notches) * kWheelStepMs;
  m_viewer->Seek(static_cast<int32_t>(std::clamp<int64_t>(target, -1, INT32_MAX)));
}

void TMainForm::MouseLeave() {
  if (!m_closed)
    m_monitor.MouseLeave();
}

double TMainForm::CurrentPosition() const {
  const TVmoEngineState state = m_viewer->EngineState();
  // A seek not yet taken by the engine is where the show is going.
  if (state.RequestPending)
    return m_viewer->LastRequestedPosition();
  return state.Position;
}

bool TMainForm::AtBarrier() const { return m_viewer && m_viewer->EngineState().AtBarrier; }

void TMainForm::ContinueFromBarrier() {
  // A seek to where the show is held clears the barrier; the next one is
  // searched from there.
  const TVmoEngineState state = m_viewer->EngineState();
  m_viewer->Seek(static_cast<int32_t>(std::llround(state.Position)));
}

void TMainForm::Perform(const TVmoActionInfo& action) {
  if (m_busy > 0 || !m_viewer || m_closed)
    return;
  TVmoSource* source = Source();
  const bool paused = m_viewer->Paused();
  switch (action.Kind) {
  case akExit:
    m_runOnExitAllowed = true;
    CloseRequest();
    return;
  case akPreviousSlide:
    if (source)
      m_viewer->SeekAndPause(PreviousSlideTime(*source, CurrentPosition()), paused);
    return;
  case akNextSlide:
    if (AtBarrier())
      ContinueFromBarrier();
    else if (source)
      m_viewer->SeekAndPause(NextSlideTime(*source, CurrentPosition(), paused), paused);
    return;
  case akHelp: m_viewer->Help(); return;
  case akPause:
    if (AtBarrier())
      ContinueFromBarrier();
    else
      m_viewer->SetPaused(!paused);
    return;
  case akPrint: m_viewer->Capture(); return;
  case akGotoSlide: GotoSlide(action); return;
  case akOpenWeb: OpenAddress(WebAddress(action.Text)); return;
  case akOpenMail: OpenAddress(MailAddress(action.Text)); return;
  case akRunProgram: RunPrograms(action.Text); return;
  case akCloseAndRun:
    CloseRequest();
    RunPrograms(action.Text);
    return;
  case akOpenShow: OpenOtherShow(action.Text, false); return;
  case akPauseAtStart: m_viewer->SeekAndPause(0, true); return;
  case akOpenShowReturning: OpenOtherShow(action.Text, true); return;
  case akCloseDialog:
    m_exitCode = 1;
    m_runOnExitAllowed = true;
    CloseRequest();
    return;
  case akGotoTime: m_viewer->SeekAndPause(action.Integer, paused); return;
  default: return;
  }
}

void TMainForm::GotoSlide(const TVmoActionInfo& action) {
  TVmoSource* source = Source();
  if (!source)
    return;
  const int32_t target =
      action.Integer == -1 ? NamedSlideTime(*source, action.Text) : SlideStartTime(*source, action.Integer - 1);
  m_viewer->SeekAndPause(target, m_viewer->Paused());
}

void TMainForm::OpenAddress(const std::string& address) {
  std::string error;
  if (m_host.OpenAddress(address, error) != TStartResult::Started)
    Log().WriteLine("TMainForm.OpenAddress: " + address + ": " + error);
}

void TMainForm::RunPrograms(const std::string& text) {
  const std::vector<std::string> parts = SplitProgramList(text);
  if (ContainsProhibitedCommand(parts)) {
    m_host.ShowMessage("", std::string(kProhibitedCommandMessage));
    return;
  }
  const std::string folder = FolderOf(m_options.ProgramPath);
  for (const std::string& part : parts) {
    std::string error;
    if (m_host.StartProgram(SplitProgramCall(part), folder, error) != TStartResult::Started)
      Log().WriteLine("TMainForm.RunPrograms: " + part + ": " + error);
  }
}

std::string TMainForm::ResolveShowPath(const std::string& path) const {
  if (FileExists(path) || path.empty())
    return path;
  const std::string name = fs::path(path).filename().string();
  if (const TIniSection* main = MainSection()) {
    const std::string exefn = main->ReadString("opt_exefn", "");
    if (!exefn.empty()) {
      const std::string beside = FolderOf(exefn) + name;
      if (FileExists(beside))
        return beside;
    }
  }
  const std::string inFolder = m_showFolder + name;
  return FileExists(inFolder) ? inFolder : path;
}

bool TMainForm::CheckShowFile(const std::string& path) {
  if (!FileExists(path)) {
    m_host.ShowMessage(kSlideshowErrorCaption, kShowNotFound + path);
    return false;
  }
  const TVmoUnpack package(path);
  if (!package.IsOpen()) {
    m_host.ShowMessage(kSlideshowErrorCaption, kNotAShowFile + path);
    return false;
  }
  if (m_firstVersion && package.Version() != *m_firstVersion) {
    m_host.ShowMessage(kSlideshowErrorCaption, kShowVersionMismatch + path);
    return false;
  }
  return true;
}

bool TMainForm::OpenOtherShow(const std::string& text, bool pushReturn) {
  TCommandsStorage commands;
  commands.Parse(text);
  const TCommand* unnamed = commands.Command("");
  if (!unnamed || !unnamed->Item(0)) {
    Log().WriteLine("TMainForm.OpenOtherShow: no path in \"" + text + "\"");
    return false;
  }
  const std::string path = ResolveShowPath(unnamed->Item(0)->Text());
  const bool isCurrentProject = !m_projectPath.empty() && path == m_projectPath;
  int32_t start = kNoStart;
  bool startIsTime = false;
  if (const int32_t slide = commands.CommandItemAsInteger("slide", 0, 0); slide > 0) {
    start = slide - 1;
  } else if (const int32_t time = commands.CommandItemAsInteger("time", 0, 0); time > 0) {
    start = time - 1;
    startIsTime = true;
  }

  std::string returnEntry;
  if (pushReturn) {
    const TVmoSource* source = Source();
    const int slide = source ? SlideIndexAt(*source, CurrentPosition()) : 0;
    returnEntry = "\"" + m_showPath + "\" -slide " + std::to_string(slide + 1);
  }
  const bool wasPaused = m_viewer->Paused();
  const auto failed = [&] {
    if (pushReturn) {
      m_viewer->SetPaused(wasPaused);
    } else {
      m_runOnExitAllowed = true;
      CloseRequest();
    }
    return false;
  };
  if (!isCurrentProject && !CheckShowFile(path))
    return failed();
  Log().WriteLine("Open show: " + path);
  if (!LoadShow(path, !isCurrentProject, start, startIsTime, true))
    return failed();
  if (pushReturn)
    m_returnStack.push_back(returnEntry);
  m_viewer->SetPaused(false);
  return true;
}

void TMainForm::OnPicture(std::unique_ptr<TBitmap> picture) {
  if (m_closed || !picture || !m_show)
    return;
  const TBusy busy(*this);
  const bool wasPaused = m_viewer->Paused();
  m_viewer->SetPaused(true);
  const TVmoSource* source = Source();
  const int slide = source ? SlideIndexAt(*source, m_viewer->Position()) : 0;
  TCallBackClass provider(&m_show->Accessor(), m_show->ProjectStorage(), std::move(picture), slide);
  TVmoPrintDialog dialog(MainSection(), provider);
  try {
    m_host.RunPrintDialog(dialog);
  } catch (const std::exception& error) {
    m_host.ShowMessage(kSlideshowErrorCaption, error.what());
  }
  m_viewer->SetPaused(wasPaused);
}

void TMainForm::CloseRequest() {
  if (m_busy > 0 || m_closing || m_closed)
    return;
  m_closing = true;
  const TIniSection* main = MainSection();
  int32_t kind = main ? main->ReadInteger("opt_runapponexit", 0) : 0;
  if (main && main->ReadBool("opt_runapponexitiflastslide", true) && !m_reachedEnd)
    kind = 0;
  if (!m_runOnExitAllowed)
    kind = 0;
  if (kind == 1 || kind == 2) {
    const std::string program = main->ReadString("opt_runapponexitfn", "");
    if (kind == 1) {
      RunPrograms(program);
    } else if (OpenOtherShow(program, false)) {
      m_closing = false;
      return;
    }
  } else if (m_runOnExitAllowed && !m_returnStack.empty()) {
    const std::string entry = m_returnStack.back();
    m_returnStack.pop_back();
    if (OpenOtherShow(entry, false)) {
      m_closing = false;
      m_reachedEnd = false;
      m_runOnExitAllowed = false;
      return;
    }
  }
  Close();
}

void TMainForm::Close() {
  if (m_closed)
    return;
  m_closed = true;
  m_closing = true;
  if (m_viewer) {
    m_viewer->ClearCallbacks();
    m_viewer->Stop();
  }
  m_host.SleepBeforeExit();
  m_host.Terminate();
}

} // namespace qx
