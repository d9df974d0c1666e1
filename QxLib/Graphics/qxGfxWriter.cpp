#include "QxLib/Graphics/qxGfxWriter.h"

#include "QxLib/qxZLib.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace qx {

namespace {

void PutField(std::string& out, const std::string& text) {
  const size_t length = std::min<size_t>(text.size(), 0xFFFF);
  out.push_back(static_cast<char>(length & 0xFF));
  out.push_back(static_cast<char>(length >> 8));
  out.append(text, 0, length);
}

} // namespace

std::string WriteQxGfx(const std::string& fileName, int width, int height, int64_t originalSize,
                       const std::string& bmpBytes) {
  std::string out = "QXGF";
  const std::pair<std::string, std::string> fields[] = {
      {"File", fileName},
      {"Width", std::to_string(width)},
      {"Height", std::to_string(height)},
      {"OriginalSize", std::to_string(originalSize)},
  };
  const size_t count = std::size(fields);
  out.push_back(static_cast<char>(count & 0xFF));
  out.push_back(static_cast<char>(count >> 8));
  for (const auto& [name, value] : fields) {
    PutField(out, name);
    PutField(out, value);
  }
  out += DeflateRaw(bmpBytes);
  return out;
}

} // namespace qx
