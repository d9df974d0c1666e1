// Conversions between the value texts of INI lines and numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// Optional leading blanks, optional sign, then decimal digits or hexadecimal
// digits after "$", "x", "X", "0x" or "0X". Decimal values must fit 32 bits
// signed; hexadecimal ones may use all 32 bits (they wrap to negative).
bool TryParseInteger(std::string_view text, int32_t& value);

// Optional leading blanks, optional sign, decimal digits with "." and an
// optional exponent; no other decimal separator, no infinities.
bool TryParseFloat(std::string_view text, double& value);

// The shortest text that reads back as the same value, with ".".
std::string FloatToText(double value);

// Items of a value split at ",", leading blanks removed; at most maxCount
// items when maxCount is not negative. An empty text gives no items.
std::vector<std::string_view> SplitValueList(std::string_view text, int maxCount);

} // namespace qx
