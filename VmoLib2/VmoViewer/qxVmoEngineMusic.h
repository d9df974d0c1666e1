// What the engine asks of the music timeline player, whose clock is the
// show's clock while the show plays: the engine reads the time, resumes and
// pauses it, moves it while stopped and caps it at the next barrier. The
// program around the engine says how a player is made (which sound device
// it plays on), so that a window plays on the sound card and the headless
// renderer on the virtual device.
#pragma once

#include <functional>
#include <memory>

namespace qx {

class TVmoSource;

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

} // namespace qx
