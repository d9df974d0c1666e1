#include "Vmo/VmoViewer/qxVmoHeadlessHost.h"

#include <algorithm>
#include <filesystem>

namespace qx {

TVmoHeadlessHost::TVmoHeadlessHost(TVmoViewerSetup setup, std::function<int64_t()> clock, int32_t width, int32_t height,
                                   std::FILE* messages)
    : m_setup(std::move(setup)), m_clock(std::move(clock)), m_monitor{0, 0, width, height}, m_messages(messages) {}

void TVmoHeadlessHost::Note(const std::string& text) {
  if (m_messages)
    std::fprintf(m_messages, "%s\n", text.c_str());
}

void TVmoHeadlessHost::PlaceWindow(const T3DRect& outer, TBorder border, bool fullScreen) {
  // The output keeps its size: the rendered frame is the window's client
  // area whatever the show asks for.
  Placements.push_back({outer, border, fullScreen});
}

void TVmoHeadlessHost::ShowMessage(const std::string& caption, const std::string& text) {
  std::string lines = text;
  std::replace(lines.begin(), lines.end(), '\r', '\n');
  Messages.push_back(caption + "\n" + lines);
  Note(caption.empty() ? lines : caption + "\n" + lines);
}

TStartResult TVmoHeadlessHost::StartProgram(const TProgramCall& call, const std::string&, std::string& error) {
  const std::string text = call.Parameters.empty() ? call.Program : call.Program + " " + call.Parameters;
  Programs.push_back(text);
  Note("vmoviewer: not started while rendering: " + text);
  error = "not started while rendering";
  return TStartResult::Failed;
}

TStartResult TVmoHeadlessHost::OpenAddress(const std::string& address, std::string& error) {
  Addresses.push_back(address);
  Note("vmoviewer: not opened while rendering: " + address);
  error = "not opened while rendering";
  return TStartResult::Failed;
}

std::optional<int> TVmoHeadlessHost::RunStartupWindow(const std::string&, const std::vector<std::string>& args) {
  StartupWindows.push_back(args);
  Note("vmoviewer: the startup window is not shown while rendering");
  return m_startupExitCode;
}

std::optional<std::string> TVmoHeadlessHost::AskPassword(const TPasswordTexts& texts) {
  PasswordDialogs.push_back(texts);
  return m_passwords ? m_passwords() : std::nullopt;
}

void TVmoHeadlessHost::RunPrintDialog(TVmoPrintDialog& dialog) {
  if (m_printFolder.empty())
    return;
  const std::optional<TSaveProposal> proposal = dialog.SaveProposal(false);
  if (!proposal)
    return;
  const std::string path =
      (std::filesystem::path(m_printFolder) / std::filesystem::path(proposal->FileName).replace_extension(".png"))
          .string();
  dialog.Save(*proposal, path);
  SavedPictures.push_back(path);
  Note("vmoviewer: the print dialog saved " + path);
}

} // namespace qx
