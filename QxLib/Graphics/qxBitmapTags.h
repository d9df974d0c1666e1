// Tags that loaders attach to a bitmap store to describe what the pixels
// mean beyond a plain picture (an animation strip, for example).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qx {

class TBitmapTag {
public:
  virtual ~TBitmapTag() = default;
};

// Attached to a store whose bitmap is an animation strip: frame i occupies
// the cell starting at x = i * TileWidth.
class TTilesTag : public TBitmapTag {
public:
  int TileWidth = 0;
  int TileHeight = 0;
  int FrameCount = 0;
  bool Tiled = false;
  int64_t TotalDuration = 0; // ms
  double AverageDelay = 0;   // TotalDuration / FrameCount, ms
  std::string Delays;        // frame delays in ms, decimal, separated by ","
  int LoopCount = 0;         // from the file; 0 = for ever
};

// The tags of one store, in the order they were added.
class TTagList {
public:
  void Add(std::unique_ptr<TBitmapTag> tag) { m_tags.push_back(std::move(tag)); }

  // The first tag of type T, or nullptr.
  template <class T>
  T* Find() const {
    for (const auto& tag : m_tags)
      if (auto* found = dynamic_cast<T*>(tag.get()))
        return found;
    return nullptr;
  }

  size_t Count() const { return m_tags.size(); }

private:
  std::vector<std::unique_ptr<TBitmapTag>> m_tags;
};

} // namespace qx
