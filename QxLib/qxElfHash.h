// The ELF string hash that spreads keys and section names over the buckets
// of the INI storage's indexes.
#pragma once

#include <cstdint>
#include <string_view>

namespace qx {

// Hash over the UTF-16 code units of `text` (given as UTF-8), taking the low
// byte of each unit. Callers pass lower-cased text when the lookup ignores
// case.
uint32_t ElfHash(std::string_view text);

// One step of the hash: folds the byte into h.
inline uint32_t ElfHashStep(uint32_t h, uint8_t byte) {
  h = (h << 4) + byte;
  const uint32_t top = h & 0xF0000000u;
  if (top != 0)
    h = (h ^ (top >> 24)) & ~top;
  return h;
}

} // namespace qx
