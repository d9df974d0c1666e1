// A slide's transition choice as the slide producer stores it, and the
// custom transitions that are small animated projects of their own.
#pragma once

#include "VmoLib2/VmoClasses/qxVmoEffects.h"
#include "VmoLib2/VmoClasses/qxVmoTransitions.h"

#include <memory>
#include <string>

namespace qx {

class TVmoSource;

// The transition into one slide: the choice, the progress of the running
// transition and the effect object, made on the transition's first frame.
class TVmoFilter {
public:
  explicit TVmoFilter(const TTransition& transition);
  TVmoFilter(const TVmoFilter&) = delete;
  TVmoFilter& operator=(const TVmoFilter&) = delete;
  ~TVmoFilter();

  int EffectClass() const { return m_class; }
  int Variant() const { return m_variant; }
  double Duration() const { return m_duration; }
  const TEffectParams& Params() const { return m_params; }

  // Progress of the running transition, 0 ... 1.
  float Progress() const { return m_progress; }
  void SetProgress(float progress) { m_progress = progress; }

  // The effect object, made for the slide rectangle on the first request;
  // none when the choice is no transition.
  TDrawFilter* Effect(const TPixelRect& slideRect, const TFileAccessor* accessor);
  // The effect object made so far, or none.
  TDrawFilter* CurrentEffect() const { return m_effect.get(); }

private:
  int m_class;
  int m_variant;
  double m_duration;
  TEffectParams m_params;
  float m_progress = 0;
  bool m_effectMade = false;
  std::unique_ptr<TDrawFilter> m_effect;
};

// A custom transition: a packed project whose first slide is played over
// the transition's time. Holds the project's source; the slide itself is
// made when the slide producer can build it.
class TRealSlideFilter : public TDrawFilter {
public:
  TRealSlideFilter(int effectClass, int variant, const TEffectParams& params, std::string name,
                   std::unique_ptr<TVmoSource> source, bool coverMode);
  ~TRealSlideFilter() override;
  std::string_view ClassName() const override { return "TRealSlideFilter"; }

  // The packed file the definition names.
  const std::string& DefinitionName() const { return m_name; }
  const TVmoSource& Source() const { return *m_source; }
  // Cover the slide rectangle instead of fitting inside it.
  bool CoverMode() const { return m_coverMode; }

private:
  std::string m_name;
  std::unique_ptr<TVmoSource> m_source;
  bool m_coverMode;
};

// The effect of a custom transition: one of the comma-separated names of
// params.Custom (drawn at random when there are several) opened as a packed
// project; a cross-fade when there is no name, no accessor, or the file is
// missing or unreadable.
std::unique_ptr<TDrawFilter> CreateCustomEffect(int effectClass, int variant,
                                                const TEffectParams& params,
                                                const TFileAccessor* accessor);

} // namespace qx
