#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"
#include "VmoLib2/VmoClasses/qxVmoSlideSize.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace qx {

namespace {

// More custom dialogs than this are not looked through.
constexpr int kMaxCustomDialogs = 10000;

void ShiftTimes(TSlideTimes& times, double shift) {
  if (!(shift > 0))
    return;
  times.SlideStart += shift;
  times.SlideEnd += shift;
  times.VisibleEnd += shift;
}

} // namespace

// --- TDrawContainer ------------------------------------------------------

TDrawContainer::TDrawContainer(TRefPtr<TTiming> timing, int index, const TSlideTimes& times, double repetitionOffset,
                               std::unique_ptr<TVmoSlide> slide)
    : m_timing(std::move(timing)), m_index(index), m_times(times), m_repetitionOffset(repetitionOffset),
      m_slide(std::move(slide)) {}

TDrawContainer::~TDrawContainer() = default;

TVmoFilter* TDrawContainer::Transition() const { return m_slide ? m_slide->Transition() : nullptr; }

// --- Dialogs -------------------------------------------------------------

std::string DialogSectionName(const TIniIdentList& mainSection, const std::string& dialogName) {
  const int count = std::min(mainSection.ReadInteger("opt_customdialogscount", 0), kMaxCustomDialogs);
  for (int k = 1; k <= count; ++k)
    if (mainSection.ReadString("custom_dialog" + std::to_string(k), "NotFound") == dialogName)
      return "dialog_" + std::to_string(k) + "_";
  return "dialog_" + dialogName;
}

// --- TSlideProducer ------------------------------------------------------

TSlideProducer::TSlideProducer(TVmoSource& source) : m_source(&source) {
  ReadOptions();
  MakeHost();
}

TSlideProducer::TSlideProducer(std::unique_ptr<TVmoSource> source)
    : m_ownedSource(std::move(source)), m_source(m_ownedSource.get()) {
  QX_ASSERT(m_source != nullptr, "TSlideProducer: no source");
  ReadOptions();
  MakeHost();
}

TSlideProducer::~TSlideProducer() = default;

void TSlideProducer::ReadOptions() {
  const TIniSection& main = m_source->MainSection();
  m_design = {main.ReadInteger("opt_scr_width", 0), main.ReadInteger("opt_scr_height", 0)};
  m_fixedSize = main.ReadBool("opt_scr_fullfixedsize", false);
}

void TSlideProducer::MakeHost() {
  TSlideHostCallbacks callbacks;
  callbacks.FindSection = [this](const std::string& name) -> const TIniIdentList* {
    return m_source->Storage().FindSection(name);
  };
  callbacks.OutputSize = [this] { return ViewSize(); };
  callbacks.SlideRect = [this] { return SlideRect(); };
  m_host = std::make_unique<TVmoSlideHost>(m_source->Accessor(), std::move(callbacks));
  m_host->SetButtonPath(m_source->MainSection().ReadString("PathToButtons", ""));
  m_host->SetSlideCount(m_source->SlideCount());
  m_host->SetDesignSize(m_design);
}

void TSlideProducer::SetGeometry(const TPixelRect& output, TSlideFitMode fit, double zoomX, double zoomY) {
  m_output = output;
  m_fit = fit;
  m_zoomX = zoomX;
  m_zoomY = zoomY;
  m_aspect = ShowAspect(m_source->MainSection(), OutputSize());
  TSlideSizeParams params;
  params.Output = OutputSize();
  params.Fit = fit;
  params.ZoomX = zoomX;
  params.ZoomY = zoomY;
  params.Aspect = m_aspect;
  params.FixedSize = m_fixedSize;
  params.Design = m_design;
  m_slideSize = ComputeSlideSize(params);
}

TSize TSlideProducer::ViewSize() const {
  return m_viewSize.Width > 0 && m_viewSize.Height > 0 ? m_viewSize : OutputSize();
}

TPixelRect TSlideProducer::SlideRect() const { return CenteredSlideRect(m_output, m_slideSize); }

void TSlideProducer::PlaceSlide(TVmoSlide& slide) const {
  const TSize base{m_zoomX > 0 ? RoundToInt(m_slideSize.Width / m_zoomX * 100) : m_slideSize.Width,
                   m_zoomY > 0 ? RoundToInt(m_slideSize.Height / m_zoomY * 100) : m_slideSize.Height};
  slide.SetSize(base);
  const float scaleX = base.Width > 0 ? static_cast<float>(m_slideSize.Width * 100.0 / base.Width) : 100.0f;
  const float scaleY = base.Height > 0 ? static_cast<float>(m_slideSize.Height * 100.0 / base.Height) : 100.0f;
  slide.KeyPoints().SetScale(scaleX, scaleY);
  slide.SetCenter(m_output.Width() / 2.0f, m_output.Height() / 2.0f);
}

