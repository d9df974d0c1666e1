#include "Vmo/VmoViewer/qxVmoWindowHost.h"

#include "QxLib/Application2/qxApplication.h"
#include "QxLib/Application2/qxFormUtils.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/VmoViewer/qxVmoEngine2.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace qx {

namespace {

// Until the show places it, the window has this size.
constexpr int32_t kFirstWidth = 640;
constexpr int32_t kFirstHeight = 480;
// The pause between stopping the engine and ending the program.
constexpr auto kExitPause = std::chrono::milliseconds(300);
// The startup window is waited for in steps of this length.
constexpr int kStartupWaitMs = 10;

TCursorShape ShapeOf(TMainFormHost::TCursor cursor) {
  switch (cursor) {
  case TMainFormHost::TCursor::Hand: return TCursorShape::Hand;
  case TMainFormHost::TCursor::None: return TCursorShape::None;
  case TMainFormHost::TCursor::Default: break;
  }
  return TCursorShape::Arrow;
}

T3DRect Inner(const T3DRect& outer, const T3DRect& borders) {
  return {outer.left + borders.left, outer.top + borders.top, outer.right - borders.right,
          outer.bottom - borders.bottom};
}

} // namespace

TVmoWindowHost::TVmoWindowHost(TWindowSystem& windows, TVmoViewerSetup setup, TPasswordAsker* passwords,
                               TPrintDialogRunner* printer)
    : m_windows(windows), m_setup(std::move(setup)), m_passwords(passwords), m_printer(printer) {
  m_windows.SetEventHandler(this);
  if (m_setup.Application)
    m_setup.Application->SetWakeCallback([this] { m_windows.Wake(); });
}

TVmoWindowHost::~TVmoWindowHost() {
  if (m_setup.Application)
    m_setup.Application->SetWakeCallback({});
  m_windows.SetEventHandler(nullptr);
}

int64_t TVmoWindowHost::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TVmoViewerSetup TVmoWindowHost::ViewerSetup() {
  TVmoViewerSetup setup = m_setup;
  setup.MakeDrawDevice = [this]() -> std::unique_ptr<TDrawDevice> {
    std::vector<T3DRect> monitors = Monitors();
    const T3DRect area = monitors.empty() ? T3DRect{0, 0, kFirstWidth, kFirstHeight} : monitors.front();
    const int32_t left = area.left + std::max(0, (area.Width() - kFirstWidth) / 2);
    const int32_t top = area.top + std::max(0, (area.Height() - kFirstHeight) / 2);
    std::string error;
    std::unique_ptr<TDrawDevice> device =
        m_windows.OpenWindow(m_caption, {left, top, left + kFirstWidth, top + kFirstHeight}, false, error);
    if (!device)
      throw EQxError("the window cannot be made: " + error);
    m_device = device.get();
    return device;
  };
  return setup;
}

std::vector<T3DRect> TVmoWindowHost::Monitors() {
  std::vector<T3DRect> monitors;
  const TDisplays& displays = m_windows.Displays();
  for (int i = 0; i < displays.Count(); ++i) {
    T3DRect bounds;
    if (displays.Bounds(i, bounds))
      monitors.push_back(bounds);
  }
  return monitors;
}

T3DRect TVmoWindowHost::FrameBorders(TBorder) { return m_device ? m_windows.WindowBorders(*m_device) : T3DRect{}; }

void TVmoWindowHost::PlaceWindow(const T3DRect& outer, TBorder border, bool fullScreen) {
  if (!m_device)
    return;
  const T3DRect borders = border == TBorder::None ? T3DRect{} : FrameBorders(border);
  // The window goes to its place first, so that full screen takes the
  // display it lies on.
  m_device->SetFullScreen(false);
  m_device->SetBounds(fullScreen ? outer : Inner(outer, borders));
  m_windows.SetWindowStyle(*m_device, fullScreen, border != TBorder::None, border == TBorder::Resizable);
  if (fullScreen)
    m_device->SetBounds(outer);
  Log().WriteRect("TVmoWindowHost.PlaceWindow: ", outer.left, outer.top, outer.right, outer.bottom);
}

void TVmoWindowHost::ShowWindow() {
  if (m_device)
    m_windows.RaiseWindow(*m_device);
}

void TVmoWindowHost::SetCaption(const std::string& caption) {
  m_caption = caption;
  if (m_device)
    m_windows.SetWindowTitle(*m_device, caption);
}

void TVmoWindowHost::SetCursor(TCursor cursor) { m_windows.SetCursor(ShapeOf(cursor)); }

