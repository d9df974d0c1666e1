// The channel killer: one process-wide thread that frees play instances of
// channels once what they queued has been heard. An instance that ended or
// was stopped schedules itself with a delay (its queued sound plus 20 ms)
// measured on its device's clock; when the delay has passed, the killer
// takes it out of its channel, keeps its position as the channel's saved
// position and frees it. Instances of a channel that is destroyed while
// they still sound are handed to the killer as orphans and freed the same
// way.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qx {

class TMusicChannel;
class TWaveOutDevice;

class TChannelKiller {
public:
  // Scan period while instances are pending; idle wait otherwise.
  static constexpr int32_t kScanPeriodMs = 10;
  static constexpr int32_t kIdleWaitMs = 100;

  // The process-wide killer; its thread starts on first use.
  static TChannelKiller& Instance();

  TChannelKiller(const TChannelKiller&) = delete;
  TChannelKiller& operator=(const TChannelKiller&) = delete;
  ~TChannelKiller();

  // Adds an instance whose removal is scheduled (KillDelay, KillStamp set);
  // nothing when it is pending already.
  void Schedule(TMusicChannel& instance);
  // Takes over an instance whose channel is going away; it is freed when
  // its delay has passed (it must still schedule itself, or be pending).
  void Adopt(std::unique_ptr<TMusicChannel> instance);
  // Drops a pending instance that its channel frees itself.
  void Forget(TMusicChannel& instance);
  // Frees now every orphan playing on `device`, which is going away.
  void FreeOrphansOf(TWaveOutDevice& device);

  // Held while the killer removes instances from their channels; a channel
  // takes it before it gives its instances away or frees them, so that the
  // killer never works on a channel being destroyed.
  std::mutex& ProcessingLock() { return m_processing; }

  // Pending and orphaned instances, for tests.
  int32_t PendingCount();
  int32_t OrphanCount();

private:
  TChannelKiller();
  void Execute();
  // One scan: frees every instance whose delay has passed.
  void Scan();

  std::mutex m_processing;
  std::mutex m_lock;
  std::condition_variable m_signal;
  std::vector<TMusicChannel*> m_pending;
  std::vector<std::unique_ptr<TMusicChannel>> m_orphans;
  bool m_end = false;
  std::thread m_thread;
};

} // namespace qx
