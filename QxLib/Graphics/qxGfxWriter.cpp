#include "QxLib/Graphics/qxGfxWriter.h"

#include "QxLib/qxExceptions.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

namespace qx {

namespace {

constexpr int kRawWindowBits = -15;
constexpr size_t kPiece = 64 * 1024;

void PutField(std::string& out, const std::string& text) {
  const size_t length = std::min<size_t>(text.size(), 0xFFFF);
  out.push_back(static_cast<char>(length & 0xFF));
  out.push_back(static_cast<char>(length >> 8));
  out.append(text, 0, length);
}

struct TInflateEnd {
  void operator()(z_stream* z) const { inflateEnd(z); }
};
struct TDeflateEnd {
  void operator()(z_stream* z) const { deflateEnd(z); }
};

} // namespace

std::string DeflateRawBytes(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, kRawWindowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw EQxError("Deflate initialisation failed");
  std::unique_ptr<z_stream, TDeflateEnd> guard(&z);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END)
    throw EQxError("Deflate failed");
  out.resize(z.total_out);
  return out;
}

std::string InflateRawLimited(const std::string& data, int64_t maxOutput) {
  z_stream z{};
  if (inflateInit2(&z, kRawWindowBits) != Z_OK)
    throw EQxError("Inflate initialisation failed");
  std::unique_ptr<z_stream, TInflateEnd> guard(&z);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  std::string out;
  for (;;) {
    const size_t old = out.size();
    if (static_cast<int64_t>(old) >= maxOutput)
      throw EQxError("Inflated data larger than expected");
    const size_t piece = static_cast<size_t>(std::min<int64_t>(kPiece, maxOutput - static_cast<int64_t>(old)));
    out.resize(old + piece);
    z.next_out = reinterpret_cast<Bytef*>(out.data() + old);
    z.avail_out = static_cast<uInt>(piece);
    const int result = inflate(&z, Z_NO_FLUSH);
    out.resize(old + piece - z.avail_out);
    if (result == Z_STREAM_END)
      return out;
    if (result == Z_BUF_ERROR && z.avail_in == 0)
      throw EQxError("Inflate: unexpected end of data");
    if (result != Z_OK && result != Z_BUF_ERROR)
      throw EQxError(std::string("Inflate: ") + (z.msg ? z.msg : "damaged data"));
  }
}

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
  out += DeflateRawBytes(bmpBytes);
  return out;
}

} // namespace qx
