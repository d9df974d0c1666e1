// The headless renderer: plays a show on a virtual clock. For each asked
// show time it moves the shared timing there, waits until the slide loader
// has reported every slide on screen at that time as prepared, builds the
// draw list from the loader's report, draws it through the drawer and reads
// the frame back. Nothing here knows the device behind the drawer.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "VmoLib2/VmoViewer/qxVmoDrawController.h"
#include "VmoLib2/VmoViewer/qxVmoEngineTypes.h"
#include "VmoLib2/VmoViewer/qxVmoRootItem.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace qx {

class TThirdSlide;
class TVmoDrawController;
class TVmoSource;
struct TRenderOptions;

// The show indices (repetitions past the slide count) on screen at `time`:
// every slide whose SlideStart <= time <= VisibleEnd, in order. Times past
// the end of a show that does not repeat keep the last slide.
std::vector<int> SlidesOnScreen(const TVmoSource& source, double time);

// Where a frame sequence ends when no end is asked: the end of the last
// slide, which for a repeating show is one pass.
double DefaultRenderEnd(const TVmoSource& source);

class TVmoRenderer {
public:
  static constexpr auto kDefaultPrepareTimeout = std::chrono::seconds(60);

  // Borrows the source and the draw controller (whose drawer it makes when
  // there is none yet); starts the slide loader with the output's geometry
  // (`cover`: fill and crop instead of fitting inside). Raises EQxError
  // when the controller gives no drawer.
  TVmoRenderer(TVmoSource& source, TVmoDrawController& controller, bool cover);
  ~TVmoRenderer();
  TVmoRenderer(const TVmoRenderer&) = delete;
  TVmoRenderer& operator=(const TVmoRenderer&) = delete;

  TVmoSource& Source() const { return m_source; }
  void SetPrepareTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

  // Draws the show at `time` (ms) into `frame` (Bgra32, the device size).
  // Raises EQxError when the loader has not prepared the slides on screen
  // within the time-out, or the frame could not be drawn or read.
  void Render(double time, TBitmap& frame);

  // How many frames were drawn, and how long was spent waiting for slides.
  int64_t FramesDrawn() const { return m_framesDrawn; }
  std::chrono::duration<double> TimeWaiting() const { return m_waiting; }

private:
  class TLoader;

  bool OnEvent(int32_t id, TEventPayload& payload);
  // True when the last report holds every slide on screen at `time`.
  bool Prepared(double time) const;
  void WaitForSlides(double time);

  TVmoSource& m_source;
  TVmoDrawController& m_controller;
  TThreadEventList m_events;
  std::unique_ptr<TLoader> m_loader;
  TRootItem m_root;
  // The layer above the slides as it shows before any input: the logo, the
  // navigation panel unless it hides at start-up.
  std::unique_ptr<TThirdSlide> m_overlay;
  // The slides of the loader's last report, in show order.
  std::vector<TSlideEntry> m_entries;
  std::chrono::milliseconds m_timeout = kDefaultPrepareTimeout;
  int64_t m_framesDrawn = 0;
  std::chrono::duration<double> m_waiting{0};
};

// Renders what the options ask (a sequence or single times) into their
// output folder, creating it; shows progress on `progressOut` when the
// options say so. Returns the number of frames written; raises EQxError
// when a frame cannot be drawn or written.
int64_t RenderFrames(const TRenderOptions& options, TVmoRenderer& renderer, std::FILE* progressOut);

} // namespace qx
