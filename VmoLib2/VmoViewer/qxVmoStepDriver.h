// The virtual wall clock that the headless renderer and the tests run the
// player on. Worker threads (the engine, the slide loader, the music player
// and its loader) started on a thread that has a step driver installed get
// no thread of their own: the driver runs their steps one at a time on its
// own thread, each at the virtual time its previous step asked to sleep to,
// or at once when an event is waiting for it. The clock moves only between
// steps, and whatever follows it (the virtual sound device) is advanced
// with it, so the same calls give the same steps, frames and sound on
// every run, however long each step takes in real time.
#pragma once

#include "QxLib/Application2/qxApplication.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace qx {

class TStepDriver {
public:
  // Something whose steps the driver runs.
  class TParticipant {
  public:
    virtual ~TParticipant() = default;
    // An event is waiting: the participant is due now, whatever its time.
    virtual bool HasEvents() const = 0;
    // One step. Before it the participant's time is set to now + 1 ms, so a
    // step that asks nothing runs again one millisecond later.
    virtual void RunStep() = 0;
  };

  // The time of a participant that runs only for its events.
  static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
  // Steps run at one instant before the driver gives up (steps that keep
  // waking each other without end).
  static constexpr int kMaxStepsPerInstant = 100000;

  // Called with the milliseconds by which the clock moves, before the steps
  // due at the new time run.
  using TAdvance = std::function<void(int32_t ms)>;

  explicit TStepDriver(TAdvance advance = {});
  TStepDriver(const TStepDriver&) = delete;
  TStepDriver& operator=(const TStepDriver&) = delete;
  ~TStepDriver();

  // Virtual milliseconds since the driver was made.
  int64_t Now() const { return m_now; }

  // A new participant is due at once; it runs after those attached before
  // it when both are due at the same time.
  void Attach(TParticipant& participant, int64_t due = 0);
  // Safe during any step, including the participant's own.
  void Detach(TParticipant& participant);
  bool Attached(const TParticipant& participant) const;
  // The next step of `participant` runs at `time` (not before now).
  void SetDue(TParticipant& participant, int64_t time);
  void Wake(TParticipant& participant) { SetDue(participant, m_now); }
  int64_t Due(const TParticipant& participant) const;

  // Runs every step due now, including the steps woken by events meanwhile.
  // Raises EQxError when kMaxStepsPerInstant steps did not settle them.
  void RunDue();
  // Runs the steps due up to `time` in time order, moving the clock to each
  // step's time and finally to `time` (the clock never goes back).
  void RunUntil(int64_t time);
  // Runs the steps due before `time` and moves the clock to it; the steps
  // due at `time` wait for RunDue (so that input can go in first).
  void AdvanceTo(int64_t time);

  // The driver installed on the calling thread, or null.
  static TStepDriver* Current();

  // Installs a driver on the calling thread for the scope's life.
  class TScope {
  public:
    explicit TScope(TStepDriver& driver);
    TScope(const TScope&) = delete;
    TScope& operator=(const TScope&) = delete;
    ~TScope();

  private:
    TStepDriver* m_previous;
  };

private:
  struct TEntry {
    TParticipant* Participant;
    int64_t Due;
  };

  TEntry* Find(const TParticipant& participant);
  const TEntry* Find(const TParticipant& participant) const;
  // The first participant due now, in attach order, or null.
  TParticipant* NextDue();
  void MoveClockTo(int64_t time);

  TAdvance m_advance;
  int64_t m_now = 0;
  std::vector<TEntry> m_entries;
};

// The main thread's share of the steps: the application's queue is handled
// whenever a message waits, at the virtual instant it was posted. Attach it
// with TStepDriver::kNever.
class TApplicationSteps final : public TStepDriver::TParticipant {
public:
  explicit TApplicationSteps(TApplication& application) : m_application(application) {}
  bool HasEvents() const override { return m_application.HasMessages(); }
  void RunStep() override { m_application.ProcessMessages(); }

private:
  TApplication& m_application;
};

} // namespace qx
