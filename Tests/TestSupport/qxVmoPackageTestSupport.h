// Test helpers: a scratch folder and a package builder that writes the
// layout by hand, so that tests can make packages the writer never would
// (moved tails, damaged tables, odd trailer values).
#pragma once

#include "QxLib/qxZLib.h"
#include "VmoLib2/VmoViewer/qxVmoScrambleKey.h"
#include "VmoLib2/VmoViewer/qxVmoUnpack.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace qx::test {

class TScratchFolder {
public:
  TScratchFolder() {
    std::random_device random;
    m_path =
        std::filesystem::temp_directory_path() / ("vmo-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(m_path);
  }
  ~TScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  // The folder with a trailing "/".
  std::string Path() const { return m_path.string() + "/"; }

  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = Path() + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

private:
  std::filesystem::path m_path;
};

inline std::string Scrambled(const std::string& bytes) {
  std::string out = bytes;
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char>(out[i] ^ kVmoScrambleKey[i % kVmoScrambleKey.size()]);
  return out;
}

inline void AppendInt64(std::string& out, int64_t value) {
  for (int i = 0; i < 8; ++i)
    out += static_cast<char>((static_cast<uint64_t>(value) >> (8 * i)) & 0xFF);
}

struct TTestEntry {
  std::string name; // as the table writes it
  uint8_t method = kVmoStored;
  std::string bytes; // decoded content
};

// A package behind `prefix`. By default the table records the real entry
// places and "strucpos"; the optional fields replace parts of it.
struct TTestPackage {
  std::string prefix;
  std::vector<TTestEntry> entries;
  bool older = false;
  std::optional<std::string> strucpos; // text of "strucpos"; nullopt = the real position
  bool omitStrucpos = false;
  std::string extraTable;                   // raw lines appended to the table text
  std::optional<std::string> tableOverride; // the whole table text
  std::optional<std::string> deflatedTable; // the table's stored bytes, as they are
  std::string vmoVersion = "5.6";

  // The package bytes and, through `tablePosition`, where the table starts.
  std::string Build(int64_t* tablePosition = nullptr) const {
    std::string out = prefix;
    std::string table = "\xEF\xBB\xBF";
    for (const TTestEntry& entry : entries) {
      std::string stored = entry.bytes;
      if (entry.method == kVmoDeflated)
        stored = DeflateRaw(entry.bytes);
      else if (entry.method == kVmoScrambled)
        stored = Scrambled(entry.bytes);
      table += "[" + entry.name + "]\r\n_ps=" + std::to_string(out.size()) +
               "\r\n_sz=" + std::to_string(stored.size()) + "\r\n_pm=" + std::to_string(entry.method) + "\r\n";
      out += stored;
    }
    const int64_t position = static_cast<int64_t>(out.size());
    table += extraTable;
    table += "[$protection$]\r\nvmoversion=" + vmoVersion + "\r\n";
    if (!omitStrucpos)
      table += "strucpos=" + strucpos.value_or(std::to_string(position)) + "\r\n";
    out += deflatedTable ? *deflatedTable : DeflateRaw(tableOverride.value_or(table));
    AppendInt64(out, position);
    out += kVmoTrailerMarker;
    if (!older)
      AppendInt64(out, static_cast<int64_t>(out.size()));
    if (tablePosition)
      *tablePosition = position;
    return out;
  }
};

} // namespace qx::test
