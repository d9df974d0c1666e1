#include "QxLib/Music/qxMpegConverter.h"

#include "QxLib/Music/qxMpegHeader.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

// Reads of one tenth of a second decoded at most while pre-rolling a seek.
constexpr int kPrerollReads = 11;
// Upper bound of one pre-roll read: a tenth of a second at 448 kbit/s is
// under 6 KB; a damaged header's bit rate must not make it larger.
constexpr int64_t kMaxPrerollRead = 65536;
// Bytes searched for a frame boundary after a computed seek position.
constexpr int64_t kResyncSpan = 65536;

bool HeaderAt(TStream& stream, int64_t position, TMpegFrameHeader& header) {
  uint8_t bytes[4];
  stream.SetPosition(position);
  return stream.Read(bytes, 4) == 4 && ParseMpegFrameHeader(bytes, header);
}

} // namespace

TMpg123::TMpg123() { mpg123_init(); }

TMpg123::~TMpg123() { mpg123_exit(); }

TRefPtr<TMpg123> TMpg123::Acquire() {
  // The process keeps one reference of its own, so the instance lives from
  // the first converter to the end of the program.
  static const TRefPtr<TMpg123> instance(new TMpg123());
  return instance;
}

TMpegConverter::TMpegConverter(TStream& stream) : TWavConverter(&stream), m_library(TMpg123::Acquire()) {}

TMpegConverter::~TMpegConverter() {
  if (m_handle)
    mpg123_delete(m_handle);
}

bool TMpegConverter::ResetDecoder() {
  if (!m_handle)
    return false;
  return mpg123_open_feed(m_handle) == MPG123_OK;
}

bool TMpegConverter::Open(const TMediaInfo& info) {
  if (info.Format.Channels < 1 || info.Format.Channels > 2 || info.Format.SamplesPerSec == 0)
    return false;
  if (!m_handle) {
    int error = MPG123_OK;
    m_handle = mpg123_new(nullptr, &error);
    if (!m_handle)
      return false;
    mpg123_param(m_handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(m_handle);
    if (mpg123_format(m_handle, static_cast<long>(info.Format.SamplesPerSec),
                      info.Format.Channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK)
      return false;
  }
  const bool opened = TWavConverter::Open(info);
  if (info.Vbr)
    SetReadSize(kDefaultReadSize);
  else
    SetReadSize(std::clamp(6 * info.FrameSize, 4, kDefaultReadSize));
  return opened;
}

int64_t TMpegConverter::VbrFramePosition(double ms) const {
  const TMediaInfo& info = MediaInfo();
  const int64_t end = DataEnd();
  int64_t position = info.DataOffset;
  double remaining = ms;
  TMpegFrameHeader header;
  while (remaining > 0 && info.MeanFrameDuration > 0 && HeaderAt(*Stream(), position, header) &&
         position + header.FrameSize() < end) {
    position += header.FrameSize();
    remaining -= info.MeanFrameDuration;
  }
  return position;
}

int64_t TMpegConverter::CbrFramePosition(double ms) const {
  const TMediaInfo& info = MediaInfo();
  if (info.Length <= 0)
    return info.DataOffset;
  const int64_t guess = info.DataOffset + static_cast<int64_t>(static_cast<double>(info.DataSize) / info.Length * ms);
  const int64_t end = DataEnd();
  const int64_t last = std::min(end - 4, guess + kResyncSpan);
  TMpegFrameHeader header, next;
  for (int64_t position = guess; position <= last; ++position) {
    if (!HeaderAt(*Stream(), position, header))
      continue;
    const int64_t following = position + header.FrameSize();
    if (following + 4 > end || (HeaderAt(*Stream(), following, next) && next.SameStream(header)))
      return position;
  }
  return guess;
}

void TMpegConverter::Seek(double ms) {
  ms = std::max(ms, 0.0);
  InputBuffer().Clear();
  Output().Clear();
  ResetDecoder();
  const double preroll = std::min(ms, kPreroll);
  const double start = ms - preroll;
  const TMediaInfo& info = MediaInfo();
  if (start <= 0)
    m_seekStart = info.DataOffset;
  else
    m_seekStart = info.Vbr ? VbrFramePosition(start) : CbrFramePosition(start);
  Stream()->SetPosition(m_seekStart);

  const TPcmFormat& format = OutputFormat();
  const int64_t dropBytes = std::llround(preroll / 1000.0 * format.AvgBytesPerSec) /
                            std::max<int>(format.BlockAlign, 1) * std::max<int>(format.BlockAlign, 1);
  const int32_t savedReadSize = ReadSize();
  if (info.Length > 0)
    SetReadSize(static_cast<int32_t>(
        std::clamp<int64_t>(static_cast<int64_t>(info.DataSize) * 100 / info.Length, savedReadSize, kMaxPrerollRead)));
  for (int read = 0; read < kPrerollReads && Output().Used() < dropBytes; ++read) {
    if (!FillInput() || !Convert(InputBuffer()))
      break;
  }
  SetReadSize(savedReadSize);
  Output().Consume(static_cast<int32_t>(std::min<int64_t>(dropBytes, Output().Used())));
  // What is left is the audio after ms.
  SetPosition(ms);
  AdvancePosition(Output().Used());
}

bool TMpegConverter::Convert(TLocalBuffer& input) {
  if (!m_handle || input.Used() == 0)
    return false;
  const int32_t before = Output().Used();
  const unsigned char* data = input.DataStart();
  size_t size = static_cast<size_t>(input.Used());
  for (;;) {
    Output().EnsureFree(kDecodeArea);
    size_t done = 0;
    const int result =
        mpg123_decode(m_handle, data, size, Output().DataEnd(), static_cast<size_t>(Output().FreeSpace()), &done);
    data = nullptr;
    size = 0;
    if (done > 0)
      Output().Commit(static_cast<int32_t>(done));
    if (result == MPG123_ERR) {
      // Undecodable data counts as no output; the decoder starts afresh with
      // the next piece.
      ResetDecoder();
      break;
    }
    if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
      break;
  }
  input.Clear();
  AdvancePosition(Output().Used() - before);
  return true;
}

} // namespace qx
