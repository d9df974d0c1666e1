#include "QxLib/qxTextReader.h"

#include "QxLib/qxStream.h"
#include "QxLib/qxUtf8.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace qx {

namespace {

constexpr size_t kReadPiece = 65536;
constexpr char16_t kReplacementUnit = 0xFFFD;

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u < 0xDC00; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u < 0xE000; }

// Bytes 0x80..0x9F of Windows-1252; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kWindows1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// UTF-16 units in a piece of valid UTF-8.
int64_t Utf16Units(std::string_view text) {
  int64_t units = 0;
  for (const char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    units += (b & 0xC0) != 0x80;
    units += b >= 0xF0;
  }
  return units;
}

class TAnsiDecoder : public TTextDecoder {
public:
  TAnsiDecoder(TStream& stream, std::string_view pending) : TTextDecoder(stream, pending) {}
  TTextEncoding Encoding() const override { return TTextEncoding::Ansi; }

  size_t DecodeBlock(std::string& out) override {
    const size_t count = std::min(Fill(kBlockChars), kBlockChars);
    const uint8_t* const bytes = Data();
    for (size_t i = 0; i < count; ++i) {
      if (bytes[i] < 0x80)
        out.push_back(static_cast<char>(bytes[i]));
      else
        AppendUtf8(out, Windows1252ToUnicode(bytes[i]));
    }
    Consume(count);
    return count;
  }
};

class TUtf16Decoder : public TTextDecoder {
public:
  TUtf16Decoder(TStream& stream, std::string_view pending, bool bigEndian)
      : TTextDecoder(stream, pending), m_bigEndian(bigEndian) {}
  TTextEncoding Encoding() const override { return m_bigEndian ? TTextEncoding::Utf16BE : TTextEncoding::Utf16LE; }

  size_t DecodeBlock(std::string& out) override {
    const size_t available = Fill(2 * kBlockChars);
    const size_t count = std::min(available / 2, kBlockChars);
    const uint8_t* const bytes = Data();
    for (size_t i = 0; i < count; ++i) {
      const uint8_t first = bytes[2 * i];
      const uint8_t second = bytes[2 * i + 1];
      PutUnit(out, static_cast<char16_t>(m_bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    Consume(2 * count);
    if (count > 0)
      return count;
    // The end: a high surrogate without its pair or an odd last byte
    // becomes one replacement character.
    const bool oddByte = available == 1;
    if (oddByte)
      Consume(1);
    if (FlushUnit(out) || oddByte) {
      if (oddByte)
        AppendUtf8(out, kReplacementUnit);
      return 1;
    }
    return 0;
  }

private:
  bool m_bigEndian;
};

class TUtf8Decoder : public TTextDecoder {
public:
  TUtf8Decoder(TStream& stream, std::string_view pending) : TTextDecoder(stream, pending) {}
  TTextEncoding Encoding() const override { return TTextEncoding::Utf8; }

  size_t DecodeBlock(std::string& out) override {
    size_t units = 0;
    while (units < kBlockChars) {
      if (Fill(1) == 0)
        return units + (FlushUnit(out) ? 1 : 0);
      const uint8_t* bytes = Data();
      const size_t room = std::min(Available(), kBlockChars - units);
      size_t run = 0;
      while (run < room && bytes[run] < 0x80)
        ++run;
      if (run > 0) {
        if (FlushUnit(out))
          ++units;
        out.append(reinterpret_cast<const char*>(bytes), run);
        Consume(run);
        units += run;
        continue;
      }
      units += DecodeSequence(out);
    }
    return units;
  }

private:
  // Decodes one sequence of 2 to 6 bytes; returns the UTF-16 units made.
  size_t DecodeSequence(std::string& out) {
    const uint8_t lead = Data()[0];
    size_t length = 0;
    if (lead >= 0xC0 && lead <= 0xDF)
      length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
      length = 3;
    else if (lead >= 0xF0 && lead <= 0xF7)
      length = 4;
    else if (lead >= 0xF8 && lead <= 0xFB)
      length = 5;
    else if (lead >= 0xFC && lead <= 0xFD)
      length = 6;
    else
      Fail(0);
    const size_t available = Fill(length);
    const uint8_t* const bytes = Data();
    uint32_t value = lead & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
      if (k >= available || (bytes[k] & 0xC0) != 0x80)
        Fail(k);
      value = (value << 6) | (bytes[k] & 0x3Fu);
    }
    Consume(length);
    if (value <= 0xFFFF) {
      PutUnit(out, static_cast<char16_t>(value));
      return 1;
    }
    if (value > 0x10FFFF) {
      // Five- and six-byte forms beyond the Unicode range have no UTF-16
      // form.
      PutUnit(out, kReplacementUnit);
      return 1;
    }
    const uint32_t v = value - 0x10000;
    PutUnit(out, static_cast<char16_t>(0xD800 + (v >> 10)));
    PutUnit(out, static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    return 2;
  }

  [[noreturn]] void Fail(size_t offset) const {
    throw EIniInvalidCharacter("Invalid character in UTF-8 text at byte " +
                               std::to_string(Consumed() + static_cast<int64_t>(offset)));
  }
};

size_t ReadUpTo(TStream& stream, uint8_t* buffer, size_t count) {
  size_t got = 0;
  while (got < count) {
    const int64_t n = stream.Read(buffer + got, static_cast<int64_t>(count - got));
    if (n <= 0)
      break;
    got += static_cast<size_t>(n);
  }
  return got;
}

} // namespace

char16_t Windows1252ToUnicode(uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F)
    return kWindows1252High[byte - 0x80];
  return byte;
}

// ---------------------------------------------------------------------------
// TTextDecoder

TTextDecoder::TTextDecoder(TStream& stream, std::string_view pending)
    : m_stream(stream), m_buffer(pending.begin(), pending.end()), m_end(pending.size()) {}

size_t TTextDecoder::Fill(size_t count) {
  if (Available() >= count)
    return Available();
  if (m_pos > 0) {
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, Available());
    m_end -= m_pos;
    m_pos = 0;
  }
  if (m_buffer.size() < std::max(count, kReadPiece))
    m_buffer.resize(std::max(count, kReadPiece));
  while (m_end < count) {
    const int64_t n = m_stream.Read(m_buffer.data() + m_end, static_cast<int64_t>(m_buffer.size() - m_end));
    if (n <= 0)
      break;
    m_end += static_cast<size_t>(n);
  }
  return Available();
}

