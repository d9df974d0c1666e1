// The table of sound devices: the one place that lists the back ends of the
// wave-out device, in preference order (SDL when this build has it, the
// virtual device, none), and makes the one chosen by name or by
// availability. The virtual device is chosen only by name: its clock runs
// only when its caller advances it.
#pragma once

#include "QxLib/Music/qxWaveOut.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qx {

// The command-line option ("-audio sdl") and the environment variable that
// name the sound device; see RequestedSoundDevice.
constexpr const char* kAudioCommand = "audio";
constexpr const char* kAudioVariable = "VMO_AUDIO";

// What a back end may need to open.
struct TSoundDeviceOptions {
  std::string SdlDriver;     // SDL's audio driver ("" = SDL's own choice)
  std::string VirtualOutput; // WAV file of the virtual device ("" = discard)
};

struct TSoundDeviceDriver {
  const char* Name;        // lower case, as the user writes it
  const char* Description; // one line for usage texts
  // Skipped when choosing by availability.
  bool DemandOnly;
  // Whether the device opens here; may open and close one.
  bool (*Available)(const TSoundDeviceOptions& options);
  // The device; raises EQxError when it cannot be made at all (a device
  // that makes no sound answers IsUsable false instead).
  std::unique_ptr<TWaveOutDevice> (*Create)(const TSoundDeviceOptions& options);
};

// The back ends of this build, in preference order.
std::span<const TSoundDeviceDriver* const> SoundDeviceDrivers();
// "sdl|virtual|none", for usage texts.
std::string SoundDeviceNames();

// The back end named `requested` (without regard to case), or, when it is
// empty, the first available one that is not demand-only. Null with `error`
// set when the name is unknown or the named device does not open here.
const TSoundDeviceDriver* ChooseSoundDevice(std::string_view requested, const TSoundDeviceOptions& options,
                                            std::string& error);

// The chosen back end's device; null with `error` set when the choice or
// the creation fails.
std::unique_ptr<TWaveOutDevice> CreateWaveOutDevice(std::string_view requested, const TSoundDeviceOptions& options,
                                                    std::string& error);

// The device the user asked for: `commandLineChoice` (the item of
// "-audio NAME") when given, else the environment variable VMO_AUDIO when
// set, else "" (choose by availability). Read once at start-up and passed
// on; the back ends read no environment.
std::string RequestedSoundDevice(const std::optional<std::string>& commandLineChoice);

} // namespace qx
