// UTF-8 text helpers: conversion to and from UTF-16, case mapping and
// comparison without regard to case, and trimming.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// Lower and upper case of a whole text. ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic letters are mapped; other characters are kept as they
// are. Malformed UTF-8 bytes are copied unchanged.
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);

// Case mapping of one code point (the same tables as above).
char32_t LowerCaseChar(char32_t c);
char32_t UpperCaseChar(char32_t c);

// True when both texts are equal without regard to case.
bool SameText(std::string_view a, std::string_view b);
// The same, folding only the ASCII letters (for file names and keys that
// are compared byte for byte otherwise).
bool SameAsciiText(std::string_view a, std::string_view b);

// Conversion between UTF-8 and UTF-16. Code points above U+FFFF become
// surrogate pairs. A malformed UTF-8 byte becomes U+FFFD; an unpaired
// surrogate is written as its own 3-byte sequence so that nothing is lost.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Appends the UTF-8 form of a code point (up to U+10FFFF; larger values and
// negative ones become U+FFFD).
void AppendUtf8(std::string& out, char32_t c);

// Decodes the code point at `pos` and advances `pos` past it. A malformed or
// truncated sequence yields U+FFFD and advances by one byte.
char32_t NextUtf8Char(std::string_view text, size_t& pos);

// Removes every character below code 33 (blanks and control characters)
// from both ends, the start or the end.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Removes only spaces and tabs from both ends; returns a view into `text`.
std::string_view TrimBlanks(std::string_view text);

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace qx