void TTextDecoder::PutUnit(std::string& out, char16_t unit) {
  if (m_highSurrogate) {
    if (IsLowSurrogate(unit)) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(m_highSurrogate) - 0xD800) << 10) + (unit - 0xDC00));
      m_highSurrogate = 0;
      return;
    }
    AppendUtf8(out, kReplacementUnit);
    m_highSurrogate = 0;
  }
  if (unit < 0x80) {
    out.push_back(static_cast<char>(unit));
    return;
  }
  if (IsHighSurrogate(unit)) {
    m_highSurrogate = unit;
    return;
  }
  AppendUtf8(out, IsLowSurrogate(unit) ? kReplacementUnit : unit);
}

bool TTextDecoder::FlushUnit(std::string& out) {
  if (!m_highSurrogate)
    return false;
  AppendUtf8(out, kReplacementUnit);
  m_highSurrogate = 0;
  return true;
}

std::unique_ptr<TTextDecoder> CreateTextDecoder(TStream& stream) {
  // The first bytes are read once; those that are no byte-order mark stay
  // with the decoder as if the position had been set back.
  uint8_t head[3] = {};
  const size_t got = ReadUpTo(stream, head, sizeof head);
  const auto rest = [&](size_t from) {
    return std::string_view(reinterpret_cast<const char*>(head) + from, got - from);
  };
  if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE)
    return std::make_unique<TUtf16Decoder>(stream, rest(2), false);
  if (got >= 2 && head[0] == 0xFE && head[1] == 0xFF)
    return std::make_unique<TUtf16Decoder>(stream, rest(2), true);
  if (got >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF)
    return std::make_unique<TUtf8Decoder>(stream, rest(3));
  return std::make_unique<TAnsiDecoder>(stream, rest(0));
}

// ---------------------------------------------------------------------------
// TTextParser

void TTextParser::EmitLine(std::string_view line, size_t lineEndChars) {
  ++m_lineNumber;
  ProcessLine(line);
  m_linePosition += Utf16Units(line) + static_cast<int64_t>(lineEndChars);
}

void TTextParser::Parse(TStream& stream) {
  const std::unique_ptr<TTextDecoder> decoder = CreateTextDecoder(stream);
  m_encoding = decoder->Encoding();
  m_lineNumber = 0;
  m_linePosition = 0;
  std::string pending;
  size_t scanFrom = 0;
  // The partner of a line end that closed the previous block (CR after
  // LF, LF after CR), skipped when the next block starts with it.
  char partnerToSkip = 0;
  while (decoder->DecodeBlock(pending) > 0) {
    size_t lineStart = 0;
    if (partnerToSkip) {
      if (!pending.empty() && pending[0] == partnerToSkip) {
        lineStart = 1;
        ++m_linePosition;
      }
      partnerToSkip = 0;
    }
    const size_t size = pending.size();
    for (size_t i = std::max(scanFrom, lineStart); i < size; ++i) {
      const char c = pending[i];
      if (c != '\r' && c != '\n')
        continue;
      const char partner = c == '\r' ? '\n' : '\r';
      size_t next = i + 1;
      size_t endChars = 1;
      if (next < size) {
        if (pending[next] == partner) {
          ++next;
          endChars = 2;
        }
      } else {
        partnerToSkip = partner;
      }
      EmitLine(std::string_view(pending).substr(lineStart, i - lineStart), endChars);
      lineStart = next;
      i = next - 1;
    }
    pending.erase(0, lineStart);
    scanFrom = pending.size();
  }
  if (!pending.empty())
    EmitLine(pending, 0);
  EndOfText();
}

namespace {

class TLineCollector : public TTextParser {
public:
  std::vector<std::string> lines;

protected:
  void ProcessLine(std::string_view line) override { lines.emplace_back(line); }
};

} // namespace

std::string ReadText(TStream& stream) {
  const std::unique_ptr<TTextDecoder> decoder = CreateTextDecoder(stream);
  std::string text;
  while (decoder->DecodeBlock(text) > 0) {
  }
  return text;
}

std::vector<std::string> ReadTextLines(TStream& stream) {
  TLineCollector collector;
  collector.Parse(stream);
  return std::move(collector.lines);
}

} // namespace qx
