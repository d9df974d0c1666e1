// The four-byte frame header of MPEG audio layers I to III (MPEG-1, MPEG-2
// and MPEG-2.5): validity, bit rate, sample rate and frame size.
#pragma once

#include <cstdint>

namespace qx {

struct TMpegFrameHeader {
  int Version = 0;    // 10 = MPEG-1, 20 = MPEG-2, 25 = MPEG-2.5
  int Layer = 0;      // 1 ... 3
  int BitRate = 0;    // kbit/s
  int SampleRate = 0; // Hz
  bool Padding = false;
  bool SingleChannel = false;

  // Samples of one channel in a frame: 384 (layer I), 1152 (layer II and
  // MPEG-1 layer III), 576 (MPEG-2/2.5 layer III).
  int SamplesPerFrame() const;
  // Bytes per (kbit/s ÷ sample rate) of a frame: samples per frame ÷ 8.
  int Coefficient() const { return SamplesPerFrame() / 8; }
  // Bytes of the frame including the header and its padding.
  int FrameSize() const;
  bool SameStream(const TMpegFrameHeader& other) const {
    return Version == other.Version && Layer == other.Layer && SampleRate == other.SampleRate;
  }
};

// Whether four bytes start a frame: sync, a version that is not reserved, a
// layer, a bit-rate index neither 0 ("free") nor 15, a sample-rate index
// that is not reserved, and an emphasis that is not reserved. Fills `header`
// when they do.
bool ParseMpegFrameHeader(const uint8_t* bytes, TMpegFrameHeader& header);

} // namespace qx
