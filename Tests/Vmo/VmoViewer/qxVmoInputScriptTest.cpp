// Scripts of input: each kind of line, comments and blanks, and the errors
// that name their line.
#include "Vmo/VmoViewer/qxVmoInputScript.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DBasics/qxKeyCodes.h"
#include "VmoLib2/VmoViewer/qxVmoEngine2.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using TKind = TScriptEvent::TKind;

std::string ErrorOf(const std::string& text) {
  try {
    ParseInputScript(text, "s.txt");
  } catch (const EQxError& error) {
    return error.what();
  }
  return "";
}

TEST(InputScript, EveryKindOfLine) {
  const std::vector<TScriptEvent> events = ParseInputScript("# a comment\n"
                                                            "\n"
                                                            "  100 key Ctrl+Shift+P   # trailing comment\r\n"
                                                            "100 key Keypad 5\n"
                                                            "200 click 10 20\n"
                                                            "200 click 10 20 right\n"
                                                            "250 click 1 2 double\n"
                                                            "300 press 5 6 right\n"
                                                            "310 release 7 8\n"
                                                            "400 move -3 +4\n"
                                                            "500 wheel -2 ctrl\n"
                                                            "600 password  two words \n"
                                                            "700 password\n",
                                                            "s.txt");
  ASSERT_EQ(events.size(), 11u);
  EXPECT_EQ(events[0].Kind, TKind::Key);
  EXPECT_EQ(events[0].Time, 100);
  EXPECT_EQ(events[0].Key, vkP);
  EXPECT_EQ(events[0].Shift, ssCtrl | ssShift);
  EXPECT_EQ(events[1].Key, vkNumpad0 + 5);
  EXPECT_EQ(events[2].Kind, TKind::Click);
  EXPECT_EQ(events[2].Button, mbLeft);
  EXPECT_EQ(events[2].X, 10);
  EXPECT_EQ(events[2].Y, 20);
  EXPECT_EQ(events[3].Button, mbRight);
  EXPECT_EQ(events[4].Kind, TKind::DoubleClick);
  EXPECT_EQ(events[5].Kind, TKind::Press);
  EXPECT_EQ(events[5].Button, mbRight);
  EXPECT_EQ(events[6].Kind, TKind::Release);
  EXPECT_EQ(events[6].Button, mbLeft);
  EXPECT_EQ(events[7].Kind, TKind::Move);
  EXPECT_EQ(events[7].X, -3);
  EXPECT_EQ(events[7].Y, 4);
  EXPECT_EQ(events[8].Notches, -2);
  EXPECT_EQ(events[8].Shift, ssCtrl);
  EXPECT_EQ(events[9].Text, "two words");
  EXPECT_EQ(events[10].Text, "");
}

TEST(InputScript, BadLinesNameTheirNumber) {
  EXPECT_EQ(ErrorOf("100 key\n"), "s.txt line 1: key wants a key name");
  EXPECT_EQ(ErrorOf("\n\n100 key Ctrl+Q+\n"), "s.txt line 3: unknown key \"Ctrl+Q+\"");
  EXPECT_EQ(ErrorOf("100 click 1 2 middle\n"), "s.txt line 1: unknown button \"middle\"");
  EXPECT_EQ(ErrorOf("100 press 1 2 double\n"), "s.txt line 1: unknown button \"double\"");
  EXPECT_EQ(ErrorOf("100 move 1\n"), "s.txt line 1: move wants <x> <y>");
  EXPECT_EQ(ErrorOf("100 move 1 y\n"), "s.txt line 1: \"y\" is not a pixel coordinate");
  EXPECT_EQ(ErrorOf("100 wheel 1 shift\n"), "s.txt line 1: unknown wheel modifier \"shift\"");
  EXPECT_EQ(ErrorOf("-5 key Space\n"), "s.txt line 1: \"-5\" is not a time in ms");
  EXPECT_EQ(ErrorOf("99999999999999999999 key Space\n"), "s.txt line 1: \"99999999999999999999\" is not a time in ms");
  EXPECT_EQ(ErrorOf("100\n"), "s.txt line 1: an event kind must follow the time");
  EXPECT_EQ(ErrorOf("200 key A\n100 key A\n"), "s.txt line 2: the time goes back");
}

TEST(InputScript, PasswordsAreTakenInTurnAndNotDeliveredAtTheirTime) {
  TInputScript script(ParseInputScript("0 password one\n50 key Space\n900 password two\n", "s"));
  EXPECT_EQ(script.NextEventTime(), 50) << "a password line is no timed event";
  script.DeliverDue(0);
  EXPECT_EQ(script.NextEventTime(), 50);
  script.DeliverDue(50);
  EXPECT_EQ(script.NextEventTime(), std::nullopt) << "password lines wait for their dialog";
  EXPECT_EQ(script.TakePassword(), "one");
  EXPECT_EQ(script.TakePassword(), "two");
  EXPECT_EQ(script.TakePassword(), std::nullopt);
}

TEST(InputScript, AMissingFileIsAClearError) {
  try {
    ReadInputScript("/nonexistent/input.txt");
    FAIL();
  } catch (const EQxError& error) {
    EXPECT_NE(std::string(error.what()).find("cannot read the input script /nonexistent/input.txt"), std::string::npos);
  }
}

} // namespace
} // namespace qx
