// The EXIF fields of a picture, read from its stream as text. The reading
// itself is done by a metadata library behind this class (Graphics/Exiv2/).
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace qx {

class TStream;

class TExif {
public:
  static constexpr uint16_t kImageDescription = 270;
  static constexpr uint16_t kDateTime = 306;
  static constexpr uint16_t kUserComment = 37510;

  // Reads the EXIF block of the picture that starts at the stream's
  // position. False when the picture has none or cannot be read; damaged
  // metadata never raises. Earlier fields are forgotten first.
  bool Read(TStream& stream);
  void Clear() { m_fields.clear(); }

  // The text of a tag, the first one found in any directory; empty when
  // absent. A user comment comes without its character-set marker.
  std::string Text(uint16_t tag) const {
    const auto found = m_fields.find(tag);
    return found == m_fields.end() ? std::string() : found->second;
  }
  bool Has(uint16_t tag) const { return m_fields.contains(tag); }

  // For tests and other readers: sets a field as if it had been read.
  void SetText(uint16_t tag, std::string text) { m_fields[tag] = std::move(text); }

private:
  std::map<uint16_t, std::string> m_fields;
};

} // namespace qx
