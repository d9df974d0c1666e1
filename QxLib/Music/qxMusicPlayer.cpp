#include "QxLib/Music/qxMusicPlayer.h"

#include "QxLib/Music/qxChannelKiller.h"
#include "QxLib/Music/qxChannelMusic.h"
#include "QxLib/Music/qxCompositeConverter.h"
#include "QxLib/qxLog.h"

namespace qx {

TMusicPlayerClass::TMusicPlayerClass(std::unique_ptr<TWaveOutDevice> device)
    : m_device(std::move(device)), m_registry(std::make_shared<TChannelRegistry>()) {
  m_registry->Player = this;
}

TMusicPlayerClass::~TMusicPlayerClass() {
  {
    std::lock_guard lock(m_registry->Lock);
    for (TChannelMusic* channel : m_registry->Channels)
      channel->Detach();
    m_registry->Channels.clear();
    m_registry->Player = nullptr;
  }
  {
    std::lock_guard lock(m_clockLock);
    m_timer.reset();
  }
  TChannelKiller::Instance().FreeOrphansOf(*m_device);
}

bool TMusicPlayerClass::IsUsable() { return m_device->IsUsable(); }

float TMusicPlayerClass::GetVolume() {
  std::lock_guard lock(m_registry->Lock);
  return m_registry->MasterVolume;
}

void TMusicPlayerClass::SetVolume(float volume) {
  std::lock_guard lock(m_registry->Lock);
  m_registry->MasterVolume = volume;
  for (TChannelMusic* channel : m_registry->Channels)
    channel->SetMasterVolume(volume);
}

void TMusicPlayerClass::SetFileAccess(const TSoundFileAccess& files) {
  std::lock_guard lock(m_filesLock);
  m_files = files;
}

TSoundFileAccess TMusicPlayerClass::GetFileAccess() {
  std::lock_guard lock(m_filesLock);
  return m_files;
}

double TMusicPlayerClass::GetClock() {
  std::lock_guard lock(m_clockLock);
  if (!m_timer)
    m_timer = m_device->CreateTimerChannel();
  if (!m_timer)
    return static_cast<double>(SystemMilliseconds());
  if (!m_timer->IsPlaying())
    m_timer->Start();
  return m_timer->GetTime();
}

std::unique_ptr<TChannel> TMusicPlayerClass::CreateChannel(const std::string& name, int32_t offsetMs) {
  if (!IsUsable())
    return nullptr;
  auto channel = std::make_unique<TChannelMusic>(m_registry, *m_device, GetFileAccess(), name);
  if (!channel->Opened())
    return nullptr;
  if (offsetMs != -1)
    channel->SetPosition(offsetMs);
  std::lock_guard lock(m_registry->Lock);
  if (m_registry->MasterVolume != 1.0f)
    channel->SetMasterVolume(m_registry->MasterVolume);
  m_registry->Channels.push_back(channel.get());
  return channel;
}

int32_t TMusicPlayerClass::ChannelCount() {
  std::lock_guard lock(m_registry->Lock);
  return static_cast<int32_t>(m_registry->Channels.size());
}

std::unique_ptr<TMusicPlayerClass> CreateMusicPlayer(std::unique_ptr<TWaveOutDevice> device) {
  if (!device)
    return nullptr;
  InstallCompositeConverter();
  if (!device->CreateTimerChannel()) {
    Log().WriteLine("CreateMusicPlayer: the sound device makes no clock; no sound");
    return nullptr;
  }
  return std::make_unique<TMusicPlayerClass>(std::move(device));
}

} // namespace qx
