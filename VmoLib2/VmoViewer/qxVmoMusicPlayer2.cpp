#include "VmoLib2/VmoViewer/qxVmoMusicPlayer2.h"

#include "QxLib/Music/qxDecoderPlugins.h"
#include "QxLib/Music/qxMusicPlayer.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoMusicLoader2.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace qx {

namespace {

// The most passes of a synchronised list laid by one scheduling: a show
// shorter than the look-ahead would otherwise get a sequence per pass, each
// replaced by the next as it starts.
constexpr int64_t kMaxPassesPerSchedule = 4;

// The system clock of a player without sound: milliseconds since the
// program started.
const std::chrono::steady_clock::time_point kProgramStart = std::chrono::steady_clock::now();

double SystemClock() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - kProgramStart).count();
}

std::string Ms(double time) { return std::to_string(std::llround(time)); }

TVmoSource* CheckedSource(TVmoSource* source) {
  QX_ASSERT(source != nullptr, "No VmoSource for VmoMusicPlayer");
  return source;
}

// Writes the elapsed time of a part of the step when it took more than 1 ms.
void LogSlowPart(std::string_view text, int64_t mark) {
  if (TLog::Mark() - mark > 1)
    Log().WriteElapsed(text, mark);
}

} // namespace

TVmoMusicPlayer::TVmoMusicPlayer(TVmoSource* source, bool ownsSource, std::unique_ptr<TMusicPlayer> device,
                                 TDriving driving, uint32_t seed)
    : m_ownedSource(ownsSource ? source : nullptr), m_source(CheckedSource(source)), m_driving(driving),
      m_shuffle(seed) {
  m_music = std::make_unique<TVmoMusicSource>(m_source, seed);
  const TIniSection& options = m_source->MainSection();
  TFileAccessor accessor(m_source->Accessor());
  TDecoderPlugins::Instance().Install(options.ReadString("opt_wmapath", ""), options.ReadString("opt_oggpath", ""),
                                      ShowSoundAccess(accessor).Open);
  if (device && device->IsUsable())
    m_device = std::move(device);
  // The first reading starts the device's clock; it follows the sound
  // card's play position only from the card's first movement on. Started
  // now, it has settled by the time the show plays, so the music time does
  // not stand still at the first start while the sound already plays.
  if (m_device)
    m_device->GetClock();
  m_loader = std::make_unique<TMusicLoader>(accessor, m_device.get(), Events());

  TPlaySequence& music = NewSequence(m_music->MainList(), m_music->RepeatMusic());
  music.StartTime = 0;
  m_currentSequence = &music;
  Reset(0, false);
}

TVmoMusicPlayer::~TVmoMusicPlayer() { Stop(); }

void TVmoMusicPlayer::Start() {
  if (m_driving == TDriving::Manual)
    return;
  m_loader->Start();
  TVmoThread::Start();
}

void TVmoMusicPlayer::Stop() {
  if (m_stopped)
    return;
  m_stopped = true;
  TVmoThread::Stop();
  m_loader->Stop();
  m_items.clear();
  m_startQueue.Clear();
  m_currentSequence = nullptr;
  m_currentComment = nullptr;
  m_device.reset();
}

// The public operations (the driving thread)

void TVmoMusicPlayer::SetPlaying(bool playing) {
  if (playing == m_requestedRunning)
    return;
  m_requestedRunning = playing;
  Post(playing ? kRunEvent : kPauseEvent);
}

void TVmoMusicPlayer::SetTime(double limit, double position) {
  if (position >= 0)
    m_requestedRunning = false;
  m_isReady.store(false, std::memory_order_release);
  if (limit >= 0)
    m_lastLimit.store(limit, std::memory_order_release);
  auto data = std::make_unique<TTimeData>(position, limit);
  // A player whose thread does not run handles the event on this thread.
  if (m_driving == TDriving::Manual || !TVmoThread::Running()) {
    Post(kSetTimeEvent, std::move(data));
    ProcessEvents();
    return;
  }
  Send(kSetTimeEvent, std::move(data));
}

double TVmoMusicPlayer::GetTime() {
  std::lock_guard lock(m_lock);
  const double time = m_running ? Clock() - m_base : m_base;
  return std::min(time, m_limit);
}

bool TVmoMusicPlayer::Running() {
  std::lock_guard lock(m_lock);
  return m_running;
}

