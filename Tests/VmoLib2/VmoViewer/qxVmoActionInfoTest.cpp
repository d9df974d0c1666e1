#include "VmoLib2/VmoViewer/qxVmoActionInfo.h"

#include <gtest/gtest.h>

namespace qx {

TEST(ActionInfo, KindIntegerAndTheRestAsText) {
  EXPECT_EQ(ParseActionText("7,3,"), (TVmoActionInfo{akGotoSlide, 3, ""}));
  EXPECT_EQ(ParseActionText("7,-1,Intro"), (TVmoActionInfo{akGotoSlide, -1, "Intro"}));
  EXPECT_EQ(ParseActionText("10,0,\"a b.exe\",c.exe,d"), (TVmoActionInfo{akRunProgram, 0, "\"a b.exe\",c.exe,d"}));
  EXPECT_EQ(ParseActionText("16,0,"), (TVmoActionInfo{akCloseDialog, 0, ""}));
}

TEST(ActionInfo, MissingPartsCountAsZeroOrEmpty) {
  EXPECT_EQ(ParseActionText("3"), (TVmoActionInfo{akNextSlide, 0, ""}));
  EXPECT_EQ(ParseActionText("3,"), (TVmoActionInfo{akNextSlide, 0, ""}));
  EXPECT_EQ(ParseActionText("8,x,example.org"), (TVmoActionInfo{akOpenWeb, 0, "example.org"}));
}

TEST(ActionInfo, TextsThatAreNoActions) {
  EXPECT_TRUE(ParseActionText("").IsNone());
  EXPECT_TRUE(ParseActionText("Next").IsNone());
  EXPECT_TRUE(ParseActionText("x,1,2").IsNone());
  EXPECT_TRUE(ParseActionText("256,0,").IsNone());
  EXPECT_TRUE(ParseActionText("-3,0,").IsNone());
  EXPECT_TRUE(ParseActionText("3x,0,").IsNone());
  EXPECT_TRUE(ParseActionText("99999999999999999999,0,").IsNone());
}

} // namespace qx
