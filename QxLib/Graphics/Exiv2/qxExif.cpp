#include "QxLib/Graphics/qxExif.h"

#include "QxLib/Graphics/Exiv2/qxExiv2Image.h"

namespace qx {

bool TExif::Read(TStream& stream) {
  m_fields.clear();
  return WithExiv2Image(stream, [this](const Exiv2::Image& image) {
    for (const Exiv2::Exifdatum& datum : image.exifData()) {
      const uint16_t tag = datum.tag();
      if (m_fields.contains(tag))
        continue;
      if (const auto* comment = dynamic_cast<const Exiv2::CommentValue*>(&datum.value()))
        m_fields.emplace(tag, comment->comment());
      else
        m_fields.emplace(tag, datum.toString());
    }
  });
}

} // namespace qx
