#include "VmoLib2/VmoViewer/qxVmoStepDriver.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <string>

namespace qx {

namespace {

thread_local TStepDriver* CurrentDriver = nullptr;

} // namespace

TStepDriver::TStepDriver(TAdvance advance) : m_advance(std::move(advance)) {}

TStepDriver::~TStepDriver() = default;

TStepDriver::TEntry* TStepDriver::Find(const TParticipant& participant) {
  const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                  [&participant](const TEntry& entry) { return entry.Participant == &participant; });
  return found == m_entries.end() ? nullptr : &*found;
}

const TStepDriver::TEntry* TStepDriver::Find(const TParticipant& participant) const {
  return const_cast<TStepDriver*>(this)->Find(participant);
}

void TStepDriver::Attach(TParticipant& participant, int64_t due) {
  QX_ASSERT(Find(participant) == nullptr, "Step driver: participant attached twice");
  m_entries.push_back({&participant, std::max(due, m_now)});
}

void TStepDriver::Detach(TParticipant& participant) {
  std::erase_if(m_entries, [&participant](const TEntry& entry) { return entry.Participant == &participant; });
}

bool TStepDriver::Attached(const TParticipant& participant) const { return Find(participant) != nullptr; }

void TStepDriver::SetDue(TParticipant& participant, int64_t time) {
  if (TEntry* entry = Find(participant))
    entry->Due = std::max(time, m_now);
}

int64_t TStepDriver::Due(const TParticipant& participant) const {
  const TEntry* entry = Find(participant);
  return entry ? entry->Due : kNever;
}

TStepDriver::TParticipant* TStepDriver::NextDue() {
  for (const TEntry& entry : m_entries)
    if (entry.Due <= m_now || entry.Participant->HasEvents())
      return entry.Participant;
  return nullptr;
}

void TStepDriver::RunDue() {
  for (int steps = 0;; ++steps) {
    TParticipant* participant = NextDue();
    if (!participant)
      return;
    if (steps >= kMaxStepsPerInstant)
      throw EQxError("steps at " + std::to_string(m_now) + " ms do not settle");
    SetDue(*participant, m_now + 1);
    // The step may detach any participant, itself included.
    participant->RunStep();
  }
}

void TStepDriver::MoveClockTo(int64_t time) {
  while (m_now < time) {
    // The device is advanced in pieces that fit its counter.
    const int64_t piece = std::min<int64_t>(time - m_now, std::numeric_limits<int32_t>::max());
    m_now += piece;
    if (m_advance)
      m_advance(static_cast<int32_t>(piece));
  }
}

void TStepDriver::AdvanceTo(int64_t time) {
  if (time <= m_now)
    return;
  RunDue();
  for (;;) {
    int64_t next = kNever;
    for (const TEntry& entry : m_entries)
      next = std::min(next, entry.Due);
    if (next >= time)
      break;
    MoveClockTo(next);
    RunDue();
  }
  MoveClockTo(time);
}

void TStepDriver::RunUntil(int64_t time) {
  AdvanceTo(time);
  RunDue();
}

TStepDriver* TStepDriver::Current() { return CurrentDriver; }

TStepDriver::TScope::TScope(TStepDriver& driver) : m_previous(CurrentDriver) { CurrentDriver = &driver; }

TStepDriver::TScope::~TScope() { CurrentDriver = m_previous; }

} // namespace qx