float TVmoMusicPlayer::GetVolume() { return m_device ? m_device->GetVolume() : 0.0f; }

void TVmoMusicPlayer::SetVolume(float volume) {
  if (m_device)
    m_device->SetVolume(volume);
}

void TVmoMusicPlayer::Pump() {
  m_loader->ProcessPending();
  RunStep();
  m_loader->ProcessPending();
}

// The player thread

void TVmoMusicPlayer::Step() {
  RunStep();
  WaitForEvents(kPeriod);
}

void TVmoMusicPlayer::RunStep() {
  ProcessEvents();

  int64_t mark = TLog::Mark();
  double time = GetTime();
  double limit;
  bool running;
  {
    std::lock_guard lock(m_lock);
    limit = m_limit;
    running = m_running;
  }
  time = std::min(time, limit - 1);
  if (running) {
    Schedule(false, time + kLookAheadMs, m_horizon);
    m_horizon = time + kLookAheadMs;
  }
  LogSlowPart("+++++++++++++++++++ Main Synch Time ", mark);

  mark = TLog::Mark();
  // Updates never add items; they only flag items as disposed.
  for (size_t i = 0; i < m_items.size(); ++i) {
    if (!m_items[i]->Disposed())
      m_items[i]->Update(running, time);
  }
  LogSlowPart("+++++++++++++++++++ Total Synch Time ", mark);

  m_startQueue.PlayAll(time);

  mark = TLog::Mark();
  FreeDisposedItems();
  const bool ready =
      std::all_of(m_items.begin(), m_items.end(), [](const std::unique_ptr<TPlayItem>& item) { return item->Ready(); });
  m_isReady.store(ready || running, std::memory_order_release);
  LogSlowPart("+++++++++++++++++++ Total Free and Pack Time ", mark);
}

void TVmoMusicPlayer::FreeDisposedItems() {
  std::vector<std::unique_ptr<TPlayItem>> gone;
  for (auto it = m_items.begin(); it != m_items.end();) {
    if ((*it)->Disposed()) {
      gone.push_back(std::move(*it));
      it = m_items.erase(it);
    } else {
      ++it;
    }
  }
}

bool TVmoMusicPlayer::HandleEvent(int32_t id, TEventPayload& payload) {
  switch (id) {
  case kChannelReadyEvent: ChannelReadyEvent(payload); return true;
  case kRunEvent: SetRunning(true); return true;
  case kPauseEvent: SetRunning(false); return true;
  case kSetTimeEvent:
    if (const auto* data = dynamic_cast<const TTimeData*>(payload.get()))
      SetTimeEvent(*data);
    return true;
  default: AssertionFailed("Unknown EventID", __FILE__, __LINE__);
  }
}

void TVmoMusicPlayer::ChannelReadyEvent(TEventPayload& payload) {
  const auto* container = dynamic_cast<const TChannelContainer*>(payload.get());
  if (!container || !container->Channel)
    return;
  TVmoChannel& channel = *container->Channel;
  Log().WriteLine("Receive Channel: " + channel.LogName());
  const int32_t owner = channel.OwnerId.load(std::memory_order_acquire);
  for (const std::unique_ptr<TPlayItem>& item : m_items) {
    if (item->Id() == owner) {
      item->ChannelReady(channel);
      return;
    }
  }
}

void TVmoMusicPlayer::SetRunning(bool running) {
  std::lock_guard lock(m_lock);
  if (m_running == running)
    return;
  m_running = running;
  m_base = Clock() - m_base;
}

void TVmoMusicPlayer::SetTimeEvent(const TTimeData& data) {
  Log().WriteLine("Set Time " + Ms(data.Position));
  if (data.Limit >= 0) {
    std::lock_guard lock(m_lock);
    m_limit = data.Limit;
  }
  if (data.Position >= 0)
    Reset(data.Position, true);
  // Ready again only once the items of the new position report so.
  m_isReady.store(false, std::memory_order_release);
}

void TVmoMusicPlayer::Reset(double p, bool all) {
  {
    std::lock_guard lock(m_lock);
    m_running = false;
    m_base = p;
  }
  if (all) {
    for (const std::unique_ptr<TPlayItem>& item : m_items)
      item->Dispose(false);
  }
  m_horizon = p + kLookAheadMs;
  Schedule(true, p + kLookAheadMs, p);
}

