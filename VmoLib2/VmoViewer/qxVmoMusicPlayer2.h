// The music timeline player: plays the show's sound along the show's time
// line (the main play list, the slides' comments and their personal play
// lists) and is the show's clock while the show plays. Every 5 ms its thread
// looks five seconds ahead, creates play items for what begins in that
// window, has their channels opened in advance by the music loader thread,
// and starts and stops the channels as the music time passes their starts
// and ends. The clock is the sound device's clock (slaved to the sound
// card's play position), or the system clock when there is no sound.
//
// Threads and who calls what:
//  - the engine's thread (or whichever single thread drives the player)
//    calls every public operation: Start, SetPlaying, SetTime, SetLimit,
//    GetTime, IsReady, LastLimit, GetVolume, SetVolume, Stop, and, for a
//    player driven headless, Pump;
//  - the player thread runs the item and channel decisions and the start
//    queue; it is the only thread that touches items;
//  - the loader thread opens and frees the mixing channels.
// They talk only through the two event queues (SetPlaying posts, SetTime
// sends and waits) and the reference counts of the channels. GetTime reads
// Running, Base and Limit under the player's lock.
//
// Headless driving (tools, tests, a renderer on a virtual clock): made with
// TDriving::Manual, the player starts no threads. The driver advances the
// virtual device's clock in steps of 10 ms and calls Pump after each step;
// Pump runs the loader's pending work and one player step on the calling
// thread, so every run of the same calls gives the same sound. SetTime then
// handles its event at once; SetPlaying's event is handled by the next Pump.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoEngineTypes.h"
#include "VmoLib2/VmoViewer/qxVmoMusicSource2.h"
#include "VmoLib2/VmoViewer/qxVmoPlayItems.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

namespace qx {

class TMusicLoader;
class TMusicPlayer;
class TVmoSource;

// Payload of the set-time event.
class TTimeData : public TVmoEventData {
public:
  TTimeData(double position, double limit) : Position(position), Limit(limit) {}
  double Position; // negative = no reposition
  double Limit;    // negative = unchanged
};

class TVmoMusicPlayer : private TVmoThread, private TPlayItemHost {
public:
  enum class TDriving { Threads, Manual };

  static constexpr std::chrono::milliseconds kPeriod{5};
  static constexpr double kNoLimit = 2147483647.0;
  // The position argument of SetTime that changes only the limit.
  static constexpr double kNoPosition = -2147483647.0;
  // Items are created this far ahead of the music time.
  static constexpr double kLookAheadMs = TPlayItem::kLookAheadMs;
  // The most items alive at once: a show of very short slides with long
  // comments would otherwise open a channel per slide of the look-ahead.
  static constexpr size_t kMaxItems = 64;

  // Events of the player's queue.
  static constexpr int32_t kRunEvent = 10;
  static constexpr int32_t kPauseEvent = 11;
  static constexpr int32_t kSetTimeEvent = 12;

  // Builds the music source of `source` (freed with the player when
  // ownsSource), installs the WMA and OGG plug-ins the project names, and
  // schedules from time 0. `device` is the mixing device from the device
  // factory; none, or one that is not usable, plays without sound on the
  // system clock. A missing source is the assertion "No VmoSource for
  // VmoMusicPlayer"; faults of the music source end the construction.
  // `seed` draws the random orders of shuffled lists.
  TVmoMusicPlayer(TVmoSource* source, bool ownsSource, std::unique_ptr<TMusicPlayer> device,
                  TDriving driving = TDriving::Threads, uint32_t seed = std::random_device{}());
  // Stop, then frees the loader, the music source and, when owned, the
  // show source.
  ~TVmoMusicPlayer() override;

  // Starts the loader thread, then the player thread (nothing when driven
  // headless). The clock does not run until SetPlaying(true).
  void Start();
  // Stops both threads, frees the items and the device. Called again, or by
  // the destructor, it does nothing more.
  void Stop();

