#include "QxLib/Music/qxChannelMusic.h"

#include "QxLib/Music/qxChannelKiller.h"
#include "QxLib/Music/qxConverterFactory.h"
#include "QxLib/qxLog.h"

#include <algorithm>

namespace qx {

namespace {

std::optional<TMediaInfo> ReadChannelMediaInfo(const std::string& name, const TSoundFileAccess& files) {
  if (IsCompositeName(name))
    return CompositeMediaInfo(name);
  TStreamWrapperClass& access = TStreamWrapperClass::Instance();
  std::unique_ptr<TStream> stream = access.Open(name, files.Open);
  if (!stream)
    return std::nullopt;
  std::optional<TMediaInfo> info;
  try {
    info = ReadMediaInfo(*stream, name);
  } catch (const std::exception& e) {
    Log().WriteLine("TChannelMusic: \"" + name + "\": " + e.what());
  }
  access.Free(std::move(stream), files.Free);
  return info;
}

} // namespace

// TCustomChannel

TCustomChannel::TCustomChannel(std::shared_ptr<TChannelRegistry> registry, std::string name)
    : m_registry(std::move(registry)), m_name(std::move(name)) {}

TMusicPlayer* TCustomChannel::GetPlayer() {
  std::lock_guard lock(m_registry->Lock);
  return m_registry->Player;
}

// TChannelMusic

TChannelMusic::TChannelMusic(std::shared_ptr<TChannelRegistry> registry, TWaveOutDevice& device,
                             const TSoundFileAccess& files, const std::string& name)
    : TCustomChannel(std::move(registry), name), m_device(&device), m_files(files) {
  const std::optional<TMediaInfo> info = ReadChannelMediaInfo(name, files);
  m_playable = info && info->Kind != TMediaKind::None;
  if (!m_playable)
    return;
  m_info = *info;
  std::lock_guard lock(m_lock);
  NewInstanceLocked();
  m_opened = m_instances.size() == 1;
}

TChannelMusic::~TChannelMusic() {
  TChannelKiller& killer = TChannelKiller::Instance();
  {
    std::lock_guard processing(killer.ProcessingLock());
    std::vector<std::unique_ptr<TMusicChannel>> instances;
    {
      std::lock_guard lock(m_lock);
      instances.swap(m_instances);
    }
    for (std::unique_ptr<TMusicChannel>& instance : instances) {
      if (instance->State() == TMusicChannel::Prepared) {
        TMusicChannel* const gone = instance.get();
        instance.reset();
        killer.Forget(*gone);
        continue;
      }
      if (instance->State() == TMusicChannel::Playing)
        instance->Stop(kSwitchFadeMs);
      instance->Orphan();
      killer.Adopt(std::move(instance));
    }
  }
  std::lock_guard lock(m_registry->Lock);
  if (!m_registry->Player)
    return;
  const auto found = std::find(m_registry->Channels.begin(), m_registry->Channels.end(), this);
  if (found != m_registry->Channels.end())
    m_registry->Channels.erase(found);
  else if (m_opened)
    Log().WriteLine("TChannelMusic: channel \"" + m_name + "\" missing from its player's list");
}

TMusicChannel* TChannelMusic::NewInstanceLocked() {
  if (!m_device || !m_playable)
    return nullptr;
  try {
    m_instances.push_back(
        std::make_unique<TMusicChannel>(this, *m_device, m_files, m_name, m_info, BufferVolumeLocked()));
    return m_instances.back().get();
  } catch (const std::exception& e) {
    Log().WriteLine("+++++++++++++++++++ Channel instance ERROR " + m_name + ": " + e.what());
    return nullptr;
  }
}

float TChannelMusic::GetVolume() {
  std::lock_guard lock(m_lock);
  return m_volume;
}

void TChannelMusic::SetVolume(float volume) {
  std::lock_guard lock(m_lock);
  m_volume = volume;
  if (TMusicChannel* current = CurrentLocked())
    current->SetVolume(BufferVolumeLocked());
}

float TChannelMusic::GetMasterVolume() {
  std::lock_guard lock(m_lock);
  return m_masterFactor;
}

void TChannelMusic::SetMasterVolume(float factor) {
  {
    std::lock_guard lock(m_lock);
    m_masterFactor = factor;
  }
  SetVolume(GetVolume());
}

int32_t TChannelMusic::GetLength() { return m_info.Length; }

int32_t TChannelMusic::GetPosition() {
  std::lock_guard lock(m_lock);
  TMusicChannel* const current = CurrentLocked();
  // A stopping instance's buffer still runs (silence); the position is the
  // one kept at the stop.
  if (current && current->State() != TMusicChannel::Stopping)
    m_savedPosition = current->GetPosition();
  return m_savedPosition;
}

void TChannelMusic::SetPosition(int32_t ms) {
  std::lock_guard lock(m_lock);
  m_savedPosition = ms;
  TMusicChannel* current = CurrentLocked();
  if (current && current->State() == TMusicChannel::Prepared) {
    current->Seek(ms);
    return;
  }
  const bool crossFade = current && current->State() == TMusicChannel::Playing;
  if (crossFade)
    current->Stop(kSwitchFadeMs);
  TMusicChannel* const next = NewInstanceLocked();
  if (!next)
    return;
  next->Seek(ms);
  if (crossFade)
    next->Play(kSwitchFadeMs);
}

bool TChannelMusic::Play(int32_t fadeMs) {
  std::lock_guard lock(m_lock);
  TMusicChannel* current = CurrentLocked();
  if (current && current->State() == TMusicChannel::Playing)
    return false;
  if (!current || current->State() == TMusicChannel::Stopping) {
    current = NewInstanceLocked();
    if (!current)
      return false;
    current->Seek(m_savedPosition);
  }
  current->Play(fadeMs);
  return true;
}

bool TChannelMusic::Stop(int32_t fadeMs) {
  std::lock_guard lock(m_lock);
  TMusicChannel* const current = CurrentLocked();
  if (!current || current->State() != TMusicChannel::Playing)
    return false;
  // The sound goes on in full until the fade begins, so the next Play
  // starts there: its fade-in then covers what the fade-out took away, and
  // nothing is heard twice.
  m_savedPosition = current->GetPosition() + kStopFadeDelayMs;
  current->Stop(fadeMs);
  return true;
}

bool TChannelMusic::IsPlaying() {
  std::lock_guard lock(m_lock);
  const TMusicChannel* const current = CurrentLocked();
  return current && current->State() == TMusicChannel::Playing;
}

int32_t TChannelMusic::InstanceCount() {
  std::lock_guard lock(m_lock);
  return static_cast<int32_t>(m_instances.size());
}

int32_t TChannelMusic::SavedPosition() {
  std::lock_guard lock(m_lock);
  return m_savedPosition;
}

std::unique_ptr<TMusicChannel> TChannelMusic::TakeInstance(TMusicChannel& instance) {
  std::lock_guard lock(m_lock);
  const auto found = std::find_if(m_instances.begin(), m_instances.end(),
                                  [&](const std::unique_ptr<TMusicChannel>& i) { return i.get() == &instance; });
  if (found == m_instances.end())
    return nullptr;
  // A file that ended while current leaves its end as the position; a
  // stopped one keeps the position saved at the stop (its buffer went on
  // playing silence).
  if (&instance == CurrentLocked() && instance.State() == TMusicChannel::Playing)
    m_savedPosition = instance.GetPosition();
  std::unique_ptr<TMusicChannel> taken = std::move(*found);
  m_instances.erase(found);
  return taken;
}

void TChannelMusic::Detach() {
  TChannelKiller& killer = TChannelKiller::Instance();
  std::lock_guard processing(killer.ProcessingLock());
  std::lock_guard lock(m_lock);
  for (std::unique_ptr<TMusicChannel>& instance : m_instances) {
    TMusicChannel* const gone = instance.get();
    instance.reset();
    killer.Forget(*gone);
  }
  m_instances.clear();
  m_device = nullptr;
}

} // namespace qx