std::unique_ptr<TVmoSlide> TSlideProducer::MakeSlide(int index, int repetition) {
  const bool leadIn = index < 0;
  const int count = m_source->SlideCount();
  if (!leadIn) {
    if (count <= 0)
      throw EQxError("No Slides in Presentation");
    index %= count;
  }
  const TIniSection* section = m_source->SlideSection(leadIn ? 0 : index);
  if (!section && !leadIn)
    return nullptr;

  TSlideTimes times;
  if (leadIn) {
    m_source->GetSlideTimes(-1, times);
  } else {
    m_source->GetSlideTimes(index, times);
    ShiftTimes(times, repetition * m_source->TotalDuration());
  }

  auto slide = std::make_unique<TVmoSlide>(m_host.get(), section ? section->Name() : std::string());
  slide->SetRepetition(leadIn ? 0 : repetition);
  slide->SetIndex(leadIn ? -1 : index);
  PlaceSlide(*slide);
  slide->SetTimes(times);
  try {
    if (leadIn) {
      // Before the show only the first slide's background is visible.
      slide->SetBackground(ReadSlideBackground(m_source->MainSection(), section));
    } else {
      slide->LoadSlide(m_source->MainSection(), *section, false);
    }
    slide->PrepareResources();
    slide->EvaluateAndUpdate(times.SlideStart);
    if (!leadIn)
      slide->SetTransition(std::make_unique<TVmoFilter>(m_source->GetTransition(index)));
  } catch (const EAbort&) {
    throw;
  } catch (const std::exception& error) {
    Log().WriteLine("TSlideProducer.MakeSlide(" + std::to_string(index) + "): " + error.what());
    return nullptr;
  }
  return slide;
}

std::unique_ptr<TDrawContainer> TSlideProducer::MakeContainer(int index) {
  if (!m_timing)
    throw EQxError("TSlideProducer.CurrentTiming not Assigned");
  Log().WriteLine("................ " + std::to_string(index));
  const int count = m_source->SlideCount();
  if (index >= 0 && count <= 0)
    throw EQxError("No Slides in Presentation");

  TSlideTimes times;
  m_source->GetSlideTimes(index, times);
  const int repetition = index >= 0 ? index / count : 0;
  const double offset = repetition * m_source->TotalDuration();
  std::unique_ptr<TVmoSlide> slide = MakeSlide(index >= 0 ? index % count : index, repetition);
  return std::make_unique<TDrawContainer>(m_timing, index, times, offset, std::move(slide));
}

TDialogSlide TSlideProducer::MakeDialogSlide(const std::string& dialogName) {
  TDialogSlide result;
  result.Section = DialogSectionName(m_source->MainSection(), dialogName);
  const TIniSection* section = m_source->Storage().FindSection(result.Section);
  if (!section)
    return result;
  result.DialogPause = section->ReadBool("DialogPause", false);

  auto dialog = std::make_unique<TVmoDialog>(m_host.get(), section->Name());
  dialog->SetIndex(-1);
  PlaceSlide(*dialog);
  try {
    dialog->LoadSlide(m_source->MainSection(), *section, false);
    dialog->PrepareResources();
    dialog->EvaluateAndUpdate(0);
  } catch (const EAbort&) {
    throw;
  } catch (const std::exception& error) {
    Log().WriteLine("TSlideProducer.MakeDialogSlide(" + dialogName + "): " + error.what());
    return result;
  }
  result.Slide = std::move(dialog);
  return result;
}

// --- Visible range -------------------------------------------------------

double TSlideProducer::RoundedVisibleEnd(int index) const {
  TSlideTimes times;
  m_source->GetSlideTimes(index, times);
  return std::round(times.VisibleEnd);
}

double TSlideProducer::RoundedStart(int index) const {
  TSlideTimes times;
  m_source->GetSlideTimes(index, times);
  return std::round(times.SlideStart);
}

TVisibleRange TSlideProducer::VisibleRange(double time) {
  const int count = m_source->SlideCount();
  if (count <= 0 || std::isnan(time))
    return {-1, -1};
  const double t = std::round(time);
  const double total = m_source->TotalDuration();
  // Indexes stay where the next one, its repetition included, still fits.
  const int lastIndex = INT_MAX - 2;

  int k = std::clamp(m_cursor, -2, lastIndex);
  // Far ahead: jump to the repetition before the time instead of walking.
  if (k >= 0 && total > 0 && RoundedVisibleEnd(k) < t) {
    const double repetition = std::floor(t / total) - 1;
    const double jump = repetition * count;
    if (jump > k)
      k = static_cast<int>(std::min(jump, static_cast<double>(lastIndex)));
  }
  while (k > -2 && RoundedVisibleEnd(k - 1) > t)
    --k;
  while (k < lastIndex && RoundedVisibleEnd(k) < t) {
    // A show of zero length never reaches a later time in any repetition.
    if (k >= count - 1 && !(total > 0))
      break;
    ++k;
  }
  m_cursor = k;

  TVisibleRange range{k, k};
  if (k < lastIndex && t >= RoundedStart(k + 1) && RoundedVisibleEnd(k + 1) >= t)
    range.Last = k + 1;
  return range;
}

} // namespace qx
