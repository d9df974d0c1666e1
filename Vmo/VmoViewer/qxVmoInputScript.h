// Scripted user input for the headless renderer: one event a line,
//   <ms> key <name>                      SDL key name, modifiers as "Ctrl+P"
//   <ms> click <x> <y> [left|right|double]
//   <ms> press <x> <y> [left|right]      a button goes down ...
//   <ms> release <x> <y> [left|right]    ... and up again (drags)
//   <ms> move <x> <y>
//   <ms> wheel <notches> [ctrl]          notches away from the user > 0
//   <ms> password <text>                 typed into the password dialog
// `<ms>` is the wall time in ms (never going back), coordinates are output
// pixels, "#" starts a comment, blank lines are skipped. The events go to
// the main window exactly as a window system's events do. A password line
// answers the next password dialog, whenever it opens; the dialog is
// cancelled when no password line is left.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoRenderedWindow.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class TMainForm;

struct TScriptEvent {
  enum class TKind { Key, Click, DoubleClick, Press, Release, Move, Wheel, Password };

  int64_t Time = 0;
  TKind Kind = TKind::Key;
  // Key: the key code and the shift state. Wheel: notches and shift state.
  int32_t Key = 0;
  uint8_t Shift = 0;
  int32_t Notches = 0;
  // Click, press, release, move.
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Button = 0;
  // Password.
  std::string Text;

  friend bool operator==(const TScriptEvent&, const TScriptEvent&) = default;
};

// Parses a script's text; raises EQxError "<name> line <n>: ..." for the
// first bad line.
std::vector<TScriptEvent> ParseInputScript(std::string_view text, const std::string& name);
// Reads and parses a script file; raises EQxError when it cannot be read.
std::vector<TScriptEvent> ReadInputScript(const std::string& path);

class TInputScript : public TRenderInput {
public:
  explicit TInputScript(std::vector<TScriptEvent> events);

  // The window the events go to; set before the session runs.
  void SetForm(TMainForm* form) { m_form = form; }

  // TRenderInput
  void DeliverDue(int64_t wallMs) override;
  std::optional<int64_t> NextEventTime() const override;

  // The text of the next password line not yet used, if any.
  std::optional<std::string> TakePassword();

private:
  void Deliver(const TScriptEvent& event);

  std::vector<TScriptEvent> m_events;
  size_t m_next = 0;
  std::deque<std::string> m_passwords;
  TMainForm* m_form = nullptr;
};

} // namespace qx
