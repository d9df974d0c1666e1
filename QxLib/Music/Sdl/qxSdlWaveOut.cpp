#include "QxLib/Music/Sdl/qxSdlWaveOut.h"

#include "QxLib/qxLog.h"

#include <SDL.h>

namespace qx {

namespace {

// Frames per audio callback: about 23 ms at 44100 Hz.
constexpr int kCallbackFrames = 1024;

} // namespace

TSdlWaveOutDevice::TSdlWaveOutDevice(const std::string& driver) : TSoftWaveOutDevice(true) {
  if (driver.empty())
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
  else
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver.c_str(), SDL_HINT_OVERRIDE);
  Log().WriteLine("TSdlWaveOutDevice: SDL_InitSubSystem(SDL_INIT_AUDIO)");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    m_failure = std::string("SDL audio: ") + SDL_GetError();
    Log().WriteLine("TSdlWaveOutDevice: " + m_failure);
    return;
  }
  m_subsystem = true;

  SDL_AudioSpec wanted{};
  wanted.freq = TSoftMixer::kOutputRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = kCallbackFrames;
  wanted.callback = &TSdlWaveOutDevice::AudioCallback;
  wanted.userdata = this;
  SDL_AudioSpec obtained{};
  // No changes allowed: SDL converts the mixing format to what the
  // hardware takes.
  m_device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (m_device == 0) {
    m_failure = std::string("SDL audio device: ") + SDL_GetError();
    Log().WriteLine("TSdlWaveOutDevice: " + m_failure);
    return;
  }
  const char* const name = SDL_GetCurrentAudioDriver();
  m_driverName = name ? name : "";
  Log().WriteLine("TSdlWaveOutDevice: opened through driver " + m_driverName);
  SDL_PauseAudioDevice(m_device, 0);
}

TSdlWaveOutDevice::~TSdlWaveOutDevice() {
  // Closing waits for a callback in progress; buffers and clocks are gone
  // before the device.
  if (m_device != 0)
    SDL_CloseAudioDevice(m_device);
  if (m_subsystem)
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void TSdlWaveOutDevice::AudioCallback(void* user, uint8_t* stream, int length) {
  auto* const self = static_cast<TSdlWaveOutDevice*>(user);
  std::lock_guard mix(self->Mixer().Lock());
  self->Mixer().Mix(reinterpret_cast<int16_t*>(stream), length / 4);
}

bool TSdlWaveOutDevice::Available(const std::string& driver) {
  TSdlWaveOutDevice probe(driver);
  return probe.IsUsable();
}

} // namespace qx
