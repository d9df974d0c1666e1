#include "VmoLib2/VmoViewer/qxVmoPlayItems.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace qx {

namespace {

std::string Ms(double time) { return std::to_string(std::llround(time)); }

bool AllReady(const std::vector<TRefPtr<TVmoChannel>>& channels) {
  return std::all_of(channels.begin(), channels.end(), [](const TRefPtr<TVmoChannel>& c) { return c->Ready; });
}

} // namespace

// TPlayItem

void TPlayItem::EndChannel(const TRefPtr<TVmoChannel>& channel) {
  if (channel->Playing) {
    Log().WriteLine("Stop Channel: " + channel->LogName());
    channel->Stop();
  } else {
    channel->Cancel();
  }
  m_host.ReleaseChannel(channel);
}

// TPlayComment

TPlayComment::~TPlayComment() {
  if (!m_disposed)
    Dispose(true);
  if (m_host.CurrentComment() == this) {
    m_host.SetCurrentComment(nullptr);
    Log().WriteLine("Clear CurComment !!!!!!!!!!!");
  } else {
    Log().WriteLine("Dispose noncurrent channel !!!!!!!!!!!");
  }
}

void TPlayComment::CreateChannel(const std::string& fileName, int32_t fileOffset, double startTime, double endTime) {
  QX_ASSERT(!m_channel, "Comment channel created twice");
  m_channel = MakeRef<TVmoChannel>(m_host.StartQueue(), m_id, fileName, fileOffset, startTime, endTime);
  m_host.OpenChannel(m_channel);
}

void TPlayComment::Dispose(bool /*stopAll*/) {
  m_disposed = true;
  if (!m_channel)
    return;
  EndChannel(m_channel);
  m_channel.Reset();
}

void TPlayComment::ChannelReady(TVmoChannel& channel) {
  QX_ASSERT(m_channel.Get() == &channel, "Not the comment's channel");
  channel.Ready = true;
  m_ready = true;
}

void TPlayComment::Update(bool running, double time) {
  if (m_disposed || !m_ready)
    return;
  if (time >= m_channel->EndTime.load() - kEndMarginMs) {
    Dispose(true);
    return;
  }
  if (m_channel->Playing && !running) {
    m_channel->Stop();
  } else if (running && time >= m_channel->StartTime) {
    m_channel->Start();
    m_host.SetCurrentComment(this);
  }
}

// TPlaySequence

TPlaySequence::TPlaySequence(TPlayItemHost& host, int32_t id, const TPlayList& list, bool repeat, bool random,
                             bool sync, std::mt19937& shuffle)
    : TPlayItem(host, id), m_list(&list), m_repeat(repeat), m_freeRunning(!sync) {
  if (random) {
    m_ownedList = std::make_unique<TPlayList>(TPlayList::ShuffledCopy(list, repeat ? kShuffledPasses : 1, shuffle));
    m_list = m_ownedList.get();
  }
  m_ready = m_list->IsEmpty();
}

TPlaySequence::~TPlaySequence() {
  if (!m_disposed)
    Dispose(true);
  if (m_host.CurrentSequence() == this) {
    m_host.SetCurrentSequence(nullptr);
    Log().WriteLine("Clear CurSequence");
  }
  Log().WriteLine("TPlaySequence.Disposed");
}

void TPlaySequence::Dispose(bool stopAll) {
  if (m_disposed || (m_freeRunning && !stopAll))
    return;
  m_disposed = true;
  Log().WriteLine("Finally sequence stop " + Ms(m_started ? m_host.Clock() - m_startClock : 0));
  for (const TRefPtr<TVmoChannel>& channel : m_channels)
    EndChannel(channel);
  m_channels.clear();
}

void TPlaySequence::ChannelReady(TVmoChannel& channel) {
  const bool mine = std::any_of(m_channels.begin(), m_channels.end(),
                                [&channel](const TRefPtr<TVmoChannel>& c) { return c.Get() == &channel; });
  QX_ASSERT(mine, "Channel not in sequence");
  channel.Ready = true;
  m_ready = AllReady(m_channels);
}

