// Slide production: the producer that knows the output geometry and builds
// any slide of a show (the lead-in before the first, later repetitions,
// custom dialogs) with its time anchors and transition, and the draw
// container in which a prepared slide travels to the engine.
#pragma once

#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/VmoClasses/qxVmoSlideHost.h"
#include "VmoLib2/VmoClasses/qxVmoSlideSize.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoTiming.h"

#include <memory>
#include <string>

namespace qx {

class TVmoFilter;

// One prepared slide: its time block (shifted into its repetition), its
// index (-1 for the lead-in, count and above for repetitions), the slide
// (none when it failed to load) and, through the slide, its transition.
class TDrawContainer {
public:
  TDrawContainer(TRefPtr<TTiming> timing, int index, const TSlideTimes& times, double repetitionOffset,
                 std::unique_ptr<TVmoSlide> slide);
  ~TDrawContainer();
  TDrawContainer(const TDrawContainer&) = delete;
  TDrawContainer& operator=(const TDrawContainer&) = delete;

  const TRefPtr<TTiming>& Timing() const { return m_timing; }
  int Index() const { return m_index; }
  const TSlideTimes& Times() const { return m_times; }
  // Repetition × the show's total duration, ms.
  double RepetitionOffset() const { return m_repetitionOffset; }
  TVmoSlide* Slide() const { return m_slide.get(); }
  // The transition into this slide, or none (no slide, or no choice made).
  TVmoFilter* Transition() const;

private:
  TRefPtr<TTiming> m_timing;
  int m_index;
  TSlideTimes m_times;
  double m_repetitionOffset;
  std::unique_ptr<TVmoSlide> m_slide;
};

// The slides on screen at a time: first == last outside transitions.
struct TVisibleRange {
  int First = 0;
  int Last = 0;
  bool operator==(const TVisibleRange&) const = default;
};

// A custom dialog's slide and its settings.
struct TDialogSlide {
  std::unique_ptr<TVmoDialog> Slide; // none when the section is missing or failed to load
  std::string Section;
  bool DialogPause = false; // "DialogPause" of the section
};

// The section of a custom dialog: "dialog_<k>_" when the name is the value
// of "custom_dialog<k>" (k = 1 ... "opt_customdialogscount"), else
// "dialog_" followed by the name.
std::string DialogSectionName(const TIniIdentList& mainSection, const std::string& dialogName);

class TSlideProducer {
public:
  // Reads "PathToButtons", the design size and "opt_scr_fullfixedsize" and
  // makes the host. The first form borrows the source, the second owns it.
  explicit TSlideProducer(TVmoSource& source);
  explicit TSlideProducer(std::unique_ptr<TVmoSource> source);
  ~TSlideProducer();
  TSlideProducer(const TSlideProducer&) = delete;
  TSlideProducer& operator=(const TSlideProducer&) = delete;

  TVmoSource& Source() const { return *m_source; }
  TVmoSlideHost& Host() const { return *m_host; }

  // Sets the output rectangle, the fit mode and the zooms (percent), then
  // the show's aspect and the slide size. Raises "ZeroSize of Presentation!"
  // for a current project without design height.
  void SetGeometry(const TPixelRect& output, TSlideFitMode fit, double zoomX = 100, double zoomY = 100);
  TSize DesignSize() const { return m_design; }
  bool FixedSize() const { return m_fixedSize; }
  double Aspect() const { return m_aspect; }
  TSize OutputSize() const { return {m_output.Width(), m_output.Height()}; }
  // The output the slides are seen on when it differs from the one they are
  // sized for (a custom transition's slide, sized to the slide rectangle,
  // is drawn on the whole screen): the camera stands at its centre. Empty
  // (the default) means the output.
  void SetViewSize(TSize size) { m_viewSize = size; }
  TSize ViewSize() const;
  // The slide size on the output.
  TSize SlideSize() const { return m_slideSize; }
  // The slide size centred in the output rectangle, clipped to it.
  TPixelRect SlideRect() const;

  // The timing the containers carry; must be set before MakeContainer.
  void SetTiming(TRefPtr<TTiming> timing) { m_timing = std::move(timing); }
  const TRefPtr<TTiming>& CurrentTiming() const { return m_timing; }

  // Slide `index` of repetition `repetition` (index below 0: the lead-in,
  // slide 1's background without objects). None when its section is missing
  // or loading raised (the partial slide is freed). Raises "No Slides in
  // Presentation" for a show without slides.
  std::unique_ptr<TVmoSlide> MakeSlide(int index, int repetition);
  // The container of show index n (repetitions above the count, the lead-in
  // below 0); logs a line of dots and the index. Raises
  // "TSlideProducer.CurrentTiming not Assigned" without timing.
  std::unique_ptr<TDrawContainer> MakeContainer(int index);
  // A custom dialog's slide, evaluated at time 0.
  TDialogSlide MakeDialogSlide(const std::string& dialogName);

  // The first and last slide index on screen at `time` (ms, compared rounded
  // to whole ms); the search starts from where the last call ended.
  TVisibleRange VisibleRange(double time);

private:
  void ReadOptions();
  void MakeHost();
  // Sizes and centres a new slide and sets its key point scale.
  void PlaceSlide(TVmoSlide& slide) const;
  // Slide n's VisibleEnd and SlideStart, rounded to whole ms.
  double RoundedVisibleEnd(int index) const;
  double RoundedStart(int index) const;

  std::unique_ptr<TVmoSource> m_ownedSource;
  TVmoSource* m_source;
  std::unique_ptr<TVmoSlideHost> m_host;
  TSize m_design;
  bool m_fixedSize = false;
  TPixelRect m_output;
  TSlideFitMode m_fit = TSlideFitMode::FitInside;
  double m_zoomX = 100;
  double m_zoomY = 100;
  double m_aspect = kDefaultAspect;
  TSize m_slideSize;
  TSize m_viewSize;
  int m_cursor = 0;
  TRefPtr<TTiming> m_timing;
};

} // namespace qx
