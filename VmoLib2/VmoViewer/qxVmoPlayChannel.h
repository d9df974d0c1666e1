// The channels of the music timeline: one scheduled file shared by its play
// item, the music loader (which opens and frees its mixing channel) and the
// start queue, and the start queue itself, through which every channel that
// becomes due in one player step starts together.
#pragma once

#include "QxLib/qxRefCounted.h"
#include "VmoLib2/VmoViewer/qxVmoEngineTypes.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qx {

class TChannel;
class TChannelOperator;

// One scheduled file. Threads: the player thread starts, stops and cancels
// it and reads its flags; the loader thread writes Device and EndTime before
// it reports the channel back (event 2), so the player reads them only
// after that report; OwnerId is read by the loader and may be set to -1 by
// the player at any time (atomic).
class TVmoChannel : public TRefCounted {
public:
  // Fade of every start and stop (ms).
  static constexpr int32_t kFadeMs = 10;
  // OwnerId of a cancelled channel: the loader does not open it.
  static constexpr int32_t kCancelled = -1;

  TVmoChannel(TChannelOperator& queue, int32_t ownerId, std::string fileName, int32_t fileOffset, double startTime,
              double endTime);

  // Player thread: joins the start queue when ready and not playing.
  void Start();
  // Player thread: leaves the start queue, or fades the mixing channel out
  // when it was started already.
  void Stop();
  // Player thread: the loader must not open it (any more).
  void Cancel() { OwnerId.store(kCancelled, std::memory_order_release); }
  // Player thread, from the start queue: plays the mixing channel with the
  // fade-in; false without one.
  bool PlayDevice();
  // The file name for the log: a composite description is shortened to its
  // first item's file name and its size.
  std::string LogName() const;

  const std::string FileName;
  const int32_t FileOffset; // ms into the file
  const double StartTime;   // on the owner's time line (ms)
  std::atomic<double> EndTime;
  std::atomic<int32_t> OwnerId;
  // The mixing channel: made by the loader; none until then or when the
  // file could not be opened.
  std::unique_ptr<TChannel> Device;
  bool Ready = false;   // the loader has processed it
  bool Playing = false; // started, or queued to start
  bool Stopped = false; // stopped by the player after it had been playing

private:
  ~TVmoChannel() override;

  TChannelOperator& m_queue;
};

// Carries a reference to a channel while an event takes it between threads.
class TChannelContainer : public TVmoEventData {
public:
  explicit TChannelContainer(TRefPtr<TVmoChannel> channel) : Channel(std::move(channel)) {}
  TRefPtr<TVmoChannel> Channel;
};

// The start queue: channels whose Playing was just set. Player thread only.
class TChannelOperator {
public:
  void Add(TRefPtr<TVmoChannel> channel) { m_channels.push_back(std::move(channel)); }
  // Takes the channel out; false when it was not queued.
  bool Remove(const TVmoChannel& channel);
  bool Contains(const TVmoChannel& channel) const;
  // Plays every queued channel that has a mixing channel, then empties the
  // queue. `time` is the music time, for the log.
  void PlayAll(double time);
  void Clear() { m_channels.clear(); }
  int32_t Count() const { return static_cast<int32_t>(m_channels.size()); }

private:
  std::vector<TRefPtr<TVmoChannel>> m_channels;
};

} // namespace qx
