#include "QxLib/qxIniValues.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"

#include <algorithm>
#include <charconv>

namespace qx {

namespace {

std::string_view SkipLeadingBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

uint8_t Clamp8(int32_t value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

} // namespace

bool TryParseInteger(std::string_view text, int32_t& value) {
  text = SkipLeadingBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  bool hex = false;
  if (!text.empty() && (text.front() == '$' || text.front() == 'x' || text.front() == 'X')) {
    hex = true;
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    hex = true;
    text.remove_prefix(2);
  }
  if (text.empty())
    return false;
  uint64_t magnitude = 0;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  for (const char c : text) {
    const int digit = hex ? HexDigit(c) : ((c >= '0' && c <= '9') ? c - '0' : -1);
    if (digit < 0)
      return false;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (magnitude > limit)
      return false;
  }
  const uint32_t bits = static_cast<uint32_t>(magnitude);
  value = static_cast<int32_t>(negative ? 0u - bits : bits);
  return true;
}

bool TryParseFloat(std::string_view text, double& value) {
  text = SkipLeadingBlanks(text);
  if (!text.empty() && text.front() == '+')
    text.remove_prefix(1);
  if (text.empty())
    return false;
  bool digits = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9')
      digits = true;
    else if (c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-')
      return false;
  }
  if (!digits)
    return false;
  double parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size())
    return false;
  value = parsed;
  return true;
}

std::string FloatToText(double value) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (error != std::errc())
    return "0";
  return std::string(buffer, end);
}

std::vector<std::string_view> SplitValueList(std::string_view text, int maxCount) {
  std::vector<std::string_view> items;
  if (text.empty())
    return items;
  size_t start = 0;
  while (maxCount < 0 || static_cast<int>(items.size()) < maxCount) {
    const size_t comma = text.find(',', start);
    const size_t end = comma == std::string_view::npos ? text.size() : comma;
    items.push_back(SkipLeadingBlanks(text.substr(start, end - start)));
    if (comma == std::string_view::npos)
      break;
    start = comma + 1;
  }
  return items;
}

// ---------------------------------------------------------------------------
// Typed readers of TIniIdentList

std::string TIniIdentList::ReadString(std::string_view key, std::string_view def) const {
  const TIniIdent* const ident = FindKey(key);
  return ident ? ident->Value() : std::string(def);
}

int32_t TIniIdentList::ReadInteger(std::string_view key, int32_t def) const {
  const TIniIdent* const ident = FindKey(key);
  int32_t value = 0;
  if (!ident || !TryParseInteger(ident->ValueView(), value))
    return def;
  return value;
}

int32_t TIniIdentList::ReadInteger64Default(std::string_view key, int64_t def) const {
  return ReadInteger(key, static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(def))));
}

double TIniIdentList::ReadFloat(std::string_view key, double def) const {
  const TIniIdent* const ident = FindKey(key);
  double value = 0;
  if (!ident || !TryParseFloat(ident->ValueView(), value))
    return def;
  return value;
}

bool TIniIdentList::ReadBool(std::string_view key, bool def) const { return ReadInteger(key, def ? 1 : 0) != 0; }

int TIniIdentList::ReadChoice(std::string_view key, std::span<const std::string_view> words, int def,
                              bool ignoreCase) const {
  const TIniIdent* const ident = FindKey(key);
  if (!ident)
    return def;
  const std::string_view value = ident->ValueView();
  for (size_t i = 0; i < words.size(); ++i)
    if (ignoreCase ? SameText(words[i], value) : words[i] == value)
      return static_cast<int>(i);
  return def;
}

std::vector<std::string> TIniIdentList::ReadTextList(std::string_view key, int maxCount) const {
  std::vector<std::string> items;
  const TIniIdent* const ident = FindKey(key);
  if (!ident)
    return items;
  for (const std::string_view item : SplitValueList(ident->ValueView(), maxCount))
    items.emplace_back(item);
  return items;
}

int TIniIdentList::ReadIntegerList(std::string_view key, std::vector<int32_t>& out, int maxCount) const {
  out.clear();
  const TIniIdent* const ident = FindKey(key);
  if (!ident)
    return 0;
  for (const std::string_view item : SplitValueList(ident->ValueView(), maxCount)) {
    int32_t value = 0;
    if (!TryParseInteger(item, value))
      return ~static_cast<int>(out.size());
    out.push_back(value);
  }
  return static_cast<int>(out.size());
}

int TIniIdentList::ReadFloatList(std::string_view key, std::vector<double>& out, int maxCount) const {
  out.clear();
  const TIniIdent* const ident = FindKey(key);
  if (!ident)
    return 0;
  for (const std::string_view item : SplitValueList(ident->ValueView(), maxCount)) {
    double value = 0;
    if (!TryParseFloat(item, value))
      return ~static_cast<int>(out.size());
    out.push_back(value);
  }
  return static_cast<int>(out.size());
}

TRgb TIniIdentList::ReadColor(std::string_view key, TRgb def) const {
  std::vector<int32_t> v;
  if (ReadIntegerList(key, v, 3) != 3)
    return def;
  return TRgb{Clamp8(v[0]), Clamp8(v[1]), Clamp8(v[2])};
}

TRgba TIniIdentList::ReadColorAlpha(std::string_view key, TRgba def) const {
  std::vector<int32_t> v;
  if (ReadIntegerList(key, v, 4) != 4)
    return def;
  return TRgba{Clamp8(v[0]), Clamp8(v[1]), Clamp8(v[2]), Clamp8(v[3])};
}

bool TIniIdentList::ReadPoint(std::string_view key, TPoint& point) const {
  std::vector<int32_t> v;
  if (ReadIntegerList(key, v, 2) != 2)
    return false;
  point = TPoint{v[0], v[1]};
  return true;
}

bool TIniIdentList::ReadFloatPoint(std::string_view key, TFloatPoint& point) const {
  std::vector<double> v;
  if (ReadFloatList(key, v, 2) != 2)
    return false;
  point = TFloatPoint{v[0], v[1]};
  return true;
}

bool TIniIdentList::ReadRect(std::string_view key, TFloatRect& rect, TFloatPoint* point) const {
  std::vector<double> v;
  const int count = ReadFloatList(key, v, 6);
  if (count != 4 && count != 6)
    return false;
  rect = TFloatRect{v[0], v[1], v[2], v[3]};
  if (count == 6 && point)
    *point = TFloatPoint{v[4], v[5]};
  return true;
}

void TIniIdentList::WriteFloat(std::string_view key, double value) { WriteString(key, FloatToText(value)); }

} // namespace qx
