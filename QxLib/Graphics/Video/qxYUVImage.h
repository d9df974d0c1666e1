// A video frame as the drawer shows it: planes of 8-bit luma and chroma (or
// one grey picture when the device has no shaders) that the video source
// writes row by row between a lock and an unlock, and the drawer uploads and
// converts to colour while drawing.
#pragma once

#include "QxLib/qxRefCounted.h"

#include <cstdint>

namespace qx {

class TYUVImage : public TRefCounted {
public:
  enum TMode : int32_t {
    kThreePlanes = 0, // Y at full size, U and V at half size (halves rounded down)
    kGrey = 1,        // one 16-bit grey picture filled from the luma
  };
  enum TPlaneIndex : int32_t { kPlaneY = 0, kPlaneU = 1, kPlaneV = 2, kPlaneGrey = 3 };

  // A locked plane: `Bits` points at the first row, rows are `Pitch` bytes
  // apart; Width x Height are the picture's pixels of that plane (one byte
  // each, two for the grey plane). Empty (null Bits) when the lock was
  // refused.
  struct TPlane {
    uint8_t* Bits = nullptr;
    int32_t Pitch = 0;
    int32_t Width = 0;
    int32_t Height = 0;
  };

  TYUVImage(int32_t width, int32_t height) : m_width(width), m_height(height) {}
  ~TYUVImage() override = default;

  int32_t Width() const { return m_width; }
  int32_t Height() const { return m_height; }

  virtual TMode Mode() const = 0;
  // Locks a plane for writing. Refused (empty plane) while the image is
  // suspended; an index outside 0 ... 3 is an assertion.
  virtual TPlane LockPlane(int32_t plane) = 0;
  // Unlocks the plane and fills its margins up to the allocated size by
  // repeating the last column and row, so filtering at the picture's edges
  // reads valid pixels.
  virtual void UnlockPlane(int32_t plane) = 0;
  // True when a plane lost its contents (its texture was dropped with the
  // device) since the last full refill; the video source then writes every
  // plane again and calls RefillDone.
  virtual bool NeedsRefill() const = 0;
  virtual void RefillDone() = 0;

private:
  int32_t m_width;
  int32_t m_height;
};

} // namespace qx
