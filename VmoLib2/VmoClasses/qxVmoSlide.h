// The slide: the root of an object tree. It knows its place in the show (its
// index, repetition and time anchors), its size and centre on the output, its
// background and transition, its host, the depth scale of its space; it runs
// the size pass that tells pictures how large they can appear, and it turns
// mouse events into the states and actions of the objects on it.
#pragma once

#include "QxLib/qxGeometry.h"
#include "VmoLib2/VmoClasses/qxVmoBackground.h"
#include "VmoLib2/VmoClasses/qxVmoObjects4.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"

#include <memory>
#include <string>

namespace qx {

class TVmoFilter;

enum class TMouseEventKind { Move, ButtonDown, ButtonUp };

// Mouse-state flag of the engine: the button is held.
constexpr int kMouseButtonHeld = 16;

// What a mouse event found: the object under the mouse (none when the event
// was ignored), its "Action" text, and whether the action is to run now.
struct TMouseResult {
  TVmoObject* Object = nullptr;
  std::string Action;
  bool ActionReported = false;
};

class TVmoSlide : public TVmoObject {
public:
  // A slide of the show shown through `host` (none for a slide drawn on its
  // own, which then places its camera at its own centre).
  explicit TVmoSlide(TVmoObjectHost* host, std::string name = "");
  ~TVmoSlide() override;

  TVmoObjectHost* SlideHost() const { return m_host; }
  int Index() const { return m_index; }
  void SetIndex(int index) { m_index = index; }
  int Repetition() const { return m_repetition; }
  void SetRepetition(int repetition) { m_repetition = repetition; }

  // The slide's time block, already shifted into its repetition.
  const TSlideTimes& Times() const { return m_times; }
  void SetTimes(const TSlideTimes& times) { m_times = times; }
  // SlideStart, SlideStart + InEffect, SlideEnd, SlideEnd + OutEffect.
  TAnchorTimes AnchorTimes() const override;

  // The slide's size (its base size) and the centre of the slide area on the
  // output, the origin of its space.
  void SetSize(TSize size) { SetBaseSize(size); }
  void SetCenter(float x, float y) { m_center = TVec3{x, y, 0}; }
  const TVec3& Center() const { return m_center; }

  // The host's camera; without a host, the slide centre at the distance of
  // the slide height.
  TVec3 CameraPosition() const;
  // D × tan(30°) / slide height for a camera at distance D in front of the
  // slide, else tan(30°). Computed at every placement update.
  double DepthScale() const { return m_depthScale; }
  // The factor (percent) applied to the opacity of every object on the slide.
  float OpacityFactor() const { return m_opacityFactor; }
  void SetOpacityFactor(float percent) { m_opacityFactor = percent; }

  // Reads the background and the object tree of the slide section.
  void LoadSlide(const TIniIdentList& mainSection, const TIniIdentList& slideSection, bool reload);
  const TSlideBackground& Background() const { return m_background; }
  void SetBackground(const TSlideBackground& background);
  const TBackgroundPicture& BackgroundPicture() const { return m_backgroundPicture; }

  TVmoFilter* Transition() const { return m_transition.get(); }
  void SetTransition(std::unique_ptr<TVmoFilter> transition);

  // Runs the size pass when settings or key points changed since the last
  // one, then places the slide and its objects.
  void UpdatePlacement() override;
  // Measures, for every object, the largest size and nearest depth at the
  // times of all key points, then evaluates again at the previous time.
  void RunSizePass();
  // A setting of an object on the slide changed: the next update measures.
  void InvalidateSizes() { m_sizesValid = false; }

  TSize ParentSize() const override { return BaseSize(); }
  TObjectFrame ParentFrame() const override;
  std::array<double, 2> LargestExpectedSize() const override;

  // Opens the background picture, then the objects' resources.
  void PrepareResources() override;
  // Updates, draws the background and then the objects; a failure while
  // updating or drawing the background skips the objects, a failure among
  // the objects is ignored. Drawn at most once per drawer pass.
  void Draw(TDeviceDrawer& drawer) override;
  void FrameEnded() override;

  // A mouse event at (x, y) with the engine's state flags and button number.
  TMouseResult MouseEvent(TMouseEventKind kind, double x, double y, int stateFlags, int button);

  // The part of the drawer's logical space the slide is drawn in: the
  // slide's space is the output's, whose centre the camera faces, so the
  // viewport spans twice the camera's x and y (the slide's own size when
  // the camera gives none). Its size is also the design size.
  TFloatRect LogicalViewport() const;

protected:
  // Hands the drawer the logical viewport and design size.
  void ApplyViewport(TDeviceDrawer& drawer) const;
  // The background's drawing: the slide's quad grown by 2 pixels, solid or
  // as a gradient, or the picture tiled around the slide's centre and cut
  // to the slide. A picture style without a picture fills solid.
  virtual void DrawBackground(TDeviceDrawer& drawer);

private:
  void DrawBackgroundTiles(TDeviceDrawer& drawer, const std::shared_ptr<const TBitmap>& picture, float opacity);

  TVmoObjectHost* m_host;
  int m_index = 0;
  int m_repetition = 0;
  TSlideTimes m_times;
  TVec3 m_center;
  double m_depthScale = Tan30();
  float m_opacityFactor = 100;
  TSlideBackground m_background;
  TBackgroundPicture m_backgroundPicture;
  std::unique_ptr<TVmoFilter> m_transition;
  bool m_sizesValid = false;
  bool m_inSizePass = false;
  bool m_drawnThisPass = false;
};

// A slide of a custom dialog: every anchor is 0.
class TVmoDialog : public TVmoSlide {
public:
  using TVmoSlide::TVmoSlide;
  TAnchorTimes AnchorTimes() const override { return TAnchorTimes{}; }
};

} // namespace qx
