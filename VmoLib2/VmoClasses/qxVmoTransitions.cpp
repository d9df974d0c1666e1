#include "VmoLib2/VmoClasses/qxVmoTransitions.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxUtf8.h"

#include <bit>
#include <chrono>
#include <utility>

namespace qx {

namespace {

// The random seed of a transition is two 12-bit halves.
constexpr uint32_t kSeedHalf = 4096;
// The per-slide roll variant is on when a draw of 0 ... 999 exceeds this.
constexpr uint32_t kRollDrawLimit = 1000;
constexpr uint32_t kRollDrawThreshold = 500;
constexpr int kChooseAtRandom = -1;
// "EffectSmoothline" holds thousandths of the slide width.
constexpr float kThousandth = 0.001f;

uint32_t ClockSeed() { return static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()); }

} // namespace

TVmoTransitions::TVmoTransitions(const TIniSection& main, int slideCount, TSlideSectionLookup slideSection)
    : m_main(main), m_slideCount(slideCount), m_slideSection(std::move(slideSection)), m_random(ClockSeed()) {
  const TShowEffectOptions options = ReadShowEffectOptions(main);
  m_defaultParams = options.Params;
  m_rollVariantsPerSlide = options.RollVariantsPerSlide;
  if (!options.Enabled)
    return;

  for (int g = 0; g < kEffectGroupCount; ++g) {
    m_groups[g].Assign(main.ReadString("opt_fx_eff" + std::to_string(g + 1), ""));
    if (m_groups[g].Active())
      m_active.push_back(g);
  }
  m_defaultParams.Custom = JoinCustomDefinitions(
      main, main.ReadString("opt_fx_eff" + std::to_string(kEffectGroupCount), ""), options.CustomCount);
  if (m_active.empty())
    return;
  m_effectsOn = true;
  m_defaultDuration = options.Duration;
  m_activeInOrder = m_active;
  ShuffleLocked();
}

std::vector<int> TVmoTransitions::ActiveClasses() const {
  const std::lock_guard<std::mutex> guard(m_lock);
  return m_active;
}

uint32_t TVmoTransitions::RandomBelow(uint32_t limit) {
  if (limit <= 1)
    return 0;
  return std::uniform_int_distribution<uint32_t>(0, limit - 1)(m_random);
}

void TVmoTransitions::ShuffleLocked() {
  m_random.seed(ClockSeed());
  const auto n = static_cast<uint32_t>(m_active.size());
  for (uint32_t i = 0; i + 1 < n; ++i) {
    const uint32_t r = RandomBelow(n - i);
    if (r != i)
      std::swap(m_active[i], m_active[r]);
  }
}

TEffectChoice TVmoTransitions::ChooseRandomEffect(int index) {
  const std::lock_guard<std::mutex> guard(m_lock);
  return ChooseLocked(index);
}

TEffectChoice TVmoTransitions::ChooseLocked(int index) {
  if (!m_effectsOn || m_active.empty())
    return {};

  const auto n = static_cast<uint32_t>(m_active.size());
  const auto i = static_cast<uint32_t>(index);
  int cls = 0;
  if (m_deterministic) {
    cls = m_activeInOrder[i % n];
  } else {
    const uint32_t k = m_counter++ % n;
    if (k == 0)
      ShuffleLocked();
    cls = m_active[k];
  }

  const TEffGroup& group = m_groups[cls];
  const auto m = static_cast<uint32_t>(group.Count());
  uint32_t j = 0;
  if (m_deterministic) {
    j = (i ^ m_seed) % m;
    if ((j & 1u) != ((i & 1u) ^ static_cast<uint32_t>(m_alternation)))
      j = j + 1 == m ? 0 : j + 1;
  } else {
    // Successive random choices alternate between odd and even positions of
    // the group text: the two directions of a variant pair.
    j = RandomBelow(m);
    if (((j & 1u) == 0) != m_alternation)
      j = j + 1 == m ? 0 : j + 1;
    m_alternation = !m_alternation;
  }
  return {cls, group.VariantAt(static_cast<int>(j))};
}

TTransition TVmoTransitions::GetTransition(int index) {
  QX_ASSERT(index >= 0, "GetTransition: negative slide index");
  QX_ASSERT(index < m_slideCount || m_slideCount > 0, "GetTransition: no slides");
  if (m_slideCount > 0)
    index %= m_slideCount;

  TTransition result;
  result.Duration = m_defaultDuration;
  result.Params = m_defaultParams;
  const auto i = static_cast<uint32_t>(index);

  const std::lock_guard<std::mutex> guard(m_lock);
  if (m_rollVariantsPerSlide) {
    result.Params.RollVariants = m_deterministic ? (std::popcount(m_seed ^ i) & 1) == 0
                                                 : (RandomBelow(kRollDrawLimit) > kRollDrawThreshold) != m_alternation;
  }

  const TIniSection* slide = m_slideSection(index);
  const bool personal = slide && slide->ReadBool("UsePersonal", false) && slide->ReadBool("Pers_Effect", false);
  const bool useSmooth = personal && slide->ReadBool("EffectUseSmoothline", false);
  bool chosenAtRandom = !personal;

  if (!personal) {
    const TEffectChoice choice = ChooseLocked(index);
    result.Class = choice.Class;
    result.Variant = choice.Variant;
  } else {
    const int cls = slide->ReadInteger("Effect_Class", 0);
    const std::string type = slide->ReadString("Effect_Type", "");
    const double time = slide->ReadInteger("EffectTime", 0);
    if (cls == kChooseAtRandom) {
      const TEffectChoice choice = ChooseLocked(index);
      result.Class = choice.Class;
      result.Variant = choice.Variant;
      chosenAtRandom = true;
      if (result.Class == 0) {
        result.Duration = 0;
        return result;
      }
    } else if (cls == 0) {
      result.Duration = 0;
      return result;
    } else if (cls == kCustomEffectClass) {
      result.Class = cls;
      result.Variant = 0;
      result.Params.Custom = m_main.ReadString("opt_fx_custom" + type, "");
    } else {
      result.Class = cls;
      const std::u16string units = Utf8ToUtf16(type);
      result.Variant = units.empty() ? 1 : VariantOfChar(units.front());
    }
    result.Duration = time;
  }

  if (result.Class == 0)
    return result;
  if (useSmooth)
    result.Params.Smoothline = static_cast<float>(slide->ReadInteger("EffectSmoothline", 0)) * kThousandth;
  if (personal && !chosenAtRandom)
    ReadSlideEffectParams(*slide, result.Params);
  result.Params.Seed = m_deterministic
                           ? static_cast<int32_t>(m_seed ^ i)
                           : static_cast<int32_t>(RandomBelow(kSeedHalf) * kSeedHalf + RandomBelow(kSeedHalf));
  return result;
}

} // namespace qx
