// The show times that the main window's actions go to: the start of a
// slide, the next slide and the previous slide from a position, and the
// slide shown at a position. Times are whole milliseconds.
#pragma once

#include <cstdint>
#include <string_view>

namespace qx {

class TVmoSource;

// When the previous-slide action is used this soon after a slide became
// fully visible, it goes one slide further back.
inline constexpr double kPreviousSlideGraceMs = 500;

// The start of slide `index` (a negative index counts as 0): its
// SlideStart, plus 1 ms when the slide has no transition into it, so that
// the slide itself is shown rather than the end of the one before. The
// slide after the last one of a show that does not repeat gets no extra
// millisecond.
int32_t SlideStartTime(const TVmoSource& source, int index);

// Where "next slide" goes from `position`: the first slide starting after
// it (never past the last slide of a show that does not repeat). A slide
// with a transition is entered at its start while playing, and with its
// transition done while paused.
int32_t NextSlideTime(const TVmoSource& source, double position, bool paused);

// Where "previous slide" goes from `position`: the point where the slide
// before became fully visible, or the one before that when the position is
// less than kPreviousSlideGraceMs past it; 0 before the first slide.
int32_t PreviousSlideTime(const TVmoSource& source, double position);

// The start of the first slide named `name`, or of the first slide when
// none is.
int32_t NamedSlideTime(const TVmoSource& source, std::string_view name);

// The 0-based slide (within one pass) shown at `position`.
int SlideIndexAt(const TVmoSource& source, double position);

} // namespace qx
