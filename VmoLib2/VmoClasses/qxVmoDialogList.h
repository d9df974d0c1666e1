// The custom dialogs open on the layer above the slides: opened by name
// (a second request for an open name closes it), faded in and out over
// 200 ms one at a time, hit by the mouse from the last opened to the
// first, and asked whether one of them holds the show's clock
// ("DialogPause").
#pragma once

#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qx {

class TDeviceDrawer;

class TVmoDialogList {
public:
  static constexpr int64_t kFadeMs = 200;

  // Opens a dialog made by the slide producer, fading it in from `now`.
  // Ignored while a dialog fades out and for a dialog without slide; a name
  // already open closes that dialog instead. Answers whether the list
  // changed.
  bool Open(const std::string& name, TDialogSlide dialog, int64_t now);
  // Starts fading out the last opened dialog; false when none is open.
  bool CloseLast(int64_t now);
  // The show resumes: every pausing dialog but the last is removed at once,
  // the last fades out.
  void ClosePauseDialogs(int64_t now);
  // Every dialog but the last is removed at once, the last fades out.
  void CloseAll(int64_t now);
  bool IsOpen(const std::string& name) const;

  int Count() const { return static_cast<int>(m_dialogs.size()); }
  bool Empty() const { return m_dialogs.empty(); }
  const std::string& Name(int index) const { return m_dialogs.at(static_cast<size_t>(index)).Name; }
  TVmoDialog& Dialog(int index) const { return *m_dialogs.at(static_cast<size_t>(index)).Slide; }
  // Whether an open dialog is marked "DialogPause".
  bool HoldsClock() const;
  bool Closing() const { return m_closing; }

  // Advances the fade to `now`: sets the fading dialog's opacity and removes
  // a closed one. Answers whether anything changed (the layer redraws).
  bool Step(int64_t now);
  // Draws the open dialogs in opening order.
  void Draw(TDeviceDrawer& drawer);
  // The mouse, from the last dialog to the first: the first that reports an
  // action or an object on it ends the search. A dialog's background ends
  // it only where it hides the dialogs below (drawn at full opacity);
  // otherwise the objects of those dialogs stay within reach, and the
  // topmost background hit is the answer when none of them is hit. A dialog
  // fading out takes none.
  TMouseResult MouseEvent(TMouseEventKind kind, double x, double y, int stateFlags, int button);

private:
  struct TEntry {
    std::string Name;
    std::unique_ptr<TVmoDialog> Slide;
    bool Pause = false;
  };

  // Ends the running fade at once (a fade-in at full opacity, a fade-out
  // by removing its dialog).
  void FinishFade();
  void StartFade(size_t index, bool closing, int64_t now);

  std::vector<TEntry> m_dialogs;
  // The dialog being faded, or none.
  std::optional<size_t> m_fading;
  bool m_closing = false;
  int64_t m_fadeStart = 0;
};

} // namespace qx
