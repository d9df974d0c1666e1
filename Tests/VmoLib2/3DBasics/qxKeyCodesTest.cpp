// Key names as SDL writes them and the virtual-key numbers the bindings use.
#include "VmoLib2/3DBasics/qxKeyCodes.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(KeyCodes, NamesGiveTheBindingsKeyNumbers) {
  EXPECT_EQ(KeyCodeFromName("Escape"), vkEscape);
  EXPECT_EQ(KeyCodeFromName("space"), vkSpace);
  EXPECT_EQ(KeyCodeFromName("Right"), vkRight);
  EXPECT_EQ(KeyCodeFromName("PageDown"), vkPageDown);
  EXPECT_EQ(KeyCodeFromName("F1"), vkF1);
  EXPECT_EQ(KeyCodeFromName("F12"), 123);
  EXPECT_EQ(KeyCodeFromName("p"), vkP);
  EXPECT_EQ(KeyCodeFromName("7"), vk0 + 7);
  EXPECT_EQ(KeyCodeFromName("AudioPlay"), vkMediaPlayPause);
  EXPECT_EQ(KeyCodeFromName("AC Back"), vkBrowserBack);
  EXPECT_EQ(KeyCodeFromName("Keypad 3"), vkNumpad0 + 3);
  EXPECT_EQ(KeyCodeFromName("Keypad Enter"), vkReturn);
  EXPECT_EQ(KeyCodeFromName("Righty"), kNoKey);
  EXPECT_EQ(KeyCodeFromName(""), kNoKey);
}

TEST(KeyCodes, EachCodeHasTheFirstOfItsNames) {
  EXPECT_EQ(KeyNameOfCode(vkReturn), "Return");
  EXPECT_EQ(KeyNameOfCode(vkA + 25), "Z");
  EXPECT_EQ(KeyNameOfCode(vkMediaStop), "AudioStop");
  EXPECT_EQ(KeyNameOfCode(255), "");
  for (int32_t code = 0; code < kKeyCodeCount; ++code) {
    const std::string_view name = KeyNameOfCode(code);
    if (!name.empty()) {
      EXPECT_EQ(KeyCodeFromName(name), code) << name;
    }
  }
}

TEST(KeyCodes, ChordsPutModifiersBeforeTheKey) {
  const std::optional<TKeyChord> ctrlP = ParseKeyChord("Ctrl+P");
  ASSERT_TRUE(ctrlP);
  EXPECT_EQ(ctrlP->Code, vkP);
  EXPECT_EQ(ctrlP->Shift, ssCtrl);
  const std::optional<TKeyChord> three = ParseKeyChord("shift+CTRL+alt+Right");
  ASSERT_TRUE(three);
  EXPECT_EQ(three->Shift, ssShift | ssCtrl | ssAlt);
  EXPECT_EQ(three->Code, vkRight);
  // A key whose name holds "+".
  const std::optional<TKeyChord> plus = ParseKeyChord("Ctrl+Keypad +");
  ASSERT_TRUE(plus);
  EXPECT_EQ(plus->Code, 107);
  EXPECT_EQ(plus->Shift, ssCtrl);
  EXPECT_FALSE(ParseKeyChord("Hyper+P"));
  EXPECT_FALSE(ParseKeyChord("Ctrl+"));
  EXPECT_FALSE(ParseKeyChord("Ctrl+Nothing"));
}

} // namespace
} // namespace qx
