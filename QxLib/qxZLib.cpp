#include "QxLib/qxZLib.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace qx {

namespace {

const char* const kInvalidOperation = "Invalid ZStream operation!";
constexpr int kRawWindowBits = -15;
constexpr int kZLibWindowBits = 15;
constexpr int kMemLevel = 9;
// zlib counts buffer room in 32 bits; larger requests go in chunks.
constexpr int64_t kMaxChunk = int64_t(1) << 30;
// Piece size of the streaming deflater.
constexpr int64_t kDeflatePiece = 65536;

TStream& Checked(const std::unique_ptr<TStream>& stream) {
  QX_ASSERT(stream != nullptr, "Stream expected");
  return *stream;
}

std::string ZMessage(const z_stream& z, int result) {
  return z.msg != nullptr ? std::string(z.msg) : std::string(zError(result));
}

// Owns a deflater for the helpers below.
class TDeflater {
public:
  explicit TDeflater(int level) {
    if (deflateInit2(&m_z, level, Z_DEFLATED, kRawWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK)
      throw EStreamError("Deflate initialisation error");
  }
  ~TDeflater() { deflateEnd(&m_z); }
  TDeflater(const TDeflater&) = delete;
  TDeflater& operator=(const TDeflater&) = delete;

  z_stream& Z() { return m_z; }

private:
  z_stream m_z{};
};

} // namespace

// ---------------------------------------------------------------------------
// TCustomZStream

TCustomZStream::TCustomZStream(std::unique_ptr<TStream> ownedSource, TStream* borrowedSource)
    : m_ownedSource(std::move(ownedSource)),
      m_source(borrowedSource != nullptr ? *borrowedSource : Checked(m_ownedSource)), m_start(m_source.GetPosition()),
      m_consumed(m_start) {}

TCustomZStream::~TCustomZStream() = default;

void TCustomZStream::Progress() {
  if (m_onProgress)
    m_onProgress(*this);
}

// ---------------------------------------------------------------------------
// TZDecompressionStream

struct TZDecompressionStream::TInflater {
  explicit TInflater(int windowBits) : input(static_cast<size_t>(kInputBlockSize)) {
    if (inflateInit2(&z, windowBits) != Z_OK)
      throw EZDecompressionError(ZMessage(z, Z_MEM_ERROR));
  }
  ~TInflater() { inflateEnd(&z); }
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

  z_stream z{};
  std::vector<uint8_t> input;
};

TZDecompressionStream::TZDecompressionStream(TStream& source)
    : TZDecompressionStream(nullptr, &source, TFormat::ZLib) {}

TZDecompressionStream::TZDecompressionStream(std::unique_ptr<TStream> source)
    : TZDecompressionStream(std::move(source), nullptr, TFormat::ZLib) {}

TZDecompressionStream::TZDecompressionStream(std::unique_ptr<TStream> ownedSource, TStream* borrowedSource,
                                             TFormat format)
    : TCustomZStream(std::move(ownedSource), borrowedSource),
      m_inflater(std::make_unique<TInflater>(format == TFormat::Raw ? kRawWindowBits : kZLibWindowBits)) {}

TZDecompressionStream::~TZDecompressionStream() = default;

void TZDecompressionStream::SetSize(int64_t) { throw EZDecompressionError(kInvalidOperation); }

int64_t TZDecompressionStream::Write(const void*, int64_t) { throw EZDecompressionError(kInvalidOperation); }

int64_t TZDecompressionStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || m_finished)
    return 0;
  // Another reader of the source may have moved it.
  if (m_source.GetPosition() != m_consumed)
    m_source.SetPosition(m_consumed);
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int64_t want = std::min(count - done, kMaxChunk);
    const int64_t got = InflateChunk(out + done, want);
    done += got;
    if (got < want)
      break;
  }
  return done;
}

int64_t TZDecompressionStream::InflateChunk(uint8_t* out, int64_t count) {
  z_stream& z = m_inflater->z;
  z.next_out = out;
  z.avail_out = static_cast<uInt>(count);
  int result = Z_OK;
  while (z.avail_out > 0 && !m_finished) {
    bool sourceDrained = false;
    if (z.avail_in == 0) {
      const int64_t got = m_source.Read(m_inflater->input.data(), kInputBlockSize);
      if (got > 0) {
        z.next_in = m_inflater->input.data();
        z.avail_in = static_cast<uInt>(got);
        m_consumed = m_source.GetPosition();
        Progress();
      } else {
        sourceDrained = true;
      }
    }
    // With the source drained zlib may still hold output of input it has
    // already taken; it says Z_BUF_ERROR once nothing more can come.
    result = inflate(&z, Z_NO_FLUSH);
    if (sourceDrained && result == Z_BUF_ERROR) {
      result = Z_OK;
      break;
    }
    if (result == Z_STREAM_END) {
      // Whatever follows the data in the source is not ours.
      m_finished = true;
      z.avail_in = 0;
    }
    // Besides the negative results, a preset dictionary is nothing a packed
    // entry can have; waiting for one would loop for ever.
    if (result != Z_OK)
      break;
  }
  const int64_t produced = count - z.avail_out;
  m_produced += produced;
  if (result != Z_OK && result != Z_STREAM_END)
    throw EZDecompressionError(ZMessage(z, result));
  return produced;
}

