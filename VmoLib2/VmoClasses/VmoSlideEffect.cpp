#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxLog.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoClasses/qxVmoImage.h"
#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

#include <algorithm>
#include <sstream>
#include <random>
#include <string_view>
#include <vector>

namespace qx {

namespace {

std::vector<std::string> SplitDefinitions(std::string_view text) {
  std::vector<std::string> names;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    std::string_view entry = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    while (!entry.empty() && IsBlank(entry.front()))
      entry.remove_prefix(1);
    if (!entry.empty())
      names.emplace_back(entry);
  }
  return names;
}

// One of several definitions, drawn from the transition's seed: the seed
// is itself random while a show plays, and fixed for a deterministic show,
// whose frames are then the same on every run.
const std::string& PickDefinition(const std::vector<std::string>& names, int32_t seed) {
  if (names.size() == 1)
    return names.front();
  std::mt19937 generator(static_cast<uint32_t>(seed));
  return names[std::uniform_int_distribution<size_t>(0, names.size() - 1)(generator)];
}

// The packed project of a definition, or none when it cannot be opened.
std::unique_ptr<TIniStorage> LoadDefinition(const TFileAccessor& accessor, const std::string& name) {
  TFileAccessor opener(accessor);
  std::unique_ptr<TStream> stream = opener.OpenStream(name);
  if (!stream)
    return nullptr;
  auto storage = std::make_unique<TIniStorage>();
  if (!storage->LoadFromStream(*stream))
    return nullptr;
  return storage;
}

} // namespace

TVmoFilter::TVmoFilter(const TTransition& transition)
    : m_class(transition.Class), m_variant(transition.Variant), m_duration(transition.Duration),
      m_params(transition.Params) {}

TVmoFilter::~TVmoFilter() = default;

TDrawFilter* TVmoFilter::Effect(const TPixelRect& slideRect, const TFileAccessor* accessor) {
  if (!m_effectMade) {
    m_effectMade = true;
    m_effect = CreateEffect(m_class, m_variant, m_params, slideRect, m_duration, accessor);
  }
  return m_effect.get();
}

TRealSlideFilter::TRealSlideFilter(int effectClass, int variant, const TEffectParams& params, std::string name,
                                   std::unique_ptr<TVmoSource> source, bool coverMode)
    : TSlideEffFilter(effectClass, variant, params), m_name(std::move(name)),
      m_producer(std::make_unique<TSlideProducer>(std::move(source))), m_coverMode(coverMode) {}

TRealSlideFilter::~TRealSlideFilter() = default;

const TVmoSource& TRealSlideFilter::Source() const { return m_producer->Source(); }

void TRealSlideFilter::ComputeGeometry() {
  const TPixelRect& rect = SlideRect();
  // A mini-project without a usable size shows nothing, the transition goes
  // on without it.
  try {
    m_producer->SetGeometry(TPixelRect{0, 0, rect.Width(), rect.Height()},
                            m_coverMode ? TSlideFitMode::Cover : TSlideFitMode::FitInside);
  } catch (const EQxError& error) {
    Log().WriteLine("TRealSlideFilter: " + m_name + ": " + error.what());
  }
}

bool TRealSlideFilter::Start() {
  ReleaseEffectBuffers();
  m_slide.reset();
  const TSize size = m_producer->SlideSize();
  if (size.Width <= 0 || size.Height <= 0)
    return false;
  try {
    m_slide = m_producer->MakeSlide(0, 0);
  } catch (const EQxError& error) {
    Log().WriteLine("TRealSlideFilter.Start: " + m_name + ": " + error.what());
  }
  return m_slide != nullptr;
}

double TRealSlideFilter::MiniSlideTime(double progress) const {
  TSlideTimes times;
  if (m_slide)
    times = m_slide->Times();
  else if (Source().SlideCount() > 0)
    Source().GetSlideTimes(0, times);
  return times.SlideStart + (times.SlideEnd - times.SlideStart) * std::clamp(progress, 0.0, 1.0);
}

