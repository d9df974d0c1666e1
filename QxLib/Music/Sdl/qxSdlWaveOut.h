// The SDL2 sound device: one output stream of the mixing format (44100 Hz,
// 16 bits, stereo; SDL converts it when the hardware differs) whose audio
// callback pulls the software mixer. Buffers refill and the clock ticks on
// threads of their own, on the system's millisecond counter. When SDL has no
// audio driver or cannot open a device, the device is unusable and the show
// plays without sound on the system clock.
#pragma once

#include "QxLib/Music/qxSoftWaveOut.h"

#include <cstdint>
#include <string>

namespace qx {

class TSdlWaveOutDevice : public TSoftWaveOutDevice {
public:
  // Opens SDL's default output through the audio driver `driver` ("" for
  // the one SDL chooses; "dummy" plays into nothing at the pace of a sound
  // card).
  explicit TSdlWaveOutDevice(const std::string& driver = {});
  ~TSdlWaveOutDevice() override;

  bool IsUsable() override { return m_device != 0; }
  int64_t NowMs() override { return SystemMilliseconds(); }

  // Why the device is unusable ("" when it is usable).
  const std::string& FailureText() const { return m_failure; }
  // The SDL driver in use ("" when unusable).
  const std::string& DriverName() const { return m_driverName; }

  // Whether an output device opens here through `driver`; opens and closes
  // one.
  static bool Available(const std::string& driver = {});

private:
  static void AudioCallback(void* user, uint8_t* stream, int length);

  uint32_t m_device = 0;
  bool m_subsystem = false;
  std::string m_failure;
  std::string m_driverName;
};

} // namespace qx
