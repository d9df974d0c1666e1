// The player in a window: the entry point's steps before and around the
// main window's message loop.
#pragma once

namespace qx {

// Plays the show of the process's command line in a window of the window
// system (SDL2 unless "-windows" or VMO_WINDOWS names another) with its
// music on the sound device ("-audio", VMO_AUDIO; without one the show
// plays on the system clock). Returns the exit code the actions set.
int PlayInWindow();

inline constexpr const char* kColourDepthMessage =
    "Currently you have 256 or 16 colors display mode.\rSet True color or High color display mode.";
// Displays of this many bits per pixel or fewer are refused.
inline constexpr int kMinRefusedDepth = 15;

} // namespace qx
