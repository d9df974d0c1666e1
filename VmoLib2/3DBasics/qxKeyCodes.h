// Key codes and shift states of the window system's input events. Key codes
// are the virtual-key numbers that shows and their input bindings use (27
// Escape, 37 Left arrow, 112 F1, ...), whatever the platform; each window
// back end translates its own keys to them. Keys are named as SDL names
// them ("Right", "Space", "F1", "P"), which is how scripts of input write
// them; the one table below serves both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// Shift state: the modifier keys held (and, with mouse events, the buttons).
enum TShiftFlag : uint8_t {
  ssWindows = 0x01,
  ssShift = 0x02,
  ssAlt = 0x04,
  ssCtrl = 0x08,
  ssLeft = 0x10,
  ssRight = 0x20,
  ssMiddle = 0x40,
};

// Virtual-key numbers the player's bindings name.
enum TKeyCode : int32_t {
  vkBack = 8,
  vkTab = 9,
  vkReturn = 13,
  vkPause = 19,
  vkEscape = 27,
  vkSpace = 32,
  vkPageUp = 33,
  vkPageDown = 34,
  vkEnd = 35,
  vkHome = 36,
  vkLeft = 37,
  vkUp = 38,
  vkRight = 39,
  vkDown = 40,
  vkInsert = 45,
  vkDelete = 46,
  vk0 = 48,
  vkA = 65,
  vkP = 80,
  vkNumpad0 = 96,
  vkF1 = 112,
  vkBrowserBack = 166,
  vkBrowserForward = 167,
  vkMediaNextTrack = 176,
  vkMediaPreviousTrack = 177,
  vkMediaStop = 178,
  vkMediaPlayPause = 179,
};

// Key codes of 256 and above are outside the bindings; 0 is no key.
inline constexpr int32_t kKeyCodeCount = 256;
inline constexpr int32_t kNoKey = 0;

// The key code of a key name as SDL names keys (compared without regard to
// case: "Right", "space", "F1", "p"); kNoKey for a name the table lacks.
int32_t KeyCodeFromName(std::string_view name);
// The SDL name of a key code; empty for a code the table lacks.
std::string_view KeyNameOfCode(int32_t code);

// A key with its modifiers, written as "Ctrl+Shift+P": the modifiers
// "Ctrl", "Shift", "Alt" and "Win" (any case, any order) joined by "+" before
// the key's name. None when a part is not a modifier or the key is unknown.
struct TKeyChord {
  int32_t Code = kNoKey;
  uint8_t Shift = 0;
};
std::optional<TKeyChord> ParseKeyChord(std::string_view text);

} // namespace qx
