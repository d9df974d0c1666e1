#include "VmoLib2/VmoViewer/qxVmoInputMapping.h"

#include "QxLib/qxIniStorage.h"
#include "VmoLib2/VmoViewer/qxVmoEngine2.h"

#include <algorithm>
#include <cstdlib>

namespace qx {

namespace {

TVmoActionInfo Action(uint8_t kind, int32_t integer = 0) {
  TVmoActionInfo action;
  action.Kind = kind;
  action.Integer = integer;
  return action;
}

// The keys that continue a show held at a "pause" end action when the
// show does not permit control.
constexpr std::array<int32_t, 7> kContinueKeys{vkPause,          vkSpace,          vkPageDown,      vkRight,
                                               vkBrowserForward, vkMediaNextTrack, vkMediaPlayPause};

} // namespace

bool TMouseMoveDetector::Moved(int32_t x, int32_t y, int64_t timeMs) {
  if (m_count == 0) {
    m_x = x;
    m_y = y;
    m_time = timeMs;
    m_count = 1;
    return false;
  }
  const int64_t distance = std::llabs(static_cast<int64_t>(x) - m_x) + std::llabs(static_cast<int64_t>(y) - m_y);
  if (distance <= kExitDistance)
    return false;
  m_x = x;
  m_y = y;
  m_time = timeMs;
  ++m_count;
  return true;
}

TVmoActionInfo MouseWordAction(std::string_view word) {
  if (word == "Exit")
    return Action(akExit);
  if (word == "Next slide")
    return Action(akNextSlide);
  if (word == "Prev. slide")
    return Action(akPreviousSlide);
  if (word == "Help")
    return Action(akHelp);
  if (word == "Pause")
    return Action(akPause);
  if (word == "Go to first")
    return Action(akGotoSlide, 0);
  return {};
}

TInputMappingClass::TInputMappingClass(const TIniStorage& project) {
  const TIniSection* main = project.FindSection("main");
  if (main) {
    m_leftClick = MouseWordAction(main->ReadString("opt_leftmouse", ""));
    m_rightClick = MouseWordAction(main->ReadString("opt_rightmouse", ""));
    m_doubleClick = MouseWordAction(main->ReadString("opt_dblclick", ""));
    m_screenSaver = main->ReadBool("opt_ssaver", false);
    m_permitControl = main->ReadBool("opt_synchpermitcontrol", true);
    if (m_screenSaver || main->ReadBool("opt_exitonmove", false))
      m_moveDetector = std::make_unique<TMouseMoveDetector>();
  }
  m_catchAll.EventKind = kKeyPressed;
  m_catchAll.Action = Action(akExit);
  InstallDefaults(main);
}

TInputMappingClass::~TInputMappingClass() = default;

void TInputMappingClass::AddBinding(int32_t key, uint8_t mask, uint8_t value, uint8_t eventKind,
                                    TVmoActionInfo action) {
  if (key < 0 || key >= kKeyCodeCount)
    return;
  auto binding = std::make_unique<TKeyMap>();
  binding->ShiftMask = mask;
  binding->ShiftValue = value;
  binding->EventKind = eventKind;
  binding->Action = std::move(action);
  binding->Next = std::move(m_chains[static_cast<size_t>(key)]);
  m_chains[static_cast<size_t>(key)] = std::move(binding);
}

void TInputMappingClass::Bind(int32_t key, TVmoActionInfo action, uint8_t value) {
  AddBinding(key, kDefaultShiftMask, value, kKeyPressed, std::move(action));
}

void TInputMappingClass::InstallDefaults(const TIniSection* main) {
  Bind(vkEscape, Action(akExit));
  if (m_permitControl) {
    Bind(vkSpace, Action(akPause));
    Bind(vkPause, Action(akPause));
    Bind(vkP, Action(akPause), ssCtrl);
    Bind(vkMediaPlayPause, Action(akPause));
    Bind(vkMediaStop, Action(akPauseAtStart));
    for (const int32_t key : {vkLeft, vkPageUp, vkBrowserBack, vkMediaPreviousTrack})
      Bind(key, Action(akPreviousSlide));
    for (const int32_t key : {vkRight, vkPageDown, vkBrowserForward, vkMediaNextTrack})
      Bind(key, Action(akNextSlide));
    Bind(vkHome, Action(akGotoSlide, 0));
    Bind(vkEnd, Action(akGotoSlide, main ? main->ReadInteger("opt_slidescount", 0) : 0));
  }
  if (!(main && main->ReadBool("opt_lockf1", false)))
    Bind(vkF1, Action(akHelp));
}

const TKeyMap* TInputMappingClass::KeyAction(uint8_t shift, int32_t key, uint8_t eventKind) const {
  if (m_screenSaver)
    return &m_catchAll;
  if (key < 0 || key >= kKeyCodeCount)
    return nullptr;
  for (const TKeyMap* binding = m_chains[static_cast<size_t>(key)].get(); binding; binding = binding->Next.get()) {
    if (binding->EventKind == eventKind && (shift & binding->ShiftMask) == binding->ShiftValue)
      return binding;
  }
  return nullptr;
}

TVmoActionInfo TInputMappingClass::MouseAction(bool anyEvent, int32_t x, uint8_t eventType, int32_t button, int32_t y,
                                               int64_t timeMs) {
  if (m_screenSaver && anyEvent)
    return Action(akExit);
  // The detector watches where the mouse goes; a press leaves it to the
  // button words below, so that a show that exits on a move still answers
  // its buttons.
  if (m_moveDetector && eventType == mkMove)
    return m_moveDetector->Moved(x, y, timeMs) ? Action(akExit) : TVmoActionInfo{};
  if (eventType == mkButtonDown) {
    if (button == mbLeft)
      return m_leftClick;
    if (button == mbRight)
      return m_rightClick;
    return {};
  }
  if (eventType == mkDoubleClick && button == mbLeft)
    return m_doubleClick;
  return {};
}

bool TInputMappingClass::ContinuesFromBarrier(int32_t key) const {
  if (m_permitControl)
    return false;
  return std::find(kContinueKeys.begin(), kContinueKeys.end(), key) != kContinueKeys.end();
}

} // namespace qx
