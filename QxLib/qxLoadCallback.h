// The process-wide load callback: the hook that long reads of packed files
// call between pieces so that a loader thread can give up its time slice
// while the engine needs the processor.
#pragma once

#include <functional>

namespace qx {

// Called between read pieces; the result says whether the reader may go on.
// The window streams ignore it.
using TLoadCallback = std::function<bool()>;

// What one call of the process-wide callback does, chosen by the engine.
enum TLoadCallbackMode : int {
  lcmNone = 0,   // returns true at once
  lcmYield = 1,  // at most every 5 ms gives up the time slice; true
  lcmSleep = 2,  // at most every 5 ms sleeps 1 ms; true; the process runs at raised priority
  lcmCancel = 3, // returns false
};

// Chooses the behaviour of CallLoadCallback and records the current time.
// Entering mode 2 raises the scheduling priority of every thread of the
// process where the system permits it; leaving mode 2 restores the previous
// priorities. A refusal is ignored. A mode outside 0-3 is an assertion
// failure. Meant to be called by one thread (the engine's); the mode itself
// may be read from any thread.
void SetLoadCallbackMode(int mode);
int LoadCallbackMode();

// One call of the process-wide callback under the current mode.
bool CallLoadCallback();

// A callable that calls CallLoadCallback, for attaching to a stream.
TLoadCallback ProcessLoadCallback();

} // namespace qx
