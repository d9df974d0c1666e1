#include "VmoLib2/3DBasics/qxKeyCodes.h"

#include <array>
#include <cctype>
#include <utility>

namespace qx {

namespace {

struct TNamedKey {
  std::string_view Name;
  int32_t Code;
};

// SDL's names of the keys that have a virtual-key number. Letters and
// digits are added by rule (see KeyCodeFromName); where two names share a
// code (the left and right modifier keys, the keypad's Enter) the first one
// is the code's name.
constexpr std::array kNamedKeys{
    TNamedKey{"Backspace", vkBack},
    TNamedKey{"Tab", vkTab},
    TNamedKey{"Return", vkReturn},
    TNamedKey{"Keypad Enter", vkReturn},
    TNamedKey{"Left Shift", 16},
    TNamedKey{"Right Shift", 16},
    TNamedKey{"Left Ctrl", 17},
    TNamedKey{"Right Ctrl", 17},
    TNamedKey{"Left Alt", 18},
    TNamedKey{"Right Alt", 18},
    TNamedKey{"Pause", vkPause},
    TNamedKey{"CapsLock", 20},
    TNamedKey{"Escape", vkEscape},
    TNamedKey{"Space", vkSpace},
    TNamedKey{"PageUp", vkPageUp},
    TNamedKey{"PageDown", vkPageDown},
    TNamedKey{"End", vkEnd},
    TNamedKey{"Home", vkHome},
    TNamedKey{"Left", vkLeft},
    TNamedKey{"Up", vkUp},
    TNamedKey{"Right", vkRight},
    TNamedKey{"Down", vkDown},
    TNamedKey{"PrintScreen", 44},
    TNamedKey{"Insert", vkInsert},
    TNamedKey{"Delete", vkDelete},
    TNamedKey{"Left GUI", 91},
    TNamedKey{"Right GUI", 92},
    TNamedKey{"Application", 93},
    TNamedKey{"Sleep", 95},
    TNamedKey{"Keypad 0", 96},
    TNamedKey{"Keypad 1", 97},
    TNamedKey{"Keypad 2", 98},
    TNamedKey{"Keypad 3", 99},
    TNamedKey{"Keypad 4", 100},
    TNamedKey{"Keypad 5", 101},
    TNamedKey{"Keypad 6", 102},
    TNamedKey{"Keypad 7", 103},
    TNamedKey{"Keypad 8", 104},
    TNamedKey{"Keypad 9", 105},
    TNamedKey{"Keypad *", 106},
    TNamedKey{"Keypad +", 107},
    TNamedKey{"Keypad -", 109},
    TNamedKey{"Keypad .", 110},
    TNamedKey{"Keypad /", 111},
    TNamedKey{"F1", 112},
    TNamedKey{"F2", 113},
    TNamedKey{"F3", 114},
    TNamedKey{"F4", 115},
    TNamedKey{"F5", 116},
    TNamedKey{"F6", 117},
    TNamedKey{"F7", 118},
    TNamedKey{"F8", 119},
    TNamedKey{"F9", 120},
    TNamedKey{"F10", 121},
    TNamedKey{"F11", 122},
    TNamedKey{"F12", 123},
    TNamedKey{"Numlock", 144},
    TNamedKey{"ScrollLock", 145},
    TNamedKey{"AC Back", vkBrowserBack},
    TNamedKey{"AC Forward", vkBrowserForward},
    TNamedKey{"AC Refresh", 168},
    TNamedKey{"AC Stop", 169},
    TNamedKey{"AC Search", 170},
    TNamedKey{"AC Bookmarks", 171},
    TNamedKey{"AC Home", 172},
    TNamedKey{"Mute", 173},
    TNamedKey{"VolumeDown", 174},
    TNamedKey{"VolumeUp", 175},
    TNamedKey{"AudioNext", vkMediaNextTrack},
    TNamedKey{"AudioPrev", vkMediaPreviousTrack},
    TNamedKey{"AudioStop", vkMediaStop},
    TNamedKey{"AudioPlay", vkMediaPlayPause},
    TNamedKey{";", 186},
    TNamedKey{"=", 187},
    TNamedKey{",", 188},
    TNamedKey{"-", 189},
    TNamedKey{".", 190},
    TNamedKey{"/", 191},
    TNamedKey{"`", 192},
    TNamedKey{"[", 219},
    TNamedKey{"\\", 220},
    TNamedKey{"]", 221},
    TNamedKey{"'", 222},
};

// The names of the letters and digits: the character itself.
constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::string_view kDigits = "0123456789";

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// The modifier of a chord part, 0 when the part is not one.
uint8_t ModifierOf(std::string_view part) {
  constexpr std::array<std::pair<std::string_view, uint8_t>, 5> kModifiers{
      {{"Ctrl", ssCtrl}, {"Control", ssCtrl}, {"Shift", ssShift}, {"Alt", ssAlt}, {"Win", ssWindows}}};
  for (const auto& [name, flag] : kModifiers) {
    if (SameText(part, name))
      return flag;
  }
  return 0;
}

} // namespace

int32_t KeyCodeFromName(std::string_view name) {
  if (name.size() == 1) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (kLetters.find(c) != std::string_view::npos)
      return vkA + static_cast<int32_t>(c - 'A');
    if (kDigits.find(c) != std::string_view::npos)
      return vk0 + static_cast<int32_t>(c - '0');
  }
  for (const TNamedKey& key : kNamedKeys) {
    if (SameText(key.Name, name))
      return key.Code;
  }
  return kNoKey;
}

std::string_view KeyNameOfCode(int32_t code) {
  if (code >= vkA && code < vkA + static_cast<int32_t>(kLetters.size()))
    return kLetters.substr(static_cast<size_t>(code - vkA), 1);
  if (code >= vk0 && code < vk0 + static_cast<int32_t>(kDigits.size()))
    return kDigits.substr(static_cast<size_t>(code - vk0), 1);
  for (const TNamedKey& key : kNamedKeys) {
    if (key.Code == code)
      return key.Name;
  }
  return {};
}

std::optional<TKeyChord> ParseKeyChord(std::string_view text) {
  TKeyChord chord;
  // The key's own name may be "+" ("Keypad +"), so only the parts before
  // the last "+" that has text after it are modifiers.
  while (true) {
    const size_t plus = text.find('+');
    if (plus == std::string_view::npos || plus + 1 >= text.size())
      break;
    const uint8_t modifier = ModifierOf(text.substr(0, plus));
    if (modifier == 0)
      break;
    chord.Shift |= modifier;
    text.remove_prefix(plus + 1);
  }
  chord.Code = KeyCodeFromName(text);
  if (chord.Code == kNoKey)
    return std::nullopt;
  return chord;
}

} // namespace qx
