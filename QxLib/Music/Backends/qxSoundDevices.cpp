#include "QxLib/Music/Backends/qxSoundDevices.h"

#include "QxLib/Music/Virtual/qxVirtualWaveOut.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxFileStream.h"
#ifdef QX_HAVE_SDL_AUDIO
#include "QxLib/Music/Sdl/qxSdlWaveOut.h"
#endif

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

namespace qx {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

#ifdef QX_HAVE_SDL_AUDIO
const TSoundDeviceDriver kSdlDriver{
    "sdl", "SDL2 audio output", false,
    [](const TSoundDeviceOptions& options) { return TSdlWaveOutDevice::Available(options.SdlDriver); },
    [](const TSoundDeviceOptions& options) -> std::unique_ptr<TWaveOutDevice> {
      return std::make_unique<TSdlWaveOutDevice>(options.SdlDriver);
    }};
#endif

const TSoundDeviceDriver kVirtualDriver{"virtual", "mixes into a WAV file on a clock its caller advances", true,
                                        [](const TSoundDeviceOptions&) { return true; },
                                        [](const TSoundDeviceOptions& options) -> std::unique_ptr<TWaveOutDevice> {
                                          if (options.VirtualOutput.empty())
                                            return std::make_unique<TVirtualWaveOutDevice>();
                                          return TVirtualWaveOutDevice::CreateForFile(options.VirtualOutput);
                                        }};

const TSoundDeviceDriver kNoneDriver{
    "none", "no sound; the show plays on the system clock", false, [](const TSoundDeviceOptions&) { return true; },
    [](const TSoundDeviceOptions&) -> std::unique_ptr<TWaveOutDevice> { return std::make_unique<TNoWaveOutDevice>(); }};

const auto kDrivers = std::to_array<const TSoundDeviceDriver*>({
#ifdef QX_HAVE_SDL_AUDIO
    &kSdlDriver,
#endif
    &kVirtualDriver,
    &kNoneDriver,
});

} // namespace

std::span<const TSoundDeviceDriver* const> SoundDeviceDrivers() { return kDrivers; }

std::string SoundDeviceNames() {
  std::string names;
  for (const TSoundDeviceDriver* driver : kDrivers)
    names += (names.empty() ? "" : "|") + std::string(driver->Name);
  return names;
}

const TSoundDeviceDriver* ChooseSoundDevice(std::string_view requested, const TSoundDeviceOptions& options,
                                            std::string& error) {
  if (!requested.empty()) {
    const auto found = std::find_if(kDrivers.begin(), kDrivers.end(),
                                    [&](const TSoundDeviceDriver* d) { return SameName(d->Name, requested); });
    if (found == kDrivers.end()) {
      error = "Unknown audio device \"" + std::string(requested) + "\" (" + SoundDeviceNames() + ")";
      return nullptr;
    }
    if (!(*found)->Available(options)) {
      error = "The audio device \"" + std::string((*found)->Name) + "\" does not open here";
      return nullptr;
    }
    return *found;
  }
  for (const TSoundDeviceDriver* driver : kDrivers) {
    if (!driver->DemandOnly && driver->Available(options))
      return driver;
  }
  error = "No audio device opens here";
  return nullptr;
}

std::unique_ptr<TWaveOutDevice> CreateWaveOutDevice(std::string_view requested, const TSoundDeviceOptions& options,
                                                    std::string& error) {
  const TSoundDeviceDriver* const driver = ChooseSoundDevice(requested, options, error);
  if (!driver)
    return nullptr;
  try {
    return driver->Create(options);
  } catch (const EQxError& e) {
    error = e.what();
    return nullptr;
  }
}

std::string RequestedSoundDevice(const std::optional<std::string>& commandLineChoice) {
  if (commandLineChoice)
    return *commandLineChoice;
  const char* const value = std::getenv(kAudioVariable);
  return value ? value : "";
}

} // namespace qx