void TVmoWindowHost::ShowMessage(const std::string& caption, const std::string& text) {
  Log().WriteLine("Message: " + caption + ": " + text);
  if (m_windows.ShowMessage(caption, text, m_device))
    return;
  std::string lines = text;
  std::replace(lines.begin(), lines.end(), '\r', '\n');
  std::fprintf(stderr, "%s\n%s\n", caption.c_str(), lines.c_str());
}

TStartResult TVmoWindowHost::StartProgram(const TProgramCall& call, const std::string& fallbackFolder,
                                          std::string& error) {
  return StartProgramCall(call, fallbackFolder, error);
}

TStartResult TVmoWindowHost::OpenAddress(const std::string& address, std::string& error) {
  return OpenWithDesktop(address, error);
}

std::optional<int> TVmoWindowHost::RunStartupWindow(const std::string& program, const std::vector<std::string>& args) {
  TChildProcess child;
  std::string error;
  if (!child.Start(program, args, error)) {
    Log().WriteLine("TVmoWindowHost.RunStartupWindow: " + error);
    return std::nullopt;
  }
  // The main window keeps answering its window system while it waits.
  while (!child.Wait(kStartupWaitMs)) {
    if (!Pump(0) || m_terminated || (m_setup.Application && m_setup.Application->Terminated()))
      return std::nullopt;
  }
  if (m_device)
    m_windows.RaiseWindow(*m_device);
  return child.ExitCode();
}

// The window system gives no handle another process could use; the
// startup window is told the owner's process instead.
int64_t TVmoWindowHost::WindowNumber() { return CurrentProcessId(); }

void TVmoWindowHost::Terminate() {
  m_terminated = true;
  m_device = nullptr;
}

void TVmoWindowHost::SleepBeforeExit() { std::this_thread::sleep_for(kExitPause); }

std::optional<std::string> TVmoWindowHost::AskPassword(const TPasswordTexts& texts) {
  if (m_passwords)
    return m_passwords->AskPassword(texts);
  ShowMessage(texts.Caption, "This show asks for a password, and this player cannot show the dialog.");
  return std::nullopt;
}

void TVmoWindowHost::RunPrintDialog(TVmoPrintDialog& dialog) {
  if (m_printer)
    m_printer->RunPrintDialog(dialog);
  else
    ShowMessage(dialog.Texts().Caption, "This player cannot show the print dialog.");
}

void TVmoWindowHost::OnWindowEvent(const TWindowEvent& event) {
  if (!m_form || m_terminated)
    return;
  switch (event.Kind) {
  case TWindowEvent::TKind::KeyDown: m_form->KeyDown(event.Key, event.Shift); return;
  case TWindowEvent::TKind::MouseMove: m_form->MouseMove(event.X, event.Y, event.Shift); return;
  case TWindowEvent::TKind::MouseDown:
    m_form->MouseButton(mkButtonDown, event.Button, event.X, event.Y, event.Shift);
    return;
  case TWindowEvent::TKind::DoubleClick:
    m_form->MouseButton(mkDoubleClick, event.Button, event.X, event.Y, event.Shift);
    return;
  case TWindowEvent::TKind::MouseUp:
    m_form->MouseButton(mkButtonUp, event.Button, event.X, event.Y, event.Shift);
    return;
  case TWindowEvent::TKind::Wheel: m_form->MouseWheel(event.Notches, event.Shift); return;
  case TWindowEvent::TKind::MouseLeave: m_form->MouseLeave(); return;
  default: return;
  }
}

bool TVmoWindowHost::Pump(int waitMs) {
  const bool open = waitMs > 0 ? m_windows.WaitEvents(waitMs) : m_windows.PumpEvents();
  if (m_setup.Application)
    m_setup.Application->ProcessMessages();
  const int64_t now = NowMs();
  if (m_form && now >= m_nextPoll) {
    m_nextPoll = now + TMouseMonitor::kPollIntervalMs;
    m_form->Poll();
  }
  return open;
}

void TVmoWindowHost::Run(TMainForm& form) {
  m_form = &form;
  m_nextPoll = NowMs();
  while (!m_terminated && !(m_setup.Application && m_setup.Application->Terminated())) {
    const int64_t wait = std::clamp<int64_t>(m_nextPoll - NowMs(), 1, TMouseMonitor::kPollIntervalMs);
    if (!Pump(static_cast<int>(wait)))
      form.CloseRequest();
  }
  m_form = nullptr;
}

} // namespace qx
