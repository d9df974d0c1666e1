// Locating the show package at the end of a host file, reading its file
// table, and opening packed entries as streams.
//
// Layout at the end of the host (little-endian): entries, then the file
// table (one raw deflate stream of INI text), then a trailer in one of two
// forms:
//   current (20 bytes): table position T (int64), ".dne", self position S (int64)
//   older   (12 bytes): table position T (int64), ".dne"
// S is where S itself was written; when the tail of the file has moved since
// the package was built, (L - 8) - S gives the displacement.
#pragma once

#include "QxLib/qxRefCounted.h"
#include "QxLib/qxStream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qx {

class TIniStorage;
class TIniSection;

// Storage methods of package entries.
enum : uint8_t {
  kVmoStored = 0,
  kVmoDeflated = 1,
  kVmoScrambled = 2,
};

inline constexpr std::string_view kVmoTrailerMarker = ".dne";
inline constexpr std::string_view kVmoProtectionSection = "$protection$";

inline constexpr std::string_view kErrShowNotFound = "Slideshow File not Found";
inline constexpr std::string_view kErrShowDamaged = "Slide-show File Damaged";

// The package's file table: one section per entry plus "$protection$".
class TUnpackStruc : public TRefCounted {
public:
  explicit TUnpackStruc(std::unique_ptr<TIniStorage> table);

  // The section of an entry name; "[" and "]" in the name are looked up as
  // "<" and ">", which is how the table writes them.
  TIniSection* FindEntrySection(std::string_view name) const;

  TIniStorage& Table() const { return *m_table; }

  // An entry name as the table writes it.
  static std::string TableName(std::string_view name);

protected:
  ~TUnpackStruc() override;

private:
  std::unique_ptr<TIniStorage> m_table;
};

struct TVmoEntryInfo {
  int64_t position = 0; // in the host file, base shift applied
  int64_t size = 0;
  uint8_t method = kVmoStored;
};

class TVmoUnpack {
public:
  // The largest file table accepted once inflated; a larger one means a
  // damaged (or hostile) package. An entry takes about 130 bytes of table,
  // so this allows some 250,000 entries while bounding the memory that the
  // parsed table takes.
  static constexpr int64_t kMaxTableSize = int64_t(32) << 20;

  // Opens the host file and locates the package. On failure IsOpen is false,
  // the file is closed and ErrorText says why (empty when the file simply has
  // no trailer marker). A table that does not inflate or parse raises.
  explicit TVmoUnpack(std::string hostFileName);
  ~TVmoUnpack();
  TVmoUnpack(const TVmoUnpack&) = delete;
  TVmoUnpack& operator=(const TVmoUnpack&) = delete;

  bool IsOpen() const { return m_host != nullptr; }

  // The entry's place in the host; false when the package is closed, the
  // entry is missing, or its "_ps"/"_sz" are missing or do not fit 32 bits.
  bool FindEntry(std::string_view name, TVmoEntryInfo& info) const;

  // A new read-only stream on the host file, or nullptr.
  std::unique_ptr<TStream> OpenFileHandle() const;

  // The decoded stream of an entry [start, start + size) of `host`: a
  // window for stored entries, a scrambling stream over the window, or the
  // inflated bytes in memory for deflated ones; the load callback is
  // attached to the window. Raises "Insufficient Source Size" when the host
  // is too short and the decompressor's error on corrupt deflate data.
  std::unique_ptr<TStream> OpenEntry(std::unique_ptr<TStream> host, uint8_t method, int64_t start, int64_t size) const;

  // Opens an entry by name; nullptr when FindEntry fails.
  std::unique_ptr<TStream> OpenEntryByName(std::string_view name) const;

  const std::string& HostFileName() const { return m_hostFileName; }
  const std::string& Version() const { return m_version; }
  const std::string& ErrorText() const { return m_errorText; }
  int64_t TablePosition() const { return m_tablePosition; }
  int64_t Displacement() const { return m_displacement; }
  int64_t BaseShift() const { return m_baseShift; }
  bool OlderTrailer() const { return m_olderTrailer; }
  // Null while closed.
  TUnpackStruc* Struc() const { return m_struc.Get(); }

private:
  void Locate();
  bool ReadTrailer(int64_t& tableStart, int64_t& tableSize);
  void Fail(std::string_view error);

  std::string m_hostFileName;
  std::unique_ptr<TStream> m_host;
  int64_t m_endPosition = 0;
  int64_t m_displacement = 0;
  int64_t m_tablePosition = 0;
  int64_t m_baseShift = 0;
  bool m_olderTrailer = false;
  TRefPtr<TUnpackStruc> m_struc;
  std::string m_version;
  std::string m_errorText;
  std::string m_key;
};

// A whole decimal number of the given range, as "_ps", "_sz" and "strucpos"
// are written; false for anything else (blanks, signs alone, overflow).
bool ParseDecimal(std::string_view text, int64_t minimum, int64_t maximum, int64_t& value);

} // namespace qx
