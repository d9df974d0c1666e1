// The sound of an exported video: the virtual sound device, advanced with
// the session's wall clock, mixing into memory instead of a WAV file; the
// export takes the mixed samples as its frames are encoded.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoRenderSession.h"
#include "VmoLib2/VmoViewer/qxVmoVideoExport.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace qx {

class TVirtualWaveOutDevice;
class TWaveOutDevice;

class TVmoExportSound final : public TRenderSession::TSound, public TMixedSoundTap {
public:
  TVmoExportSound();
  ~TVmoExportSound() override;

  // The device the session's music players play on.
  TWaveOutDevice& Device();

  void Advance(int32_t ms) override;
  // Marks where the sound ends; nothing past `samples` is ever taken.
  void Finish(int64_t samples) override;

  int64_t Take(int64_t end, std::vector<int16_t>& into) override;

private:
  class TTapStream;

  // The stream the device writes; it belongs to the device.
  TTapStream* m_tap = nullptr;
  std::unique_ptr<TVirtualWaveOutDevice> m_device;
  int64_t m_end = INT64_MAX;
};

} // namespace qx
