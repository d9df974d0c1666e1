// The slide loader: a worker thread that builds slides ahead of the show
// clock (one per step, every 10 ms) through the slide cache, and reports the
// current slides to the engine as event 101. It also reads the window
// parameters of the show.
#pragma once

#include "QxLib/qxRefCounted.h"
#include "VmoLib2/VmoClasses/qxVmoSlideCache.h"
#include "VmoLib2/VmoViewer/qxVmoEngineTypes.h"
#include "VmoLib2/VmoViewer/qxVmoRootItem.h"
#include "VmoLib2/VmoViewer/qxVmoTiming.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qx {

class TVmoSource;

// The window parameters of a show.
class TSlideShowParams : public TVmoThread {
public:
  static constexpr std::string_view kDefaultTitle = "VmoShow";

  int32_t FrameWidth() const { return m_frameWidth; }
  int32_t FrameHeight() const { return m_frameHeight; }
  // The frame the slides are made for (the output), replacing the window's
  // size read from the project. Before SetGeometry.
  void SetFrameSize(int32_t width, int32_t height) {
    m_frameWidth = width;
    m_frameHeight = height;
  }
  const std::string& Title() const { return m_title; }
  // Windowed with a border.
  bool Framed() const { return m_framed; }

protected:
  int32_t m_frameWidth = 0;
  int32_t m_frameHeight = 0;
  std::string m_title{kDefaultTitle};
  bool m_framed = false;
};

class TVmoSlideLoader : public TSlideShowParams {
public:
  static constexpr int32_t kSlideListEvent = 101;
  static constexpr std::chrono::milliseconds kStepPeriod{10};

  // Receives a report on the loader's thread; may move the payload out.
  using TReportHandler = std::function<void(int32_t id, TEventPayload& payload)>;

  // Reads the window parameters from [main] ("projectname", "opt_scr_full",
  // "opt_withoutborder", "opt_scr_caption", "opt_scr_width",
  // "opt_scr_height"; the frame is `screen` unless the window has its own
  // size) and makes the timing, the producer and a cache of `capacity`
  // slides. The first form borrows the source, the second owns it.
  TVmoSlideLoader(TVmoSource& source, int capacity, TSize screen);
  TVmoSlideLoader(std::unique_ptr<TVmoSource> source, int capacity, TSize screen);
  ~TVmoSlideLoader() override;

  // "opt_scr_full": 1 full screen (the default), 0 a window, others as the
  // window placement knows them.
  int32_t ScreenMode() const { return m_screenMode; }
  // The mode of the window placement: 0 full screen, 1 framed, 2 borderless.
  int ScreenModeForWindow() const;

  // The producer's geometry for the frame rectangle, fitted inside or
  // covering it, at 100 % zoom. Call before the thread starts.
  void SetGeometry(bool cover);
  TPixelRect SlideRect() const;

  TVmoSource& Source() const { return *m_source; }
  const TRefPtr<TTiming>& Timing() const { return m_timing; }
  TSlideCache& Cache() const { return *m_cache; }

  // Reports are sent to `queue` (the loader waits until they are handled);
  // for an engine on another thread.
  void ReportTo(TThreadEventList& queue);
  // Reports are handed to `handler` on the loader's own thread.
  void ReportDirectly(TReportHandler handler);

  // One preparation at the timing's position: the cache adds at most one
  // slide. True when a slide was added. Exceptions are logged, not raised.
  bool PrepareOnce();
  // The slides the cache holds now, in time order.
  std::unique_ptr<TSlideData> CurrentSlides() const;

protected:
  // Prepares, then sleeps for the step period (woken early by events or
  // Stop).
  void Step() override;

private:
  void ReadWindowParams(TSize screen);
  void MakeCache(int capacity);
  void ListChanged();

  std::unique_ptr<TVmoSource> m_ownedSource;
  TVmoSource* m_source;
  int32_t m_screenMode = 1;
  TRefPtr<TTiming> m_timing;
  std::unique_ptr<TSlideCache> m_cache;
  TThreadEventList* m_queue = nullptr;
  TReportHandler m_direct;
};

} // namespace qx
