#include "VmoLib2/VmoViewer/qxVmoPlayChannel.h"

#include "QxLib/Music/qxCompositeParams.h"
#include "QxLib/Music/qxMusicPlayer.h"
#include "QxLib/qxLog.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

std::string TimeText(double time) { return std::to_string(std::llround(time)); }

constexpr std::string_view kFileNameKey = "FileName=";

} // namespace

TVmoChannel::TVmoChannel(TChannelOperator& queue, int32_t ownerId, std::string fileName, int32_t fileOffset,
                         double startTime, double endTime)
    : FileName(std::move(fileName)), FileOffset(fileOffset), StartTime(startTime), EndTime(endTime), OwnerId(ownerId),
      m_queue(queue) {}

TVmoChannel::~TVmoChannel() {
  if (!Device)
    return;
  if (Device->IsPlaying() && !Stopped)
    Device->Stop(kFadeMs);
  Log().WriteLine("+++++++++++++++++++ Destroy Channel " + LogName() + " Time " +
                  TimeText(static_cast<double>(TLog::Mark())));
  Device.reset();
}

void TVmoChannel::Start() {
  if (!Ready || Playing)
    return;
  Playing = true;
  m_queue.Add(TRefPtr<TVmoChannel>(this));
}

void TVmoChannel::Stop() {
  if (!Playing)
    return;
  Playing = false;
  if (m_queue.Remove(*this) || !Device)
    return;
  Device->Stop(kFadeMs);
  Stopped = true;
  Log().WriteLine("+++++++++++++++++++ Channel " + LogName() + " Stop Time " +
                  TimeText(static_cast<double>(TLog::Mark())));
}

std::string TVmoChannel::LogName() const {
  if (!IsCompositeDescription(FileName))
    return FileName;
  std::string name = "composite of " + std::to_string(FileName.size()) + " bytes";
  const size_t key = FileName.find(kFileNameKey);
  if (key != std::string::npos) {
    const size_t start = key + kFileNameKey.size();
    name += ", first " + FileName.substr(start, FileName.find_first_of("\r\n", start) - start);
  }
  return name;
}

bool TVmoChannel::PlayDevice() {
  if (!Device)
    return false;
  Device->Play(kFadeMs);
  Stopped = false;
  return true;
}

bool TChannelOperator::Remove(const TVmoChannel& channel) {
  const auto found = std::find_if(m_channels.begin(), m_channels.end(),
                                  [&channel](const TRefPtr<TVmoChannel>& c) { return c.Get() == &channel; });
  if (found == m_channels.end())
    return false;
  m_channels.erase(found);
  return true;
}

bool TChannelOperator::Contains(const TVmoChannel& channel) const {
  return std::any_of(m_channels.begin(), m_channels.end(),
                     [&channel](const TRefPtr<TVmoChannel>& c) { return c.Get() == &channel; });
}

void TChannelOperator::PlayAll(double time) {
  for (const TRefPtr<TVmoChannel>& channel : m_channels) {
    if (channel->PlayDevice())
      Log().WriteLine("+++++++++++++++++++ Play Channel " + channel->LogName() + " Time " + TimeText(time));
  }
  m_channels.clear();
}

} // namespace qx
