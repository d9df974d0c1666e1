#include "QxLib/qxGuid.h"

#include "QxLib/qxSystemRandom.h"

namespace qx {

std::array<uint8_t, 16> NewGuid() {
  std::array<uint8_t, 16> guid{};
  FillSystemRandom(guid.data(), guid.size());
  guid[6] = static_cast<uint8_t>((guid[6] & 0x0F) | 0x40);
  guid[8] = static_cast<uint8_t>((guid[8] & 0x3F) | 0x80);
  return guid;
}

std::string GuidToText(const std::array<uint8_t, 16>& guid) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "{";
  for (size_t i = 0; i < guid.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10)
      text += '-';
    text += kHex[guid[i] >> 4];
    text += kHex[guid[i] & 0x0F];
  }
  text += '}';
  return text;
}

std::string NewGuidText() { return GuidToText(NewGuid()); }

} // namespace qx
