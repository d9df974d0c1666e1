#include "QxLib/Music/qxWaveOut.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace qx {

namespace {

// Hundredths of a decibel per halving of the volume factor.
constexpr double kAttenuationPerHalving = -600.0;

} // namespace

int64_t SystemMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int32_t VolumeToAttenuation(float volume) {
  if (!(volume > 0.0f))
    return kSilentAttenuation;
  const double attenuation = std::round(kAttenuationPerHalving * std::log2(1.0 / volume));
  return static_cast<int32_t>(std::clamp(attenuation, static_cast<double>(kSilentAttenuation), 0.0));
}

float AttenuationToVolume(int32_t attenuation) {
  if (attenuation >= 0)
    return 1.0f;
  if (attenuation <= kSilentAttenuation)
    return 0.0f;
  return static_cast<float>(std::exp2(attenuation / -kAttenuationPerHalving));
}

int32_t AttenuationToGainQ16(int32_t attenuation) {
  if (attenuation >= 0)
    return 65536;
  if (attenuation <= kSilentAttenuation)
    return 0;
  return static_cast<int32_t>(std::lround(std::pow(10.0, attenuation / 2000.0) * 65536.0));
}

} // namespace qx
