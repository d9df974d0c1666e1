// Reading streams that inflate deflated data from a source stream, and the
// one-shot deflate and inflate helpers used by the package writer and tests.
#pragma once

#include "QxLib/qxExceptions.h"
#include "QxLib/qxStream.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qx {

// A failure of zlib while inflating (the message is zlib's own text, such as
// "invalid block type"), or an operation an inflating stream cannot do
// ("Invalid ZStream operation!").
class EZDecompressionError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// Base of the zlib streams: the source, where it started and how far its
// input has been consumed, and the progress event.
class TCustomZStream : public TStream {
public:
  // Raised each time a new input block has been read from the source.
  using TProgressEvent = std::function<void(TCustomZStream& sender)>;

  ~TCustomZStream() override;

  void SetOnProgress(TProgressEvent onProgress) { m_onProgress = std::move(onProgress); }
  TStream& Source() { return m_source; }

protected:
  // Reads from borrowedSource when given, otherwise from (and owns) ownedSource.
  TCustomZStream(std::unique_ptr<TStream> ownedSource, TStream* borrowedSource);

  void Progress();

  std::unique_ptr<TStream> m_ownedSource;
  TStream& m_source;
  // The source's position at construction: where the compressed data begins.
  const int64_t m_start;
  // The source position up to which input has been taken into the inflater.
  int64_t m_consumed;

private:
  TProgressEvent m_onProgress;
};

// Inflates data with a zlib header from the source's position on. Reading
// only moves forward: seeks go to 0 (restart) or forward (decompress and
// discard); the position is the count of bytes produced; the size is unknown.
class TZDecompressionStream : public TCustomZStream {
public:
  // Size of the blocks read from the source.
  static constexpr int64_t kInputBlockSize = 65536;
  // Size of the pieces decompressed and discarded by a forward seek.
  static constexpr int64_t kSkipPieceSize = 8192;

  explicit TZDecompressionStream(TStream& source);
  explicit TZDecompressionStream(std::unique_ptr<TStream> source);
  ~TZDecompressionStream() override;

  int64_t GetPosition() override { return m_produced; }
  void SetPosition(int64_t position) override { Seek(position, TSeekOrigin::Begin); }
  int64_t GetSize() override { return -1; }
  // Raises EZDecompressionError "Invalid ZStream operation!".
  void SetSize(int64_t size) override;
  // Raises EZDecompressionError with zlib's message on damaged data; returns
  // fewer bytes than asked at the end of the data or of the source.
  int64_t Read(void* buffer, int64_t count) override;
  // Raises EZDecompressionError "Invalid ZStream operation!".
  int64_t Write(const void* buffer, int64_t count) override;
  // To 0 from the beginning: restart. Forward from the beginning or the
  // current position: decompress and discard (a short piece raises
  // EStreamReadError). To the end with offset 0: discard all that is left.
  // Anything else raises EZDecompressionError "Invalid ZStream operation!".
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

protected:
  enum class TFormat { ZLib, Raw };
  TZDecompressionStream(std::unique_ptr<TStream> ownedSource, TStream* borrowedSource, TFormat format);

private:
  struct TInflater;

  void Restart();
  void Skip(int64_t count);
  // Inflates into at most 1 GiB of output (zlib counts in 32 bits).
  int64_t InflateChunk(uint8_t* out, int64_t count);

  std::unique_ptr<TInflater> m_inflater;
  int64_t m_produced = 0;
  bool m_finished = false;
};

// Inflates raw deflate data (no header) of a declared output size, as packed
// entries are stored. The position is the count of bytes produced; setting
// it to the value it has does nothing, to 0 restarts, forward skips.
class TInflateStream : public TZDecompressionStream {
public:
  // declaredSize -1: the size is not known.
  explicit TInflateStream(TStream& source, int64_t declaredSize = -1);
  explicit TInflateStream(std::unique_ptr<TStream> source, int64_t declaredSize = -1);

  int64_t GetSize() override { return m_declaredSize; }
  void SetPosition(int64_t position) override;
  // Never delivers bytes beyond the declared size, so damaged data cannot
  // make a reader hold more than the entry claims.
  int64_t Read(void* buffer, int64_t count) override;

private:
  const int64_t m_declaredSize;
};

// The most InflateRaw produces before it gives up.
constexpr int64_t kMaxInflateRawSize = 536870910;

// Raw deflate (window bits -15, no header) of `data`.
std::string DeflateRaw(std::string_view data, int level = 9);
// Deflates the source from its position until its reads return 0, writing
// raw deflate data to `dest`; returns the bytes written.
int64_t DeflateRawStream(TStream& source, TStream& dest, int level = 9);
// Inflates raw deflate data whole. Raises EZDecompressionError with zlib's
// message on damaged data, "Unexpected end of compressed data" when the data
// stops early, and "Inflated data too large" past maxSize bytes.
std::string InflateRaw(std::string_view data, int64_t maxSize = kMaxInflateRawSize);

} // namespace qx
