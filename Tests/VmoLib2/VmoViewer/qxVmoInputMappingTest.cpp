// The binding table of a show: mouse words, the default keys and their
// shift mask, "opt_synchpermitcontrol", screen-saver and exit-on-move.
#include "VmoLib2/VmoViewer/qxVmoInputMapping.h"

#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"
#include "VmoLib2/VmoViewer/qxVmoEngine2.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

std::unique_ptr<TInputMappingClass> Mapping(const std::string& main) {
  return std::make_unique<TInputMappingClass>(*test::Project("[Main]\nopt_slidescount=5\n" + main));
}

// The action kind a key press gives, 0 when none.
int KeyKind(const TInputMappingClass& mapping, int32_t key, uint8_t shift = 0) {
  const TKeyMap* binding = mapping.KeyAction(shift, key, kKeyPressed);
  return binding ? binding->Action.Kind : 0;
}

TEST(InputMapping, MouseWordsAreComparedExactlyAndOtherWordsAreNoAction) {
  auto mapping = Mapping("opt_leftmouse=Next slide\nopt_rightmouse=None\nopt_dblclick=Go to first\n");
  EXPECT_EQ(mapping->MouseAction(true, 5, mkButtonDown, mbLeft, 5).Kind, akNextSlide);
  EXPECT_TRUE(mapping->MouseAction(true, 5, mkButtonDown, mbRight, 5).IsNone());
  const TVmoActionInfo first = mapping->MouseAction(true, 5, mkDoubleClick, mbLeft, 5);
  EXPECT_EQ(first.Kind, akGotoSlide);
  EXPECT_EQ(first.Integer, 0);
  // The middle button and a right double click have no word.
  EXPECT_TRUE(mapping->MouseAction(true, 5, mkButtonDown, mbMiddle, 5).IsNone());
  EXPECT_TRUE(mapping->MouseAction(true, 5, mkDoubleClick, mbRight, 5).IsNone());

  EXPECT_TRUE(MouseWordAction("next slide").IsNone());
  EXPECT_EQ(MouseWordAction("Prev. slide").Kind, akPreviousSlide);
  EXPECT_EQ(MouseWordAction("Exit").Kind, akExit);
  EXPECT_EQ(MouseWordAction("Help").Kind, akHelp);
  EXPECT_EQ(MouseWordAction("Pause").Kind, akPause);
}

TEST(InputMapping, DefaultKeysWithTheirActions) {
  auto mapping = Mapping("");
  EXPECT_EQ(KeyKind(*mapping, vkEscape), akExit);
  for (int32_t key : {vkSpace, vkPause, vkMediaPlayPause})
    EXPECT_EQ(KeyKind(*mapping, key), akPause) << key;
  EXPECT_EQ(KeyKind(*mapping, vkP, ssCtrl), akPause);
  EXPECT_EQ(KeyKind(*mapping, vkMediaStop), akPauseAtStart);
  for (int32_t key : {vkLeft, vkPageUp, vkBrowserBack, vkMediaPreviousTrack})
    EXPECT_EQ(KeyKind(*mapping, key), akPreviousSlide) << key;
  for (int32_t key : {vkRight, vkPageDown, vkBrowserForward, vkMediaNextTrack})
    EXPECT_EQ(KeyKind(*mapping, key), akNextSlide) << key;
  EXPECT_EQ(KeyKind(*mapping, vkF1), akHelp);
  EXPECT_EQ(KeyKind(*mapping, vkA), 0);
  // Home goes to the first slide, End to the last ("opt_slidescount").
  EXPECT_EQ(mapping->KeyAction(0, vkHome, kKeyPressed)->Action, (TVmoActionInfo{akGotoSlide, 0, {}}));
  EXPECT_EQ(mapping->KeyAction(0, vkEnd, kKeyPressed)->Action, (TVmoActionInfo{akGotoSlide, 5, {}}));
}

TEST(InputMapping, ShiftAltAndCtrlMustMatchButTheWindowsKeyAndButtonsDoNot) {
  auto mapping = Mapping("");
  EXPECT_EQ(KeyKind(*mapping, vkP, ssCtrl | ssShift), 0) << "Ctrl+Shift+P does not pause";
  EXPECT_EQ(KeyKind(*mapping, vkP), 0) << "P alone does not pause";
  EXPECT_EQ(KeyKind(*mapping, vkP, ssCtrl | ssWindows | ssLeft), akPause);
  EXPECT_EQ(KeyKind(*mapping, vkRight, ssAlt), 0);
  EXPECT_EQ(KeyKind(*mapping, vkRight, ssWindows), akNextSlide);
  // Only key presses are bound, and codes from 256 on have no binding.
  EXPECT_EQ(mapping->KeyAction(0, vkRight, 2), nullptr);
  EXPECT_EQ(mapping->KeyAction(0, 256, kKeyPressed), nullptr);
  EXPECT_EQ(mapping->KeyAction(0, -1, kKeyPressed), nullptr);
}

