// Reading text files of unknown encoding: the byte-order mark chooses a
// decoder (UTF-16 little or big endian, UTF-8, else the ANSI code page,
// Windows-1252), the decoded text is handed on as UTF-8, split into lines.
#pragma once

#include "QxLib/qxExceptions.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class TStream;

// Text that cannot be decoded (a bad UTF-8 lead or continuation byte).
class EIniInvalidCharacter : public EQxError {
public:
  using EQxError::EQxError;
};

enum class TTextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

// The byte-order mark that opens UTF-8 text; without it text is ANSI.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Turns the bytes of a stream into UTF-8 text, block by block. Characters
// outside the Basic Multilingual Plane travel as surrogate pairs internally
// and come out as one UTF-8 sequence; unpaired surrogates become U+FFFD.
class TTextDecoder {
public:
  // Characters (UTF-16 units) decoded per block.
  static constexpr size_t kBlockChars = 4096;

  virtual ~TTextDecoder() = default;

  // Appends up to kBlockChars decoded characters to `out`; returns how many
  // UTF-16 units were decoded, 0 at the end of the text. Raises
  // EIniInvalidCharacter on undecodable bytes.
  virtual size_t DecodeBlock(std::string& out) = 0;
  virtual TTextEncoding Encoding() const = 0;

protected:
  // `pending` holds bytes already read from the stream that come first.
  TTextDecoder(TStream& stream, std::string_view pending);

  // Makes at least `count` bytes available when the stream still has them;
  // returns the bytes available.
  size_t Fill(size_t count);
  size_t Available() const { return m_end - m_pos; }
  const uint8_t* Data() const { return m_buffer.data() + m_pos; }
  void Consume(size_t count) {
    m_pos += count;
    m_consumed += static_cast<int64_t>(count);
  }
  // Bytes of the text consumed so far (after the byte-order mark).
  int64_t Consumed() const { return m_consumed; }

  // Appends one UTF-16 unit as UTF-8, pairing surrogates.
  void PutUnit(std::string& out, char16_t unit);
  // Writes a high surrogate still waiting for its pair as U+FFFD; true when
  // there was one.
  bool FlushUnit(std::string& out);

private:
  TStream& m_stream;
  std::vector<uint8_t> m_buffer;
  size_t m_pos = 0;
  size_t m_end = 0;
  int64_t m_consumed = 0;
  char16_t m_highSurrogate = 0;
};

// Reads the byte-order mark at the stream's position (FF FE, FE FF, EF BB BF,
// checked in that order) and returns the matching decoder positioned after
// it; without a mark the ANSI decoder starts at the original position.
std::unique_ptr<TTextDecoder> CreateTextDecoder(TStream& stream);

// The Unicode character of a Windows-1252 byte; the five bytes that code
// page leaves undefined map to the C1 control of the same value.
char16_t Windows1252ToUnicode(uint8_t byte);

// Splits a decoded text into lines at CR, LF, CR LF or LF CR; CR CR and
// LF LF are two line ends; the last line may lack its line end.
class TTextParser {
public:
  TTextParser() = default;
  TTextParser(const TTextParser&) = delete;
  TTextParser& operator=(const TTextParser&) = delete;
  virtual ~TTextParser() = default;

  // Decodes the stream from its position and calls ProcessLine for every
  // line, then EndOfText. Raises EIniInvalidCharacter on undecodable text.
  void Parse(TStream& stream);
  TTextEncoding Encoding() const { return m_encoding; }

protected:
  // Called with each line, without its line end.
  virtual void ProcessLine(std::string_view line) = 0;
  // Called once after the last line.
  virtual void EndOfText() {}

  // 1-based number of the line being processed (the count of lines after
  // the end).
  int LineNumber() const { return m_lineNumber; }
  // UTF-16 units of the text before the line being processed.
  int64_t LinePosition() const { return m_linePosition; }

private:
  void EmitLine(std::string_view line, size_t lineEndChars);

  TTextEncoding m_encoding = TTextEncoding::Ansi;
  int m_lineNumber = 0;
  int64_t m_linePosition = 0;
};

// The whole text of a stream as UTF-8, decoded as above.
std::string ReadText(TStream& stream);
// The lines of a stream's text.
std::vector<std::string> ReadTextLines(TStream& stream);

} // namespace qx
