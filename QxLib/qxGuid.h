// Random (version 4) GUIDs in their usual text form, used for unique folder
// names and package identities.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qx {

// 16 random bytes with the version (4) and variant (10xx) bits set.
std::array<uint8_t, 16> NewGuid();

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case hex digits.
std::string GuidToText(const std::array<uint8_t, 16>& guid);

// A fresh GUID as text: GuidToText(NewGuid()).
std::string NewGuidText();

} // namespace qx
