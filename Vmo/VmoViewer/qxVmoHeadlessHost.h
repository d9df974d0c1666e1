// The main window's host when no window system is used: the headless
// renderer and the tests. It keeps what the window would show (placement,
// caption, cursor, messages) instead of showing it; the password dialog is
// answered by the input script, the print dialog saves the frame as a PNG
// file, and programs, addresses and the startup window are not started
// (they are reported), so that a rendered session has no effects outside
// its output.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoShowViewer.h"
#include "Vmo/VmoViewer/MainUnit.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qx {

class TVmoHeadlessHost : public TMainFormHost {
public:
  // `clock` gives the time in ms (the renderer's wall clock); the output is
  // one monitor of width x height at the origin. Messages and the notes
  // about what was not started go to `messages` (none: nowhere).
  TVmoHeadlessHost(TVmoViewerSetup setup, std::function<int64_t()> clock, int32_t width, int32_t height,
                   std::FILE* messages);

  // Answers to the password dialog (the script's password lines), in turn;
  // none left: the dialog is cancelled.
  void SetPasswordSource(std::function<std::optional<std::string>()> source) { m_passwords = std::move(source); }
  // The folder the print dialog saves the frame into ("Slide<n>.png"); none:
  // the dialog closes without saving.
  void SetPrintFolder(std::string folder) { m_printFolder = std::move(folder); }
  // The exit code the startup window answers with (1: the show goes on).
  void SetStartupExitCode(std::optional<int> code) { m_startupExitCode = code; }

  // TMainFormHost
  int64_t NowMs() override { return m_clock(); }
  TVmoViewerSetup ViewerSetup() override { return m_setup; }
  std::vector<T3DRect> Monitors() override { return {m_monitor}; }
  T3DRect FrameBorders(TBorder) override { return {}; }
  void PlaceWindow(const T3DRect& outer, TBorder border, bool fullScreen) override;
  void ShowWindow() override { ++WindowShown; }
  void SetCaption(const std::string& caption) override { Caption = caption; }
  void SetCursor(TCursor cursor) override { Cursors.push_back(cursor); }
  void ShowMessage(const std::string& caption, const std::string& text) override;
  TStartResult StartProgram(const TProgramCall& call, const std::string& fallbackFolder, std::string& error) override;
  TStartResult OpenAddress(const std::string& address, std::string& error) override;
  std::optional<int> RunStartupWindow(const std::string& program, const std::vector<std::string>& args) override;
  int64_t WindowNumber() override { return 0; }
  void Terminate() override { Terminated = true; }
  std::optional<std::string> AskPassword(const TPasswordTexts& texts) override;
  void RunPrintDialog(TVmoPrintDialog& dialog) override;

  // What the window was asked to do, in order.
  struct TPlacement {
    T3DRect Outer;
    TBorder Border;
    bool FullScreen;
  };
  std::vector<TPlacement> Placements;
  std::string Caption;
  std::vector<TCursor> Cursors;
  // "caption\ntext" per message box.
  std::vector<std::string> Messages;
  // The programs, with their parameters, and the addresses not started.
  std::vector<std::string> Programs;
  std::vector<std::string> Addresses;
  std::vector<std::vector<std::string>> StartupWindows;
  std::vector<TPasswordTexts> PasswordDialogs;
  std::vector<std::string> SavedPictures;
  int WindowShown = 0;
  bool Terminated = false;

private:
  void Note(const std::string& text);

  TVmoViewerSetup m_setup;
  std::function<int64_t()> m_clock;
  T3DRect m_monitor;
  std::FILE* m_messages;
  std::function<std::optional<std::string>()> m_passwords;
  std::string m_printFolder;
  std::optional<int> m_startupExitCode = 1;
};

} // namespace qx