TEST(InputMapping, ALaterBindingOfAKeyIsTriedFirst) {
  auto mapping = Mapping("");
  mapping->AddBinding(vkRight, 0, 0, kKeyPressed, {akExit, 0, {}});
  EXPECT_EQ(KeyKind(*mapping, vkRight), akExit);
  EXPECT_EQ(KeyKind(*mapping, vkRight, ssShift), akExit) << "an empty mask matches every shift state";
}

TEST(InputMapping, WithoutPermitControlOnlyEscapeAndF1AreBound) {
  auto mapping = Mapping("opt_synchpermitcontrol=0\n");
  for (int32_t key = 0; key < kKeyCodeCount; ++key) {
    for (uint8_t shift : {uint8_t(0), uint8_t(ssCtrl)}) {
      const int kind = KeyKind(*mapping, key, shift);
      if (key == vkEscape && shift == 0)
        EXPECT_EQ(kind, akExit);
      else if (key == vkF1 && shift == 0)
        EXPECT_EQ(kind, akHelp);
      else
        EXPECT_EQ(kind, 0) << key << " " << int(shift);
    }
  }
  EXPECT_FALSE(mapping->PermitControl());
}

TEST(InputMapping, F1IsLockedByTheProject) {
  EXPECT_EQ(KeyKind(*Mapping("opt_lockf1=1\n"), vkF1), 0);
  EXPECT_EQ(KeyKind(*Mapping("opt_lockf1=0\n"), vkF1), akHelp);
}

TEST(InputMapping, KeysThatContinueFromAPauseBarrierOnlyWithoutPermitControl) {
  auto locked = Mapping("opt_synchpermitcontrol=0\n");
  for (int32_t key : {vkPause, vkSpace, vkPageDown, vkRight, vkBrowserForward, vkMediaNextTrack, vkMediaPlayPause})
    EXPECT_TRUE(locked->ContinuesFromBarrier(key)) << key;
  for (int32_t key : {vkLeft, vkPageUp, vkHome, vkEnd, vkEscape, vkReturn, vkMediaStop})
    EXPECT_FALSE(locked->ContinuesFromBarrier(key)) << key;
  // With control permitted the bound actions continue the show instead.
  EXPECT_FALSE(Mapping("")->ContinuesFromBarrier(vkSpace));
}

TEST(InputMapping, ScreenSaverExitsOnAnyKeyOnAnyButtonAndOnAMoveOfSixPixels) {
  auto mapping = Mapping("opt_ssaver=1\nopt_leftmouse=Next slide\n");
  for (int32_t key : {int32_t(vkA), int32_t(vkLeft), 300, 0})
    EXPECT_EQ(KeyKind(*mapping, key, ssShift), akExit) << key;
  EXPECT_EQ(mapping->MouseAction(true, 0, mkButtonDown, mbLeft, 0).Kind, akExit);
  EXPECT_TRUE(mapping->HasMoveDetector());
  // The first position is only the reference.
  EXPECT_TRUE(mapping->MouseAction(false, 100, mkMove, mbNone, 100).IsNone());
  EXPECT_TRUE(mapping->MouseAction(false, 103, mkMove, mbNone, 102).IsNone()) << "5 pixels stay";
  EXPECT_EQ(mapping->MouseAction(false, 103, mkMove, mbNone, 103).Kind, akExit) << "6 pixels exit";
  // The far position became the reference.
  EXPECT_TRUE(mapping->MouseAction(false, 105, mkMove, mbNone, 105).IsNone());
}

TEST(InputMapping, ExitOnMoveKeepsTheButtonWords) {
  auto mapping = Mapping("opt_exitonmove=1\nopt_leftmouse=Pause\n");
  EXPECT_TRUE(mapping->HasMoveDetector());
  EXPECT_FALSE(mapping->ScreenSaver());
  EXPECT_EQ(mapping->MouseAction(true, 0, mkButtonDown, mbLeft, 0).Kind, akPause);
  EXPECT_TRUE(mapping->MouseAction(false, 0, mkMove, mbNone, 0).IsNone());
  EXPECT_EQ(mapping->MouseAction(false, -6, mkMove, mbNone, 0).Kind, akExit);
  EXPECT_FALSE(Mapping("")->HasMoveDetector());
}

TEST(InputMapping, AProjectWithoutMainSectionHasTheDefaults) {
  TInputMappingClass mapping(*test::Project("[Slide1]\n"));
  EXPECT_EQ(KeyKind(mapping, vkSpace), akPause);
  EXPECT_EQ(mapping.KeyAction(0, vkEnd, kKeyPressed)->Action.Integer, 0);
  EXPECT_TRUE(mapping.MouseAction(true, 0, mkButtonDown, mbLeft, 0).IsNone());
}

} // namespace
} // namespace qx
