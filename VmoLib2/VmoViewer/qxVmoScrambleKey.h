// The key with which scrambled (method 2) package entries are XORed. The
// reader and the package writer share this one constant; a package written
// with another key reads back as noise.
#pragma once

#include <string_view>

namespace qx {

inline constexpr std::string_view kVmoScrambleKey = "5E0A3C91D7F24B68A1E96C30F85B2D47";

static_assert(kVmoScrambleKey.size() == 32, "the scrambling key has 32 characters");

} // namespace qx
