// Writes show packages: entries, the deflated file table and the trailer,
// appended to an output stream that may already hold an executable. The
// authoring side needs this; the player only reads packages.
#pragma once

#include "QxLib/qxStream.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

namespace qx {

enum class TVmoTrailerForm {
  Current, // table position, ".dne", self position (20 bytes)
  Older,   // table position, ".dne" (12 bytes)
};

class TVmoPackWriter {
public:
  // The table holds entry positions and sizes as 32-bit values.
  static constexpr int64_t kMaxPackageSize = INT32_MAX;

  // Appends to `out` from its current end.
  explicit TVmoPackWriter(TStream& out);

  // Lists bytes already in the output (the executable the package is
  // appended to) as an entry at their position.
  void ListExisting(std::string_view name, int64_t position, int64_t size);

  // Appends one entry, encoded by `method` (0 stored, 1 raw deflate, 2
  // scrambled). Raises EQxError on a duplicate name (names ignore case) or
  // when the package would pass 2 GiB.
  void AddEntry(std::string_view name, uint8_t method, std::string_view bytes);

  // Appends the "ExeGUID" entry: a character count, then a GUID in braces as
  // UTF-16LE characters.
  void AddExeGuid(std::string_view guidText);

  // Writes the file table and the trailer. Call once, last.
  void Finish(std::string_view vmoVersion, TVmoTrailerForm form);

  int64_t EntryCount() const { return m_entryCount; }

private:
  void AppendTableEntry(std::string_view name, uint8_t method, int64_t position, int64_t size);

  TStream& m_out;
  std::string m_table;
  std::unordered_set<std::string> m_names;
  int64_t m_entryCount = 0;
};

// Bytes of an entry encoded by a package method (deflate or XOR scrambling
// with the shared key; stored bytes unchanged).
std::string EncodeEntry(uint8_t method, std::string_view bytes);

// The stored form of the "ExeGUID" entry.
std::string ExeGuidBytes(std::string_view guidText);

} // namespace qx
