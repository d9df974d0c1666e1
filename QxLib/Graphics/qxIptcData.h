// The IPTC-IIM fields (record 2, the application record) of a picture, read
// from its stream as text. The reading itself is done by a metadata library
// behind this class (Graphics/Exiv2/).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qx {

class TStream;

class TIPTCData {
public:
  static constexpr uint16_t kDocumentTitle = 5;
  static constexpr uint16_t kSpecialInstructions = 40;
  static constexpr uint16_t kAuthorByline = 80;
  static constexpr uint16_t kAuthorTitle = 85;
  static constexpr uint16_t kCity = 90;
  static constexpr uint16_t kSublocation = 92;
  static constexpr uint16_t kProvinceState = 95;
  static constexpr uint16_t kCountry = 101;
  static constexpr uint16_t kOriginalTransmissionReference = 103;
  static constexpr uint16_t kHeadline = 105;
  static constexpr uint16_t kCredits = 110;
  static constexpr uint16_t kSource = 115;
  static constexpr uint16_t kCopyright = 116;
  static constexpr uint16_t kCaptionDescription = 120;
  static constexpr uint16_t kCaptionWriter = 122;

  // Reads the IPTC block of the picture that starts at the stream's
  // position. False when the picture has none or cannot be read; damaged
  // metadata never raises. Earlier fields are forgotten first.
  bool Read(TStream& stream);
  void Clear() { m_datasets.clear(); }

  // Every entry of a dataset of record 2, in file order.
  const std::vector<std::string>& Values(uint16_t dataset) const {
    static const std::vector<std::string> kNone;
    const auto found = m_datasets.find(dataset);
    return found == m_datasets.end() ? kNone : found->second;
  }
  // The first entry, or empty.
  std::string First(uint16_t dataset) const {
    const std::vector<std::string>& values = Values(dataset);
    return values.empty() ? std::string() : values.front();
  }

  void AddValue(uint16_t dataset, std::string value) { m_datasets[dataset].push_back(std::move(value)); }

private:
  std::map<uint16_t, std::vector<std::string>> m_datasets;
};

} // namespace qx
