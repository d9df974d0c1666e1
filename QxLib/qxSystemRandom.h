// Random bytes from the operating system's source, for GUIDs. One
// implementation per platform (QxLib/Posix/qxSystemRandom.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qx {

// Fills `size` bytes; falls back to std::random_device only when the
// system's source is unavailable.
void FillSystemRandom(uint8_t* data, size_t size);

} // namespace qx
