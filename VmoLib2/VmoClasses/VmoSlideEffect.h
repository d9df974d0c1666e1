// A slide's transition choice as the slide producer stores it, and the
// custom transitions that are small animated projects of their own.
#pragma once

#include "VmoLib2/3DEngine/qxSlideEffFilter.h"
#include "VmoLib2/VmoClasses/qxVmoEffects.h"
#include "VmoLib2/VmoClasses/qxVmoSlideHost.h"
#include "VmoLib2/VmoClasses/qxVmoTransitions.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace qx {

class TSlideProducer;
class TVmoImage;
class TVmoSlide;
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

// A custom transition: a packed project whose first slide (the mini-slide)
// is played over the transition's time, sized to the slide rectangle and
// drawn over it, its effect-buffer pictures showing the outgoing and the
// incoming slide.
class TRealSlideFilter : public TSlideEffFilter {
public:
  // Takes the project's source; the mini-project's producer owns it.
  TRealSlideFilter(int effectClass, int variant, const TEffectParams& params, std::string name,
                   std::unique_ptr<TVmoSource> source, bool coverMode);
  ~TRealSlideFilter() override;
  std::string_view ClassName() const override { return "TRealSlideFilter"; }

  // The packed file the definition names.
  const std::string& DefinitionName() const { return m_name; }
  const TVmoSource& Source() const;
  // The mini-project's producer (its geometry is set by Init).
  TSlideProducer& Producer() const { return *m_producer; }
  // Cover the slide rectangle instead of fitting inside it.
  bool CoverMode() const { return m_coverMode; }

  // The transition starts: makes slide 0 of the mini-project (again). False
  // when it cannot be made.
  bool Start();
  // The mini-slide, or none before Start or when it could not be made.
  TVmoSlide* MiniSlide() const { return m_slide.get(); }
  // The mini-slide's own time at progress x (0 ... 1): SlideStart +
  // (SlideEnd - SlideStart) × x.
  double MiniSlideTime(double progress) const;
  // Evaluates and places the mini-slide at progress x, logging
  // "set slide eff. time: " and the time.
  void SetMiniSlideProgress(double progress);

  // Where the mini-project's "SlideEffectBuffer1"/"2" pictures come from
  // when they are opened as pictures (drawing takes them from the render
  // targets instead).
  void SetEffectBufferSource(TEffectBufferSource source);
  // Before drawing: every picture of the mini-slide with
  // "ReplaceWithEffectBuffer" 1 or 2 opens its buffer picture through the
  // host (once; it gives the object its size) and is given the render
  // target of the outgoing (1) or incoming (2) slide, whose `texels` hold
  // the slide. Returns those pictures.
  std::vector<TVmoImage*> AttachEffectBuffers(const std::array<TCustomTexture*, 2>& targets, const TFloatRect& texels);
  // After drawing: the pictures are given their render targets no more.
  void DetachEffectBuffers();
  // Lets go of the buffer pictures.
  void ReleaseEffectBuffers();

  // The drawer's position of the slide rectangle: the mini-slide's centre
  // is that position plus half the rectangle.
  void SetPosition(float x, float y);

  // Makes the mini-slide on the first call, places it on the slide
  // rectangle (the camera at the output's centre), sets its time from the
  // phase and draws it with the buffers. False when there is no mini-slide.
  bool Compose(TDeviceDrawer& drawer, const TSlideBuffers& buffers) override;

protected:
  // Sizes the mini-project to the slide rectangle at zoom 100 %.
  void ComputeGeometry() override;

private:
  std::string m_name;
  std::unique_ptr<TSlideProducer> m_producer;
  bool m_coverMode;
  std::unique_ptr<TVmoSlide> m_slide;
  bool m_startTried = false;
  std::vector<TVmoImage*> m_attached;
};

// The effect of a custom transition: one of the comma-separated names of
// params.Custom (drawn at random when there are several) opened as a packed
// project; a cross-fade when there is no name, no accessor, or the file is
// missing or unreadable.
std::unique_ptr<TDrawFilter> CreateCustomEffect(int effectClass, int variant, const TEffectParams& params,
                                                const TFileAccessor* accessor);

} // namespace qx
