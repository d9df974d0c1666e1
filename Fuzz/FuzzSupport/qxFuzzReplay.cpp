// The main of the replay programs: feeds every file named on the command
// line, or found below a named folder, to the target's LLVMFuzzerTestOneInput
// once. The regular builds run each target's corpus this way as a test, so
// that every seed and every input of a fixed finding is checked on each run.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::filesystem::path> InputFiles(const std::filesystem::path& path) {
  std::vector<std::filesystem::path> files;
  if (!std::filesystem::is_directory(path)) {
    files.push_back(path);
    return files;
  }
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
    if (entry.is_regular_file())
      files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

} // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    if (!std::filesystem::exists(argv[i])) {
      std::fprintf(stderr, "replay: %s does not exist\n", argv[i]);
      return 1;
    }
    for (const auto& file : InputFiles(argv[i])) {
      std::ifstream in(file, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::fprintf(stderr, "replay: %s\n", file.string().c_str());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::printf("replay: %d inputs replayed\n", replayed);
  // An empty corpus would let the test pass without checking anything.
  return replayed > 0 ? 0 : 1;
}
