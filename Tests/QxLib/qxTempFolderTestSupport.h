// Folder contents for the tests of temporary folders: files, nested folders
// and an empty folder.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace qx::test {

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline void FillFolder(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  WriteFile(folder / "plugin.so", "binary");
  fs::create_directories(folder / "a" / "b" / "c");
  WriteFile(folder / "a" / "b" / "c" / "deep.txt", "deep");
  fs::create_directory(folder / "empty");
}

} // namespace qx::test
