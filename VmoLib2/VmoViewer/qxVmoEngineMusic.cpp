#include "VmoLib2/VmoViewer/qxVmoEngineMusic.h"

#include "QxLib/Music/qxMusicPlayer.h"
#include "QxLib/Music/qxWaveOut.h"
#include "VmoLib2/VmoViewer/qxVmoMusicPlayer2.h"

#include <random>

namespace qx {

namespace {

// Lends the program's device to one music player: each player makes its
// buffers and its clock on the same device, one after the other, as the
// engine replaces its player at every open.
class TLentWaveOutDevice final : public TWaveOutDevice {
public:
  explicit TLentWaveOutDevice(TWaveOutDevice& device) : m_device(device) {}
  bool IsUsable() override { return m_device.IsUsable(); }
  std::unique_ptr<TWaveOutBuffer> CreateBuffer(const TPcmFormat& format, TWaveOutFiller& filler) override {
    return m_device.CreateBuffer(format, filler);
  }
  std::unique_ptr<TTimerChannel> CreateTimerChannel() override { return m_device.CreateTimerChannel(); }
  int64_t NowMs() override { return m_device.NowMs(); }

private:
  TWaveOutDevice& m_device;
};

} // namespace

TVmoEngineMusicPlayer::TVmoEngineMusicPlayer(std::unique_ptr<TVmoMusicPlayer> player) : m_player(std::move(player)) {}

TVmoEngineMusicPlayer::~TVmoEngineMusicPlayer() = default;

void TVmoEngineMusicPlayer::Start() { m_player->Start(); }
void TVmoEngineMusicPlayer::SetPlaying(bool playing) { m_player->SetPlaying(playing); }
void TVmoEngineMusicPlayer::SetTime(double limit, double position) { m_player->SetTime(limit, position); }
double TVmoEngineMusicPlayer::GetTime() { return m_player->GetTime(); }
bool TVmoEngineMusicPlayer::IsReady() { return m_player->IsReady(); }
double TVmoEngineMusicPlayer::LastLimit() { return m_player->LastLimit(); }
float TVmoEngineMusicPlayer::GetVolume() { return m_player->GetVolume(); }
void TVmoEngineMusicPlayer::SetVolume(float volume) { m_player->SetVolume(volume); }

TVmoMusicFactory MakeMusicFactory(TWaveOutDevice* device, std::optional<uint32_t> seed) {
  return [device, seed](TVmoSource& source) -> std::unique_ptr<TVmoEngineMusic> {
    std::unique_ptr<TWaveOutDevice> lent;
    if (device)
      lent = std::make_unique<TLentWaveOutDevice>(*device);
    else
      lent = std::make_unique<TNoWaveOutDevice>();
    const uint32_t shuffle = seed ? *seed : std::random_device{}();
    return std::make_unique<TVmoEngineMusicPlayer>(std::make_unique<TVmoMusicPlayer>(
        &source, false, CreateMusicPlayer(std::move(lent)), TVmoMusicPlayer::TDriving::Threads, shuffle));
  };
}

} // namespace qx
