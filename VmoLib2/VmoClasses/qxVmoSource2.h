// The show as the engine sees it before any slide is built: the project
// storage, the options of the main section the model needs, the play order
// of the slides and the time line of their synchronisation positions and
// transitions.
#pragma once

#include "QxLib/qxIniStorage.h"
#include "VmoLib2/VmoClasses/qxVmoTransitions.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The fixed time block of one slide, in show ms; copied as a unit.
struct TSlideTimes {
  double SlideStart = 0; // synchronisation position of the previous slide
  double SlideEnd = 0;   // the slide's own synchronisation position
  double InEffect = 0;   // transition into the slide, at most its length
  double OutEffect = 0;  // transition to the next slide
  double VisibleEnd = 0; // SlideEnd + OutEffect
};

struct TSlideInfo : TSlideTimes {
  std::string SlideName;
};

using TSlideInfoList = std::vector<TSlideInfo>;

// What the show does after its last slide ("opt_repeat").
enum class TEndMode { Repeat = 0, Close = 1, Stop = 2 };

// "repeat", "close" or "stop".
std::string_view EndModeWord(TEndMode mode);

// What happens when a slide's time is over.
enum class TSlideEndAction { None = -1, Pause = 0, Loop = 1 };

struct TEndAction {
  TSlideEndAction Action = TSlideEndAction::None;
  double LoopLength = 0; // for Loop: the slide's length after its transition
  bool HasAction() const { return Action != TSlideEndAction::None; }
};

// Time blocks before the show: the lead-in (index -1) and the virtual
// blocks before it (index -2 and below).
constexpr double kLeadInStart = -1073741823.0;
constexpr double kVirtualStart = -2147483647.0;

class TVmoSource {
public:
  // Builds the source over a project storage it owns / borrows. Applies the
  // screen-saver overrides, reads the main options and the transition
  // settings and lays out the time line; raises "Incorrect time" when a
  // synchronisation position decreases. `deterministic` sets Deterministic
  // before the time line is built.
  TVmoSource(const TFileAccessor& accessor, std::unique_ptr<TIniStorage> storage, bool deterministic = false);
  TVmoSource(const TFileAccessor& accessor, TIniStorage& storage, bool deterministic = false);
  TVmoSource(const TVmoSource&) = delete;
  TVmoSource& operator=(const TVmoSource&) = delete;
  ~TVmoSource();

  // The program path that turns on the screen-saver overrides when its file
  // name ends in ".scr"; the command line's program path by default.
  static bool IsScreenSaverPath(std::string_view programPath);

  TIniStorage& Storage() const { return *m_storage; }
  TIniSection& MainSection() const { return *m_main; }
  const TFileAccessor& Accessor() const { return m_accessor; }

  int SlideCount() const { return m_slideCount; }
  TEndMode EndMode() const { return m_endMode; }
  double TotalDuration() const { return m_totalDuration; }
  const TSlideInfoList& Slides() const { return m_slides; }

  bool ScreenSaver() const { return m_screenSaver; }
  bool PauseWhenInactive() const { return m_pauseWhenInactive; }
  // Drawer options.
  TRgb HiderColor() const { return m_hiderColor; }
  double UnsharpAmount() const { return m_unsharpAmount; }
  uint8_t UnsharpThreshold() const { return m_unsharpThreshold; }

  // Transition settings and choice.
  TVmoTransitions& Transitions() { return *m_transitions; }
  const TVmoTransitions& Transitions() const { return *m_transitions; }
  bool Deterministic() const { return m_transitions->Deterministic(); }
  // Set by the engine after construction; the time line keeps the durations
  // chosen at construction.
  void SetDeterministic(bool value) { m_transitions->SetDeterministic(value); }

  // The name of the project section of the slide at play position n
  // (0-based): "Slide<k>" for project slide k, through the shared random
  // order list when the project has a "ProjectFilePath".
  static std::string SlideSectionName(const TIniStorage& storage, int n);
  // That section, or none when the project lacks it.
  static TIniSection* SlideSection(const TIniStorage& storage, int n);
  TIniSection* SlideSection(int n) const { return SlideSection(*m_storage, n); }

  // The time block of slide `index`, shifted into its repetition; returns
  // the repetition number (-1 for the lead-in and the virtual blocks).
  int GetSlideTimes(int index, TSlideTimes& times) const;
  // The slide shown at a time (-1 for the lead-in up to time 0); at an exact
  // boundary the earlier slide wins; times past the end map into later
  // repetitions.
  int FindSlide(double time) const;

  // Duration of the transition into slide `index` (0 after the last slide
  // when the show does not repeat).
  double GetTransitionTime(int index);
  TTransition GetTransition(int index) { return m_transitions->GetTransition(index); }
  TEffectChoice ChooseRandomEffect(int index) { return m_transitions->ChooseRandomEffect(index); }

  TEndAction GetEndAction(int index) const;
  // True with the program's file name when the slide runs a program.
  bool GetRunApp(int index, std::string& fileName) const;

private:
  void Build(bool deterministic);
  void ApplyScreenSaverOverrides();
  void ReadMainOptions();
  void BuildTimeLine();
  std::string ReadSlideName(int index) const;
  const TIniSection* PersonalSection(int index) const;

  TFileAccessor m_accessor;
  std::unique_ptr<TIniStorage> m_ownedStorage;
  TIniStorage* m_storage = nullptr;
  TIniSection* m_main = nullptr;

  TEndMode m_endMode = TEndMode::Repeat;
  int m_slideCount = 0;
  TSlideInfoList m_slides;
  double m_totalDuration = 0;
  std::unique_ptr<TVmoTransitions> m_transitions;

  TRgb m_hiderColor{0, 0, 0};
  double m_unsharpAmount = 0;
  uint8_t m_unsharpThreshold = 0;
  bool m_pauseWhenInactive = true;
  bool m_screenSaver = false;
};

} // namespace qx