void TPlaySequence::BecomeCurrent() {
  TPlaySequence* const previous = m_host.CurrentSequence();
  if (previous == this)
    return;
  if (previous)
    previous->Dispose(true);
  m_host.SetCurrentSequence(this);
}

void TPlaySequence::Update(bool running, double time) {
  if (m_disposed)
    return;
  if (m_started) {
    if (!running && !m_freeRunning) {
      for (const TRefPtr<TVmoChannel>& channel : m_channels)
        channel->Stop();
      m_started = false;
      return;
    }
    Advance(m_freeRunning ? m_host.Clock() - m_startClock + Offset : time - StartTime + Offset);
    return;
  }
  if (time < StartTime) {
    Advance(Offset); // opens the first entries in advance
    return;
  }
  if (running) {
    m_started = true;
    if (m_freeRunning)
      m_startClock = m_host.Clock();
    Log().WriteLine("Sequence started at abs Time " + Ms(time));
  }
  Advance(m_freeRunning ? Offset : time - StartTime + Offset);
  if (!m_disposed && (running || !m_freeRunning))
    BecomeCurrent();
}

void TPlaySequence::Advance(double p) {
  const double total = m_list->TotalLength();
  const bool endless = m_repeat && !m_list->IsEmpty() && total > 0;
  if (!endless && p > total) {
    Dispose(true);
    return;
  }
  ScheduleEntries(p);
  if (m_started)
    WatchChannels(p);
}

void TPlaySequence::ScheduleEntries(double p) {
  const int64_t count = m_list->Count();
  if (count == 0)
    return;
  const double total = m_list->TotalLength();
  const bool endless = m_repeat && total > 0;
  if (endless && p > 0) {
    // Every entry of a round that ended before p has ended too.
    const double rounds = std::floor(p / total);
    m_nextEntry = std::max(m_nextEntry, static_cast<int64_t>(std::min(rounds * static_cast<double>(count), 1e18)));
  }
  bool added = false;
  while (static_cast<int32_t>(m_channels.size()) < kMaxChannels) {
    if ((!endless && m_nextEntry >= count) || m_nextEntry > INT32_MAX)
      break;
    const TMusicItemInfo entry = m_list->Entry(static_cast<int32_t>(m_nextEntry));
    if (entry.Start >= p + kLookAheadMs)
      break;
    ++m_nextEntry;
    if (p >= entry.Start + entry.Duration)
      continue;
    Log().WriteLine("Preload " + entry.FileName.substr(0, 200));
    Log().WriteLine("Preload to time start " + Ms(entry.Start));
    const double offset = std::floor(std::max(0.0, p - entry.Start) + entry.Begin);
    auto channel = MakeRef<TVmoChannel>(m_host.StartQueue(), m_id, entry.FileName,
                                        static_cast<int32_t>(std::min(offset, double{INT32_MAX})),
                                        std::max(p, entry.Start), entry.Start + entry.Duration);
    m_channels.push_back(channel);
    m_host.OpenChannel(channel);
    added = true;
  }
  if (added)
    m_ready = false;
}

void TPlaySequence::WatchChannels(double p) {
  const int64_t mark = TLog::Mark();
  for (size_t i = 0; i < m_channels.size();) {
    const TRefPtr<TVmoChannel> channel = m_channels[i];
    if (p < channel->EndTime.load()) {
      if (channel->Ready && !channel->Playing && p >= channel->StartTime) {
        Log().WriteLine("Start Channel: " + channel->LogName() + "   IntTime: " + Ms(p));
        channel->Start();
      }
      ++i;
      continue;
    }
    m_channels.erase(m_channels.begin() + static_cast<std::ptrdiff_t>(i));
    EndChannel(channel);
    Log().WriteLine("Release Channel Time " + Ms(p));
  }
  m_ready = AllReady(m_channels);
  if (TLog::Mark() - mark > 1)
    Log().WriteElapsed("|||||||||||||||||||||||||| Watch Synch Time ", mark);
}

} // namespace qx
