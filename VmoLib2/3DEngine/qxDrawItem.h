// The drawable base of the renderer: anything the drawer can be handed to
// draw (a slide, the objects on it, the pair of slides of a transition) is a
// TDrawItem. The drawer opens a frame, lets the item draw itself through the
// drawer's operations and tells the item when the frame has ended.
#pragma once

namespace qx {

class TDeviceDrawer;

class TDrawItem {
public:
  TDrawItem() = default;
  TDrawItem(const TDrawItem&) = delete;
  TDrawItem& operator=(const TDrawItem&) = delete;
  virtual ~TDrawItem() = default;

  // Draws the item (and whatever it contains) through the drawer's
  // operations. Called on the drawing thread between the drawer's begin and
  // end of frame, with the drawing lock held. May raise; the drawer still
  // ends the frame and calls FrameEnded.
  virtual void Draw(TDeviceDrawer& drawer) = 0;

  // Whether drawing the item now would give a different picture than the
  // last time it was drawn. Cheap; called once per frame by the playback side.
  virtual bool NeedsRedraw() const = 0;

  // True for a root item that wants to be drawn off-screen first and then
  // copied onto the screen in one piece (when the drawer has a target for
  // it; otherwise it is drawn directly). The default is false.
  virtual bool ComposeOffScreen() const { return false; }

  // Called once after every frame in which the item was handed to the drawer,
  // also when drawing raised. The default does nothing.
  virtual void FrameEnded() {}
};

} // namespace qx
