// The action record that keys, mouse buttons, objects on slides, slide
// programs and the navigation panel produce, and that the main window and
// the engine perform: a kind, an integer and a text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// The kinds of action; the main window performs them, except the few that
// the engine takes first (help and the dialogs of the overlay).
enum TVmoActionKind : uint8_t {
  akNone = 0,
  akExit = 1, // allow the run-on-exit program and close
  akPreviousSlide = 2,
  akNextSlide = 3, // or continue from a "pause" barrier
  akHelp = 4,
  akPause = 5, // toggle pause, or continue from a "pause" barrier
  akPrint = 6,
  akGotoSlide = 7, // integer: 1-based slide, -1 = the slide named by the text
  akOpenWeb = 8,
  akOpenMail = 9,
  akRunProgram = 10,
  akCloseAndRun = 11,
  akOpenShow = 12,
  akPauseAtStart = 13,
  akOpenShowReturning = 14,
  akShowDialog = 15,  // text: the dialog's name
  akCloseDialog = 16, // closes the overlay's dialog, else exit code 1 and close
  akGotoTime = 19,    // integer: the show time in ms
  akHandled = 20,     // a press the navigation panel took; nothing else happens
};

struct TVmoActionInfo {
  uint8_t Kind = akNone;
  int32_t Integer = 0;
  std::string Text;

  bool IsNone() const { return Kind == akNone; }
  friend bool operator==(const TVmoActionInfo&, const TVmoActionInfo&) = default;
};

// An object's "Action" text, "kind,integer,text": kind and integer in
// decimal, the text everything after the second comma (it may hold
// commas). A missing integer or text counts as 0 or empty. An empty text,
// one that does not start with a number, or a kind outside 0 ... 255 is no
// action.
TVmoActionInfo ParseActionText(std::string_view text);

} // namespace qx