void TZDecompressionStream::Restart() {
  z_stream& z = m_inflater->z;
  inflateReset(&z);
  z.avail_in = 0;
  z.next_in = nullptr;
  m_source.SetPosition(m_start);
  m_consumed = m_start;
  m_produced = 0;
  m_finished = false;
}

void TZDecompressionStream::Skip(int64_t count) {
  uint8_t piece[kSkipPieceSize];
  while (count > 0) {
    const int64_t n = std::min(kSkipPieceSize, count);
    if (Read(piece, n) != n)
      throw EStreamReadError("Stream read error");
    count -= n;
  }
}

int64_t TZDecompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (origin == TSeekOrigin::Begin && offset == 0) {
    Restart();
  } else if (origin == TSeekOrigin::Begin && offset >= m_produced) {
    Skip(offset - m_produced);
  } else if (origin == TSeekOrigin::Current && offset >= 0) {
    Skip(offset);
  } else if (origin == TSeekOrigin::End && offset == 0) {
    uint8_t piece[kSkipPieceSize];
    while (Read(piece, kSkipPieceSize) > 0) {
    }
  } else {
    throw EZDecompressionError(kInvalidOperation);
  }
  return m_produced;
}

// ---------------------------------------------------------------------------
// TInflateStream

TInflateStream::TInflateStream(TStream& source, int64_t declaredSize)
    : TZDecompressionStream(nullptr, &source, TFormat::Raw), m_declaredSize(declaredSize) {}

TInflateStream::TInflateStream(std::unique_ptr<TStream> source, int64_t declaredSize)
    : TZDecompressionStream(std::move(source), nullptr, TFormat::Raw), m_declaredSize(declaredSize) {}

void TInflateStream::SetPosition(int64_t position) {
  // Restarting costs a decompression from the start; staying costs nothing.
  if (position == GetPosition())
    return;
  Seek(position, TSeekOrigin::Begin);
}

int64_t TInflateStream::Read(void* buffer, int64_t count) {
  if (m_declaredSize >= 0)
    count = std::min(count, m_declaredSize - GetPosition());
  return TZDecompressionStream::Read(buffer, count);
}

// ---------------------------------------------------------------------------
// One-shot helpers

std::string DeflateRaw(std::string_view data, int level) {
  if (data.size() > UINT_MAX)
    throw EStreamError("Deflate error");
  TDeflater deflater(level);
  z_stream& z = deflater.Z();
  std::string out;
  out.resize(static_cast<size_t>(deflateBound(&z, static_cast<uLong>(data.size()))));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END)
    throw EStreamError("Deflate error");
  out.resize(static_cast<size_t>(z.total_out));
  return out;
}

int64_t DeflateRawStream(TStream& source, TStream& dest, int level) {
  TDeflater deflater(level);
  z_stream& z = deflater.Z();
  std::vector<uint8_t> input(static_cast<size_t>(kDeflatePiece));
  std::vector<uint8_t> output(static_cast<size_t>(kDeflatePiece));
  int64_t written = 0;
  int flush = Z_NO_FLUSH;
  while (flush != Z_FINISH) {
    const int64_t got = source.Read(input.data(), kDeflatePiece);
    flush = got > 0 ? Z_NO_FLUSH : Z_FINISH;
    z.next_in = input.data();
    z.avail_in = static_cast<uInt>(std::max<int64_t>(got, 0));
    do {
      z.next_out = output.data();
      z.avail_out = static_cast<uInt>(output.size());
      const int result = deflate(&z, flush);
      if (result == Z_STREAM_ERROR)
        throw EStreamError("Deflate error");
      const int64_t produced = kDeflatePiece - z.avail_out;
      dest.WriteBuffer(output.data(), produced);
      written += produced;
    } while (z.avail_out == 0);
  }
  return written;
}

std::string InflateRaw(std::string_view data, int64_t maxSize) {
  if (data.size() > UINT_MAX)
    throw EZDecompressionError("Compressed data too large");
  z_stream z{};
  if (inflateInit2(&z, kRawWindowBits) != Z_OK)
    throw EZDecompressionError(ZMessage(z, Z_MEM_ERROR));
  const std::unique_ptr<z_stream, int (*)(z_stream*)> end(&z, inflateEnd);

  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  // Output is appended piece by piece, so the result never holds more than
  // the limit however much the data claims to expand.
  std::vector<char> piece(static_cast<size_t>(kDeflatePiece));
  std::string out;
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(piece.data());
    z.avail_out = static_cast<uInt>(piece.size());
    const int result = inflate(&z, Z_NO_FLUSH);
    const auto produced = static_cast<int64_t>(piece.size() - z.avail_out);
    if (static_cast<int64_t>(out.size()) + produced > maxSize)
      throw EZDecompressionError("Inflated data too large");
    out.append(piece.data(), static_cast<size_t>(produced));
    if (result == Z_STREAM_END)
      return out;
    if (result == Z_OK)
      continue;
    // With output room left, no progress means the input ran out.
    if (result == Z_BUF_ERROR)
      throw EZDecompressionError("Unexpected end of compressed data");
    throw EZDecompressionError(ZMessage(z, result));
  }
}

} // namespace qx
