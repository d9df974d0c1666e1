// What the engine asks of the music timeline player, whose clock is the
// show's clock while the show plays: the engine reads the time, resumes and
// pauses it, moves it while stopped and caps it at the next barrier. The
// program around the engine says how a player is made (which sound device
// it plays on), so that a window plays on the sound card and the headless
// renderer on the virtual device.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace qx {

class TVmoMusicPlayer;
class TVmoSource;
class TWaveOutDevice;

class TVmoEngineMusic {
public:
  // A position that leaves the music where it is.
  static constexpr double kNoPosition = -2147483647.0;

  virtual ~TVmoEngineMusic() = default;

  // Starts the player's threads; the clock stays stopped.
  virtual void Start() = 0;
  // Resumes (true) or pauses the clock and the synchronised music; returns
  // at once. Nothing when it equals the last request.
  virtual void SetPlaying(bool playing) = 0;
  // limit >= 0: the clock never passes it from now on. position >= 0: the
  // music stops and moves there. Returns once the player has taken it.
  virtual void SetTime(double limit, double position) = 0;
  void SetLimit(double limit) { SetTime(limit, kNoPosition); }
  // The music time in ms, never beyond the limit.
  virtual double GetTime() = 0;
  // Every sound due around the time is open (or the clock runs).
  virtual bool IsReady() = 0;
  // The last limit passed in.
  virtual double LastLimit() = 0;
  virtual float GetVolume() = 0;
  virtual void SetVolume(float volume) = 0;
};

// Makes a music player for the show (borrowed: the engine keeps it alive
// while the player lives).
using TVmoMusicFactory = std::function<std::unique_ptr<TVmoEngineMusic>(TVmoSource& source)>;

// The show's music timeline player as the engine's music.
class TVmoEngineMusicPlayer final : public TVmoEngineMusic {
public:
  explicit TVmoEngineMusicPlayer(std::unique_ptr<TVmoMusicPlayer> player);
  // Stops the player's threads.
  ~TVmoEngineMusicPlayer() override;

  void Start() override;
  void SetPlaying(bool playing) override;
  void SetTime(double limit, double position) override;
  double GetTime() override;
  bool IsReady() override;
  double LastLimit() override;
  float GetVolume() override;
  void SetVolume(float volume) override;

  TVmoMusicPlayer& Player() const { return *m_player; }

private:
  std::unique_ptr<TVmoMusicPlayer> m_player;
};

// Music players that play on `device`, which the program opened once and
// which outlives them; null plays without sound on the system clock.
// Shuffled play lists follow `seed` when one is given (the headless
// renderer gives the same sound every run), else a random one.
TVmoMusicFactory MakeMusicFactory(TWaveOutDevice* device, std::optional<uint32_t> seed = std::nullopt);

} // namespace qx
