#include "QxLib/qxUtf8.h"

namespace qx {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsAsciiOnly(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80)
      return false;
  return true;
}

// Case pairs laid out as alternating upper/lower code points.
bool InAlternatingRange(char32_t c, char32_t first, char32_t last) { return c >= first && c <= last; }

template <class MapChar>
std::string MapText(std::string_view text, MapChar map) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const unsigned char b = static_cast<unsigned char>(text[pos]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(map(b)));
      ++pos;
      continue;
    }
    const size_t start = pos;
    const char32_t c = NextUtf8Char(text, pos);
    if (c == kReplacement && pos == start + 1) {
      out.push_back(text[start]); // keep malformed bytes as they are
      continue;
    }
    AppendUtf8(out, map(c));
  }
  return out;
}

} // namespace

char32_t LowerCaseChar(char32_t c) {
  if (c < 0x80)
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
    return c + 0x20;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130)
      return 'i';
    if (c == 0x178)
      return 0xFF;
    if (InAlternatingRange(c, 0x100, 0x137) || InAlternatingRange(c, 0x14A, 0x177))
      return (c % 2 == 0) ? c + 1 : c;
    if (InAlternatingRange(c, 0x139, 0x148) || InAlternatingRange(c, 0x179, 0x17E))
      return (c % 2 == 1) ? c + 1 : c;
    return c;
  }
  if (c >= 0x386 && c <= 0x3AB) {
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
      return c + 0x20;
    if (c == 0x386)
      return 0x3AC;
    if (c >= 0x388 && c <= 0x38A)
      return c + 0x25;
    if (c == 0x38C)
      return 0x3CC;
    if (c == 0x38E || c == 0x38F)
      return c + 0x3F;
    return c;
  }
  if (c >= 0x400 && c <= 0x52F) {
    if (c <= 0x40F)
      return c + 0x50;
    if (c <= 0x42F)
      return c + 0x20;
    if (InAlternatingRange(c, 0x460, 0x481) || InAlternatingRange(c, 0x48A, 0x4BF) ||
        InAlternatingRange(c, 0x4D0, 0x52F))
      return (c % 2 == 0) ? c + 1 : c;
    if (c == 0x4C0)
      return 0x4CF;
    if (InAlternatingRange(c, 0x4C1, 0x4CE))
      return (c % 2 == 1) ? c + 1 : c;
  }
  return c;
}

char32_t UpperCaseChar(char32_t c) {
  if (c < 0x80)
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
    return c - 0x20;
  if (c == 0xFF)
    return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x131)
      return 'I';
    if (InAlternatingRange(c, 0x100, 0x137) || InAlternatingRange(c, 0x14A, 0x177))
      return (c % 2 == 1) ? c - 1 : c;
    if (InAlternatingRange(c, 0x139, 0x148) || InAlternatingRange(c, 0x179, 0x17E))
      return (c % 2 == 0) ? c - 1 : c;
    return c;
  }
  if (c >= 0x3AC && c <= 0x3CE) {
    if (c == 0x3C2)
      return 0x3A3; // final sigma
    if (c >= 0x3B1 && c <= 0x3CB)
      return c - 0x20;
    if (c == 0x3AC)
      return 0x386;
    if (c >= 0x3AD && c <= 0x3AF)
      return c - 0x25;
    if (c == 0x3CC)
      return 0x38C;
    if (c == 0x3CD || c == 0x3CE)
      return c - 0x3F;
    return c;
  }
  if (c >= 0x430 && c <= 0x52F) {
    if (c <= 0x44F)
      return c - 0x20;
    if (c <= 0x45F)
      return c - 0x50;
    if (InAlternatingRange(c, 0x460, 0x481) || InAlternatingRange(c, 0x48A, 0x4BF) ||
        InAlternatingRange(c, 0x4D0, 0x52F))
      return (c % 2 == 1) ? c - 1 : c;
    if (c == 0x4CF)
      return 0x4C0;
    if (InAlternatingRange(c, 0x4C1, 0x4CE))
      return (c % 2 == 0) ? c - 1 : c;
  }
  return c;
}

std::string LowerCase(std::string_view text) {
  if (IsAsciiOnly(text)) {
    std::string out(text);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z')
        c = static_cast<char>(c + 32);
    return out;
  }
  return MapText(text, LowerCaseChar);
}

std::string UpperCase(std::string_view text) {
  if (IsAsciiOnly(text)) {
    std::string out(text);
    for (char& c : out)
      if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 32);
    return out;
  }
  return MapText(text, UpperCaseChar);
}

bool SameAsciiText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool SameText(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const unsigned char ca = static_cast<unsigned char>(a[i]);
    const unsigned char cb = static_cast<unsigned char>(b[j]);
    if (ca < 0x80 && cb < 0x80) {
      if (LowerCaseChar(ca) != LowerCaseChar(cb))
        return false;
      ++i;
      ++j;
      continue;
    }
    const size_t si = i;
    const size_t sj = j;
    const char32_t da = NextUtf8Char(a, i);
    const char32_t db = NextUtf8Char(b, j);
    const bool badA = da == kReplacement && i == si + 1;
    const bool badB = db == kReplacement && j == sj + 1;
    if (badA || badB) {
      if (!(badA && badB && a[si] == b[sj]))
        return false;
      continue;
    }
    if (LowerCaseChar(da) != LowerCaseChar(db))
      return false;
  }
  return i == a.size() && j == b.size();
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF)
    c = kReplacement;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

char32_t NextUtf8Char(std::string_view text, size_t& pos) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int extra = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    c = lead & 0x1F;
    minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    c = lead & 0x0F;
    minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    c = lead & 0x07;
    minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + extra >= text.size()) {
    ++pos;
    return kReplacement;
  }
  for (int k = 1; k <= extra; ++k) {
    const unsigned char b = static_cast<unsigned char>(text[pos + k]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF) {
    ++pos;
    return kReplacement;
  }
  pos += extra + 1;
  return c;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const char32_t c = NextUtf8Char(text, pos);
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
      continue;
    }
    const char32_t v = c - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char32_t u = text[i];
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
      continue;
    }
    AppendUtf8(out, u);
  }
  return out;
}

std::string TrimLeft(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && static_cast<unsigned char>(text[start]) < 33)
    ++start;
  return std::string(text.substr(start));
}

std::string TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) < 33)
    --end;
  return std::string(text.substr(0, end));
}

std::string Trim(std::string_view text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && static_cast<unsigned char>(text[start]) < 33)
    ++start;
  while (end > start && static_cast<unsigned char>(text[end - 1]) < 33)
    --end;
  return std::string(text.substr(start, end - start));
}

std::string_view TrimBlanks(std::string_view text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && IsBlank(text[start]))
    ++start;
  while (end > start && IsBlank(text[end - 1]))
    --end;
  return text.substr(start, end - start);
}

} // namespace qx
