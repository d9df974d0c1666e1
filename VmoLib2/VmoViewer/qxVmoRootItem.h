// The draw list of one frame: the current slides as the loader reports them
// (TSlideData), turned into one slide or a transition between two plus the
// overlay, and drawn through the drawer with the hider pass and the
// background fill.
#pragma once

#include "QxLib/qxColor.h"
#include "VmoLib2/3DBasics/qx3DTypes.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoEngineTypes.h"

#include <array>
#include <span>
#include <vector>

namespace qx {

class TVmoFilter;
class TVmoSlide;

// One prepared slide: the slide, its time block (shifted into its
// repetition) and the transition into it (none for no transition).
struct TSlideEntry {
  TVmoSlide* Slide = nullptr;
  TSlideTimes Times;
  TVmoFilter* Transition = nullptr;
};

// The slides the loader reports to the engine, in time order.
class TSlideData : public TVmoEventData {
public:
  static constexpr int kMaxEntries = 3;

  // Appends an entry; a fourth is an assertion.
  void Add(const TSlideEntry& entry);
  int Count() const { return m_count; }
  const TSlideEntry& Entry(int index) const;
  std::span<const TSlideEntry> Entries() const { return {m_entries.data(), static_cast<size_t>(m_count)}; }

private:
  std::array<TSlideEntry, kMaxEntries> m_entries{};
  int m_count = 0;
};

// Has the drawer build and upload the textures of the slide's pictures (its
// background and every picture object) as they look at show time `time`,
// without drawing. Callable from the loader's thread: the drawer then
// uploads at its next frame.
void PreloadSlide(TDeviceDrawer& drawer, TVmoSlide& slide, double time);
// Drops the textures the drawer holds for the slide's pictures.
void ReleaseSlide(TDeviceDrawer& drawer, TVmoSlide& slide);

class TRootItem : public TDrawItem {
public:
  TRootItem();

  // Chooses what to draw at show time `time` from the entries (in time
  // order) and the overlay (may be none): nothing before the first slide's
  // start, one slide, or the transition between two. Gives the chosen
  // slides their time. True when there is something to draw.
  bool BuildDrawList(std::span<const TSlideEntry> entries, TDrawItem* overlay, double time);

  // The list of this frame; the last item is the overlay slot (may be none).
  const std::vector<TDrawItem*>& Items() const { return m_items; }
  TVmoFilter* Filter() const { return m_filter; }
  bool Changed() const { return m_changed; }
  bool InTransition() const { return m_inTransition; }
  // The second slide is listed only to be set up before its transition.
  bool TransitionStarting() const { return m_transitionStarting; }
  void SetForceDraw(bool force) { m_forceDraw = force; }

  // Changed, forced, or any item animating (but the slide only listed for
  // a coming transition).
  bool NeedsRedraw() const override;
  // Fills the background (when asked to), draws the slides (or the
  // transition) inside the hider pass when a hider is set, then the overlay.
  // A failure while drawing is swallowed: the frame is skipped.
  void Draw(TDeviceDrawer& drawer) override;
  // Passed on to every item drawn.
  void FrameEnded() override;
  // Drops the textures the drawer holds for the listed slides' pictures.
  void ReleaseDeviceObjects(TDeviceDrawer& drawer);

  T3DColor BackgroundColor() const { return m_backgroundColor; }
  void SetBackgroundColor(T3DColor color) { m_backgroundColor = color; }
  bool ClearBackground() const { return m_clearBackground; }
  void SetClearBackground(bool clear) { m_clearBackground = clear; }
  // The part of the output outside the slide covered with the hider colour
  // (grey level) at `amount` (0 ... 1); 0 draws no hider.
  void SetHider(float amount, uint8_t color) {
    m_hiderAmount = amount;
    m_hiderColor = color;
  }

private:
  void SetFilter(TVmoFilter* filter, double progress);
  void Paint(TDeviceDrawer& drawer);

  std::vector<TDrawItem*> m_items;
  std::vector<TDrawItem*> m_previous;
  std::vector<TVmoSlide*> m_slides;
  TVmoFilter* m_filter = nullptr;
  bool m_changed = false;
  bool m_forceDraw = false;
  bool m_transitionStarting = false;
  bool m_inTransition = false;
  double m_lastProgress = -1;
  T3DColor m_backgroundColor = MakeColor(0, 0, 0);
  bool m_clearBackground = true;
  float m_hiderAmount = 0;
  uint8_t m_hiderColor = 0;
};

} // namespace qx
