#include "VmoLib2/VmoViewer/qxVmoSlideLoader2.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"

#include <exception>

namespace qx {

namespace {

constexpr int32_t kDefaultWindowWidth = 640;
constexpr int32_t kDefaultWindowHeight = 480;

} // namespace

TVmoSlideLoader::TVmoSlideLoader(TVmoSource& source, int capacity, TSize screen) : m_source(&source) {
  ReadWindowParams(screen);
  MakeCache(capacity);
}

TVmoSlideLoader::TVmoSlideLoader(std::unique_ptr<TVmoSource> source, int capacity, TSize screen)
    : m_ownedSource(std::move(source)), m_source(m_ownedSource.get()) {
  QX_ASSERT(m_source != nullptr, "TVmoSlideLoader: no source");
  ReadWindowParams(screen);
  MakeCache(capacity);
}

TVmoSlideLoader::~TVmoSlideLoader() {
  // The thread must end before the cache and the source go.
  Stop();
}

void TVmoSlideLoader::ReadWindowParams(TSize screen) {
  const TIniSection& main = m_source->MainSection();
  m_frameWidth = screen.Width;
  m_frameHeight = screen.Height;
  m_title = main.ReadString("projectname", m_title);
  m_screenMode = main.ReadInteger("opt_scr_full", 1);
  if (m_screenMode != 0) {
    m_framed = false;
  } else {
    m_framed = !main.ReadBool("opt_withoutborder", true);
    if (m_framed)
      m_title = main.ReadString("opt_scr_caption", m_title);
  }
  if (m_screenMode == 0 || m_screenMode == 3) {
    m_frameWidth = main.ReadInteger("opt_scr_width", kDefaultWindowWidth);
    m_frameHeight = main.ReadInteger("opt_scr_height", kDefaultWindowHeight);
  }
}

void TVmoSlideLoader::MakeCache(int capacity) {
  m_timing = MakeRef<TTiming>();
  auto producer = std::make_unique<TSlideProducer>(*m_source);
  producer->SetTiming(m_timing);
  m_cache = std::make_unique<TSlideCache>(std::move(producer), capacity);
  m_cache->SetOnListChanged([this] { ListChanged(); });
}

int TVmoSlideLoader::ScreenModeForWindow() const {
  if (m_screenMode == 1)
    return 0;
  return m_framed ? 1 : 2;
}

void TVmoSlideLoader::SetGeometry(bool cover) {
  m_cache->Producer().SetGeometry(TPixelRect{0, 0, m_frameWidth, m_frameHeight},
                                  cover ? TSlideFitMode::Cover : TSlideFitMode::FitInside, 100, 100);
}

TPixelRect TVmoSlideLoader::SlideRect() const { return m_cache->Producer().SlideRect(); }

void TVmoSlideLoader::ReportTo(TThreadEventList& queue) {
  m_queue = &queue;
  m_direct = nullptr;
}

void TVmoSlideLoader::ReportDirectly(TReportHandler handler) {
  m_direct = std::move(handler);
  m_queue = nullptr;
}

bool TVmoSlideLoader::PrepareOnce() {
  try {
    return m_cache->Prepare(m_timing->Position());
  } catch (const std::exception& error) {
    Log().WriteLine(std::string("TVmoSlideLoader.Prepare: ") + error.what());
    return false;
  }
}

void TVmoSlideLoader::Step() {
  ProcessEvents();
  PrepareOnce();
  WaitForEvents(kStepPeriod);
}

std::unique_ptr<TSlideData> TVmoSlideLoader::CurrentSlides() const {
  auto data = std::make_unique<TSlideData>();
  for (const TDrawContainer* container : m_cache->Containers()) {
    TSlideEntry entry;
    entry.Slide = container->Slide();
    if (entry.Slide) {
      entry.Times = entry.Slide->Times();
    } else {
      // A slide that failed to load keeps its place in the show's time.
      entry.Times = container->Times();
      entry.Times.SlideStart += container->RepetitionOffset();
      entry.Times.SlideEnd += container->RepetitionOffset();
      entry.Times.VisibleEnd += container->RepetitionOffset();
    }
    entry.Transition = container->Transition();
    data->Add(entry);
  }
  return data;
}

void TVmoSlideLoader::ListChanged() {
  TEventPayload payload = CurrentSlides();
  if (m_direct) {
    m_direct(kSlideListEvent, payload);
    return;
  }
  if (m_queue)
    m_queue->Send(kSlideListEvent, std::move(payload));
}

} // namespace qx