void TRealSlideFilter::SetMiniSlideProgress(double progress) {
  const double time = MiniSlideTime(progress);
  std::ostringstream line;
  line << "set slide eff. time: " << time;
  Log().WriteLine(line.str());
  if (m_slide)
    m_slide->EvaluateAndUpdate(time);
}

void TRealSlideFilter::SetEffectBufferSource(TEffectBufferSource source) {
  m_producer->Host().SetEffectBufferSource(std::move(source));
}

std::vector<TVmoImage*> TRealSlideFilter::AttachEffectBuffers(const std::array<TCustomTexture*, 2>& targets,
                                                              const TFloatRect& texels) {
  DetachEffectBuffers();
  if (!m_slide)
    return {};
  m_slide->ForEach([&](TVmoObject& object) {
    auto* image = dynamic_cast<TVmoImage*>(&object);
    const int number = image ? image->EffectBufferNumber() : 0;
    if (number != 1 && number != 2)
      return;
    if (!image->HasResources())
      image->PrepareResources();
    image->SetEffectTexture(targets[static_cast<size_t>(number - 1)], texels);
    m_attached.push_back(image);
  });
  return m_attached;
}

void TRealSlideFilter::DetachEffectBuffers() {
  for (TVmoImage* image : m_attached)
    image->SetEffectTexture(nullptr, {});
  m_attached.clear();
}

void TRealSlideFilter::ReleaseEffectBuffers() {
  DetachEffectBuffers();
  if (!m_slide)
    return;
  m_slide->ForEach([](TVmoObject& object) {
    auto* image = dynamic_cast<TVmoImage*>(&object);
    if (image && image->EffectBufferNumber() > 0)
      image->ReleasePicture();
  });
}

void TRealSlideFilter::SetPosition(float x, float y) {
  if (!m_slide)
    return;
  const TPixelRect& rect = SlideRect();
  m_slide->SetCenter(x + rect.Width() / 2.0f, y + rect.Height() / 2.0f);
}

bool TRealSlideFilter::Compose(TDeviceDrawer& drawer, const TSlideBuffers& buffers) {
  if (!m_startTried) {
    m_startTried = true;
    Start();
  }
  if (!m_slide)
    return false;
  const T3DRect& device = buffers.deviceRect;
  m_producer->SetViewSize({device.Width(), device.Height()});
  SetPosition(static_cast<float>(buffers.slideRect.left - device.left),
              static_cast<float>(buffers.slideRect.top - device.top));
  SetMiniSlideProgress(Phase());
  AttachEffectBuffers(buffers.targets, buffers.slide);
  try {
    drawer.DrawItem(*m_slide);
  } catch (...) {
    DetachEffectBuffers();
    m_slide->FrameEnded();
    throw;
  }
  DetachEffectBuffers();
  // Drawn inside the frame of the two slides, so the frame's end does not
  // reach it.
  m_slide->FrameEnded();
  return true;
}

std::unique_ptr<TDrawFilter> CreateCustomEffect(int effectClass, int variant, const TEffectParams& params,
                                                const TFileAccessor* accessor) {
  const std::vector<std::string> names = SplitDefinitions(params.Custom);
  if (names.empty() || !accessor)
    return std::make_unique<TAlphaFilter>(effectClass, variant, params);
  const std::string& name = PickDefinition(names, params.Seed);

  // A damaged definition costs the transition, not the show: it falls back
  // to the cross-fade like a missing one.
  try {
    std::unique_ptr<TIniStorage> storage = LoadDefinition(*accessor, name);
    if (!storage)
      return std::make_unique<TAlphaFilter>(effectClass, variant, params);
    const TIniSection* first = storage->FindSection("slide1");
    const bool cover = first && first->ReadBool("CoverMode", false);
    auto source = std::make_unique<TVmoSource>(*accessor, std::move(storage));
    return std::make_unique<TRealSlideFilter>(effectClass, variant, params, name, std::move(source), cover);
  } catch (const EQxError&) {
    return std::make_unique<TAlphaFilter>(effectClass, variant, params);
  }
}

} // namespace qx
