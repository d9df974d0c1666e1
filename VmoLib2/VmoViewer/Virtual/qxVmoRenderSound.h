// The sound of a rendered session: the virtual sound device, advanced with
// the session's wall clock, writing DIR/audio.wav (44100 Hz, 16 bits,
// stereo), which is cut at the end to exactly the samples of the frames
// written.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoRenderSession.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qx {

class TStream;
class TVirtualWaveOutDevice;
class TWaveOutDevice;

class TVmoRenderSound final : public TRenderSession::TSound {
public:
  // Creates the WAV file; raises EStreamError when it cannot.
  explicit TVmoRenderSound(const std::string& path);
  // Mixes as the device does and drops the sound.
  TVmoRenderSound();
  ~TVmoRenderSound() override;

  // The device the session's music players play on.
  TWaveOutDevice& Device();

  void Advance(int32_t ms) override;
  // Cuts the file to `samples` sample frames (it holds at least as many).
  void Finish(int64_t samples) override;

private:
  std::unique_ptr<TVirtualWaveOutDevice> m_device;
  // The file the device writes (null when the sound is dropped); it
  // belongs to the device.
  TStream* m_file = nullptr;
};

} // namespace qx
