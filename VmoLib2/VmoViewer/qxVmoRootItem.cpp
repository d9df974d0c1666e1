#include "VmoLib2/VmoViewer/qxVmoRootItem.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"
#include "VmoLib2/VmoClasses/qxVmoImage.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"

#include <algorithm>
#include <exception>
#include <functional>

namespace qx {

namespace {

// A transition that takes time: a choice was made and it lasts.
bool HasDuration(const TSlideEntry& entry) {
  return entry.Transition && entry.Transition->Duration() > 0 && entry.Times.InEffect > 0;
}

} // namespace

void TSlideData::Add(const TSlideEntry& entry) {
  QX_ASSERT(m_count < kMaxEntries, "Too many slides for the draw list");
  m_entries[static_cast<size_t>(m_count++)] = entry;
}

const TSlideEntry& TSlideData::Entry(int index) const {
  QX_ASSERT(index >= 0 && index < m_count, "Slide entry index out of range");
  return m_entries[static_cast<size_t>(index)];
}

TRootItem::TRootItem() = default;

bool TRootItem::BuildDrawList(std::span<const TSlideEntry> entries, TDrawItem* overlay, double time) {
  m_previous = std::move(m_items);
  m_items.clear();
  m_slides.clear();
  m_filter = nullptr;
  m_changed = false;
  m_transitionStarting = false;
  const bool wasInTransition = m_inTransition;

  const auto noteChanges = [this] {
    const size_t positions = std::max(m_items.size(), m_previous.size());
    for (size_t k = 0; k < positions; ++k) {
      const TDrawItem* now = k < m_items.size() ? m_items[k] : nullptr;
      const TDrawItem* before = k < m_previous.size() ? m_previous[k] : nullptr;
      if (now != before || (k >= m_items.size()) != (k >= m_previous.size()))
        m_changed = true;
    }
  };

  // The latest entry whose time has come.
  int i = static_cast<int>(entries.size()) - 1;
  while (i >= 0 && !(entries[static_cast<size_t>(i)].Slide && time >= entries[static_cast<size_t>(i)].Times.SlideStart))
    --i;
  if (i < 0) {
    m_inTransition = false;
    noteChanges();
    return false;
  }
  const TSlideEntry& current = entries[static_cast<size_t>(i)];

  // Inside the transition into entry i the previous slide is still seen.
  int b = i;
  if (i > 0 && current.Transition) {
    const TSlideEntry& previous = entries[static_cast<size_t>(i - 1)];
    if (previous.Slide && time >= previous.Times.SlideStart && time <= previous.Times.VisibleEnd)
      b = i - 1;
  }
  for (int j = b; j <= i; ++j) {
    const TSlideEntry& entry = entries[static_cast<size_t>(j)];
    entry.Slide->EvaluateAndUpdate(j == i ? std::min(time, entry.Times.VisibleEnd) : time);
  }

  const TSlideEntry& first = entries[static_cast<size_t>(b)];
  m_items.push_back(first.Slide);
  m_slides.push_back(first.Slide);
  if (b < i) {
    // Without duration the outgoing slide stays alone until its own end.
    if (HasDuration(current)) {
      m_items.push_back(current.Slide);
      m_slides.push_back(current.Slide);
      m_inTransition = true;
      SetFilter(current.Transition, std::clamp((time - current.Times.SlideStart) / current.Times.InEffect, 0.0, 1.0));
    } else {
      m_inTransition = false;
    }
  } else {
    const bool last = i + 1 >= static_cast<int>(entries.size());
    const TSlideEntry* next = last ? nullptr : &entries[static_cast<size_t>(i + 1)];
    if (next && next->Slide && !wasInTransition && HasDuration(*next)) {
      // The incoming slide is set up, at its start, before its transition.
      next->Slide->EvaluateAndUpdate(next->Times.SlideStart);
      m_items.push_back(next->Slide);
      m_slides.push_back(next->Slide);
      m_transitionStarting = true;
      SetFilter(next->Transition, 0);
    }
    m_inTransition = false;
  }
  m_items.push_back(overlay);
  noteChanges();
  return true;
}

void TRootItem::SetFilter(TVmoFilter* filter, double progress) {
  m_filter = filter;
  filter->SetProgress(static_cast<float>(progress));
  if (!m_transitionStarting && progress != m_lastProgress)
    m_changed = true;
  m_lastProgress = progress;
}

bool TRootItem::NeedsRedraw() const {
  if (m_changed || m_forceDraw)
    return true;
  for (size_t k = 0; k < m_items.size(); ++k) {
    if (k == 1 && m_transitionStarting)
      continue;
    if (m_items[k] && m_items[k]->NeedsRedraw())
      return true;
  }
  return false;
}

void TRootItem::Draw(TDeviceDrawer& drawer) {
  try {
    Paint(drawer);
  } catch (const std::exception&) {
    // The frame is skipped; the next one tries again.
  }
}

void TRootItem::Paint(TDeviceDrawer& drawer) {
  TDrawItem* const overlay = m_items.empty() ? nullptr : m_items.back();
  // Filled first, so the slides and the overlay stay on top of it. The
  // overlay covers only its own items: without the fill the letterbox
  // around the slide would keep an old frame's pixels.
  if (m_clearBackground)
    drawer.ClearScreen(m_backgroundColor, true);
  const bool hider = m_hiderAmount > 0;
  if (hider)
    drawer.BeginHider();
  const size_t slides = m_items.empty() ? 0 : m_items.size() - 1;
  size_t k = 0;
  if (m_filter && slides >= 2) {
    drawer.DrawTwoSlides(*m_items[0], *m_items[1], m_transitionStarting, m_filter);
    k = 2;
  }
  for (; k < slides; ++k)
    drawer.DrawItem(*m_items[k]);
  if (hider)
    drawer.EndHider(TRgb{m_hiderColor, m_hiderColor, m_hiderColor}, m_hiderAmount);
  if (overlay)
    drawer.DrawItem(*overlay);
}

void TRootItem::FrameEnded() {
  for (TDrawItem* item : m_items)
    if (item)
      item->FrameEnded();
}

void TRootItem::ReleaseDeviceObjects(TDeviceDrawer& drawer) {
  for (TVmoSlide* slide : m_slides)
    ReleaseSlide(drawer, *slide);
}

namespace {

// Calls `visit` with the source of the slide's background and of each
// picture object with a picture.
void ForEachPicture(TVmoSlide& slide, const std::function<void(const TPictureSource&, const TVmoImage*)>& visit) {
  if (const auto& background = slide.BackgroundPicture().SharedBitmap()) {
    TPictureSource source;
    source.Bitmap = background;
    visit(source, nullptr);
  }
  slide.ForEach([&visit](TVmoObject& object) {
    const auto* picture = dynamic_cast<const TVmoImage*>(&object);
    if (!picture || !picture->Picture())
      return;
    TPictureSource source;
    source.Store = picture->Picture().Get();
    visit(source, picture);
  });
}

} // namespace

void PreloadSlide(TDeviceDrawer& drawer, TVmoSlide& slide, double time) {
  slide.EvaluateAndUpdate(time);
  ForEachPicture(slide, [&drawer](const TPictureSource& source, const TVmoImage* picture) {
    drawer.PreloadPicture(source, picture ? picture->DrawParams() : TPictureDrawParams{});
  });
}

void ReleaseSlide(TDeviceDrawer& drawer, TVmoSlide& slide) {
  ForEachPicture(slide, [&drawer](const TPictureSource& source, const TVmoImage*) { drawer.FreeTextureCache(source); });
}

} // namespace qx
