// The play items of the music timeline player: a slide's comment (one
// channel between a start and an end time) and a play list sequence (the
// entries of a list opened five seconds ahead and started and stopped as the
// time passes their starts and ends). Items live on the player thread; they
// reach the player through TPlayItemHost.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoPlayChannel.h"
#include "VmoLib2/VmoViewer/qxVmoPlayList.h"

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace qx {

class TPlayComment;
class TPlaySequence;

// What the items need of the player. Every call is made on the player
// thread.
class TPlayItemHost {
public:
  // The device clock (ms); runs on while the show is paused.
  virtual double Clock() = 0;
  virtual TChannelOperator& StartQueue() = 0;
  // Hands a channel to the loader to open (event 1) / to free (event 3).
  virtual void OpenChannel(const TRefPtr<TVmoChannel>& channel) = 0;
  virtual void ReleaseChannel(const TRefPtr<TVmoChannel>& channel) = 0;
  virtual TPlaySequence* CurrentSequence() const = 0;
  virtual void SetCurrentSequence(TPlaySequence* sequence) = 0;
  virtual TPlayComment* CurrentComment() const = 0;
  virtual void SetCurrentComment(TPlayComment* comment) = 0;

protected:
  ~TPlayItemHost() = default;
};

class TPlayItem {
public:
  // Channels are opened this far ahead of their start (ms).
  static constexpr double kLookAheadMs = 5000.0;

  TPlayItem(TPlayItemHost& host, int32_t id) : m_host(host), m_id(id) {}
  TPlayItem(const TPlayItem&) = delete;
  TPlayItem& operator=(const TPlayItem&) = delete;
  virtual ~TPlayItem() = default;

  // Ends the item: stops and releases its channels. stopAll also ends a
  // free-running sequence, which a reposition leaves playing.
  virtual void Dispose(bool stopAll) = 0;
  // The loader has processed one of the item's channels.
  virtual void ChannelReady(TVmoChannel& channel) = 0;
  // One player step at music time `time`; `running` tells that the clock runs.
  virtual void Update(bool running, double time) = 0;

  int32_t Id() const { return m_id; }
  // Every channel of the item has been processed by the loader.
  bool Ready() const { return m_ready; }
  bool Disposed() const { return m_disposed; }

protected:
  // Stops a playing channel or cancels one not started, and releases it.
  void EndChannel(const TRefPtr<TVmoChannel>& channel);

  TPlayItemHost& m_host;
  const int32_t m_id;
  bool m_ready = false;
  bool m_disposed = false;
};

// A slide's comment: it stops when the show pauses and continues from where
// it stopped.
class TPlayComment : public TPlayItem {
public:
  // A comment ends this long before its end time.
  static constexpr double kEndMarginMs = 10.0;

  TPlayComment(TPlayItemHost& host, int32_t id) : TPlayItem(host, id) {}
  ~TPlayComment() override;

  // Makes the comment's channel and hands it to the loader; a second call
  // is an assertion failure.
  void CreateChannel(const std::string& fileName, int32_t fileOffset, double startTime, double endTime);
  const TRefPtr<TVmoChannel>& Channel() const { return m_channel; }
  bool StopOnPause() const { return true; }

  void Dispose(bool stopAll) override;
  void ChannelReady(TVmoChannel& channel) override;
  void Update(bool running, double time) override;

private:
  TRefPtr<TVmoChannel> m_channel;
};

// A play list playing from a show time: free-running sequences follow the
// device clock from their start and play on through pauses; synchronised
// ones follow the music time and stop on pause.
class TPlaySequence : public TPlayItem {
public:
  // The most channels a sequence holds at once; entries beyond wait until
  // earlier ones end, so that a list of very short entries cannot open
  // thousands of files.
  static constexpr int32_t kMaxChannels = 16;
  // Passes of a shuffled copy of a repeating list.
  static constexpr int32_t kShuffledPasses = 7;

  // Plays `list` (borrowed), or a shuffled copy of it (owned) when `random`
  // is set: 7 passes when `repeat`, else one. A repeating list is taken
  // without end.
  TPlaySequence(TPlayItemHost& host, int32_t id, const TPlayList& list, bool repeat, bool random, bool sync,
                std::mt19937& shuffle);
  ~TPlaySequence() override;

  double StartTime = 0; // show time at which the sequence begins
  double Offset = 0;    // position in the list at StartTime

  bool FreeRunning() const { return m_freeRunning; }
  bool Started() const { return m_started; }
  const TPlayList& List() const { return *m_list; }
  const std::vector<TRefPtr<TVmoChannel>>& Channels() const { return m_channels; }

  void Dispose(bool stopAll) override;
  void ChannelReady(TVmoChannel& channel) override;
  void Update(bool running, double time) override;

private:
  // Opens the entries due within five seconds of list position p and starts
  // and ends the channels at p.
  void Advance(double p);
  void ScheduleEntries(double p);
  void WatchChannels(double p);
  void BecomeCurrent();

  std::unique_ptr<TPlayList> m_ownedList;
  const TPlayList* m_list;
  const bool m_repeat;
  const bool m_freeRunning;
  std::vector<TRefPtr<TVmoChannel>> m_channels;
  int64_t m_nextEntry = 0;
  bool m_started = false;
  double m_startClock = 0;
};

} // namespace qx
