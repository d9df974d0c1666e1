#include "QxLib/Music/qxMpegHeader.h"

namespace qx {

namespace {

// kbit/s by [MPEG-1 ? 0 : 1][layer - 1][index]
constexpr int kBitRates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};

constexpr int kSampleRates[3] = {44100, 48000, 32000};

} // namespace

int TMpegFrameHeader::SamplesPerFrame() const {
  if (Layer == 1)
    return 384;
  if (Layer == 2 || Version == 10)
    return 1152;
  return 576;
}

int TMpegFrameHeader::FrameSize() const {
  if (SampleRate <= 0)
    return 0;
  if (Layer == 1)
    return (12 * BitRate * 1000 / SampleRate + (Padding ? 1 : 0)) * 4;
  return Coefficient() * BitRate * 1000 / SampleRate + (Padding ? 1 : 0);
}

bool ParseMpegFrameHeader(const uint8_t* bytes, TMpegFrameHeader& header) {
  if (bytes[0] != 255 || bytes[1] < 224)
    return false;
  const int versionBits = (bytes[1] >> 3) & 3;
  const int layerBits = (bytes[1] >> 1) & 3;
  const int bitRateIndex = bytes[2] >> 4;
  const int rateIndex = (bytes[2] >> 2) & 3;
  if (versionBits == 1 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 || rateIndex == 3 ||
      (bytes[3] & 3) == 2)
    return false;
  header.Version = versionBits == 3 ? 10 : versionBits == 2 ? 20 : 25;
  header.Layer = 4 - layerBits;
  header.BitRate = kBitRates[header.Version == 10 ? 0 : 1][header.Layer - 1][bitRateIndex];
  const int divisor = header.Version == 10 ? 1 : header.Version == 20 ? 2 : 4;
  header.SampleRate = kSampleRates[rateIndex] / divisor;
  header.Padding = (bytes[2] & 2) != 0;
  header.SingleChannel = (bytes[3] >> 6) == 3;
  return true;
}

} // namespace qx
