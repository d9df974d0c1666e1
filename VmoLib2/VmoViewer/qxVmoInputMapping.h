// How the main window turns keys and mouse buttons into actions: the
// binding table of a show (built from its main section each time a show is
// loaded), the words of its mouse buttons, the screen-saver catch-all and
// the exit-on-move detector.
#pragma once

#include "VmoLib2/3DBasics/qxKeyCodes.h"
#include "VmoLib2/VmoViewer/qxVmoActionInfo.h"

#include <array>
#include <cstdint>
#include <memory>

namespace qx {

class TIniStorage;
class TIniSection;

// Event kinds of a binding.
inline constexpr uint8_t kKeyPressed = 1;

// One binding of a key: the action taken when an event of `EventKind` comes
// with (shift state AND ShiftMask) == ShiftValue.
struct TKeyMap {
  std::unique_ptr<TKeyMap> Next; // the next binding of the same key
  uint8_t ShiftMask = 0;
  uint8_t ShiftValue = 0;
  uint8_t EventKind = kKeyPressed;
  TVmoActionInfo Action;
};

// Notices the mouse moving away from where it was first seen.
class TMouseMoveDetector {
public:
  // A move of more than this many pixels (|dx| + |dy|) exits.
  static constexpr int32_t kExitDistance = 5;

  // True when the position is far enough from the reference point to exit.
  // The first position only becomes the reference; a far position becomes
  // the new one.
  bool Moved(int32_t x, int32_t y, int64_t timeMs);
  int ReferenceCount() const { return m_count; }

private:
  int32_t m_x = 0;
  int32_t m_y = 0;
  int m_count = 0;
  int64_t m_time = 0;
};

// The mouse-button word of a project ("Next slide", "Exit", ...) as an
// action; any other word (such as "None") is no action.
TVmoActionInfo MouseWordAction(std::string_view word);

class TInputMappingClass {
public:
  // The bindings mask Shift, Alt and Ctrl: those must match exactly.
  static constexpr uint8_t kDefaultShiftMask = ssShift | ssAlt | ssCtrl;

  // Reads the mouse words, "opt_ssaver", "opt_exitonmove",
  // "opt_synchpermitcontrol" and "opt_lockf1" from the project's main
  // section (defaults when there is none) and installs the default
  // bindings.
  explicit TInputMappingClass(const TIniStorage& project);
  TInputMappingClass(const TInputMappingClass&) = delete;
  TInputMappingClass& operator=(const TInputMappingClass&) = delete;
  ~TInputMappingClass();

  // Puts a binding at the head of the key's chain, so that it is tried
  // before the older ones. Codes outside 0 ... 255 are ignored.
  void AddBinding(int32_t key, uint8_t mask, uint8_t value, uint8_t eventKind, TVmoActionInfo action);

  // The binding for a key event, or null. In screen-saver mode every key
  // gives the catch-all binding (exit).
  const TKeyMap* KeyAction(uint8_t shift, int32_t key, uint8_t eventKind) const;

  // The action of a mouse event (kinds and buttons of TMouseData). With
  // `anyEvent` in screen-saver mode: exit. Moves go to the move detector
  // when there is one; presses and double clicks of the left and right
  // buttons take the project's words.
  TVmoActionInfo MouseAction(bool anyEvent, int32_t x, uint8_t eventType, int32_t button, int32_t y,
                             int64_t timeMs = 0);

  // Whether a key pressed while the show waits at a "pause" end action
  // continues it although the key has no binding: only without
  // PermitControl (with it, the bound keys continue through their actions).
  bool ContinuesFromBarrier(int32_t key) const;

  bool ScreenSaver() const { return m_screenSaver; }
  bool PermitControl() const { return m_permitControl; }
  bool HasMoveDetector() const { return m_moveDetector != nullptr; }
  const TVmoActionInfo& LeftClick() const { return m_leftClick; }
  const TVmoActionInfo& RightClick() const { return m_rightClick; }
  const TVmoActionInfo& DoubleClick() const { return m_doubleClick; }

private:
  void InstallDefaults(const TIniSection* main);
  void Bind(int32_t key, TVmoActionInfo action, uint8_t value = 0);

  std::array<std::unique_ptr<TKeyMap>, kKeyCodeCount> m_chains;
  TVmoActionInfo m_leftClick;
  TVmoActionInfo m_rightClick;
  TVmoActionInfo m_doubleClick;
  bool m_screenSaver = false;
  TKeyMap m_catchAll;
  std::unique_ptr<TMouseMoveDetector> m_moveDetector;
  bool m_permitControl = true;
};

} // namespace qx
