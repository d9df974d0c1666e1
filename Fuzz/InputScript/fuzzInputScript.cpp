// Fuzz target of the input scripts of the headless renderer: the parser of
// the event lines (times, key chords, clicks, presses, releases, moves,
// wheel notches, passwords, comments) and the script that hands the events
// out by time.
//
// Promises checked: a script is a list of events or an error naming the
// script and the line, never both; there are no more events than lines,
// their times never go back, each kind carries only values it may have; the
// events written again as script lines parse to the same events; the script
// hands every password out once, in order, and delivers every other event
// once its time has come.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "VmoLib2/3DBasics/qxKeyCodes.h"
#include "VmoLib2/VmoViewer/qxVmoEngine2.h"
#include "Vmo/VmoViewer/qxVmoInputScript.h"

#include <algorithm>
#include <vector>

namespace {

using namespace qx;
using TKind = TScriptEvent::TKind;

const std::string kName = "fuzz.script";

std::string ChordText(const TScriptEvent& event) {
  std::string text;
  for (const auto& [flag, name] : {std::pair{ssCtrl, "Ctrl+"}, std::pair{ssShift, "Shift+"}, std::pair{ssAlt, "Alt+"},
                                   std::pair{ssWindows, "Win+"}}) {
    if (event.Shift & flag)
      text += name;
  }
  return text + std::string(KeyNameOfCode(event.Key));
}

std::string Position(const TScriptEvent& event) { return std::to_string(event.X) + " " + std::to_string(event.Y); }

std::string Button(const TScriptEvent& event) { return event.Button == mbRight ? " right" : " left"; }

// One event as a script line.
std::string LineOf(const TScriptEvent& event) {
  const std::string time = std::to_string(event.Time) + " ";
  switch (event.Kind) {
  case TKind::Key: return time + "key " + ChordText(event);
  case TKind::Click: return time + "click " + Position(event) + Button(event);
  case TKind::DoubleClick: return time + "click " + Position(event) + " double";
  case TKind::Press: return time + "press " + Position(event) + Button(event);
  case TKind::Release: return time + "release " + Position(event) + Button(event);
  case TKind::Move: return time + "move " + Position(event);
  case TKind::Wheel: return time + "wheel " + std::to_string(event.Notches) + (event.Shift ? " ctrl" : "");
  case TKind::Password: return time + "password " + event.Text;
  }
  return {};
}

void CheckEvent(const TScriptEvent& event) {
  FUZZ_CHECK(event.Time >= 0);
  switch (event.Kind) {
  case TKind::Key:
    FUZZ_CHECK(event.Key > kNoKey && !KeyNameOfCode(event.Key).empty());
    FUZZ_CHECK((event.Shift & ~(ssCtrl | ssShift | ssAlt | ssWindows)) == 0);
    break;
  case TKind::Click:
  case TKind::Press:
  case TKind::Release: FUZZ_CHECK(event.Button == mbLeft || event.Button == mbRight); break;
  case TKind::DoubleClick: FUZZ_CHECK(event.Button == mbLeft); break;
  case TKind::Move: break;
  case TKind::Wheel:
    FUZZ_CHECK(event.Notches != 0);
    FUZZ_CHECK(event.Shift == 0 || event.Shift == ssCtrl);
    break;
  case TKind::Password:
    // The text ends where the line ends or its comment starts.
    FUZZ_CHECK(event.Text.find_first_of("#\n") == std::string::npos);
    break;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Bytes(data, size);
  std::vector<TScriptEvent> events;
  try {
    events = ParseInputScript(text, kName);
  } catch (const EAssertionFailed& assertion) {
    fuzz::Fail(std::string("assertion reached by input: ") + assertion.what(), __FILE__, __LINE__);
  } catch (const EQxError& error) {
    FUZZ_CHECK(std::string_view(error.what()).starts_with(kName + " line "));
    return 0;
  }

  const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  FUZZ_CHECK(events.size() <= lines);
  std::string again;
  for (size_t i = 0; i < events.size(); ++i) {
    CheckEvent(events[i]);
    if (i > 0)
      FUZZ_CHECK(events[i].Time >= events[i - 1].Time);
    again += LineOf(events[i]) + "\n";
  }
  std::vector<TScriptEvent> reparsed;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(reparsed = ParseInputScript(again, kName)));
  FUZZ_CHECK(reparsed == events);

  TInputScript script(events);
  for (const TScriptEvent& event : events) {
    if (event.Kind == TKind::Password) {
      const std::optional<std::string> password = script.TakePassword();
      FUZZ_CHECK(password && *password == event.Text);
    }
  }
  FUZZ_CHECK(!script.TakePassword());
  // Without a window the events are only counted off; the next time is
  // always one that has not been delivered.
  std::optional<int64_t> next = script.NextEventTime();
  for (int32_t steps = 0; next; ++steps) {
    FUZZ_CHECK(steps <= static_cast<int32_t>(events.size()));
    script.DeliverDue(*next);
    const std::optional<int64_t> later = script.NextEventTime();
    FUZZ_CHECK(!later || *later > *next);
    next = later;
  }
  return 0;
}