void TVmoMusicPlayer::ScheduleSyncPasses(bool first, double upTo, double from) {
  const double total = m_music->TotalDuration();
  const bool repeats = m_source->EndMode() == TEndMode::Repeat;
  int64_t firstPass = 0;
  int64_t lastPass = 0;
  if (total > 0) {
    firstPass = static_cast<int64_t>(std::floor(from / total)) + (first ? 0 : 1);
    lastPass = repeats ? static_cast<int64_t>(std::floor(upTo / total)) : 0;
    firstPass = std::max(firstPass, lastPass - kMaxPassesPerSchedule + 1);
  } else if (!first) {
    return;
  }
  for (int64_t k = firstPass; k <= lastPass; ++k) {
    TPlaySequence& sequence = NewSequence(m_music->MainList(), m_music->RepeatMusic());
    const double start = static_cast<double>(k) * total;
    if (from < start) {
      sequence.StartTime = start;
    } else {
      sequence.Offset = from - start;
      sequence.StartTime = from;
    }
  }
}

void TVmoMusicPlayer::Schedule(bool first, double upTo, double from) {
  if (m_music->SyncMode())
    ScheduleSyncPasses(first, upTo, from);

  const int32_t count = m_music->SlideCount();
  if (count <= 0)
    return;
  const double total = m_music->TotalDuration();
  const bool repeats = m_source->EndMode() == TEndMode::Repeat;
  m_slideCursor = m_source->FindSlide(from);
  const int64_t start = first ? std::max<int64_t>(0, int64_t{m_slideCursor} - count) : int64_t{m_slideCursor} + 1;
  int64_t end = m_source->FindSlide(upTo);
  // A show that does not repeat has no slides after its last one.
  if (!repeats)
    end = std::min<int64_t>(end, count - 1);
  for (int64_t j = start; j <= end && m_items.size() < kMaxItems; ++j) {
    const TSlideMusicInfo& info = m_music->Slide(static_cast<int32_t>(j % count));
    const double slideStart = static_cast<double>(j / count) * total + info.Times.SlideStart;
    if (!info.Comment.empty()) {
      Log().WriteLine("New Comment begin " + info.Comment.substr(0, 200));
      const double skipped = from > slideStart ? from - slideStart : 0;
      if (skipped < info.CommentLength) {
        TPlayComment& comment = NewComment();
        comment.CreateChannel(info.Comment, static_cast<int32_t>(std::lround(skipped)), std::max(slideStart, from),
                              slideStart + info.CommentLength);
        Log().WriteLine("~~~~~~~~~~~~~~~~~~~~~~~New Comment params " + Ms(skipped) + " " +
                        Ms(std::max(slideStart, from)) + " " + Ms(slideStart + info.CommentLength));
      }
    }
    if (j >= m_slideCursor && info.PlayList)
      NewSequence(*info.PlayList, info.PlayList->IsRepeat()).StartTime = slideStart;
  }
}

TPlaySequence& TVmoMusicPlayer::NewSequence(const TPlayList& list, bool repeat) {
  auto sequence = std::make_unique<TPlaySequence>(Host(), NextId(), list, repeat, m_music->RandomMusic(),
                                                  m_music->SyncMode(), m_shuffle);
  TPlaySequence& result = *sequence;
  m_items.push_back(std::move(sequence));
  return result;
}

TPlayComment& TVmoMusicPlayer::NewComment() {
  auto comment = std::make_unique<TPlayComment>(Host(), NextId());
  TPlayComment& result = *comment;
  m_items.push_back(std::move(comment));
  return result;
}

int32_t TVmoMusicPlayer::NextId() {
  const int32_t id = m_nextId;
  m_nextId = m_nextId == INT32_MAX ? 0 : m_nextId + 1;
  return id;
}

// TPlayItemHost

double TVmoMusicPlayer::Clock() { return m_device ? m_device->GetClock() : SystemClock(); }

void TVmoMusicPlayer::OpenChannel(const TRefPtr<TVmoChannel>& channel) {
  m_loader->Post(kOpenChannelEvent, std::make_unique<TChannelContainer>(channel));
}

void TVmoMusicPlayer::ReleaseChannel(const TRefPtr<TVmoChannel>& channel) {
  m_loader->Post(kReleaseChannelEvent, std::make_unique<TChannelContainer>(channel));
}

} // namespace qx
