// The show's transition settings and the choice of the transition into each
// slide: per-slide settings, the random mix of enabled groups with its
// rotation and odd/even alternation, and the reproducible choice used when
// the show must play the same way every time.
#pragma once

#include "VmoLib2/VmoClasses/qxVmoEffectParams.h"

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace qx {

struct TEffectChoice {
  int Class = 0;
  int Variant = 0;
};

// The transition into one slide: class 0 ... 18 (0 or less: none), variant,
// duration in ms and the effect parameters.
struct TTransition {
  int Class = 0;
  int Variant = 0;
  double Duration = 0;
  TEffectParams Params;
};

class TVmoTransitions {
public:
  // The project section of the slide at a play position, or none.
  using TSlideSectionLookup = std::function<TIniSection*(int index)>;

  // Reads the show-wide options and the groups of `main`; `slideCount` is
  // the number of slides, `slideSection` finds a slide's section.
  TVmoTransitions(const TIniSection& main, int slideCount, TSlideSectionLookup slideSection);

  bool EffectsOn() const { return m_effectsOn; }
  double DefaultDuration() const { return m_defaultDuration; }
  const TEffectParams& DefaultParams() const { return m_defaultParams; }
  const TEffGroup& Group(int index) const { return m_groups[index]; }
  // Classes of the active groups in the current play order.
  std::vector<int> ActiveClasses() const;
  // The custom definitions joined from the list of "opt_fx_eff19".
  const std::string& Custom() const { return m_defaultParams.Custom; }
  bool RollVariantsPerSlide() const { return m_rollVariantsPerSlide; }

  // When set, a slide index always yields the same class, variant and seed.
  bool Deterministic() const { return m_deterministic; }
  void SetDeterministic(bool value) { m_deterministic = value; }

  // A class and variant from the random mix for slide index i; class 0 when
  // transitions are off.
  TEffectChoice ChooseRandomEffect(int index);
  // The transition into slide i (taken modulo the slide count).
  TTransition GetTransition(int index);

private:
  TEffectChoice ChooseLocked(int index);
  void ShuffleLocked();
  uint32_t RandomBelow(uint32_t limit);

  const TIniSection& m_main;
  const int m_slideCount;
  const TSlideSectionLookup m_slideSection;
  bool m_effectsOn = false;
  double m_defaultDuration = 0;
  TEffectParams m_defaultParams;
  bool m_rollVariantsPerSlide = false;
  std::array<TEffGroup, kEffectGroupCount> m_groups;
  bool m_deterministic = false;
  const uint32_t m_seed = 0;
  // Active classes in index order: the reproducible choice reads these, as
  // the play order below is shuffled from the clock.
  std::vector<int> m_activeInOrder;

  // The engine and the preloading thread both choose transitions, so the
  // mutable choice state below is guarded by one lock.
  mutable std::mutex m_lock;
  std::vector<int> m_active;
  bool m_alternation = false;
  uint32_t m_counter = 0;
  std::mt19937 m_random;
};

} // namespace qx
