#include "QxLib/Music/Backends/qxSoundDevices.h"

#include "QxLib/Music/Virtual/qxVirtualWaveOut.h"

#include <gtest/gtest.h>

namespace qx {

TEST(SoundDevices, TheTableListsTheBackEndsInPreferenceOrder) {
  const std::string names = SoundDeviceNames();
  EXPECT_TRUE(names == "sdl|virtual|none" || names == "virtual|none") << names;
  EXPECT_EQ(std::string(SoundDeviceDrivers().back()->Name), "none");
}

TEST(SoundDevices, ANameChoosesItsDeviceWithoutRegardToCase) {
  std::string error;
  const TSoundDeviceDriver* driver = ChooseSoundDevice("VIRTUAL", {}, error);
  ASSERT_NE(driver, nullptr) << error;
  EXPECT_EQ(std::string(driver->Name), "virtual");
  std::unique_ptr<TWaveOutDevice> device = CreateWaveOutDevice("virtual", {}, error);
  ASSERT_NE(device, nullptr) << error;
  EXPECT_NE(dynamic_cast<TVirtualWaveOutDevice*>(device.get()), nullptr);
  device = CreateWaveOutDevice("none", {}, error);
  ASSERT_NE(device, nullptr);
  EXPECT_FALSE(device->IsUsable());
}

TEST(SoundDevices, UnknownOrUnavailableNamesFailClearly) {
  std::string error;
  EXPECT_EQ(ChooseSoundDevice("dsound", {}, error), nullptr);
  EXPECT_NE(error.find("Unknown audio device \"dsound\""), std::string::npos) << error;
  TSoundDeviceOptions options;
  options.SdlDriver = "no-such-driver";
  if (SoundDeviceNames().starts_with("sdl")) {
    error.clear();
    EXPECT_EQ(ChooseSoundDevice("sdl", options, error), nullptr);
    EXPECT_NE(error.find("does not open here"), std::string::npos) << error;
  }
  options.VirtualOutput = "/no/such/folder/out.wav";
  EXPECT_EQ(CreateWaveOutDevice("virtual", options, error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST(SoundDevices, TheChoiceByAvailabilityNeverTakesTheVirtualDevice) {
  TSoundDeviceOptions options;
  options.SdlDriver = "no-such-driver";
  std::string error;
  const TSoundDeviceDriver* driver = ChooseSoundDevice("", options, error);
  ASSERT_NE(driver, nullptr) << error;
  EXPECT_EQ(std::string(driver->Name), "none");
  if (SoundDeviceNames().starts_with("sdl")) {
    options.SdlDriver = "dummy";
    driver = ChooseSoundDevice("", options, error);
    ASSERT_NE(driver, nullptr) << error;
    EXPECT_EQ(std::string(driver->Name), "sdl");
  }
}

TEST(SoundDevices, TheCommandLineChoiceComesFirst) { EXPECT_EQ(RequestedSoundDevice(std::string("none")), "none"); }

} // namespace qx
