#include "QxLib/Graphics/qxIptcData.h"

#include "QxLib/Graphics/Exiv2/qxExiv2Image.h"

namespace qx {

namespace {

constexpr uint16_t kApplicationRecord = 2;

} // namespace

bool TIPTCData::Read(TStream& stream) {
  m_datasets.clear();
  return WithExiv2Image(stream, [this](const Exiv2::Image& image) {
    for (const Exiv2::Iptcdatum& datum : image.iptcData()) {
      if (datum.record() == kApplicationRecord)
        m_datasets[datum.tag()].push_back(datum.toString());
    }
  });
}

} // namespace qx
