// The converter of files that a decoder plug-in reads (WMA, OGG): the
// plug-in reads the stream itself and writes decoded PCM through a callback
// into the output buffer.
#pragma once

#include "QxLib/Music/qxDecoderPlugins.h"
#include "QxLib/Music/qxWavConverter.h"

#include <memory>

namespace qx {

class TDllConverter : public TWavConverter {
public:
  TDllConverter(TStream& stream, std::shared_ptr<TDecoderLibrary> library);
  ~TDllConverter() override;

  // Creates the plug-in's decoder; false when it gives none.
  bool Open(const TMediaInfo& info) override;
  // Empties the buffers and asks the plug-in for the position; Position()
  // becomes the position it reached.
  void Seek(double ms) override;
  // The plug-in reads the stream itself: nothing to fill.
  bool FillInput() override { return m_decoder != nullptr; }
  // One Decode call; true when it delivered bytes.
  bool Convert(TLocalBuffer& input) override;

private:
  static void Write(void* user, const void* data, int32_t count);

  std::shared_ptr<TDecoderLibrary> m_library;
  void* m_decoder = nullptr;
  bool m_overrun = false;
};

} // namespace qx
