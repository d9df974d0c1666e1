// The main window's host on a window system (SDL2 through the table of
// window systems): one window, made when the viewer opens its first show,
// placed, styled and titled as the main window asks; the window system's
// input events go to the main window, the application's messages are
// handled between them, and the main window is polled for its cursor. The
// modal dialogs come from the dialog back end given (GTK 3 on Linux).
#pragma once

#include "VmoLib2/3DBasics/qxWindowSystem.h"
#include "VmoLib2/VmoViewer/qxVmoShowViewer.h"
#include "Vmo/VmoViewer/MainUnit.h"

#include <cstdint>
#include <string>

namespace qx {

class TApplication;
class T3DEngine;

class TVmoWindowHost final : public TMainFormHost, public TWindowEventHandler {
public:
  // `setup` gives the drawer, the music and the application; the host adds
  // the window as the draw device. The dialogs may be null (they are then
  // cancelled with a message).
  TVmoWindowHost(TWindowSystem& windows, TVmoViewerSetup setup, TPasswordAsker* passwords, TPrintDialogRunner* printer);
  ~TVmoWindowHost() override;

  // Runs the message loop of `form` until the window closes.
  void Run(TMainForm& form);

  // TMainFormHost
  int64_t NowMs() override;
  TVmoViewerSetup ViewerSetup() override;
  std::vector<T3DRect> Monitors() override;
  T3DRect FrameBorders(TBorder border) override;
  void PlaceWindow(const T3DRect& outer, TBorder border, bool fullScreen) override;
  void ShowWindow() override;
  void SetCaption(const std::string& caption) override;
  void SetCursor(TCursor cursor) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  TStartResult StartProgram(const TProgramCall& call, const std::string& fallbackFolder, std::string& error) override;
  TStartResult OpenAddress(const std::string& address, std::string& error) override;
  std::optional<int> RunStartupWindow(const std::string& program, const std::vector<std::string>& args) override;
  int64_t WindowNumber() override;
  void Terminate() override;
  void SleepBeforeExit() override;
  std::optional<std::string> AskPassword(const TPasswordTexts& texts) override;
  void RunPrintDialog(TVmoPrintDialog& dialog) override;

  // TWindowEventHandler
  void OnWindowEvent(const TWindowEvent& event) override;

private:
  // Handles the window system's events and the application's messages
  // once, waiting up to `waitMs` for them; false when the user asked to
  // quit.
  bool Pump(int waitMs);

  TWindowSystem& m_windows;
  TVmoViewerSetup m_setup;
  TPasswordAsker* m_passwords;
  TPrintDialogRunner* m_printer;
  TMainForm* m_form = nullptr;
  // The window; the engine owns it (it is the viewer's draw device).
  TDrawDevice* m_device = nullptr;
  std::string m_caption;
  bool m_terminated = false;
  int64_t m_nextPoll = 0;
};

} // namespace qx
