// The bar of the navigation panel as the panel sees it (the classic bar and
// the video-style bar both are one), with what both bars share: the
// pictures of a definition file loaded once per name, and the pieces they
// are composed of (parts of pictures stretched, tiled or stretched with
// fixed margins, laid over each other with their alpha).
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "VmoLib2/3DBasics/qx3DTypes.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qx {

// What a bar reports to its panel.
struct TNavBarEvents {
  // A button was clicked: its index in the bar's ActionNames().
  std::function<void(int action)> ButtonClicked;
  // The play/pause control was pressed (or a time drag paused or resumed).
  std::function<void()> PlayControl;
  std::function<void(int64_t ms)> TimeChanged;
  std::function<void(double volume)> VolumeChanged;
  // Whether the show plays now.
  std::function<bool()> IsPlaying;
  // The picture changed inside this area (bar pixels).
  std::function<void(const T3DRect& area)> Changed;
};

class TCustomNavBar {
public:
  // Largest bar on either side; a definition asking for more is refused.
  static constexpr int32_t kMaxBarSide = 8192;
  // Largest bar picture in pixels (32 MB), whatever its shape.
  static constexpr int64_t kMaxBarPixels = int64_t{8192} * 1024;
  // Raises EQxError "Navigation bar too large: ..." for a bar beyond the
  // limits above.
  static void CheckSize(int64_t width, int64_t height);

  virtual ~TCustomNavBar() = default;

  void SetEvents(TNavBarEvents events) { m_events = std::move(events); }

  // The names (lower case) of the actions the bar defines, in its order.
  virtual const std::vector<std::string>& ActionNames() const = 0;
  // The word of the panel's action table for an action ("home", "forward",
  // ...), and the action's own text, if any.
  virtual std::string ActionType(int action) const { return ActionNames().at(static_cast<size_t>(action)); }
  virtual std::string ActionText(int) const { return {}; }
  // The requested buttons as indexes into ActionNames(), in order.
  virtual void SetButtons(const std::vector<int>& actions) = 0;
  // The width the panel offers (the video-style bar spans it).
  virtual void SetWidth(int32_t width) = 0;
  // Scale so that the bar is `height` pixels high, or by a zoom factor.
  virtual void SetHeight(int32_t height) = 0;
  virtual void SetZoom(double zoom) = 0;

  int32_t Width() const { return m_picture.Width(); }
  int32_t Height() const { return m_picture.Height(); }
  // Bgra32, straight alpha.
  const TBitmap& Picture() const { return m_picture; }

  // Left button in bar pixels.
  virtual void MouseDown(int32_t x, int32_t y) = 0;
  virtual void MouseMove(int32_t x, int32_t y) = 0;
  virtual void MouseUp(int32_t x, int32_t y) = 0;
  // Every frame: the show time (negative: none yet); the bar asks the
  // play state then too.
  virtual void SetTime(int64_t ms) = 0;
  virtual void SetVolume(double volume) = 0;

protected:
  bool IsPlaying() const { return m_events.IsPlaying && m_events.IsPlaying(); }
  void ReportChanged(const T3DRect& area) const;

  TNavBarEvents m_events;
  TBitmap m_picture;
};

// --- Pictures -------------------------------------------------------------------

// A package picture by name; none when absent.
using TNavPictureLoader = std::function<std::unique_ptr<TBitmap>(const std::string& name)>;

// The pictures of one definition file, loaded once per name as Bgra32 and
// turned by the panel's hue.
class TNavPictures {
public:
  TNavPictures(TNavPictureLoader loader, int32_t hueDegrees);
  // The picture; none for an empty name. A name the package lacks, or a
  // picture that cannot be read, raises EQxError "Navigation bar picture
  // not found: <name>".
  std::shared_ptr<const TBitmap> Get(const std::string& name);
  // Count of distinct pictures loaded.
  size_t Count() const { return m_pictures.size(); }

private:
  TNavPictureLoader m_loader;
  int32_t m_hue;
  std::map<std::string, std::shared_ptr<const TBitmap>> m_pictures;
};

// --- Pieces ---------------------------------------------------------------------

// `rect` with a width and height, for readability of the layouts.
T3DRect RectOfSize(int32_t left, int32_t top, int32_t width, int32_t height);
T3DRect Intersect(const T3DRect& a, const T3DRect& b);
// The smallest rectangle holding both (an empty one holds nothing).
T3DRect Union(const T3DRect& a, const T3DRect& b);

// `part` of `picture` (clipped to it) stretched to width x height; empty
// when either is empty.
TBitmap StretchPart(const TBitmap& picture, const T3DRect& part, int32_t width, int32_t height);
// `part` of `picture` (clipped to it) repeated over width x height.
TBitmap TilePart(const TBitmap& picture, const T3DRect& part, int32_t width, int32_t height);
// `picture` stretched to width x height with its `left` and `right` columns
// kept unstretched (scaled with the height like the rest); margins wider
// than the target shrink together.
TBitmap StretchWithMargins(const TBitmap& picture, int32_t left, int32_t right, int32_t width, int32_t height);
// Copies `piece` into `target` at (x, y), clipped; an empty piece copies
// nothing.
void PutPiece(TBitmap& target, const TBitmap& piece, int32_t x, int32_t y);
// Lays `piece` over `target` at (x, y) by its straight alpha, clipped.
void BlendOver(TBitmap& target, const TBitmap& piece, int32_t x, int32_t y);
// Replaces `target`'s pixels inside `area` by those of `source` (same size).
void CopyArea(TBitmap& target, const TBitmap& source, const T3DRect& area);
// Every pixel turned into its grey luminance; alpha kept.
void MakeGrey(TBitmap& picture);

} // namespace qx