  // Asks the clock to run or stop; returns at once (the player thread
  // switches at its next step). Nothing when equal to the last request.
  void SetPlaying(bool playing);
  // Repositions to `position` (>= 0; the clock then stops until the next
  // SetPlaying(true)) and/or sets the limit (>= 0) past which the clock
  // never runs; waits until the player thread has handled it.
  void SetTime(double limit, double position);
  void SetLimit(double limit) { SetTime(limit, kNoPosition); }
  // The music time (ms): while running, the clock minus Base; while
  // stopped, Base; never past the limit.
  double GetTime();
  // True when every live item has its channels opened, or while running.
  bool IsReady() const { return m_isReady.load(std::memory_order_acquire); }
  // The last limit the engine passed in.
  double LastLimit() const { return m_lastLimit.load(std::memory_order_acquire); }
  // The device's master volume; 0 / nothing without a device.
  float GetVolume();
  void SetVolume(float volume);

  // Headless driving: the loader's pending work, one player step, then the
  // loader's work again, on the calling thread.
  void Pump();

  const TVmoMusicSource& MusicSource() const { return *m_music; }
  bool HasDevice() const { return m_device != nullptr; }
  // For tests and tools, on the driving thread of a headless player: the
  // live items and the current ones.
  const std::vector<std::unique_ptr<TPlayItem>>& Items() const { return m_items; }
  TPlaySequence* CurrentSequence() const override { return m_currentSequence; }
  TPlayComment* CurrentComment() const override { return m_currentComment; }
  bool Running();

private:
  // TVmoThread
  void Step() override;
  bool HandleEvent(int32_t id, TEventPayload& payload) override;
  // TPlayItemHost
  double Clock() override;
  TChannelOperator& StartQueue() override { return m_startQueue; }
  void OpenChannel(const TRefPtr<TVmoChannel>& channel) override;
  void ReleaseChannel(const TRefPtr<TVmoChannel>& channel) override;
  void SetCurrentSequence(TPlaySequence* sequence) override { m_currentSequence = sequence; }
  void SetCurrentComment(TPlayComment* comment) override { m_currentComment = comment; }

  TPlayItemHost& Host() { return *this; }
  // One step of the player thread, without its sleep.
  void RunStep();
  void SetRunning(bool running);
  void SetTimeEvent(const TTimeData& data);
  void ChannelReadyEvent(TEventPayload& payload);
  // Back to position p; with all, every item ends first (free-running
  // sequences play on).
  void Reset(double p, bool all);
  // Creates the items that begin between `from` and `upTo`.
  void Schedule(bool first, double upTo, double from);
  void ScheduleSyncPasses(bool first, double upTo, double from);
  TPlaySequence& NewSequence(const TPlayList& list, bool repeat);
  TPlayComment& NewComment();
  int32_t NextId();
  void FreeDisposedItems();

  std::unique_ptr<TVmoSource> m_ownedSource;
  TVmoSource* m_source;
  const TDriving m_driving;
  std::unique_ptr<TVmoMusicSource> m_music;
  std::unique_ptr<TMusicPlayer> m_device;
  std::unique_ptr<TMusicLoader> m_loader;
  TChannelOperator m_startQueue;
  std::vector<std::unique_ptr<TPlayItem>> m_items;
  TPlaySequence* m_currentSequence = nullptr;
  TPlayComment* m_currentComment = nullptr;
  std::mt19937 m_shuffle;
  int32_t m_nextId = 0;
  int32_t m_slideCursor = -1;
  bool m_requestedRunning = false;
  double m_horizon = 0;
  bool m_stopped = false;

  std::mutex m_lock; // guards the three below
  bool m_running = false;
  double m_base = 0;
  double m_limit = kNoLimit;

  std::atomic<bool> m_isReady{false};
  std::atomic<double> m_lastLimit{kNoLimit};
};

} // namespace qx
