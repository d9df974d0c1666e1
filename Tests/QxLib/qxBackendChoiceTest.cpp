#include "QxLib/qxBackendChoice.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qx {
namespace {

int g_probes = 0;
bool Yes() {
  ++g_probes;
  return true;
}
bool No() {
  ++g_probes;
  return false;
}

const TBackendInfo kFast{"fast", "needs a library", No};
const TBackendInfo kWindowed{"windowed", "needs a display", Yes};
const TBackendInfo kNull{"null", "always there", nullptr};
const TBackendInfo* const kTable[] = {&kFast, &kWindowed, &kNull};

class BackendChoice : public testing::Test {
protected:
  void SetUp() override { g_probes = 0; }
  std::string m_error;
};

TEST_F(BackendChoice, WithoutANameTheFirstAvailableWinsAndLaterOnesAreNotProbed) {
  EXPECT_EQ(ChooseBackend(kTable, "", "engine", m_error), 1);
  EXPECT_EQ(g_probes, 2);
  const TBackendInfo* const nullOnly[] = {&kFast, &kNull};
  EXPECT_EQ(ChooseBackend(nullOnly, "", "engine", m_error), 1);
}

TEST_F(BackendChoice, ANameChoosesThatBackEndWhateverItsPlaceAndCase) {
  EXPECT_EQ(ChooseBackend(kTable, "NULL", "engine", m_error), 2);
  EXPECT_EQ(ChooseBackend(kTable, "Windowed", "engine", m_error), 1);
  EXPECT_EQ(g_probes, 1);
}

TEST_F(BackendChoice, ANamedBackEndThatCannotRunIsAnErrorNotAFallBack) {
  EXPECT_EQ(ChooseBackend(kTable, "fast", "engine", m_error), -1);
  EXPECT_EQ(m_error, "engine \"fast\" is not available here");
}

TEST_F(BackendChoice, AnUnknownNameListsTheChoices) {
  EXPECT_EQ(ChooseBackend(kTable, "d3d9", "engine", m_error), -1);
  EXPECT_EQ(m_error, "unknown engine \"d3d9\" (choose fast|windowed|null)");
}

TEST_F(BackendChoice, NothingAvailableIsAnError) {
  const TBackendInfo* const none[] = {&kFast};
  EXPECT_EQ(ChooseBackend(none, "", "audio", m_error), -1);
  EXPECT_EQ(m_error, "no audio is available here");
  EXPECT_EQ(ChooseBackend({}, "", "audio", m_error), -1);
}

struct TDriver {
  TBackendInfo info;
  int value;
};

TEST_F(BackendChoice, DriverTablesAreChosenThroughTheirInfo) {
  const TDriver first{{"first", "", No}, 1};
  const TDriver second{{"second", "", nullptr}, 2};
  const TDriver* const drivers[] = {&first, &second};
  const TDriver* chosen = ChooseDriver<TDriver>(drivers, "", "engine", m_error);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->value, 2);
  EXPECT_EQ(ChooseDriver<TDriver>(drivers, "third", "engine", m_error), nullptr);
  EXPECT_EQ(DriverNames<TDriver>(drivers), "first|second");
}

TEST(RequestedBackend, TheCommandLineWinsOverTheEnvironment) {
  ASSERT_NE(std::getenv("PATH"), nullptr);
  EXPECT_EQ(RequestedBackend(std::string("null"), "PATH"), "null");
  EXPECT_EQ(RequestedBackend(std::nullopt, "PATH"), std::getenv("PATH"));
  EXPECT_EQ(RequestedBackend(std::nullopt, "VMO_NO_SUCH_VARIABLE_FOR_TESTS"), "");
  EXPECT_EQ(RequestedBackend(std::nullopt, nullptr), "");
}

} // namespace
} // namespace qx
